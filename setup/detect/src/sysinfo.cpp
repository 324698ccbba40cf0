#include "detect/sysinfo.h"

namespace detect {

plat::WORD NativeArchitecture(const plat::Platform& p) {
    plat::SYSTEM_INFO info{};
    // Older systems lack the native call; the plain one then tells the same.
    if (p.sys.Kernel32HasExport("GetNativeSystemInfo"))
        p.sys.GetNativeSystemInfo(&info);
    else
        p.sys.GetSystemInfo(&info);
    return info.wProcessorArchitecture;
}

bool IsNative64Bit(const plat::Platform& p) {
    plat::WORD a = NativeArchitecture(p);
    return a == plat::PROCESSOR_ARCHITECTURE_AMD64 || a == plat::PROCESSOR_ARCHITECTURE_IA64;
}

bool IsWin9xPlatform(const plat::Platform& p) {
    plat::OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!p.sys.GetVersionExW(&info)) return false;
    return info.dwPlatformId == plat::VER_PLATFORM_WIN32_WINDOWS;
}

}  // namespace detect
