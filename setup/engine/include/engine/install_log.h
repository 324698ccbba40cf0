// The installation log: failures of system calls, for support staff. Append-only files
// Log(N).txt in the documents folder's "墨川科技有限公司", each entry in the ANSI code page
// ending CR LF NUL; a file of 1 MiB or more is full and the next index is taken.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace engine {

class InstallLog {
public:
    static constexpr uint32_t kFullSize = 1048576;
    static constexpr int kOpenAttempts = 3;

    explicit InstallLog(plat::Platform p) : p_(p) {}

    // withSystemError: append the calling thread's last error and the system's text for it.
    // Never throws and never blocks for long: an entry that cannot be written is dropped.
    void Write(std::u16string_view text, bool withSystemError);

    int FileIndex() const { return index_.load(); }

    // The entry exactly as it would be stored (without its terminating zero), for tests.
    std::u16string FormatEntry(std::u16string_view text, bool withSystemError, plat::DWORD error,
                               const plat::SYSTEMTIME& time);

private:
    plat::Platform p_;
    std::atomic<int> index_{1};   // one per process: the program makes one InstallLog
    std::mutex mutex_;            // entries from the three threads never interleave
};

}  // namespace engine
