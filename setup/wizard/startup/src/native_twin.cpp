#include "startup/native_twin.h"

#include "detect/sysinfo.h"
#include "engine/package.h"
#include "platform/text.h"

namespace startup {

std::optional<plat::DWORD> RunNativeTwin(const engine::Env& env, const std::u16string& arguments) {
    const plat::Platform& p = env.p;
    plat::SYSTEM_INFO own{};
    p.sys.GetSystemInfo(&own);   // this process's architecture, where the native call tells the machine's
    if (own.wProcessorArchitecture != plat::PROCESSOR_ARCHITECTURE_INTEL || !detect::IsNative64Bit(p))
        return std::nullopt;

    std::u16string folder = engine::ProgramFolder(p);
    std::u16string path = folder + kNativeTwinName;
    if (folder.empty() || !plat::FitsBuffer(path, engine::kPathUnits)) return std::nullopt;
    plat::DWORD attributes = p.files.GetFileAttributesW(path.c_str());
    if (attributes == plat::INVALID_FILE_ATTRIBUTES || (attributes & plat::FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;   // a delivery without the twin: the 32-bit program does the work

    std::u16string commandLine = u"\"" + path + u"\"" + (arguments.empty() ? u"" : u" " + arguments);
    plat::PROCESS_INFORMATION process{};
    if (!p.sys.CreateProcessW(path.c_str(), commandLine.data(), &process)) {
        env.log.Write(u"CreateProcess " + path, true);
        return std::nullopt;
    }
    p.files.CloseHandle(process.hThread);
    // The twin is the whole wizard: the user takes as long as they need.
    plat::DWORD exitCode = 0;
    if (p.sys.WaitForSingleObject(process.hProcess, plat::INFINITE) != plat::WAIT_OBJECT_0 ||
        !p.sys.GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = p.sys.GetLastError();   // it ran; a second wizard must not start
    p.files.CloseHandle(process.hProcess);
    return exitCode;
}

}  // namespace startup
