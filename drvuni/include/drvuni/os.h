// The few Windows services the plug-in calls: the spooler's WritePrinter, zero-filled local
// memory, the ANSI code page, the last error and interlocked counts. The Windows build calls the
// real ones; the host build has stand-ins, with the spooler played by the host simulator.
//
// Holds: drvuni::os functions, HostPrinter (host build only).
#pragma once

#include "drvuni/unidrv.h"

namespace drvuni::os {

void WritePrinter(HANDLE printer, const void* data, DWORD size);
void* Alloc(size_t size);   // zero-filled; null when not available
void Free(void* block);
// CP_ACP, no flags; with capacity 0 only counts. Returns the bytes the text takes.
uint32_t ToAnsi(const char16_t* text, uint32_t units, char* out, uint32_t capacity);
void SetLastError(DWORD error);
DWORD GetLastError();
LONG Increment(volatile LONG* value);
LONG Decrement(volatile LONG* value);

}  // namespace drvuni::os

#if !defined(_WIN32)
namespace drvuni {
// On the host build DEVOBJ.hPrinter points at one of these; the host simulator supplies it.
class HostPrinter {
public:
    virtual void Write(const void* data, DWORD size) = 0;

protected:
    ~HostPrinter() = default;
};
}  // namespace drvuni
#endif
