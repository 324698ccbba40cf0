// Runs a loaded scenario the way the program runs the engine (each step on a thread of its own,
// the worker's result message to a window) and writes the transcript: one event a line.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/env.h"
#include "engine_testing/sim_env.h"
#include "setupsim/scenario.h"

namespace setupsim {

// Lines in the order they happened, from any thread.
class Transcript {
public:
    void Line(std::string line);
    std::vector<std::string> Lines() const;
    std::string Text() const;   // every line followed by "\n"

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// What a step or a summary handler works with.
class RunContext {
public:
    RunContext(sim::Machine& machine, const engine::Env& env, Scenario& scenario, Transcript& transcript)
        : machine(machine), env(env), scenario(scenario), transcript(transcript) {}
    sim::Machine& machine;
    const engine::Env& env;    // the engine's platform (with the log watched), error reporter and log
    Scenario& scenario;
    Transcript& transcript;
    std::vector<plat::LPARAM> results;   // WM_INSTALL_RESULT values, in order
    void Line(std::string line) { machine.Event(std::move(line)); }   // in order with the machine's events
};

struct RunResult {
    bool finished = true;                // false: a step did not end within the real-time limit
    std::vector<plat::LPARAM> results;   // WM_INSTALL_RESULT values
    std::string transcript;
};

// Steps are given this much real time each before the run is declared stuck.
constexpr int kStepRealSeconds = 60;
// The window that receives WM_INSTALL_RESULT in a run.
inline plat::HWND const kWizardWindow = reinterpret_cast<plat::HWND>(static_cast<uintptr_t>(0x10046));

RunResult RunScenario(sim::Machine& machine, Scenario& scenario, const Registry& registry = StandardRegistry());

// Loads and runs a scenario file on a fresh machine; false with a message on a bad file.
bool RunScenarioFile(const std::filesystem::path& file, RunResult& result, std::string& error);

// A readable line diff of two transcripts (empty when equal).
std::string DiffLines(const std::string& expected, const std::string& actual);

}  // namespace setupsim
