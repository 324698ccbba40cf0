// Setup without its wizard: the unattended install (/S), the uninstall and the usage. The same
// start-up, detection, worker and engine as the wizard; what the wizard would show in a dialog
// goes to the installation log, standard error and the /log file, and the run ends with an exit
// code scripts can read.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/env.h"
#include "unattended/command_line.h"

namespace unattended {

// Exit codes besides the wizard's error codes 1 to 6, which are their own numbers.
constexpr int kExitSuccess = 0;
constexpr int kExitBadArguments = 10;
constexpr int kExitNoModel = 11;        // no /model and no printer detected
constexpr int kExitUnknownModel = 12;   // not in the catalogue (or the detected one is not)
constexpr int kExitNoSuchPort = 13;     // not among the spooler's ports, or no port to take
constexpr int kExitUninstallIncomplete = 14;

// The window the worker's result goes to in a run without windows; no real window has it.
inline plat::HWND const kSilentNotifyWindow = reinterpret_cast<plat::HWND>(static_cast<uintptr_t>(0x5EC0));

struct Output {
    // UTF-8 lines for standard error; empty when the process has none.
    std::function<void(std::string_view line)> errorStream;
    // Called just before the worker runs (tests inject faults there).
    std::function<void()> beforeInstall;
};

// Runs a command that is not Mode::Wizard and returns the exit code. env.errors is not used:
// codes are reported as the mode wants them.
int Run(const engine::Env& env, const Command& command, const Output& output = {});

}  // namespace unattended
