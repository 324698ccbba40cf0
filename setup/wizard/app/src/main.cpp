// Setup.exe: the wizard on the real system, or, with switches, the run without it.
#include "detect/usb_port.h"
#include "engine/env.h"
#include "startup/native_twin.h"
#include "unattended/unattended.h"
#include "win32/win32_platform.h"

#include "dialogs/dlg_mes_error.h"
#include "wizard_app/setup_app.h"

namespace {
wizard_app::CSetupApp theApp;

// A GUI program has standard error only when its starter handed one over (a script's redirect).
void ToStandardError(std::string_view line) {
    HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    std::string bytes(line);
    bytes += "\r\n";
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
    wizard_app::RestrictDllSearch();
    plat::Platform platform = win32::RealPlatform();
    engine::InstallLog log(platform);
    dialogs::ErrorDialogReporter errors;
    engine::Env env{platform, errors, log};
    const std::u16string commandLine = arguments ? reinterpret_cast<const char16_t*>(arguments) : u"";
    if (auto code = startup::RunNativeTwin(env, commandLine)) return static_cast<int>(*code);
    unattended::Command command = unattended::ParseCommandLine(commandLine);
    if (command.mode != unattended::Mode::Wizard) {
        unattended::Output output;
        output.errorStream = ToStandardError;
        return unattended::Run(env, command, output);
    }
    detect::DetectionState detection;
    theApp.Wire(env, detection);
    theApp.Run(instance);
    return 0;
}
