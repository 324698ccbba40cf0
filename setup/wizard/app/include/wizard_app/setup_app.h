// CSetupApp: the program object. Its start-up prepares the machine, runs the wizard modally and
// starts the compatibility service again; it returns FALSE so that the program ends without a
// message loop of its own.
#pragma once

#include "detect/usb_port.h"
#include "engine/env.h"
#include "framework/app.h"

namespace wizard_app {

class CSetupApp : public fw::CWinApp {
public:
    // What the program runs on: the real system in Setup.exe, a simulated machine in the test
    // build. Set before Run.
    void Wire(engine::Env& env, detect::DetectionState& detection) {
        env_ = &env;
        detection_ = &detection;
    }

protected:
    BOOL InitInstance() override;

private:
    engine::Env* env_ = nullptr;
    detect::DetectionState* detection_ = nullptr;
};

// Before any library is loaded on demand: the elevated process looks for DLLs in the system
// folder only, never in the delivery folder it was started from.
void RestrictDllSearch();

}  // namespace wizard_app
