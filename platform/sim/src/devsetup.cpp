// Device information sets, device properties and the configuration manager's node tree of the
// simulated machine, and device I/O on opened device paths.
#include <algorithm>
#include <cstring>

#include "impl.h"
#include "platform/text.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
constexpr DWORD ERROR_MORE_DATA = 234;

}  // namespace

void RegistryState::SetDword(const std::u16string& key, const std::u16string& name, DWORD value) {
    RegistryValue v;
    v.type = REG_DWORD;
    v.data.assign(reinterpret_cast<const char*>(&value), 4);
    keys[ToUpper(key)][ToUpper(name)] = v;
}

void RegistryState::AddKey(const std::u16string& key) { keys[ToUpper(key)]; }

HDEVINFO Machine::SetupDiGetClassDevsW(const GUID* classGuid, const char16_t*, HWND, DWORD flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiGetClassDevsW")) return INVALID_HANDLE_VALUE;
    if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DeviceSet set;
    set.interfaceSet = (flags & DIGCF_DEVICEINTERFACE) != 0;
    if (classGuid) set.classGuid = *classGuid;
    for (size_t d = 0; d < devices.devices.size(); ++d) {
        const auto& dev = devices.devices[d];
        if ((flags & DIGCF_PRESENT) && !dev.present) continue;
        if (!dev.registered) continue;
        if (set.interfaceSet) {
            for (size_t i = 0; i < dev.interfaces.size(); ++i)
                if ((flags & DIGCF_ALLCLASSES) || dev.interfaces[i].guid == *classGuid)
                    set.interfaces.push_back({static_cast<int>(d), static_cast<int>(i)});
        } else if ((flags & DIGCF_ALLCLASSES) || dev.classGuid == *classGuid) {
            set.devices.push_back(static_cast<int>(d));
        }
    }
    HANDLE h = NewHandle();
    impl_->deviceSets[reinterpret_cast<uintptr_t>(h)] = std::move(set);
    return h;
}

BOOL Machine::SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* device) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiEnumDeviceInfo")) return 0;
    auto it = impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set));
    if (it == impl_->deviceSets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!device || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return 0;
    }
    if (index >= it->second.devices.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return 0;
    }
    int d = it->second.devices[index];
    device->ClassGuid = devices.devices[static_cast<size_t>(d)].classGuid;
    device->DevInst = static_cast<DWORD>(d + 1);
    device->Reserved = 0;
    return 1;
}

BOOL Machine::SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA*, const GUID* interfaceGuid, DWORD index,
                                          SP_DEVICE_INTERFACE_DATA* iface) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiEnumDeviceInterfaces")) return 0;
    auto it = impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set));
    if (it == impl_->deviceSets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!iface || iface->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return 0;
    }
    DWORD seen = 0;
    for (size_t k = 0; k < it->second.interfaces.size(); ++k) {
        auto [d, i] = it->second.interfaces[k];
        const auto& entry = devices.devices[static_cast<size_t>(d)].interfaces[static_cast<size_t>(i)];
        if (interfaceGuid && entry.guid != *interfaceGuid) continue;
        if (seen++ == index) {
            iface->InterfaceClassGuid = entry.guid;
            iface->Flags = 1;   // SPINT_ACTIVE
            iface->Reserved = k + 1;
            return 1;
        }
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return 0;
}

BOOL Machine::SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface,
                                               SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size, DWORD* required,
                                               SP_DEVINFO_DATA* device) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiGetDeviceInterfaceDetailW")) return 0;
    auto it = impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set));
    if (it == impl_->deviceSets.end() || !iface || iface->Reserved == 0 ||
        iface->Reserved > it->second.interfaces.size()) {
        SetLastError(it == impl_->deviceSets.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto [d, i] = it->second.interfaces[iface->Reserved - 1];
    const std::u16string& path = devices.devices[static_cast<size_t>(d)].interfaces[static_cast<size_t>(i)].path;
    DWORD need = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (path.size() + 1) * 2);
    if (required) *required = need;
    if (detail && detail->cbSize != kInterfaceDetailCbSize) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return 0;
    }
    if (!detail || size < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(path.begin(), path.end(), detail->DevicePath);
    detail->DevicePath[path.size()] = 0;
    if (device) {
        if (device->cbSize != sizeof(SP_DEVINFO_DATA)) {
            SetLastError(ERROR_INVALID_USER_BUFFER);
            return 0;
        }
        device->ClassGuid = devices.devices[static_cast<size_t>(d)].classGuid;
        device->DevInst = static_cast<DWORD>(d + 1);
    }
    return 1;
}

BOOL Machine::SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!impl_->deviceSets.erase(reinterpret_cast<uintptr_t>(set))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

BOOL Machine::SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, DWORD* type,
                                                BYTE* buffer, DWORD size, DWORD* required) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiGetDeviceRegistryPropertyW")) return 0;
    if (impl_->deviceSets.find(reinterpret_cast<uintptr_t>(set)) == impl_->deviceSets.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!device || device->cbSize != sizeof(SP_DEVINFO_DATA) || device->DevInst == 0 ||
        device->DevInst > devices.devices.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto& dev = devices.devices[device->DevInst - 1];
    std::u16string value;
    DWORD valueType;
    if (property == SPDRP_HARDWAREID && !dev.hardwareIds.empty()) {
        for (const auto& id : dev.hardwareIds) value += id + u'\0';
        value += u'\0';
        valueType = REG_MULTI_SZ;
    } else if (property == SPDRP_FRIENDLYNAME && dev.friendlyNameBytes) {
        const std::string& raw = *dev.friendlyNameBytes;
        DWORD need = static_cast<DWORD>(raw.size());
        if (required) *required = need;
        if (type) *type = REG_SZ;
        if (!buffer || size < need) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, raw.data(), need);
        return 1;
    } else if (property == SPDRP_FRIENDLYNAME && dev.friendlyName) {
        value = *dev.friendlyName + u'\0';
        valueType = REG_SZ;
    } else {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    DWORD need = static_cast<DWORD>(value.size() * 2);
    if (required) *required = need;
    if (type) *type = valueType;
    if (!buffer || size < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, value.data(), need);
    return 1;
}

BOOL Machine::SetupDiClassGuidsFromNameW(const char16_t* className, GUID* guids, DWORD size, DWORD* required) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SetupDiClassGuidsFromNameW")) return 0;
    std::u16string name = ToUpper(Str(className));
    std::vector<GUID> found;
    if (name == u"PORTS") found.push_back(GUID_DEVCLASS_PORTS);
    if (name == u"PRINTER") found.push_back(GUID_DEVCLASS_PRINTER);
    for (const auto& dev : devices.devices)
        if (ToUpper(dev.className) == name &&
            std::find(found.begin(), found.end(), dev.classGuid) == found.end())
            found.push_back(dev.classGuid);
    if (required) *required = static_cast<DWORD>(found.size());
    if (found.size() > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(found.begin(), found.end(), guids);
    return 1;   // an unknown class gives no GUID and success, as on Windows
}

CONFIGRET Machine::CM_Locate_DevNodeW(DEVINST* node, const char16_t* instanceId, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("CM_Locate_DevNodeW")) return *code;
    if (!node) return CR_INVALID_POINTER;
    std::u16string id = ToUpper(Str(instanceId));
    for (size_t d = 0; d < devices.devices.size(); ++d) {
        const auto& dev = devices.devices[d];
        if (dev.present && ToUpper(dev.instanceId) == id) {
            if (dev.locateResult != CR_SUCCESS) return dev.locateResult;
            *node = static_cast<DEVINST>(d + 1);
            return CR_SUCCESS;
        }
    }
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET Machine::CM_Reenumerate_DevNode(DEVINST node, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("CM_Reenumerate_DevNode")) return *code;
    if (node == 0 || node > devices.devices.size()) return CR_NO_SUCH_DEVNODE;
    auto& dev = devices.devices[node - 1];
    if (dev.reenumerateResult != CR_SUCCESS) return dev.reenumerateResult;
    Event("rescan " + ToUtf8(dev.instanceId));
    for (auto& child : devices.devices)
        if (child.parent == static_cast<int>(node - 1) && child.appearsOnRescan) child.present = true;
    return CR_SUCCESS;
}

CONFIGRET Machine::CM_Get_Child(DEVINST* child, DEVINST node, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("CM_Get_Child")) return *code;
    if (!child) return CR_INVALID_POINTER;
    for (size_t d = 0; d < devices.devices.size(); ++d) {
        if (devices.devices[d].present && devices.devices[d].parent == static_cast<int>(node) - 1) {
            *child = static_cast<DEVINST>(d + 1);
            return CR_SUCCESS;
        }
    }
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET Machine::CM_Get_Sibling(DEVINST* sibling, DEVINST node, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("CM_Get_Sibling")) return *code;
    if (!sibling) return CR_INVALID_POINTER;
    if (node == 0 || node > devices.devices.size()) return CR_NO_SUCH_DEVNODE;
    int parent = devices.devices[node - 1].parent;
    for (size_t d = node; d < devices.devices.size(); ++d) {
        if (devices.devices[d].present && devices.devices[d].parent == parent) {
            *sibling = static_cast<DEVINST>(d + 1);
            return CR_SUCCESS;
        }
    }
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET Machine::CM_Get_Device_ID_Size(DWORD* length, DEVINST node, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("CM_Get_Device_ID_Size")) return *code;
    if (!length) return CR_INVALID_POINTER;
    if (node == 0 || node > devices.devices.size()) return CR_NO_SUCH_DEVNODE;
    const auto& dev = devices.devices[node - 1];
    *length = dev.instanceIdSizeOverride ? *dev.instanceIdSizeOverride : static_cast<DWORD>(dev.instanceId.size());
    return CR_SUCCESS;
}

CONFIGRET Machine::CM_Get_Device_IDW(DEVINST node, char16_t* buffer, DWORD length, DWORD) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("CM_Get_Device_IDW")) return *code;
    if (!buffer) return CR_INVALID_POINTER;
    if (node == 0 || node > devices.devices.size()) return CR_NO_SUCH_DEVNODE;
    const std::u16string& id = devices.devices[node - 1].instanceId;
    if (length < id.size()) return CR_BUFFER_SMALL;
    std::copy(id.begin(), id.end(), buffer);
    if (length > id.size()) buffer[id.size()] = 0;   // like Windows: no terminator when it does not fit
    return CR_SUCCESS;
}

BOOL Machine::DeviceIoControl(HANDLE device, DWORD code, const void*, DWORD, void* output, DWORD outputSize,
                              DWORD* returned) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (returned) *returned = 0;
    if (Faulted("DeviceIoControl")) return 0;
    auto it = impl_->files.find(reinterpret_cast<uintptr_t>(device));
    if (it == impl_->files.end() || it->second.device < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto& dev = devices.devices[static_cast<size_t>(it->second.device)];
    const std::optional<std::string>* reply = code == IOCTL_USBPRINT_GET_1284_ID  ? &dev.usbReply
                                              : code == IOCTL_PAR_QUERY_DEVICE_ID ? &dev.parallelReply
                                                                                  : nullptr;
    Event("ioctl " + std::to_string(code) + " on " + ToUtf8(dev.instanceId));
    if (!reply) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!reply->has_value()) {
        SetLastError(dev.ioctlError);
        return 0;
    }
    const std::string& bytes = **reply;
    if (bytes.size() > outputSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (output) std::memcpy(output, bytes.data(), bytes.size());
    if (returned) *returned = dev.replyCountOverride ? dev.replyCountOverride : static_cast<DWORD>(bytes.size());
    return 1;
}

LONG Machine::RegOpenKeyExW(HKEY root, const char16_t* subKey, DWORD, DWORD access, HKEY* result) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("RegOpenKeyExW")) return static_cast<LONG>(*code);
    if (root != HKEY_LOCAL_MACHINE || !result) return ERROR_INVALID_PARAMETER;
    std::u16string key = ToUpper(Str(subKey));
    // WOW64's registry redirection: a 32-bit program's HKLM\SOFTWARE is SOFTWARE\WOW6432Node,
    // unless it asks for the 64-bit view (and a 64-bit program may ask for the 32-bit one).
    constexpr DWORD KEY_WOW64_64KEY = 0x100, KEY_WOW64_32KEY = 0x200;
    bool view32 = Wow64() ? !(access & KEY_WOW64_64KEY) : (access & KEY_WOW64_32KEY) != 0;
    const std::u16string software = u"SOFTWARE\\";
    if (view32 && key.compare(0, software.size(), software) == 0 && key.compare(software.size(), 12, u"WOW6432NODE\\") != 0)
        key = software + u"WOW6432NODE\\" + key.substr(software.size());
    if (!registry.keys.count(key)) return ERROR_FILE_NOT_FOUND;
    HANDLE h = NewHandle();
    impl_->registryKeys[reinterpret_cast<uintptr_t>(h)] = key;
    *result = h;
    return ERROR_SUCCESS;
}

LONG Machine::RegQueryValueExW(HKEY key, const char16_t* name, DWORD* type, BYTE* data, DWORD* size) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("RegQueryValueExW")) return static_cast<LONG>(*code);
    auto it = impl_->registryKeys.find(reinterpret_cast<uintptr_t>(key));
    if (it == impl_->registryKeys.end()) return ERROR_INVALID_HANDLE;
    auto& values = registry.keys[it->second];
    auto v = values.find(ToUpper(Str(name)));
    if (v == values.end()) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->second.type;
    DWORD need = static_cast<DWORD>(v->second.data.size());
    if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD room = *size;
    *size = need;
    if (!data) return ERROR_SUCCESS;
    if (room < need) return ERROR_MORE_DATA;
    std::memcpy(data, v->second.data.data(), need);
    return ERROR_SUCCESS;
}

LONG Machine::RegSetValueExW(HKEY key, const char16_t* name, DWORD type, const BYTE* data, DWORD size) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (auto code = FaultCode("RegSetValueExW")) return static_cast<LONG>(*code);
    auto it = impl_->registryKeys.find(reinterpret_cast<uintptr_t>(key));
    if (it == impl_->registryKeys.end()) return ERROR_INVALID_HANDLE;
    if (!data && size) return ERROR_INVALID_PARAMETER;
    RegistryValue& v = registry.keys[it->second][ToUpper(Str(name))];
    v.type = type;
    v.data.assign(reinterpret_cast<const char*>(data), size);
    std::string shown = type == REG_SZ && size >= 2
                            ? "\"" + ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(data), size / 2 - 1)) + "\""
                            : std::to_string(size) + " bytes";
    Event("registry set " + ToUtf8(it->second) + "\\" + Utf8(name) + " = " + shown);
    return ERROR_SUCCESS;
}

LONG Machine::RegCloseKey(HKEY key) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return impl_->registryKeys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LRESULT Machine::SendMessageW(HWND window, DWORD message, WPARAM wParam, LPARAM lParam) {
    std::function<LRESULT(HWND, DWORD, WPARAM, LPARAM)> proc;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        Event("message " + std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
        proc = windowProc;
    }
    // Outside the lock: the handler may call back into the machine from another thread.
    return proc ? proc(window, message, wParam, lParam) : 0;
}

LRESULT Machine::SendMessageTimeoutW(HWND window, DWORD message, WPARAM, LPARAM lParam, DWORD flags, DWORD timeout,
                                     ULONG_PTR* result) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("SendMessageTimeoutW")) return 0;
    std::string data = message == WM_DEVMODECHANGE && lParam ? Utf8(reinterpret_cast<const char16_t*>(lParam)) : "";
    Event(std::string(window == HWND_BROADCAST ? "broadcast " : "send ") + std::to_string(message) + " \"" + data +
          "\" flags " + std::to_string(flags) + " timeout " + std::to_string(timeout));
    if (result) *result = 0;
    return 1;
}

int Machine::MessageBoxW(HWND, const char16_t* text, const char16_t* caption, DWORD type) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Event("message box \"" + Utf8(caption) + "\" type " + std::to_string(type) + ": " + Utf8(text));
    return messageBoxAnswer;
}

HANDLE Machine::LoadCursorW(const char16_t* name) { return reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(name)); }

HANDLE Machine::SetCursor(HANDLE cursor) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Event("cursor " + std::to_string(reinterpret_cast<uintptr_t>(cursor)));
    return nullptr;
}

int Machine::AddFontResourceW(const char16_t* fileName) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("AddFontResourceW")) return 0;
    auto r = Resolve(fileName, true);
    std::error_code ec;
    if (!r.ok || !std::filesystem::is_regular_file(r.host, ec)) return 0;
    Event("font added " + Utf8(fileName));
    return 1;   // the fonts the file holds; the simulation counts one
}

}  // namespace sim
