// How the engine and detection tell the user of a failure: a short error code ("1" to "6").
// The program supplies the implementation (the wizard's error dialog); the engine never
// includes wizard code. Calls come from whichever thread failed and return when the user
// has closed the dialog.
#pragma once

#include <string>

namespace engine {

class IErrorReporter {
public:
    virtual ~IErrorReporter() = default;
    virtual void ShowErrorCode(const std::u16string& code) = 0;
};

}  // namespace engine
