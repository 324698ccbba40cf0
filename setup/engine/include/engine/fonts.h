// The font copy at start-up: every font file below the delivery folder's "字体" goes flat into
// the system font folder, with the replace-or-skip rules of the driver files.
#pragma once

#include <string>

#include "engine/env.h"

namespace engine {

// The result of the folder copy (start-up does not look at it); false also when the program
// folder or the font folder cannot be found.
bool InstallFonts(const Env& env);

// TrueType, OpenType, collections, bitmap and Type 1 fonts, by extension (any case).
bool IsFontFile(const std::u16string& name);

}  // namespace engine
