#include "detect/usb_port.h"

#include "detect/device_id.h"
#include "detect/sysinfo.h"
#include "platform/text.h"

namespace detect {
using namespace plat;

namespace {

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

std::u16string UsbParametersKey(const std::u16string& devicePath, bool win9x) {
    std::u16string form = devicePath;
    if (win9x)
        ReplaceAll(form, u"\\.\\", u"##.#");
    else
        ReplaceAll(form, u"\\?\\", u"##?#");
    // The path's first backslash is left over and separates the class from the interface's key.
    return u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}" + form +
           u"\\#\\Device Parameters";
}

DWORD GetUsbPortNumber(const Platform& p, const DetectionState& state, HWND owner) {
    bool win9x = IsWin9xPlatform(p);
    HDEVINFO set = p.devsetup.SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                                   DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        p.user.MessageBoxW(owner, u"无法获取指定设备信息集!", u"Setup", MB_ICONERROR);
        return 0;
    }
    DWORD port = 0;
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        if (!p.devsetup.SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, i, &iface)) break;
        std::u16string path;
        if (ReadInterfacePath(p, set, iface, nullptr, path) != DetailResult::Ok) continue;
        if (!Contains(path, state.g_usbIdFilter)) continue;

        // A matching interface without its number drops what earlier ones gave.
        HKEY key = nullptr;
        if (p.registry.RegOpenKeyExW(HKEY_LOCAL_MACHINE, UsbParametersKey(path, win9x).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            port = 0;
            break;
        }
        DWORD value = 0, type = 0, size = sizeof value;
        LONG read = p.registry.RegQueryValueExW(key, u"Port Number", &type, reinterpret_cast<BYTE*>(&value), &size);
        p.registry.RegCloseKey(key);
        if (read != ERROR_SUCCESS || size != sizeof value) {
            port = 0;
            break;
        }
        port = value;
    }
    p.devsetup.SetupDiDestroyDeviceInfoList(set);
    return port;
}

}  // namespace detect
