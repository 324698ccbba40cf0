#include "drvuni/os.h"

#include <cstdlib>

namespace drvuni::os {
namespace {

thread_local DWORD lastError = 0;

// Windows-1252 from 0x80 to 0x9F; 0 where the code page has no character.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char To1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return char(unit);
    for (int i = 0; i < 32; ++i)
        if (kHigh1252[i] != 0 && kHigh1252[i] == unit) return char(0x80 + i);
    return '?';
}

}  // namespace

void WritePrinter(HANDLE printer, const void* data, DWORD size) {
    if (printer != nullptr) static_cast<HostPrinter*>(printer)->Write(data, size);
}

void* Alloc(size_t size) { return std::calloc(1, size == 0 ? 1 : size); }
void Free(void* block) { std::free(block); }

// The host build's ANSI code page is Windows-1252: one byte per UTF-16 unit, '?' for the rest.
uint32_t ToAnsi(const char16_t* text, uint32_t units, char* out, uint32_t capacity) {
    if (capacity == 0) return units;
    const uint32_t n = units < capacity ? units : capacity;
    for (uint32_t i = 0; i < n; ++i) out[i] = To1252(text[i]);
    return n;
}

void SetLastError(DWORD error) { lastError = error; }
DWORD GetLastError() { return lastError; }
LONG Increment(volatile LONG* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG Decrement(volatile LONG* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }

}  // namespace drvuni::os
