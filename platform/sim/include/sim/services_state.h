// The simulated service control manager's state: services as state machines with pending
// states and wait hints, moved on by the virtual clock (Machine::Sleep), and the open handles.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/types.h"

namespace sim {

struct SimService {
    std::u16string name;                      // as the service calls itself: "Spooler"
    plat::DWORD state = plat::SERVICE_RUNNING;
    // Behaviour.
    plat::DWORD waitHint = 1000;              // reported while a stop or start is pending
    std::optional<uint32_t> stopTakesMs = 300;    // time in stop pending; nullopt: never arrives
    std::optional<uint32_t> startTakesMs = 300;   // time in start pending; nullopt: never arrives
    plat::DWORD stopError = 0;                // nonzero: ControlService(STOP) is refused with it
    plat::DWORD startError = 0;               // nonzero: StartServiceW is refused with it
    // Progress of a pending state.
    uint64_t pendingUntil = 0;
    plat::DWORD checkPoint = 0;
};

struct ServicesState {
    std::map<std::u16string, SimService> services = {   // by upper-case name
        {u"SPOOLER", SimService{u"Spooler"}},
        {u"PCASVC", SimService{u"PcaSvc"}},
    };
    // Open handles: the manager (service empty) or a service, with the access granted.
    struct OpenHandle {
        std::u16string service;   // upper-case; empty for the manager
        plat::DWORD access = 0;
    };
    std::map<uintptr_t, OpenHandle> handles;

    // The service of that name, created stopped when missing.
    SimService& Get(const std::u16string& name);
    SimService* Find(const std::u16string& name);
};

}  // namespace sim
