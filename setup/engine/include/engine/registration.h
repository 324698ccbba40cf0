// The registration path: a free printer name, the package copied into the spooler's driver
// directory and its INF staged, a Unidrv-based driver and a local queue registered, the queue's
// bidirectional support switched off and the queue made the default printer.
//
//   InstallByRegistration   the whole path
//   MakeUniquePrinterName   "Halvorin <model>", then " (副本 n)" while the name is taken
//   CopyDriverPackage       driver directory, copy pass, INF staging
//   StageInf                SetupCopyOEMInfW with one retry on ERROR_NOT_FOUND
//   RegisterDriverAndQueue  AddPrinterDriverW level 6, AddPrinterW level 2
//   DisablePrinterBidi      clear PRINTER_ATTRIBUTE_ENABLE_BIDI through the level-2 record
#pragma once

#include <optional>
#include <string>

#include "engine/env.h"

namespace engine {

inline constexpr char16_t kBrandPrefix[] = u"Halvorin ";
// The copy-suffix search gives up here; the queue creation then reports the clash.
constexpr int kMaxCopySuffix = 9999;

// The outcome of a step with the system error of its failing call, carried explicitly rather
// than left in the thread's last error (an error dialog may run in between).
struct StepResult {
    bool ok = false;
    plat::DWORD error = 0;
    bool infSyntaxError() const { return !ok && error == plat::ERROR_GENERAL_SYNTAX; }
};

bool InstallByRegistration(const Env& env, const std::u16string& driverKind, const std::u16string& modelName,
                           const std::u16string& portName, const std::u16string& dataFileName, int family);
// nullopt when an open fails with anything but "no such printer" (1801): the name's owner is unknown.
std::optional<std::u16string> MakeUniquePrinterName(const Env& env, const std::u16string& modelName);
// error is set only when the INF staging failed (the one failure whose code matters later).
StepResult CopyDriverPackage(const Env& env, int family, const std::u16string& dataFileName);
StepResult StageInf(const Env& env, const std::u16string& infPath, const std::u16string& infFolder);
bool RegisterDriverAndQueue(const Env& env, const std::u16string& printerName, int family,
                            const std::u16string& portName, const std::u16string& dataFileName);
bool DisablePrinterBidi(const Env& env, const std::u16string& printerName);

// The spooler environment the package is registered for: "Windows x64" or "Windows IA64" on a
// 64-bit system, null (the caller's own) otherwise. A null environment is the calling program's,
// so the 32-bit Setup on 64-bit Windows would register the 64-bit package as a 32-bit driver,
// which no local queue there can use.
const char16_t* DriverEnvironment(const plat::Platform& p);

// The spooler's driver directory for DriverEnvironment (no trailing backslash), read into 512
// bytes; nullopt on failure.
std::optional<std::u16string> QueryDriverDirectory(const Env& env);

}  // namespace engine
