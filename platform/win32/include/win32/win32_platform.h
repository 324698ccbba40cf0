// The real Windows behind the platform boundary: every operation is the Windows call itself.
#pragma once

#include "platform/platform.h"

namespace win32 {

// One object serves every service; it holds no state of its own.
plat::Platform RealPlatform();

// Wine's ntdll exports its version; tests use it to mark Wine's known gaps.
bool RunningOnWine();

}  // namespace win32
