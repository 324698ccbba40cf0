#include "engine/install_log.h"

#include <cstdio>

#include "platform/text.h"

namespace engine {
namespace {

constexpr plat::DWORD kUserDefaultLanguage = 0x0400;   // MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)

std::u16string Stamp(const plat::SYSTEMTIME& t) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "     %d-%d-%d,%d:%d:%d:%d \r\n", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute,
                  t.wSecond, t.wMilliseconds);
    return plat::FromUtf8(buf);
}

}  // namespace

std::u16string InstallLog::FormatEntry(std::u16string_view text, bool withSystemError, plat::DWORD error,
                                       const plat::SYSTEMTIME& time) {
    std::u16string entry(text);
    if (withSystemError) {
        char16_t message[512] = {};
        if (!p_.sys.FormatSystemMessageW(error, kUserDefaultLanguage, message, 512)) message[0] = 0;
        entry += error != 0 ? u" failed with error " : u" succeed:  ";
        entry += plat::ToDecimal(static_cast<int32_t>(error));   // printed with %d, as it always was
        entry += u": ";
        entry += plat::FromBuffer(message, 512);
    }
    return entry + Stamp(time);
}

void InstallLog::Write(std::u16string_view text, bool withSystemError) {
    // The caller's error first, before any call of ours replaces it.
    plat::DWORD error = withSystemError ? p_.sys.GetLastError() : 0;
    plat::SYSTEMTIME now{};
    p_.sys.GetLocalTime(&now);
    std::string bytes = plat::TextToAnsi(p_.sys, FormatEntry(text, withSystemError, error, now));
    bytes += '\0';

    char16_t documents[plat::MAX_PATH] = {};
    if (!p_.sys.SHGetSpecialFolderPathW(nullptr, documents, plat::CSIDL_PERSONAL, 0)) return;
    std::u16string folder = plat::FromBuffer(documents, plat::MAX_PATH) + u"\\墨川科技有限公司";

    std::lock_guard<std::mutex> lock(mutex_);
    p_.files.CreateDirectoryW(folder.c_str());   // it usually exists already

    int index = index_.load();
    plat::HANDLE file = plat::INVALID_HANDLE_VALUE;
    for (int failures = 0; failures < kOpenAttempts;) {
        std::u16string path = folder + u"\\Log(" + plat::ToDecimal(index) + u").txt";
        file = p_.files.CreateFileW(path.c_str(), plat::GENERIC_READ | plat::GENERIC_WRITE, plat::FILE_SHARE_READ,
                                    plat::OPEN_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
        if (file == plat::INVALID_HANDLE_VALUE) {
            ++failures;   // in use or not writable: a few tries, then the entry is dropped
            continue;
        }
        plat::DWORD high = 0;
        p_.sys.SetLastError(0);
        plat::DWORD low = p_.files.GetFileSize(file, &high);
        bool sizeUnknown = low == plat::INVALID_FILE_SIZE && p_.sys.GetLastError() != 0;
        if (!sizeUnknown && high == 0 && low < kFullSize) break;
        p_.files.CloseHandle(file);
        file = plat::INVALID_HANDLE_VALUE;
        // Only a full file moves on to the next name: a size that cannot be read is one more
        // failure, or every entry would make a new file.
        if (sizeUnknown) ++failures;
        else ++index;
    }
    if (file == plat::INVALID_HANDLE_VALUE) return;
    index_.store(index);
    p_.files.SetFilePointer(file, 0, nullptr, plat::FILE_END);
    plat::DWORD written = 0;
    p_.files.WriteFile(file, bytes.data(), static_cast<plat::DWORD>(bytes.size()), &written);
    p_.files.CloseHandle(file);
}

}  // namespace engine
