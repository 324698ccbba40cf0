// The simulated device tree: devices (nodes) with their setup class, properties and device
// interfaces, the 1284 device-ID replies they give, and the registry values Windows keeps for
// their interfaces. Shared by device setup, the configuration manager and device I/O.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace sim {

struct SimInterface {
    plat::GUID guid;
    std::u16string path;   // \\?\usb#vid_...#...#{guid}
};

struct SimDevice {
    std::u16string instanceId;           // USB\VID_6B1F&PID_0001\5&1A2B&0&1
    plat::GUID classGuid{};
    std::u16string className;            // "Printer", "Ports", ...
    std::vector<std::u16string> hardwareIds;   // empty: the device has no hardware-ID property
    std::optional<std::u16string> friendlyName;
    int parent = -1;                     // index into DeviceState::devices; -1: below the root
    bool present = true;
    bool appearsOnRescan = false;        // absent until its parent is re-enumerated
    std::vector<SimInterface> interfaces;
    // Replies to the device-ID requests, as the driver returns them: over USB with the two
    // length bytes, over the parallel port without. No reply: the request fails.
    std::optional<std::string> usbReply;
    std::optional<std::string> parallelReply;
    plat::DWORD ioctlError = plat::ERROR_GEN_FAILURE;   // the error when there is no reply
    plat::DWORD replyCountOverride = 0;   // nonzero: the byte count a misbehaving driver reports
    plat::CONFIGRET reenumerateResult = plat::CR_SUCCESS;
    plat::CONFIGRET locateResult = plat::CR_SUCCESS;
    std::u16string driverInf;            // INF whose driver the device got (PnP installs)
    bool rootEnumerated = false;         // created through SetupDiCreateDeviceInfoW
    bool registered = true;              // DIF_REGISTERDEVICE done (root devices)
    // Misbehaving drivers: the friendly-name property as raw bytes (odd lengths, no terminator),
    // and the instance-ID length the configuration manager reports instead of the true one.
    std::optional<std::string> friendlyNameBytes;
    std::optional<plat::DWORD> instanceIdSizeOverride;
    // Plug-and-play driver updates: the error UpdateDriverForPlugAndPlayDevicesW gives for this
    // device (0: the driver installs), and the port of the queue that the printer class
    // installer then creates (empty: no queue, as for a root-enumerated device).
    plat::DWORD driverUpdateError = 0;
    std::u16string queuePort = u"USB001";
};

// A parallel port's device path (\\.\LPT1) opened with CreateFileW reaches this device.
struct DeviceState {
    std::vector<SimDevice> devices;
    std::map<std::u16string, int> dosDevices;   // upper-case name (LPT1) -> device index
    int AddDevice(SimDevice device) {
        devices.push_back(std::move(device));
        return static_cast<int>(devices.size()) - 1;
    }
    // INFs staged in the driver store by SetupCopyOEMInfW: the source and its published name.
    struct StagedInf {
        std::u16string source;
        std::u16string published;   // C:\Windows\INF\oemN.inf
        std::string bytes;
    };
    std::vector<StagedInf> stagedInfs;
    // Wine's driver store: SetupUninstallOEMInfW without SUOI_FORCEDELETE succeeds and keeps the INF.
    bool uninstallKeepsUnforced = false;
    // Wine's too: a staged INF keeps its own name while no staged INF has it (else oemN.inf).
    bool stagesUnderOwnName = false;
};

struct RegistryValue {
    plat::DWORD type = plat::REG_DWORD;
    std::string data;
};

// Keys under HKEY_LOCAL_MACHINE, by upper-case path; a key exists when it is listed.
struct RegistryState {
    std::map<std::u16string, std::map<std::u16string, RegistryValue>> keys;   // value names upper-case
    void SetDword(const std::u16string& key, const std::u16string& name, plat::DWORD value);
    void AddKey(const std::u16string& key);
};

}  // namespace sim
