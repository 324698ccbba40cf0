// IServices of the simulated machine.
#include "impl.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
}

bool Machine::SpoolerRunning() {
    auto it = services.services.find(u"SPOOLER");
    return it != services.services.end() && it->second.state == SERVICE_RUNNING;
}

void Machine::AdvanceServices(uint64_t, uint64_t) {}

SC_HANDLE Machine::OpenSCManagerW(const char16_t*, const char16_t*, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
}
SC_HANDLE Machine::OpenServiceW(SC_HANDLE, const char16_t*, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
}
BOOL Machine::QueryServiceStatus(SC_HANDLE, SERVICE_STATUS*) { return 0; }
BOOL Machine::ControlService(SC_HANDLE, DWORD, SERVICE_STATUS*) { return 0; }
BOOL Machine::StartServiceW(SC_HANDLE, DWORD, const char16_t**) { return 0; }
BOOL Machine::CloseServiceHandle(SC_HANDLE) { return 0; }

}  // namespace sim
