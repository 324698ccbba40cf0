#include "detect/parallel_port.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "detect/device_id.h"
#include "platform/text.h"

namespace detect {
using namespace plat;

namespace {

constexpr DWORD kPortNameBytes = 260;        // the "Ports" walk
constexpr DWORD kInterfaceNameBytes = 520;   // the parallel-interface walk
constexpr int kMaxSiblings = 4096;            // a sibling chain that loops still ends

// The friendly name as far as the property's bytes go: odd byte counts and missing
// terminators never lead past what was written.
std::optional<std::u16string> ReadFriendlyName(const Platform& p, HDEVINFO set, SP_DEVINFO_DATA& device,
                                               DWORD bufferBytes) {
    std::vector<char16_t> buffer(bufferBytes / sizeof(char16_t), u'\0');
    DWORD type = 0, required = 0;
    if (!p.devsetup.SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                                      reinterpret_cast<BYTE*>(buffer.data()), bufferBytes, &required))
        return std::nullopt;
    size_t bytes = required < bufferBytes ? required : bufferBytes;
    return FromBuffer(buffer.data(), bytes / sizeof(char16_t));
}

// A node's instance ID; nothing when its length cannot be read, is beyond any instance ID, or
// the ID itself cannot be read.
std::optional<std::u16string> ReadInstanceId(const Platform& p, DEVINST node) {
    DWORD length = 0;
    if (p.devsetup.CM_Get_Device_ID_Size(&length, node, 0) != CR_SUCCESS) return std::nullopt;
    if (length > kMaxDeviceIdLen) return std::nullopt;
    std::vector<char16_t> buffer(length + 1, u'\0');
    if (p.devsetup.CM_Get_Device_IDW(node, buffer.data(), length + 1, 0) != CR_SUCCESS) return std::nullopt;
    return FromBuffer(buffer.data(), buffer.size());
}

// An entry with the system error that leaves that error in place, so that the caller's own
// entry for the same failure shows it too, not the one the log's file calls left behind.
void WriteKeepingError(const engine::Env& env, std::u16string_view text) {
    DWORD error = env.p.sys.GetLastError();
    env.log.Write(text, true);
    env.p.sys.SetLastError(error);
}

enum class Walk { Next, Stop };

// The attempts on one parallel interface; Stop when the whole rescan ends.
Walk Attempts(const engine::Env& env, DEVINST portNode, bool& found, std::u16string& deviceId) {
    const Platform& p = env.p;
    for (int attempt = 0; attempt < kRescanAttempts; ++attempt) {
        if (auto id = ReadInstanceId(p, portNode)) {
            if (!RescanDevNode(env, *id)) {
                WriteKeepingError(env, u"ScanForHardwareChanges Failure");
                return Walk::Stop;
            }
        }
        DEVINST child = 0;
        DWORD length = 0;
        bool childless = p.devsetup.CM_Get_Child(&child, portNode, 0) != CR_SUCCESS ||
                         p.devsetup.CM_Get_Device_ID_Size(&length, child, 0) != CR_SUCCESS;
        if (childless && found) return Walk::Next;
        if (!childless) {
            found = false;
            std::optional<std::u16string> id = ReadInstanceId(p, child);
            DEVINST node = child;
            // The first child unreadable ends the attempt; later unreadable siblings are passed over.
            for (int n = 0; id.has_value() || n > 0; ++n) {
                if (id && Contains(*id, kMakerDeviceWord)) {
                    deviceId = *id;
                    found = true;
                    return Walk::Next;
                }
                DEVINST next = 0;
                if (n >= kMaxSiblings || p.devsetup.CM_Get_Sibling(&next, node, 0) != CR_SUCCESS) break;
                node = next;
                id = ReadInstanceId(p, node);
            }
        }
        p.sys.Sleep(0);
    }
    return Walk::Next;
}

}  // namespace

bool RescanDevNode(const engine::Env& env, const std::u16string& instanceId) {
    const Platform& p = env.p;
    DEVINST node = 0;
    CONFIGRET c = p.devsetup.CM_Locate_DevNodeW(&node, instanceId.c_str(), CM_LOCATE_DEVNODE_NORMAL);
    if (c != CR_SUCCESS) {
        WriteKeepingError(env, u"CM_Locate_DevNode   failed:   " + ToHex(c) + u"\n ");
        return false;
    }
    c = p.devsetup.CM_Reenumerate_DevNode(node, CM_REENUMERATE_NORMAL);
    if (c != CR_SUCCESS) {
        WriteKeepingError(env, u"CM_Reenumerate_DevNode   failed:   " + ToHex(c) + u"\n ");
        return false;
    }
    return true;
}

void RescanParallelPort(const engine::Env& env, const std::u16string& port, std::u16string& deviceId) {
    const Platform& p = env.p;
    HDEVINFO set = p.devsetup.SetupDiGetClassDevsW(&GUID_DEVINTERFACE_PARALLEL, nullptr, nullptr,
                                                   DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        env.log.Write(u"SetupDiGetClassDevs!", true);
        return;
    }
    bool found = false;
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        if (!p.devsetup.SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_PARALLEL, i, &iface)) break;
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        std::u16string path;
        DetailResult detail = ReadInterfacePath(p, set, iface, &device, path);
        if (detail == DetailResult::NoMemory) continue;
        if (detail == DetailResult::Failed) {
            env.log.Write(u"SetupDiGetDeviceInterfaceDetail", true);
            break;
        }
        auto name = ReadFriendlyName(p, set, device, kInterfaceNameBytes);
        if (!name) {
            env.log.Write(u"SetupDiGetDeviceRegistryProperty", true);
            break;
        }
        if (!Contains(ToUpper(*name), port)) continue;
        if (Attempts(env, device.DevInst, found, deviceId) == Walk::Stop) break;
    }
    p.devsetup.SetupDiDestroyDeviceInfoList(set);
}

std::u16string FindParallelPortName(const engine::Env& env, const std::u16string& filter) {
    const Platform& p = env.p;
    std::vector<GUID> guids(1);
    DWORD required = 0;
    BOOL ok = p.devsetup.SetupDiClassGuidsFromNameW(u"Ports", guids.data(), 1, &required);
    if (!ok && p.sys.GetLastError() == ERROR_INSUFFICIENT_BUFFER && required > 1 && required < 64) {
        guids.assign(required, GUID{});
        ok = p.devsetup.SetupDiClassGuidsFromNameW(u"Ports", guids.data(), required, &required);
    }
    if (!ok || required == 0) {
        env.log.Write(u"获取端口GUID失败！", false);
        return {};
    }
    HDEVINFO set = p.devsetup.SetupDiGetClassDevsW(&guids[0], nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) {
        env.log.Write(u"无法获取指定设备信息集!", false);
        return {};
    }
    std::u16string result;
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!p.devsetup.SetupDiEnumDeviceInfo(set, i, &device)) break;
        auto name = ReadFriendlyName(p, set, device, kPortNameBytes);
        if (!name || !Contains(*name, filter)) continue;
        size_t lpt = name->find(u"(LPT");
        std::u16string port = lpt == std::u16string::npos ? name->substr(0, 4) : name->substr(lpt + 1, 4);
        std::u16string deviceId;
        RescanParallelPort(env, port, deviceId);
        if (deviceId.empty()) {
            result = port;
        } else {
            size_t amp = deviceId.rfind(u'&');
            result = amp == std::u16string::npos ? std::u16string() : deviceId.substr(amp + 1);
            // The tail becomes a device path: a separator in it would name another device.
            if (result.find_first_of(u"\\/") != std::u16string::npos) result.clear();
        }
        break;
    }
    p.devsetup.SetupDiDestroyDeviceInfoList(set);
    return result;
}

HANDLE OpenParallelPort(const engine::Env& env, const std::u16string& filter) {
    std::u16string name = FindParallelPortName(env, filter);
    if (name.empty()) return INVALID_HANDLE_VALUE;
    std::u16string path = u"\\\\.\\" + name;
    return env.p.files.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0);
}

}  // namespace detect
