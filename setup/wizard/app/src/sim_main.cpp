// SetupSim.exe, a test build: the same wizard, on the simulated machine that a scenario file
// describes ($LP_SCENARIO), with real windows and dialogs. At the end the machine's events go to
// $LP_SCENARIO_TRANSCRIPT, so that a test driving the windows can see what the engine did.
#include "detect/usb_port.h"
#include "engine/env.h"
#include "setupsim/scenario.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"
#include "win32/win32_platform.h"

#include "dialogs/dlg_mes_error.h"
#include "wizard_app/setup_app.h"

#include <cstdlib>
#include <fstream>

namespace {
wizard_app::CSetupApp theApp;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    wizard_app::RestrictDllSearch();
    sim::TempDir dir;
    sim::Machine machine(dir.path());
    setupsim::Scenario scenario;
    setupsim::ScenarioError error;
    if (!setupsim::LoadScenarioFile(Env("LP_SCENARIO"), machine, scenario, error)) {
        ::MessageBoxA(nullptr, error.Describe(Env("LP_SCENARIO")).c_str(), "SetupSim", MB_OK);
        return 2;
    }
    // The simulated machine for everything but the windows: messages and boxes are real.
    plat::Platform real = win32::RealPlatform();
    plat::Platform platform{machine, machine, machine, machine, machine, machine, machine, real.user};
    engine::InstallLog log(platform);
    dialogs::ErrorDialogReporter errors;
    engine::Env env{platform, errors, log};
    detect::DetectionState detection;
    theApp.Wire(env, detection);
    theApp.Run(instance);

    std::ofstream out(Env("LP_SCENARIO_TRANSCRIPT"), std::ios::binary);
    for (const auto& line : machine.Events()) out << line << "\n";
    return 0;
}
