// The simulated code page on Windows builds, converted by the host system (MinGW has no iconv).
// Kept apart because <windows.h> and the boundary's Windows-named constants cannot share a file.
#include <windows.h>

#include <cstring>
#include <string>

namespace sim {
namespace {
unsigned HostCodePage(const char* name) {
    return std::strcmp(name, "CP936") == 0 ? 936 : std::strcmp(name, "CP1252") == 0 ? 1252 : 65001;
}
}  // namespace

std::u16string HostDecode(const char* name, const char* src, size_t n) {
    unsigned cp = HostCodePage(name);
    int units = ::MultiByteToWideChar(cp, 0, src, static_cast<int>(n), nullptr, 0);
    std::u16string out(static_cast<size_t>(units > 0 ? units : 0), u'\0');
    if (units > 0) ::MultiByteToWideChar(cp, 0, src, static_cast<int>(n), reinterpret_cast<wchar_t*>(&out[0]), units);
    return out;
}

std::string HostEncode(const char* name, const char16_t* src, size_t n, char defaultChar, bool& usedDefault) {
    unsigned cp = HostCodePage(name);
    const wchar_t* w = reinterpret_cast<const wchar_t*>(src);
    BOOL used = FALSE;
    char def[2] = {defaultChar, 0};
    BOOL* usedPtr = cp == 65001 ? nullptr : &used;
    const char* defPtr = cp == 65001 ? nullptr : def;
    int bytes = ::WideCharToMultiByte(cp, 0, w, static_cast<int>(n), nullptr, 0, defPtr, usedPtr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) ::WideCharToMultiByte(cp, 0, w, static_cast<int>(n), &out[0], bytes, defPtr, usedPtr);
    usedDefault = used != FALSE;
    return out;
}

}  // namespace sim
