// The first present parallel port: its node re-enumerated so that a printer attached since
// start-up is seen, the maker's device looked for among its children, the port's name (LPT1 ...)
// derived and the port opened. Failures go to the installation log; nothing is shown.
#pragma once

#include <string>

#include "engine/env.h"

namespace detect {

constexpr int kRescanAttempts = 3;
constexpr plat::DWORD kMaxDeviceIdLen = 200;   // MAX_DEVICE_ID_LEN: no instance ID is longer
inline constexpr const char16_t* kMakerDeviceWord = u"Halvorin";

// \\.\<name> opened for reading and writing, unshared; INVALID_HANDLE_VALUE when no name was
// found. The caller closes it.
plat::HANDLE OpenParallelPort(const engine::Env& env, const std::u16string& filter);

// The port name of the first "Ports" device whose friendly name contains filter: the tail of
// the maker's child device's instance ID when one is found, else from the friendly name.
// Empty when none matched, or when the tail is empty or holds a path separator.
std::u16string FindParallelPortName(const engine::Env& env, const std::u16string& filter);

// Rescans every parallel interface whose device's friendly name (upper case) contains port and
// writes the instance ID of the maker's child device into deviceId when one is found.
void RescanParallelPort(const engine::Env& env, const std::u16string& port, std::u16string& deviceId);

// Locate and re-enumerate; false (with a log entry) when either fails.
bool RescanDevNode(const engine::Env& env, const std::u16string& instanceId);

}  // namespace detect
