// Setup's command line: nothing (the wizard), an unattended install, an uninstall, or the usage.
// Switches start with "/" or "-", are matched without regard to case, and may be quoted as
// CommandLineToArgvW quotes ("/log=C:\my logs\setup.txt" in double quotes).
//
//   /S                 no window at all
//   /model=M           a model of the catalogue
//   /port=P            a port of the spooler (no path characters)
//   /log=FILE          an account of each step, in UTF-8
//   /uninstall         take back what Setup made
//   /?                 the usage
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unattended {

enum class Mode { Wizard, Install, Uninstall, Usage, Bad };

struct Command {
    Mode mode = Mode::Wizard;
    bool silent = false;   // also kept for a bad command line, so that its message goes to no box
    std::optional<std::u16string> model, port, log;
    std::u16string error;   // for Mode::Bad: what is wrong, in a sentence
};

// The words of a command line, as the C runtime and CommandLineToArgvW split them (without the
// program's name): blanks separate, double quotes group, 2n backslashes before a quote are n and
// the quote counts, 2n+1 are n and a literal quote.
std::vector<std::u16string> SplitCommandLine(std::u16string_view line);

// The command line after the program's name.
Command ParseCommandLine(std::u16string_view line);

// Whether a port name can be handed to the spooler: not empty, at most 63 characters, no path or
// wildcard characters and no control characters.
bool IsPlainPortName(std::u16string_view port);

// The usage, in Chinese, for the message box of /?.
std::u16string UsageText();

}  // namespace unattended
