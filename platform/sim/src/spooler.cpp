// ISpooler of the simulated machine.
#include <algorithm>

#include "impl.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
}

BOOL Machine::GetPrinterDriverDirectoryW(const char16_t*, const char16_t*, DWORD, BYTE*, DWORD, DWORD*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::OpenPrinterW(const char16_t*, HANDLE*, const PRINTER_DEFAULTSW*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::ClosePrinter(HANDLE) { return 0; }
BOOL Machine::AddPrinterDriverW(const char16_t*, DWORD, BYTE*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
HANDLE Machine::AddPrinterW(const char16_t*, DWORD, BYTE*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
}
BOOL Machine::GetPrinterW(HANDLE, DWORD, BYTE*, DWORD, DWORD*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::SetPrinterW(HANDLE, DWORD, BYTE*, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
LONG Machine::DocumentPropertiesW(HWND, HANDLE, const char16_t*, DEVMODEW*, DEVMODEW*, DWORD) { return -1; }
// The port list at level 1: the records first, then the names they point to, all in the
// caller's buffer; a buffer too small gives the size with ERROR_INSUFFICIENT_BUFFER.
BOOL Machine::EnumPortsW(const char16_t*, DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (returned) *returned = 0;
    if (Faulted("EnumPortsW")) return 0;
    if (level != 1) {
        SetLastError(124);   // ERROR_INVALID_LEVEL
        return 0;
    }
    if (!needed || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto& ports = spooler.ports;
    size_t need = ports.size() * sizeof(PORT_INFO_1W);
    for (const auto& name : ports) need += (name.size() + 1) * sizeof(char16_t);
    *needed = static_cast<DWORD>(need);
    if (!buffer || size < need) {
        if (need == 0) return 1;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    auto* records = reinterpret_cast<PORT_INFO_1W*>(buffer);
    auto* text = reinterpret_cast<char16_t*>(buffer + ports.size() * sizeof(PORT_INFO_1W));
    for (size_t i = 0; i < ports.size(); ++i) {
        records[i].pName = text;
        std::copy(ports[i].begin(), ports[i].end(), text);
        text += ports[i].size();
        *text++ = 0;
    }
    *returned = static_cast<DWORD>(ports.size());
    return 1;
}
BOOL Machine::SetDefaultPrinterW(const char16_t*) { return 0; }

}  // namespace sim
