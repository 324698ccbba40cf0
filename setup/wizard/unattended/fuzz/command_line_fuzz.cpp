// Command lines as UTF-16 units: splitting and parsing never fail, a parsed install or
// uninstall only carries values the runner can take, and an accepted port is a plain name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "unattended/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string line;
    for (size_t i = 0; i + 1 < size; i += 2) line += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    auto words = unattended::SplitCommandLine(line);
    for (const auto& w : words)
        if (w.size() > line.size()) std::abort();
    unattended::Command c = unattended::ParseCommandLine(line);
    if (c.mode == unattended::Mode::Bad && c.error.empty()) std::abort();
    if (c.mode != unattended::Mode::Bad) {
        for (const auto* v : {&c.model, &c.port, &c.log})
            if (*v && (*v)->empty()) std::abort();
        if (c.port && !unattended::IsPlainPortName(*c.port)) std::abort();
        if (c.mode == unattended::Mode::Wizard && !words.empty()) std::abort();
    }
    return 0;
}
