// The model catalogue PrinterInfo.ini beside Setup, read only through the system's INI
// (private profile) functions, and a reader of single values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace detect {

constexpr size_t kMaxModels = 512;
constexpr plat::DWORD kModelNameUnits = 128;   // a longer name is cut to 127 characters
constexpr plat::DWORD kValueUnits = 260;       // a longer value is cut to 259 characters
inline constexpr const char16_t* kModelSection = u"热敏打印机";

class CIniReader {
public:
    explicit CIniReader(const plat::Platform& p) : p_(p) {}
    void SetPath(std::u16string path) { path_ = std::move(path); }
    // Empty when the file, the section or the key is missing.
    std::u16string ReadString(const std::u16string& section, const std::u16string& key) const;

private:
    plat::Platform p_;
    std::u16string path_;
};

class CPrinterCatalog {
public:
    // The program folder's PrinterInfo.ini; an empty path when the module path cannot be read
    // whole, so that the catalogue counts as missing.
    explicit CPrinterCatalog(const plat::Platform& p);
    CPrinterCatalog(const plat::Platform& p, std::u16string path) : p_(p), path_(std::move(path)) {}

    const std::u16string& path() const { return path_; }

    // Slots 0 .. n-1 for n = "Counts" (at most 512), each the value of key i or empty; returns n
    // (0 for a missing file or section, a count of 0, a negative one or one without digits).
    size_t ReadModels(const std::u16string& section, std::vector<std::u16string>& table) const;

private:
    plat::Platform p_;
    std::u16string path_;
};

}  // namespace detect
