// IServices of the simulated machine: the service control manager with services that pass
// through stop and start pending on the virtual clock, can refuse a control, or never arrive.
#include "impl.h"
#include "platform/text.h"

namespace sim {
using namespace plat;

namespace {
constexpr DWORD ERROR_INVALID_SERVICE_CONTROL = 1052;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;

bool Grants(DWORD access, DWORD right) {
    return (access & right) || (access & GENERIC_ALL) ||
           (right == SERVICE_QUERY_STATUS && (access & GENERIC_READ)) ||
           ((right == SERVICE_START || right == SERVICE_STOP) && (access & GENERIC_EXECUTE));
}

void Fill(const SimService& s, SERVICE_STATUS* status) {
    if (!status) return;
    *status = {};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = s.state;
    status->dwControlsAccepted = s.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    bool pending = s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING;
    status->dwCheckPoint = pending ? s.checkPoint : 0;
    status->dwWaitHint = pending ? s.waitHint : 0;
}

}  // namespace

SimService& ServicesState::Get(const std::u16string& name) {
    auto [it, added] = services.try_emplace(ToUpper(name));
    if (added) {
        it->second.name = name;
        it->second.state = SERVICE_STOPPED;
    }
    return it->second;
}

SimService* ServicesState::Find(const std::u16string& name) {
    auto it = services.find(ToUpper(name));
    return it == services.end() ? nullptr : &it->second;
}

// The spooler's process holds its loaded files from the start until it has fully stopped.
bool Machine::SpoolerRunning() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    SimService* s = services.Find(u"Spooler");
    return s && s->state != SERVICE_STOPPED;
}

void Machine::AdvanceServices(uint64_t, uint64_t toMs) {
    for (auto& [key, s] : services.services) {
        if (s.state == SERVICE_STOP_PENDING && s.stopTakesMs && s.pendingUntil <= toMs) {
            s.state = SERVICE_STOPPED;
            Event("service " + ToUtf8(s.name) + " stopped");
        } else if (s.state == SERVICE_START_PENDING && s.startTakesMs && s.pendingUntil <= toMs) {
            s.state = SERVICE_RUNNING;
            Event("service " + ToUtf8(s.name) + " running");
        }
    }
}

SC_HANDLE Machine::OpenSCManagerW(const char16_t*, const char16_t*, DWORD access) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("OpenSCManagerW")) return nullptr;
    HANDLE h = NewHandle();
    services.handles[reinterpret_cast<uintptr_t>(h)] = {u"", access};
    return h;
}

SC_HANDLE Machine::OpenServiceW(SC_HANDLE manager, const char16_t* name, DWORD access) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("OpenServiceW")) return nullptr;
    auto m = services.handles.find(reinterpret_cast<uintptr_t>(manager));
    if (m == services.handles.end() || !m->second.service.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!name || !services.Find(name)) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    HANDLE h = NewHandle();
    services.handles[reinterpret_cast<uintptr_t>(h)] = {ToUpper(name), access};
    return h;
}

BOOL Machine::QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("QueryServiceStatus")) return 0;
    auto h = services.handles.find(reinterpret_cast<uintptr_t>(service));
    SimService* s = h == services.handles.end() ? nullptr : services.Find(h->second.service);
    if (!s || h->second.service.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!Grants(h->second.access, SERVICE_QUERY_STATUS)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (!status) {
        SetLastError(ERROR_INVALID_PARAMETER);   // Windows reports 998 here; nothing relies on it
        return 0;
    }
    if (s->state == SERVICE_START_PENDING || s->state == SERVICE_STOP_PENDING) ++s->checkPoint;
    Fill(*s, status);
    return 1;
}

BOOL Machine::ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("ControlService")) return 0;
    auto h = services.handles.find(reinterpret_cast<uintptr_t>(service));
    SimService* s = h == services.handles.end() ? nullptr : services.Find(h->second.service);
    if (!s || h->second.service.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (control != SERVICE_CONTROL_STOP) {
        SetLastError(ERROR_INVALID_SERVICE_CONTROL);
        return 0;
    }
    if (!Grants(h->second.access, SERVICE_STOP)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    std::string name = ToUtf8(s->name);
    DWORD error = s->state == SERVICE_STOPPED ? ERROR_SERVICE_NOT_ACTIVE
                  : s->state != SERVICE_RUNNING ? ERROR_SERVICE_CANNOT_ACCEPT_CTRL
                                                : s->stopError;
    if (error) {
        Event("service " + name + " stop refused error " + std::to_string(error));
        Fill(*s, status);
        SetLastError(error);
        return 0;
    }
    if (s->stopTakesMs && *s->stopTakesMs == 0) {
        s->state = SERVICE_STOPPED;
        Event("service " + name + " stopped");
    } else {
        s->state = SERVICE_STOP_PENDING;
        s->checkPoint = 0;
        s->pendingUntil = clockMs_ + (s->stopTakesMs ? *s->stopTakesMs : 0);
        Event("service " + name + " stop pending, wait hint " + std::to_string(s->waitHint));
    }
    Fill(*s, status);
    return 1;
}

BOOL Machine::StartServiceW(SC_HANDLE service, DWORD, const char16_t**) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("StartServiceW")) return 0;
    auto h = services.handles.find(reinterpret_cast<uintptr_t>(service));
    SimService* s = h == services.handles.end() ? nullptr : services.Find(h->second.service);
    if (!s || h->second.service.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!Grants(h->second.access, SERVICE_START)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    std::string name = ToUtf8(s->name);
    DWORD error = s->state != SERVICE_STOPPED ? ERROR_SERVICE_ALREADY_RUNNING : s->startError;
    if (error) {
        Event("service " + name + " start refused error " + std::to_string(error));
        SetLastError(error);
        return 0;
    }
    if (s->startTakesMs && *s->startTakesMs == 0) {
        s->state = SERVICE_RUNNING;
        Event("service " + name + " running");
    } else {
        s->state = SERVICE_START_PENDING;
        s->checkPoint = 0;
        s->pendingUntil = clockMs_ + (s->startTakesMs ? *s->startTakesMs : 0);
        Event("service " + name + " start pending, wait hint " + std::to_string(s->waitHint));
    }
    return 1;
}

BOOL Machine::CloseServiceHandle(SC_HANDLE handle) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (Faulted("CloseServiceHandle")) return 0;
    if (!services.handles.erase(reinterpret_cast<uintptr_t>(handle))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

}  // namespace sim
