// The simulated service control manager's state.
#pragma once

#include <map>
#include <string>

#include "platform/types.h"

namespace sim {

struct SimService {
    plat::DWORD state = plat::SERVICE_RUNNING;
};

struct ServicesState {
    std::map<std::u16string, SimService> services = {{u"SPOOLER", {}}, {u"PCASVC", {}}};   // upper-case names
};

}  // namespace sim
