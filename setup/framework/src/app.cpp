#include "framework/app.h"

namespace fw {

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_app; }

int CWinApp::Run(HINSTANCE instance) {
    instance_ = instance;
    if (InitInstance()) {
        MSG msg;
        BOOL got;
        while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (got == 0) exitCode_ = static_cast<int>(msg.wParam);
    }
    return ExitInstance();
}

}  // namespace fw
