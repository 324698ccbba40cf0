// The log and the system questions on Wine's real system: the entry lands in the Wine user's
// documents folder, in GBK bytes.
#include <gtest/gtest.h>

#include "detect/sysinfo.h"
#include "engine/install_log.h"
#include "engine/package.h"
#include "platform/text.h"
#include "win32/win32_platform.h"

namespace {
using namespace plat;

std::string ReadAll(Platform& p, const std::u16string& path) {
    HANDLE h = p.files.CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[4096];
    DWORD n = 0;
    while (p.files.ReadFile(h, buf, sizeof buf, &n) && n) out.append(buf, n);
    p.files.CloseHandle(h);
    return out;
}

TEST(SharedOnWine, LogLandsInTheDocumentsFolderInGbk) {
    Platform p = win32::RealPlatform();
    char16_t docs[MAX_PATH] = {};
    ASSERT_TRUE(p.sys.SHGetSpecialFolderPathW(nullptr, docs, CSIDL_PERSONAL, 0));
    std::u16string file = FromBuffer(docs, MAX_PATH) + u"\\墨川科技有限公司\\Log(1).txt";
    size_t before = ReadAll(p, file).size();

    engine::InstallLog log(p);
    p.sys.SetLastError(ERROR_ACCESS_DENIED);
    log.Write(u"开启Spooler服务失败", true);

    std::string bytes = ReadAll(p, file);
    ASSERT_GT(bytes.size(), before);
    std::string entry = bytes.substr(before);
    // "开启Spooler服务失败 failed with error 5: " in GBK, then Wine's text, the stamp, CR LF NUL.
    EXPECT_EQ(entry.rfind("\xBF\xAA\xC6\xF4Spooler\xB7\xFE\xCE\xF1\xCA\xA7\xB0\xDC failed with error 5: ", 0), 0u)
        << entry;
    ASSERT_GE(entry.size(), 4u);
    EXPECT_EQ(entry.substr(entry.size() - 4), std::string(" \r\n\0", 4));
    EXPECT_EQ(std::count(entry.begin(), entry.end(), '\0'), 1);
}

TEST(SharedOnWine, SystemQuestionsAndProgramFolder) {
    Platform p = win32::RealPlatform();
    EXPECT_TRUE(detect::IsNative64Bit(p));
    EXPECT_FALSE(detect::IsWin9xPlatform(p));
    std::u16string folder = engine::ProgramFolder(p);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), u'\\');
    EXPECT_EQ(*engine::GetDriverSourceDir(p, 0), folder + u"VT39\\X64\\");
}

}  // namespace
