// The simulated print spooler's state.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace sim {

struct SpoolerState {
    std::u16string driverDirectory = u"C:\\Windows\\System32\\spool\\drivers\\x64";
    std::vector<std::u16string> ports = {u"LPT1:", u"LPT2:", u"LPT3:", u"COM1:", u"COM2:", u"FILE:"};
    std::vector<std::u16string> printers;   // names of the present printer queues
    std::u16string defaultPrinter;
};

}  // namespace sim
