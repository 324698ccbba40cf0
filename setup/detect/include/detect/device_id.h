// The attached printer's IEEE 1284 device ID, over USB or over an opened parallel port, and
// the two fields read from it: manufacturer ("MFG:") and model ("MDL:").
//
// Replies are the device's bytes: every count and offset is checked against the 512-byte
// reply buffer, and a reply whose count does not fit it counts as a failed request.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace detect {

constexpr plat::DWORD kReplyBytes = 512;

// The last present USB printer interface, opened for reading and writing (shared); the
// maker's filter is not applied. INVALID_HANDLE_VALUE when there is none.
plat::HANDLE OpenUsbPrinter(const plat::Platform& p);

// Writes both out-parameters only when the device answered; a device ID without manufacturer
// gives an empty model.
void ReadUsbPrinterModel(const plat::Platform& p, std::u16string& model, std::u16string& manufacturer);

// 0 and both written when the device answered with a manufacturer; -1 and neither written
// otherwise. The handle stays the caller's.
int ReadParallelPrinterModel(const plat::Platform& p, plat::HANDLE port, std::u16string& model,
                             std::u16string& manufacturer);

// The value after the first occurrence of key up to the next ";", leading white space
// removed; empty when the key, the ";" or the value is missing.
std::u16string GetDeviceIdField(std::u16string_view text, std::u16string_view key);

// count bytes in the ANSI code page as text, up to the first NUL.
std::u16string DeviceIdBytesToText(plat::ISystem& sys, const char* bytes, size_t count);

// The wide-character white-space classification (iswspace) of Windows.
bool IsWideSpace(char16_t c);

// Shared by the USB and parallel walks: the device path of an interface, and with it the
// device's node when `device` is given. NoMemory: the detail's size is beyond reason.
enum class DetailResult { Ok, NoMemory, Failed };
DetailResult ReadInterfacePath(const plat::Platform& p, plat::HDEVINFO set, plat::SP_DEVICE_INTERFACE_DATA& iface,
                               plat::SP_DEVINFO_DATA* device, std::u16string& path);

}  // namespace detect
