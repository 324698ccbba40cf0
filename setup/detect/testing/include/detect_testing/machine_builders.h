// Builders of the printers, ports and catalogues that detection looks at, on a simulated
// machine. Written from Windows' conventions, not from detection's code, so that a test built
// with them catches detection reading things the wrong way.
//
//   UsbReply / UsbPath / UsbParametersKeyOf   the USB printing class's shapes
//   AddUsbPrinter                             a USB printer interface with port number and reply
//   AddPort / AddParallelPrinter              a "Ports" device (LPT or COM) and a device on it
//   CatalogText / AddCatalog                  PrinterInfo.ini beside Setup, in code page 936
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "sim/machine.h"

namespace detect_testing {

inline constexpr const char16_t* kUsbClassKey =
    u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
inline constexpr const char16_t* kUsbPrintGuidText = u"{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
inline constexpr const char16_t* kParallelGuidText = u"{97f76ef0-f883-11d0-af1f-0000f800845c}";

// The reply of IOCTL_USBPRINT_GET_1284_ID: the length of the whole reply, most significant
// byte first, then the device ID.
inline std::string UsbReply(const std::string& deviceId) {
    size_t n = deviceId.size() + 2;
    return std::string(1, static_cast<char>((n >> 8) & 0xFF)) + std::string(1, static_cast<char>(n & 0xFF)) + deviceId;
}

// \\?\usb#vid_6b1f&pid_0001#<serial>#{28d78fad-...}
inline std::u16string UsbPath(const std::u16string& vidPid, const std::u16string& serial) {
    return u"\\\\?\\usb#" + vidPid + u"#" + serial + u"#" + kUsbPrintGuidText;
}

// The interface's parameters key as Windows NT names it: "\\?\" of the path becomes "##?#".
inline std::u16string UsbParametersKeyOf(const std::u16string& path) {
    return std::u16string(kUsbClassKey) + u"\\##?#" + path.substr(4) + u"\\#\\Device Parameters";
}

struct UsbPrinter {
    std::u16string vidPid = u"vid_6b1f&pid_0001";
    std::u16string serial = u"5&1a2b3c&0&1";
    std::optional<plat::DWORD> portNumber;    // none: no "Device Parameters" key at all
    std::optional<std::string> deviceId;      // none: the 1284 request fails
};

inline int AddUsbPrinter(sim::Machine& m, const UsbPrinter& u) {
    sim::SimDevice d;
    d.instanceId = u"USB\\" + plat::ToUpper(u.vidPid) + u"\\" + u.serial;
    d.classGuid = plat::GUID_DEVCLASS_PRINTER;
    d.className = u"USB";
    d.interfaces.push_back({plat::GUID_DEVINTERFACE_USBPRINT, UsbPath(u.vidPid, u.serial)});
    if (u.deviceId) d.usbReply = UsbReply(*u.deviceId);
    int index = m.devices.AddDevice(d);
    if (u.portNumber) m.registry.SetDword(UsbParametersKeyOf(d.interfaces[0].path), u"Port Number", *u.portNumber);
    return index;
}

struct Port {
    std::u16string friendlyName = u"Printer Port (LPT1)";
    std::u16string dosName = u"LPT1";            // \\.\LPT1 opens it
    std::u16string instanceId = u"ACPI\\PNP0401\\1";
    bool parallel = true;                        // it has the parallel port interface
};

// A device of setup class "Ports"; a parallel one also carries the parallel port interface.
inline int AddPort(sim::Machine& m, const Port& port) {
    sim::SimDevice d;
    d.instanceId = port.instanceId;
    d.classGuid = plat::GUID_DEVCLASS_PORTS;
    d.className = u"Ports";
    d.friendlyName = port.friendlyName;
    if (port.parallel) {
        std::u16string id = port.instanceId;   // ACPI\PNP0401\1 -> \\?\ACPI#PNP0401#1#{guid}
        for (auto& c : id)
            if (c == u'\\') c = u'#';
        d.interfaces.push_back({plat::GUID_DEVINTERFACE_PARALLEL, u"\\\\?\\" + id + u"#" + kParallelGuidText});
    }
    int index = m.devices.AddDevice(d);
    if (!port.dosName.empty()) m.devices.dosDevices[plat::ToUpper(port.dosName)] = index;
    return index;
}

// A device on a parallel port, as the port's enumerator names it. The port answers the
// device-ID request with this device's ID, whether or not Plug and Play has seen it yet.
inline int AddParallelPrinter(sim::Machine& m, int port, const std::u16string& instanceId,
                              std::optional<std::string> deviceId, bool appearsOnRescan = false) {
    sim::SimDevice d;
    d.instanceId = instanceId;
    d.classGuid = plat::GUID_DEVCLASS_PRINTER;
    d.className = u"Printer";
    d.parent = port;
    d.present = !appearsOnRescan;
    d.appearsOnRescan = appearsOnRescan;
    if (deviceId) m.devices.devices[static_cast<size_t>(port)].parallelReply = *deviceId;
    return m.devices.AddDevice(d);
}

// A catalogue in the INI form the product ships, with the model keys 0 .. n-1.
struct Catalog {
    std::optional<std::u16string> vid = u"vid_6b1f";
    std::optional<std::u16string> pid = u"pid_0001";
    std::u16string counts;                // empty: the number of models
    std::vector<std::u16string> models;
};

inline std::u16string CatalogText(const Catalog& c) {
    std::u16string t = u"[VID_PID]\r\n";
    if (c.vid) t += u"VID=" + *c.vid + u"\r\n";
    if (c.pid) t += u"PID=" + *c.pid + u"\r\n";
    t += u"[热敏打印机]\r\nCounts=" + (c.counts.empty() ? plat::ToDecimal(static_cast<long long>(c.models.size())) : c.counts) +
         u"\r\n";
    for (size_t i = 0; i < c.models.size(); ++i) t += plat::ToDecimal(static_cast<long long>(i)) + u"=" + c.models[i] + u"\r\n";
    return t;
}

// Beside the simulated Setup.exe, in the machine's ANSI code page.
inline std::u16string CatalogPath(sim::Machine& m) {
    std::u16string module = m.system.modulePath;
    return module.substr(0, module.rfind(u'\\') + 1) + u"PrinterInfo.ini";
}
inline void AddCatalog(sim::Machine& m, const Catalog& c) {
    m.AddFile(CatalogPath(m), plat::TextToAnsi(m, CatalogText(c)));
}

}  // namespace detect_testing
