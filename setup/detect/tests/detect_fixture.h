// A simulated machine with the installation log, for detection's host tests.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "detect_testing/machine_builders.h"
#include "engine_testing/sim_env.h"

namespace detect_test {

struct DetectFixture : testing::Test {
    engine_testing::SimEnv s;
    sim::Machine& m = s.machine;
    plat::Platform p = m.platform();
    const engine::Env& env = s.env;

    // The log's entries without their time stamps, as UTF-8.
    std::vector<std::string> LogEntries() {
        std::vector<std::string> out;
        std::string bytes = s.LogBytes();
        static const std::regex stamp("     [0-9]+-[0-9]+-[0-9]+,[0-9]+:[0-9]+:[0-9]+:[0-9]+ \r\n$");
        size_t start = 0;
        for (size_t nul; (nul = bytes.find('\0', start)) != std::string::npos; start = nul + 1) {
            std::string entry = plat::ToUtf8(plat::AnsiToText(m, bytes.data() + start, nul - start));
            out.push_back(std::regex_replace(entry, stamp, ""));
        }
        return out;
    }

    // Machine events that start with one of the prefixes.
    std::vector<std::string> EventsStarting(std::initializer_list<const char*> prefixes) {
        std::vector<std::string> out;
        for (const auto& e : m.Events())
            for (const char* prefix : prefixes)
                if (e.rfind(prefix, 0) == 0) out.push_back(e);
        return out;
    }
};

}  // namespace detect_test
