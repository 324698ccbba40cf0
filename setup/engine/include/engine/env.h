// What every engine and detection routine works with: the platform, the user's error dialog and
// the installation log. The program makes one Env for its whole run; each test makes its own.
#pragma once

#include "engine/error_reporter.h"
#include "engine/install_log.h"
#include "platform/platform.h"

namespace engine {

struct Env {
    plat::Platform p;
    IErrorReporter& errors;
    InstallLog& log;
};

}  // namespace engine
