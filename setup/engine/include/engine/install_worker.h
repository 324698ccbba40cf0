// The install worker: one request, the plug-and-play path when the chosen model is the one the
// printer reported, else (or when that fails) the registration path, and exactly one
// WM_INSTALL_RESULT to the wizard, sent with the blocking send.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/env.h"

namespace engine {

// wParam 0; lParam 1 when the printer was installed, 0 when not.
constexpr plat::DWORD WM_INSTALL_RESULT = plat::WM_USER + 101;

// The driver kind that bars the plug-and-play path.
inline constexpr char16_t kUniversalDriverKind[] = u"通用驱动程序";

struct CInstallRequest {
    plat::HWND hwndNotify = nullptr;   // receives WM_INSTALL_RESULT
    std::u16string driverKind;         // "通用驱动程序" bars the plug-and-play path
    std::u16string modelName;          // without the brand prefix
    std::u16string portName;           // USB001, LPT1: ...
    std::u16string dataFileName;       // the model's GPD file
    int32_t packageFamily = 0;         // 0, 1 or 2
    std::u16string detectedModel;      // the model the printer reported; empty when none
    std::u16string detectedDataFile;   // the data file of the detected model
};

// Shown when an install failed without any error dialog on its way (a refused call the paths
// only steer by): the user is always told.
inline constexpr char16_t kUnreportedFailureCode[] = u"5";

// Whether the request goes to the plug-and-play path first.
bool TakesPlugAndPlayPath(const CInstallRequest& request);

// The thread procedure. Owns the request and destroys it at its end; sends exactly one
// WM_INSTALL_RESULT to request->hwndNotify through env.p.user.SendMessageW; returns 0. A failed
// install has shown at least one error code by then (kUnreportedFailureCode if nothing else).
// The Env must outlive the thread. Run it on std::thread or from a CreateThread trampoline.
plat::DWORD InstallThreadProc(const Env& env, std::unique_ptr<CInstallRequest> request);

}  // namespace engine
