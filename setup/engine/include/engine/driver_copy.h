// Driver file copy with spooler control, and the service routines.
//
//   CopyDriverFolder     the copy pass over a package architecture folder (sub-folders flattened)
//   ReplaceDriverFile    one file: new files copied, identical ones left alone, changed ones
//                        replaced (copied beside, then moved over), with the Spooler stopped only
//                        when the replacement is refused
//   IsSameFileContent    byte-for-byte comparison, sizes first, in fixed chunks
//   CopyFolderFlat       every file below a folder through ReplaceDriverFile (the fonts)
//   StopServiceByName, StartServiceByName, StopPcaService, StartPcaService,
//   PrepareServicesThreadProc (start-up's thread)
//
// Failures the user must see go to env.errors (code "2"); failing service calls to env.log.
#pragma once

#include <functional>
#include <string>

#include "engine/env.h"

namespace engine {

// Upper bound of every wait for a service to reach a state. A service that has not arrived by
// then is logged and the routine gives up, so no thread waits forever.
constexpr plat::DWORD kServiceWaitLimitMs = 30000;
// A pending service that reports no wait hint is polled at this pace, not in a busy loop.
constexpr plat::DWORD kServicePollFloorMs = 100;
// A single wait is never longer than this, whatever the service's hint.
constexpr plat::DWORD kServiceWaitCeilingMs = 10000;
// A changed file's replacement is copied beside it under its name and this ending, then moved
// over it.
inline constexpr char16_t kReplacementSuffix[] = u".lp~";
// Files are compared in chunks of this size.
constexpr plat::DWORD kCompareChunk = 64 * 1024;

// True when every replaced file (and the copy below every sub-folder) succeeded and at least
// one file was replaced; plain copies of files that are not replaced do not count.
bool CopyDriverFolder(const Env& env, const std::u16string& sourceDir, const std::u16string& targetDir,
                      const std::u16string& dataFileName, int family);
// written, when given: whether the target was copied or replaced (not left alone).
bool ReplaceDriverFile(const Env& env, const std::u16string& sourcePath, const std::u16string& targetPath,
                       bool* written = nullptr);
bool IsSameFileContent(const Env& env, const std::u16string& sourcePath, const std::u16string& targetPath);
struct FolderCopyHooks {
    // Picks the files by name; the others stay where they are. Empty: every file.
    std::function<bool(const std::u16string& name)> accept;
    // After each file that is in place: whether it was copied or replaced just now.
    std::function<void(const std::u16string& name, const std::u16string& target, bool written)> placed;
};
bool CopyFolderFlat(const Env& env, const std::u16string& sourceDir, const std::u16string& targetDir,
                    const FolderCopyHooks& hooks = {});

bool StopServiceByName(const Env& env, const std::u16string& name);
// Also waits, bounded, for a stop that is still pending to finish and then starts the service:
// a service found in stop pending would otherwise be left stopped.
bool StartServiceByName(const Env& env, const std::u16string& name);

// Both take an open handle to the service control manager and close it.
void StopPcaService(const Env& env, plat::SC_HANDLE scm);
void StartPcaService(const Env& env, plat::SC_HANDLE scm);
// What start-up runs after the wizard has closed: opens the manager with execute access and
// hands it to StartPcaService.
void RestorePcaService(const Env& env);

// Start-up's service thread: stops PcaSvc and makes sure the Spooler runs. Returns 0.
plat::DWORD PrepareServicesThreadProc(const Env& env);

}  // namespace engine
