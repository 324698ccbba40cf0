#include "drvuni/os.h"

#include <winspool.h>

namespace drvuni::os {

void WritePrinter(HANDLE printer, const void* data, DWORD size) {
    DWORD written = 0;
    ::WritePrinter(printer, const_cast<void*>(data), size, &written);
}

void* Alloc(size_t size) { return ::LocalAlloc(LMEM_ZEROINIT, size); }

void Free(void* block) {
    if (block != nullptr) ::LocalFree(block);
}

uint32_t ToAnsi(const char16_t* text, uint32_t units, char* out, uint32_t capacity) {
    // The call counts in int; longer runs than that are not text the host sends.
    if (units == 0 || units > 0x7FFFFFFF || capacity > 0x7FFFFFFF) return 0;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(text), int(units), out,
                                        int(capacity), nullptr, nullptr);
    return n > 0 ? uint32_t(n) : 0;
}

void SetLastError(DWORD error) { ::SetLastError(error); }
DWORD GetLastError() { return ::GetLastError(); }
LONG Increment(volatile LONG* value) { return ::InterlockedIncrement(value); }
LONG Decrement(volatile LONG* value) { return ::InterlockedDecrement(value); }

}  // namespace drvuni::os
