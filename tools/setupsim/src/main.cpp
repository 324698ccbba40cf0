// setupsim SCENARIO: runs the installation engine on a simulated machine described by the
// scenario file and prints the transcript (docs/scenario-format.md).
//   exit 0  the run finished (whatever the engine's result)
//   exit 2  the scenario file is bad (the message names the line)
//   exit 3  a step did not end in time
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "setupsim/runner.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::cerr << "usage: setupsim SCENARIO\n\ndirectives:\n" << setupsim::StandardRegistry().Usage();
        return argc == 2 ? 0 : 2;
    }
    setupsim::RunResult result;
    std::string error;
    if (!setupsim::RunScenarioFile(argv[1], result, error)) {
        std::cerr << "setupsim: " << error << "\n";
        return 2;
    }
    std::cout << result.transcript << std::flush;
    if (!result.finished) std::_Exit(3);   // a step still runs: do not wait for it
    return 0;
}
