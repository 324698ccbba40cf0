// INI (private profile) reads of the simulated machine.
#include "impl.h"

namespace sim {
using namespace plat;

unsigned Machine::GetPrivateProfileIntW(const char16_t*, const char16_t*, int defaultValue, const char16_t*) {
    return static_cast<unsigned>(defaultValue);
}

DWORD Machine::GetPrivateProfileStringW(const char16_t*, const char16_t*, const char16_t* defaultValue,
                                        char16_t* buffer, DWORD size, const char16_t*) {
    std::u16string d = Str(defaultValue);
    if (!buffer || size == 0) return 0;
    size_t n = std::min<size_t>(d.size(), size - 1);
    std::copy_n(d.begin(), n, buffer);
    buffer[n] = 0;
    return static_cast<DWORD>(n);
}

}  // namespace sim
