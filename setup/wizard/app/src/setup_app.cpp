// The boundary's headers come before <windows.h> (pulled in by the window layer).
#include "engine/driver_copy.h"
#include "engine/fonts.h"
#include "wizard_app/setup_app.h"

#include <commctrl.h>

#include <thread>

#include "wizard_app/setup_dlg.h"

namespace wizard_app {

void RestrictDllSearch() {
    ::SetDllDirectoryW(L"");
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

BOOL CSetupApp::InitInstance() {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    ::InitCommonControlsEx(&classes);

    engine::Env& env = *env_;
    engine::InstallFonts(env);   // on this thread, before any window: its error dialog comes first
    std::thread([&env] { engine::PrepareServicesThreadProc(env); }).detach();

    {
        CSetupDlg wizard(env, *detection_);
        wizard.DoModal();
        engine::RestorePcaService(env);   // whatever way the wizard closed
    }
    return FALSE;
}

}  // namespace wizard_app
