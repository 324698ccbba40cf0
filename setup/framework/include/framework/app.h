// CWinApp: the program object. The entry point hands it the instance and runs it:
//
//   int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) { return theApp.Run(inst); }
//
// Run calls InitInstance; when that returns TRUE it pumps messages until WM_QUIT. Either way it
// ends with ExitInstance, whose value is the program's exit code.
#pragma once

#include "framework/wnd.h"

namespace fw {

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    int Run(HINSTANCE instance);
    HINSTANCE Instance() const { return instance_; }
    static CWinApp* Current();

protected:
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return exitCode_; }
    int exitCode_ = 0;

private:
    HINSTANCE instance_ = nullptr;
};

}  // namespace fw
