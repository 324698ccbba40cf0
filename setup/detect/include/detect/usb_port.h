// Which port the maker's USB printer got: the "Port Number" that Windows' USB printing class
// keeps in the registry parameters of the printer's device interface.
#pragma once

#include <string>

#include "platform/platform.h"

namespace detect {

inline constexpr const char16_t* kMakerUsbId = u"vid_6b1f&pid_0001";

// What detection keeps for the whole process. The wizard owns one; each test makes its own.
struct DetectionState {
    // A USB printer counts as the maker's when its device path contains this (case-sensitive).
    // Each detection run may replace it with the catalogue's "VID" & "PID".
    std::u16string g_usbIdFilter = kMakerUsbId;
};

// The parameters key of an interface under HKEY_LOCAL_MACHINE: the device path in its registry
// form ("\?\" -> "##?#", on Windows 9x "\.\" -> "##.#") below the USB printer class.
std::u16string UsbParametersKey(const std::u16string& devicePath, bool win9x);

// The port number of the last matching interface, or 0. A matching interface without its key
// or value gives 0 at once, whatever was found before. A missing interface set is shown in a
// message box owned by `owner`.
plat::DWORD GetUsbPortNumber(const plat::Platform& p, const DetectionState& state, plat::HWND owner = nullptr);

}  // namespace detect
