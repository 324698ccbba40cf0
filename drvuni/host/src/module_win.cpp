// Windows: the plug-in DLL, loaded the way the spooler loads it.
#include <cstdlib>

#include "unisim/unisim.h"

namespace unisim {

Module::~Module() { Unload(); }

bool Module::Load(std::string* error) {
    Unload();
    const char* path = std::getenv("LP_PLUGIN_DLL");
    HMODULE dll = ::LoadLibraryA(path != nullptr && *path != '\0' ? path : "UniRenderPlugin.dll");
    if (dll == nullptr) {
        if (error) *error = "LoadLibrary failed with error " + std::to_string(::GetLastError());
        return false;
    }
    auto entry = [dll](const char* name) { return reinterpret_cast<void (*)()>(::GetProcAddress(dll, name)); };
    getClassObject_ = reinterpret_cast<PFN_DllGetClassObject>(entry("DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<PFN_DllCanUnloadNow>(entry("DllCanUnloadNow"));
    library_ = dll;
    if (getClassObject_ == nullptr || canUnloadNow_ == nullptr) {
        if (error) *error = "the DLL does not export DllGetClassObject and DllCanUnloadNow";
        Unload();
        return false;
    }
    return true;
}

void Module::Unload() {
    if (library_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(library_));
    library_ = nullptr;
    getClassObject_ = nullptr;
    canUnloadNow_ = nullptr;
}

DWORD Module::LastError() const { return ::GetLastError(); }
void Module::SetLastError(DWORD error) const { ::SetLastError(error); }

}  // namespace unisim
