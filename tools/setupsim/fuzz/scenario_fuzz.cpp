// The scenario loader on arbitrary text: a clear error or a configured machine, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "setupsim/scenario.h"
#include "sim/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    sim::TempDir dir;
    sim::Machine machine(dir.path());
    setupsim::Scenario scenario;
    setupsim::ScenarioError error;
    if (!setupsim::LoadScenario(text, machine, scenario, error) && error.message.empty()) __builtin_trap();
    return 0;
}
