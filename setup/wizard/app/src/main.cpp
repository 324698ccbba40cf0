// Setup.exe: the wizard on the real system.
#include "detect/usb_port.h"
#include "engine/env.h"
#include "startup/native_twin.h"
#include "win32/win32_platform.h"

#include "dialogs/dlg_mes_error.h"
#include "wizard_app/setup_app.h"

namespace {
wizard_app::CSetupApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
    wizard_app::RestrictDllSearch();
    plat::Platform platform = win32::RealPlatform();
    engine::InstallLog log(platform);
    dialogs::ErrorDialogReporter errors;
    engine::Env env{platform, errors, log};
    if (auto code = startup::RunNativeTwin(env, reinterpret_cast<const char16_t*>(arguments))) return static_cast<int>(*code);
    detect::DetectionState detection;
    theApp.Wire(env, detection);
    theApp.Run(instance);
    return 0;
}
