// Setup.exe: the wizard on the real system.
#include "detect/usb_port.h"
#include "engine/env.h"
#include "win32/win32_platform.h"

#include "dialogs/dlg_mes_error.h"
#include "wizard_app/setup_app.h"

namespace {
wizard_app::CSetupApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    wizard_app::RestrictDllSearch();
    plat::Platform platform = win32::RealPlatform();
    engine::InstallLog log(platform);
    dialogs::ErrorDialogReporter errors;
    engine::Env env{platform, errors, log};
    detect::DetectionState detection;
    theApp.Wire(env, detection);
    theApp.Run(instance);
    return 0;   // Setup sets no exit code of its own
}
