// Driver installation of the simulated machine: INF classes, INF staging, root-enumerated
// devices through the class installer, and plug-and-play driver updates.
#include "impl.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
}

BOOL Machine::SetupDiGetINFClassW(const char16_t*, GUID*, char16_t*, DWORD, DWORD*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
HDEVINFO Machine::SetupDiCreateDeviceInfoList(const GUID*, HWND) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
}
BOOL Machine::SetupDiCreateDeviceInfoW(HDEVINFO, const char16_t*, const GUID*, const char16_t*, HWND, DWORD,
                                       SP_DEVINFO_DATA*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::SetupDiSetDeviceRegistryPropertyW(HDEVINFO, SP_DEVINFO_DATA*, DWORD, const BYTE*, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::SetupDiCallClassInstaller(DWORD, HDEVINFO, SP_DEVINFO_DATA*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::SetupCopyOEMInfW(const char16_t*, const char16_t*, DWORD, DWORD, char16_t*, DWORD, DWORD*, char16_t**) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
BOOL Machine::UpdateDriverForPlugAndPlayDevicesW(HWND, const char16_t*, const char16_t*, DWORD, BOOL*) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}

}  // namespace sim
