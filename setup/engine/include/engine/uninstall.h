// Taking back what Setup made for models of the catalogue: their queues, the drivers no other
// queue uses (with the files no other driver names), then the package's staged INF once no
// driver of ours is left.
//
// What counts as Setup's: a queue named "Halvorin M" or "Halvorin M (副本 n)" (the names
// MakeUniquePrinterName and plug and play give) whose driver is Setup's for M; a driver with such
// a name whose driver module is UNIDRV.DLL, whose data file is M's (M.GPD) and whose dependent
// files name the package's own module (VT39.dll). A queue or driver that fails any of these is
// left alone, whatever its name. The staged INF is the one in the Windows INF folder whose bytes
// are the package INF's beside Setup; it stays while a device (plug and play) got its driver
// from it.
#pragma once

#include <string>
#include <vector>

#include "engine/env.h"

namespace engine {

struct UninstallModel {
    std::u16string name;       // the catalogue's name, without the brand prefix
    std::u16string dataFile;   // its GPD file
};

struct UninstallReport {
    std::vector<std::u16string> queues, drivers, infs;   // what was removed, in order
    std::vector<std::u16string> infsInUse;               // kept: a device got its driver from it
    std::vector<std::u16string> failures;                // what could not be done, with the error
    bool complete() const { return failures.empty(); }
    bool removedNothing() const { return queues.empty() && drivers.empty() && infs.empty(); }
};

// "Halvorin M" or "Halvorin M (副本 n)" for n from 1.
bool IsSetupQueueName(const std::u16string& name, const std::u16string& model);

// Removes what Setup made for `models`; `catalogue` is every model of the package family, so
// that the INF stays while a driver of another model still needs it.
UninstallReport Uninstall(const Env& env, const std::vector<UninstallModel>& models,
                          const std::vector<UninstallModel>& catalogue, int family);

}  // namespace engine
