// A simulated machine with the engine's Env around it, and the little readers the engine's
// tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_testing/sim_env.h"
#include "platform/text.h"
#include "setupsim/scenario.h"

namespace engine_tests {

struct EngineTest : testing::Test {
    engine_testing::SimEnv s;
    sim::Machine& m = s.machine;
    const engine::Env& env = s.env;

    std::u16string DriverDir() const { return m.spooler.driverDirectory; }
    std::u16string InDriverDir(const std::u16string& name) const { return DriverDir() + u"\\" + name; }
    std::u16string PackageDir() const { return u"C:\\Delivery\\VT39\\X64\\"; }

    // The log as text (entries keep their CR LF NUL endings).
    std::string LogText() {
        std::string bytes = s.LogBytes();
        return bytes.empty() ? std::string() : plat::ToUtf8(plat::AnsiToText(m, bytes.data(), bytes.size()));
    }
    std::vector<std::string> Events() { return m.Events(); }
    // Events that start with prefix, in order.
    std::vector<std::string> EventsStarting(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : m.Events())
            if (e.rfind(prefix, 0) == 0) out.push_back(e);
        return out;
    }
    std::vector<std::string> Sleeps() { return EventsStarting("sleep "); }
    bool SpoolerTouched() { return !EventsStarting("service Spooler").empty(); }
    std::vector<std::string> Codes() {
        std::vector<std::string> out;
        for (const auto& c : s.errors.codes()) out.push_back(plat::ToUtf8(c));
        return out;
    }
};

}  // namespace engine_tests
