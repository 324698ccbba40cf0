// The boundary's headers come before <windows.h> (pulled in by the window layer).
#include "engine/driver_copy.h"
#include "engine/fonts.h"
#include "wizard_app/setup_app.h"

#include <commctrl.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "wizard_app/setup_dlg.h"

namespace wizard_app {

void RestrictDllSearch() {
    ::SetDllDirectoryW(L"");   // takes the current folder out of the search everywhere
    // Looked up: systems before Windows 8 without the update that brought it lack the call.
    using Fn = BOOL(WINAPI*)(DWORD);
    auto restrict = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (restrict) {
        restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
        // The visual styles' module imports msimg32, which is no known DLL: with the system's copy
        // loaded now, that import by name finds it instead of a copy beside Setup.
        ::LoadLibraryExW(L"msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return;
    }
    // Without it, the delay-loaded GDI+ (and msimg32) would be searched for beside Setup first:
    // load the system's copies by their full paths now, and the later loads by name find them.
    for (const wchar_t* dll : {L"\\gdiplus.dll", L"\\msimg32.dll"}) {
        wchar_t path[MAX_PATH + 16] = {};
        UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) break;
        ::wcscat(path, dll);
        ::LoadLibraryW(path);
    }
}

BOOL CSetupApp::InitInstance() {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    ::InitCommonControlsEx(&classes);

    engine::Env& env = *env_;
    engine::InstallFonts(env);   // on this thread, before any window: its error dialog comes first
    auto prepared = std::make_shared<std::promise<void>>();
    std::future<void> servicesReady = prepared->get_future();
    std::thread([&env, prepared] {
        engine::PrepareServicesThreadProc(env);
        prepared->set_value();
    }).detach();

    {
        CSetupDlg wizard(env, *detection_);
        wizard.DoModal();
        // A user who quits at once would otherwise have PcaSvc started again before the service
        // thread stops it. The wait is as long as that thread's own bounded waits can take.
        const auto bound = std::chrono::milliseconds(2 * engine::kServiceWaitLimitMs + 5000);
        bool settled = servicesReady.wait_for(bound) == std::future_status::ready;
        engine::RestorePcaService(env);   // whatever way the wizard closed
        if (!settled) ::ExitProcess(0);   // the thread still uses what returning would destroy
    }
    return FALSE;
}

}  // namespace wizard_app
