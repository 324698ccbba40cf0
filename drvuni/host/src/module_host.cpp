// Host build: the plug-in's code is linked into the program.
#include "drvuni/os.h"
#include "unisim/unisim.h"

namespace unisim {

Module::~Module() { Unload(); }

bool Module::Load(std::string*) {
    getClassObject_ = &DllGetClassObject;
    canUnloadNow_ = &DllCanUnloadNow;
    return true;
}

void Module::Unload() {
    getClassObject_ = nullptr;
    canUnloadNow_ = nullptr;
}

DWORD Module::LastError() const { return drvuni::os::GetLastError(); }
void Module::SetLastError(DWORD error) const { drvuni::os::SetLastError(error); }

}  // namespace unisim
