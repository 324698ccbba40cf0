// Which package folder, INF and file names belong to an installation, for a package family
// and the running system's architecture. Pure selection; the copy and the registration use it.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace engine {

constexpr size_t kPathUnits = 512;   // paths are built in buffers of this many code units
constexpr size_t kNameUnits = 260;   // file and folder names, the dependent-file multi-string

// The program folder: Setup's module path up to and including its last backslash.
// Empty when the path cannot be read or does not fit.
std::u16string ProgramFolder(const plat::Platform& p);

// <program folder>VT39\ or 9Pin\, then X64\ or i386\; nullopt when the path does not fit.
std::optional<std::u16string> GetDriverSourceDir(const plat::Platform& p, int family);

struct InfLocation {
    std::u16string folder;   // the same folder as GetDriverSourceDir
    std::u16string path;     // folder + VT39.inf or 9Pin.inf
};
std::optional<InfLocation> GetInfPath(const plat::Platform& p, int family);

struct CopyLists {
    std::u16string required;   // copied into the driver directory
    std::u16string replace;    // copied even over an existing file, with the replacement rules
};
// The family's lists, each with dataFileName and ";" appended.
CopyLists GetCopyLists(int family, const std::u16string& dataFileName);

// Plain substring test of the upper-cased name in the upper-cased list: separators are not
// looked at, so the tail or middle of a listed name counts as listed.
bool IsInList(const std::u16string& list, const std::u16string& fileName);

// The dependent-file list as a multi-string (each name, a zero, and a final zero), as it stands
// in a 260-unit buffer; nullopt if it would not fit.
std::optional<std::u16string> GetDependentFiles(int family);

}  // namespace engine
