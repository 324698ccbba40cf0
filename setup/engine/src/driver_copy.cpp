#include "engine/driver_copy.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "engine/package.h"
#include "platform/text.h"

namespace engine {
namespace {

using plat::DWORD;

// Closes a service or manager handle at the end of a scope (after any log entry, so that the
// entry still sees the failing call's error).
class ScHandle {
public:
    ScHandle(plat::IServices& s, plat::SC_HANDLE h) : s_(s), h_(h) {}
    ~ScHandle() {
        if (h_) s_.CloseServiceHandle(h_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    plat::SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    plat::IServices& s_;
    plat::SC_HANDLE h_;
};

// The manager and one service, both with full access, and the service's status. Each failing
// call is logged under its name at once, while its error is still the thread's last error.
struct ControlledService {
    ControlledService(const Env& env, const std::u16string& name)
        : manager(env.p.services, env.p.services.OpenSCManagerW(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS)),
          service(env.p.services,
                  manager ? env.p.services.OpenServiceW(manager.get(), name.c_str(), plat::SERVICE_ALL_ACCESS)
                          : nullptr) {
        if (!manager)
            env.log.Write(u"OpenSCManager", true);
        else if (!service)
            env.log.Write(u"OpenService", true);
        else if (!env.p.services.QueryServiceStatus(service.get(), &status))
            env.log.Write(u"QueryServiceStatus", true);
        else
            ok = true;
    }
    ScHandle manager;
    ScHandle service;
    plat::SERVICE_STATUS status{};
    bool ok = false;
};

enum class WaitEnd { Arrived, QueryFailed, TimedOut, Left };

bool IsPending(DWORD state) {
    return state == plat::SERVICE_START_PENDING || state == plat::SERVICE_STOP_PENDING ||
           state == plat::SERVICE_CONTINUE_PENDING || state == plat::SERVICE_PAUSE_PENDING;
}

// Follows the service's wait hints until it reports `target`: wait for the hint of the last
// status read, stop when that status was the target, else read again. Bounded by
// kServiceWaitLimitMs; a service that settles in another state ends the wait too.
WaitEnd WaitForState(const Env& env, plat::SC_HANDLE service, plat::SERVICE_STATUS status, DWORD target) {
    DWORD waited = 0;
    for (;;) {
        bool arrived = status.dwCurrentState == target;
        if (!arrived && !IsPending(status.dwCurrentState)) return WaitEnd::Left;
        if (!arrived && waited >= kServiceWaitLimitMs) return WaitEnd::TimedOut;
        DWORD wait = std::min(status.dwWaitHint, kServiceWaitCeilingMs);
        if (!arrived) wait = std::max(wait, kServicePollFloorMs);
        env.p.sys.Sleep(wait);
        waited += wait;
        if (arrived) return WaitEnd::Arrived;
        if (!env.p.services.QueryServiceStatus(service, &status)) return WaitEnd::QueryFailed;
    }
}

std::u16string TimeoutText(const std::u16string& name, bool starting) {
    return u"等待" + name + (starting ? u"服务启动超时" : u"服务停止超时");
}

// The walk shared by the copy pass and the folder copy: "*.*" below sourceDir, "." and ".."
// skipped, sub-folders walked into the same target. Each file the handler counts, and each
// sub-folder, adds its outcome; the pass fails when any of them failed and succeeds when at
// least one succeeded. (Letting the last one decide would hide a failed replacement behind a
// later good one, and fail a good package over an empty last sub-folder.)
enum class Outcome { None, Ok, Failed };

Outcome Join(Outcome a, Outcome b) {
    if (a == Outcome::Failed || b == Outcome::Failed) return Outcome::Failed;
    return a == Outcome::Ok || b == Outcome::Ok ? Outcome::Ok : Outcome::None;
}

using FileHandler = std::function<Outcome(const std::u16string& name, const std::u16string& source,
                                          const std::u16string& target)>;

Outcome Walk(const Env& env, const std::u16string& sourceDir, const std::u16string& targetDir,
             const FileHandler& onFile) {
    std::u16string pattern = sourceDir + u"*.*";
    if (!plat::FitsBuffer(pattern, kNameUnits)) return Outcome::Failed;
    plat::WIN32_FIND_DATAW data{};
    plat::HANDLE find = env.p.files.FindFirstFileW(pattern.c_str(), &data);
    if (find == plat::INVALID_HANDLE_VALUE) return Outcome::None;   // no folder: nothing to copy
    Outcome result = Outcome::None;
    do {
        std::u16string name = plat::FromBuffer(data.cFileName, plat::MAX_PATH);
        if (name == u"." || name == u"..") continue;
        if (data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY) {
            std::u16string sub = sourceDir + name + u"\\";
            result = Join(result, plat::FitsBuffer(sub, kNameUnits) ? Walk(env, sub, targetDir, onFile) : Outcome::Failed);
            continue;
        }
        std::u16string source = sourceDir + name, target = targetDir + name;
        if (!plat::FitsBuffer(source, kPathUnits) || !plat::FitsBuffer(target, kPathUnits)) {
            result = Outcome::Failed;   // rejected, never cut
            continue;
        }
        result = Join(result, onFile(name, source, target));
    } while (env.p.files.FindNextFileW(find, &data));
    env.p.files.FindClose(find);
    return result;
}

Outcome Of(bool ok) { return ok ? Outcome::Ok : Outcome::Failed; }

}  // namespace

bool CopyDriverFolder(const Env& env, const std::u16string& sourceDir, const std::u16string& targetDir,
                      const std::u16string& dataFileName, int family) {
    const CopyLists lists = GetCopyLists(family, dataFileName);
    return Walk(env, sourceDir, targetDir,
                [&](const std::u16string& name, const std::u16string& source, const std::u16string& target) {
                    if (!IsInList(lists.required, name)) return Outcome::None;
                    if (IsInList(lists.replace, name)) return Of(ReplaceDriverFile(env, source, target));
                    // Kept when present: only the replace list overwrites.
                    env.p.files.CopyFileW(source.c_str(), target.c_str(), 1);
                    return Outcome::None;
                }) == Outcome::Ok;
}

bool CopyFolderFlat(const Env& env, const std::u16string& sourceDir, const std::u16string& targetDir,
                    const FolderCopyHooks& hooks) {
    return Walk(env, sourceDir, targetDir,
                [&](const std::u16string& name, const std::u16string& source, const std::u16string& target) {
                    if (hooks.accept && !hooks.accept(name)) return Outcome::None;
                    bool written = false;
                    if (!ReplaceDriverFile(env, source, target, &written)) return Outcome::Failed;
                    if (hooks.placed) hooks.placed(name, target, written);
                    return Outcome::Ok;
                }) == Outcome::Ok;
}

bool ReplaceDriverFile(const Env& env, const std::u16string& sourcePath, const std::u16string& targetPath,
                       bool* written) {
    plat::IFiles& files = env.p.files;
    bool placeholder = false;
    bool& wrote = written ? *written : placeholder;
    wrote = false;
    if (files.CopyFileW(sourcePath.c_str(), targetPath.c_str(), 1)) return wrote = true;
    if (env.p.sys.GetLastError() != plat::ERROR_FILE_EXISTS) {
        env.errors.ShowErrorCode(u"2");
        return false;
    }
    if (IsSameFileContent(env, sourcePath, targetPath)) return true;

    // Never overwritten in place: a copy that breaks off (a full disk, media gone) would leave
    // the installed file half-written. The replacement is copied beside it and moved over it.
    const std::u16string temp = targetPath + kReplacementSuffix;
    if (!plat::FitsBuffer(temp, kPathUnits)) return false;
    if (!files.CopyFileW(sourcePath.c_str(), temp.c_str(), 0)) {
        files.DeleteFileW(temp.c_str());
        return false;
    }
    auto moveOver = [&] {
        return files.MoveFileExW(temp.c_str(), targetPath.c_str(), plat::MOVEFILE_REPLACE_EXISTING) != 0;
    };
    if (moveOver()) return wrote = true;
    DWORD refused = env.p.sys.GetLastError();
    if (refused != plat::ERROR_ACCESS_DENIED && refused != plat::ERROR_SHARING_VIOLATION) {
        files.DeleteFileW(temp.c_str());
        return false;
    }

    // In use by the spooler (or read-only): replace it with the Spooler stopped.
    if (!StopServiceByName(env, u"Spooler")) {
        env.log.Write(u"关闭Spooler服务失败", false);
        files.DeleteFileW(temp.c_str());
        return false;
    }
    env.p.sys.Sleep(2000);
    DWORD attributes = files.GetFileAttributesW(targetPath.c_str());
    bool readOnly = attributes != plat::INVALID_FILE_ATTRIBUTES && (attributes & plat::FILE_ATTRIBUTE_READONLY);
    if (readOnly) files.SetFileAttributesW(targetPath.c_str(), attributes & ~plat::FILE_ATTRIBUTE_READONLY);
    bool moved = moveOver();
    wrote = moved;
    if (!moved) {
        if (readOnly) files.SetFileAttributesW(targetPath.c_str(), attributes);   // the file stays as it was
        files.DeleteFileW(temp.c_str());
    }
    if (!StartServiceByName(env, u"Spooler")) {
        env.log.Write(u"开启Spooler服务失败", false);
        return false;
    }
    env.p.sys.Sleep(1000);
    if (!moved) {
        env.errors.ShowErrorCode(u"2");
        return false;
    }
    return true;
}

bool IsSameFileContent(const Env& env, const std::u16string& sourcePath, const std::u16string& targetPath) {
    plat::IFiles& files = env.p.files;
    // The target may be loaded by the spooler: let it go on reading and writing.
    plat::HANDLE target = files.CreateFileW(targetPath.c_str(), plat::GENERIC_READ,
                                            plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE, plat::OPEN_EXISTING, 0);
    if (target == plat::INVALID_HANDLE_VALUE) return false;
    plat::HANDLE source = files.CreateFileW(sourcePath.c_str(), plat::GENERIC_READ, 0, plat::OPEN_EXISTING, 0);
    if (source == plat::INVALID_HANDLE_VALUE) {
        files.CloseHandle(target);
        return false;
    }
    auto sizeOf = [&](plat::HANDLE h) -> std::optional<uint64_t> {
        DWORD high = 0;
        env.p.sys.SetLastError(0);
        DWORD low = files.GetFileSize(h, &high);
        if (low == plat::INVALID_FILE_SIZE && env.p.sys.GetLastError() != 0) return std::nullopt;
        return (static_cast<uint64_t>(high) << 32) | low;
    };
    bool same = false;
    auto targetSize = sizeOf(target);
    auto sourceSize = sizeOf(source);
    if (targetSize && sourceSize && *targetSize == *sourceSize) {
        std::vector<char> a(kCompareChunk), b(kCompareChunk);
        uint64_t left = *sourceSize;
        same = true;
        while (left > 0 && same) {
            DWORD want = static_cast<DWORD>(std::min<uint64_t>(left, kCompareChunk));
            DWORD gotA = 0, gotB = 0;
            if (!files.ReadFile(target, a.data(), want, &gotA) || !files.ReadFile(source, b.data(), want, &gotB) ||
                gotA != gotB || gotA == 0 || std::memcmp(a.data(), b.data(), gotA) != 0) {
                same = false;
            }
            left -= std::min<uint64_t>(left, gotA);
        }
    }
    files.CloseHandle(source);
    files.CloseHandle(target);
    return same;
}

bool StopServiceByName(const Env& env, const std::u16string& name) {
    plat::IServices& scm = env.p.services;
    ControlledService opened(env, name);
    if (!opened.ok) return false;
    const ScHandle& service = opened.service;
    plat::SERVICE_STATUS& status = opened.status;
    // Already down, or on its way: the caller's wait covers the rest.
    if (status.dwCurrentState == plat::SERVICE_STOPPED || status.dwCurrentState == plat::SERVICE_STOP_PENDING)
        return true;
    if (!scm.ControlService(service.get(), plat::SERVICE_CONTROL_STOP, &status)) {
        env.log.Write(u"ControlService", true);
        return false;
    }
    return true;
}

bool StartServiceByName(const Env& env, const std::u16string& name) {
    plat::IServices& scm = env.p.services;
    ControlledService opened(env, name);
    if (!opened.ok) return false;
    const ScHandle& service = opened.service;
    plat::SERVICE_STATUS& status = opened.status;
    if (status.dwCurrentState == plat::SERVICE_STOP_PENDING) {
        // Left alone, it would end up stopped with nobody to start it again.
        switch (WaitForState(env, service.get(), status, plat::SERVICE_STOPPED)) {
            case WaitEnd::Arrived: break;
            case WaitEnd::QueryFailed: env.log.Write(u"QueryServiceStatus", true); return false;
            case WaitEnd::TimedOut: env.log.Write(TimeoutText(name, false), false); return false;
            case WaitEnd::Left: return true;   // it came back by itself
        }
        status.dwCurrentState = plat::SERVICE_STOPPED;
    }
    if (status.dwCurrentState != plat::SERVICE_STOPPED) return true;
    if (!scm.StartServiceW(service.get(), 0, nullptr)) {
        env.log.Write(u"StartService", true);
        return false;
    }
    // A status that cannot be read ends the wait without a verdict: the start was accepted.
    if (!scm.QueryServiceStatus(service.get(), &status)) return true;
    switch (WaitForState(env, service.get(), status, plat::SERVICE_RUNNING)) {
        case WaitEnd::Arrived:
        case WaitEnd::QueryFailed: return true;
        case WaitEnd::TimedOut: env.log.Write(TimeoutText(name, true), false); return false;
        case WaitEnd::Left: env.log.Write(name + u"服务未能启动", false); return false;
    }
    return false;
}

void StopPcaService(const Env& env, plat::SC_HANDLE scm) {
    plat::IServices& s = env.p.services;
    ScHandle manager(s, scm);
    ScHandle service(s, s.OpenServiceW(scm, u"PcaSvc",
                                       plat::SERVICE_QUERY_STATUS | plat::SERVICE_START | plat::SERVICE_STOP));
    if (!service) return;
    plat::SERVICE_STATUS status{};
    if (!s.QueryServiceStatus(service.get(), &status) || status.dwCurrentState != plat::SERVICE_RUNNING) return;
    if (!s.ControlService(service.get(), plat::SERVICE_CONTROL_STOP, &status)) return;
    if (!s.QueryServiceStatus(service.get(), &status)) return;
    WaitEnd end = WaitForState(env, service.get(), status, plat::SERVICE_STOPPED);
    if (end == WaitEnd::Arrived) env.p.sys.OutputDebugStringW(u"stop success。");
    if (end == WaitEnd::TimedOut) env.log.Write(TimeoutText(u"PcaSvc", false), false);
}

void StartPcaService(const Env& env, plat::SC_HANDLE scm) {
    plat::IServices& s = env.p.services;
    ScHandle manager(s, scm);
    ScHandle service(s, s.OpenServiceW(scm, u"PcaSvc",
                                       plat::SERVICE_QUERY_STATUS | plat::SERVICE_START | plat::SERVICE_STOP));
    if (!service) return;
    plat::SERVICE_STATUS status{};
    if (!s.QueryServiceStatus(service.get(), &status) || status.dwCurrentState != plat::SERVICE_STOPPED) return;
    if (!s.StartServiceW(service.get(), 0, nullptr)) return;
    if (!s.QueryServiceStatus(service.get(), &status)) return;
    WaitEnd end = WaitForState(env, service.get(), status, plat::SERVICE_RUNNING);
    if (end == WaitEnd::Arrived) env.p.sys.OutputDebugStringW(u"start success。");
    if (end == WaitEnd::TimedOut) env.log.Write(TimeoutText(u"PcaSvc", true), false);
}

void RestorePcaService(const Env& env) {
    plat::SC_HANDLE scm = env.p.services.OpenSCManagerW(nullptr, nullptr, plat::GENERIC_EXECUTE);
    if (scm) StartPcaService(env, scm);
}

DWORD PrepareServicesThreadProc(const Env& env) {
    plat::SC_HANDLE scm = env.p.services.OpenSCManagerW(nullptr, nullptr, plat::GENERIC_EXECUTE);
    if (scm) StopPcaService(env, scm);
    if (!StartServiceByName(env, u"Spooler")) env.log.Write(u"开启服务失败", false);
    return 0;
}

}  // namespace engine
