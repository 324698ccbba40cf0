#include "detect/device_id.h"

#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace detect {
using namespace plat;

namespace {

constexpr DWORD kMaxDetailBytes = 65536 + 8;   // a device path is at most 32767 characters

HDEVINFO UsbPrinterInterfaces(const Platform& p) {
    return p.devsetup.SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USBPRINT, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

// One device-ID request on an opened device; the text without the first `skip` bytes (the USB
// length bytes). Nothing when the request fails or reports more bytes than the reply holds.
std::optional<std::u16string> QueryDeviceId(const Platform& p, HANDLE device, DWORD code, DWORD skip) {
    char reply[kReplyBytes] = {};
    DWORD count = 0;
    if (!p.devices.DeviceIoControl(device, code, nullptr, 0, reply, kReplyBytes, &count)) return std::nullopt;
    if (count > kReplyBytes) return std::nullopt;
    if (count <= skip) return std::u16string();
    return DeviceIdBytesToText(p.sys, reply + skip, count - skip);
}

struct Fields {
    std::u16string model, manufacturer;
};
Fields ReadFields(const std::u16string& text) {
    Fields f{GetDeviceIdField(text, u"MDL:"), GetDeviceIdField(text, u"MFG:")};
    if (f.manufacturer.empty()) f.model.clear();   // no manufacturer, no model
    return f;
}

}  // namespace

bool IsWideSpace(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

DetailResult ReadInterfacePath(const Platform& p, HDEVINFO set, SP_DEVICE_INTERFACE_DATA& iface,
                               SP_DEVINFO_DATA* device, std::u16string& path) {
    DWORD required = 0;
    p.devsetup.SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &required, nullptr);
    if (required > kMaxDetailBytes) return DetailResult::NoMemory;
    constexpr DWORD fixed = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    if (required < fixed + sizeof(char16_t)) {
        // The size query already failed; its error is the one the caller may log.
        return DetailResult::Failed;
    }
    std::vector<uint64_t> storage((required + 7) / 8 + 1, 0);   // aligned, one spare word
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = kInterfaceDetailCbSize;
    if (device) device->cbSize = sizeof(SP_DEVINFO_DATA);
    if (!p.devsetup.SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, required, nullptr, device))
        return DetailResult::Failed;
    path = FromBuffer(detail->DevicePath, (required - fixed) / sizeof(char16_t));
    return DetailResult::Ok;
}

HANDLE OpenUsbPrinter(const Platform& p) {
    HDEVINFO set = UsbPrinterInterfaces(p);
    if (set == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    std::u16string last;
    int paths = 0;
    DWORD endError = 0;
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        if (!p.devsetup.SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USBPRINT, i, &iface)) {
            endError = p.sys.GetLastError();
            break;
        }
        std::u16string path;
        if (ReadInterfacePath(p, set, iface, nullptr, path) != DetailResult::Ok) continue;
        last = path;
        ++paths;
    }
    HANDLE device = INVALID_HANDLE_VALUE;
    if (paths > 0 && endError == ERROR_NO_MORE_ITEMS)
        device = p.files.CreateFileW(last.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     OPEN_EXISTING, 0);
    p.devsetup.SetupDiDestroyDeviceInfoList(set);
    return device;
}

void ReadUsbPrinterModel(const Platform& p, std::u16string& model, std::u16string& manufacturer) {
    HANDLE device = OpenUsbPrinter(p);
    if (device == INVALID_HANDLE_VALUE || device == nullptr) return;
    // The reply starts with two length bytes, which are not read: the count says how many came.
    auto text = QueryDeviceId(p, device, IOCTL_USBPRINT_GET_1284_ID, 2);
    if (text) {
        Fields f = ReadFields(*text);
        model = f.model;
        manufacturer = f.manufacturer;
    }
    p.files.CloseHandle(device);
}

int ReadParallelPrinterModel(const Platform& p, HANDLE port, std::u16string& model, std::u16string& manufacturer) {
    if (port == INVALID_HANDLE_VALUE || port == nullptr) return -1;
    auto text = QueryDeviceId(p, port, IOCTL_PAR_QUERY_DEVICE_ID, 0);
    if (!text) return -1;
    Fields f = ReadFields(*text);
    if (f.manufacturer.empty()) return -1;
    model = f.model;
    manufacturer = f.manufacturer;
    return 0;
}

std::u16string GetDeviceIdField(std::u16string_view text, std::u16string_view key) {
    if (key.empty()) return {};
    size_t at = text.find(key);
    if (at == std::u16string_view::npos) return {};
    // The ";" is looked for after the key, so that a key holding one cannot end before itself.
    size_t begin = at + key.size();
    size_t end = text.find(u';', begin);
    if (end == std::u16string_view::npos || end == begin) return {};
    while (begin < end && IsWideSpace(text[begin])) ++begin;
    return std::u16string(text.substr(begin, end - begin));
}

std::u16string DeviceIdBytesToText(ISystem& sys, const char* bytes, size_t count) {
    if (!bytes || count == 0) return {};
    std::u16string text = AnsiToText(sys, bytes, count);
    size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

}  // namespace detect
