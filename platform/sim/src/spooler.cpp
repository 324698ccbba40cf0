// ISpooler of the simulated machine.
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
BOOL Machine::EnumPortsW(const char16_t*, DWORD, BYTE*, DWORD, DWORD*, DWORD*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::SetDefaultPrinterW(const char16_t*) { return 0; }

}  // namespace sim
