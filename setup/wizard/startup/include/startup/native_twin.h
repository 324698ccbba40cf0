// The hand-over of the shipped 32-bit Setup to its 64-bit twin on 64-bit Windows.
//
// There the device installer refuses driver updates to 32-bit programs (ERROR_IN_WOW64) and the
// system is seen through WOW64's redirections; Microsoft's guidance for device installation
// programs is that the 32-bit program starts the 64-bit version of itself, which does the work
// with the 64-bit files. So Setup.exe starts Setup64.exe from its own folder before anything else,
// waits for it and ends with its exit code.
#pragma once

#include <optional>
#include <string>

#include "engine/env.h"

namespace startup {

inline constexpr char16_t kNativeTwinName[] = u"Setup64.exe";

// The twin's exit code when it ran. nullopt when this is not a 32-bit program on 64-bit Windows,
// or the twin is missing or cannot be started (logged): the caller then carries on itself.
// arguments: this program's command line after its own name, handed on as it stands.
std::optional<plat::DWORD> RunNativeTwin(const engine::Env& env, const std::u16string& arguments);

}  // namespace startup
