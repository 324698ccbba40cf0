// Two questions about the running Windows, asked afresh at every call.
#pragma once

#include "platform/platform.h"

namespace detect {

// The machine's processor architecture (PROCESSOR_ARCHITECTURE_*), also as seen by a 32-bit
// process on 64-bit Windows.
plat::WORD NativeArchitecture(const plat::Platform& p);

// The native processor architecture is x64 or Itanium.
bool IsNative64Bit(const plat::Platform& p);

// The system is of the Windows 9x family.
bool IsWin9xPlatform(const plat::Platform& p);

}  // namespace detect
