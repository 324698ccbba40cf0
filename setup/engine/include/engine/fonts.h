// The font copy at start-up: every font file below the delivery folder's "字体" goes flat into
// the system font folder, with the replace-or-skip rules of the driver files, and each font copied
// (or found there unregistered) is installed as Windows' own font installation does: its value
// under the Fonts key, AddFontResourceW, then WM_FONTCHANGE to all windows.
#pragma once

#include <string>

#include "engine/env.h"

namespace engine {

// Under HKEY_LOCAL_MACHINE: file names of the installed fonts by "<title> (TrueType)" and the like.
inline constexpr char16_t kFontsKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// The result of the folder copy (start-up does not look at it); false also when the program
// folder or the font folder cannot be found.
bool InstallFonts(const Env& env);

// TrueType, OpenType, collections, bitmap and Type 1 fonts, by extension (any case).
bool IsFontFile(const std::u16string& name);

}  // namespace engine
