#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "engine_testing/sim_env.h"

namespace {
using namespace plat;
using engine::InstallLog;
using engine_testing::SimEnv;

// 7 March 2016, 09:05:12.048: the clock of every simulated machine at start.
const std::string kStamp = "     7-3-2016,9:5:12:48 \r\n";

std::u16string LogFile(SimEnv& s, int n) {
    return s.machine.system.documentsFolder + u"\\墨川科技有限公司\\Log(" + ToDecimal(n) + u").txt";
}

TEST(InstallLog, EntriesInGbkEachEndingCrLfNul) {
    struct Case {
        const char* name;
        std::u16string text;
        bool withError;
        DWORD error;
        std::string bytes;
    } cases[] = {
        {"plain", u"关闭Spooler服务失败", false, 5, "\xB9\xD8\xB1\xD5Spooler\xB7\xFE\xCE\xF1\xCA\xA7\xB0\xDC" + kStamp},
        {"failed", u"OpenService", true, 5, "OpenService failed with error 5: \xBE\xDC\xBE\xF8\xB7\xC3\xCE\xCA\xA1\xA3\r\n" + kStamp},
        {"succeed", u"StartService", true, 0,
         "StartService succeed:  0: \xB2\xD9\xD7\xF7\xB3\xC9\xB9\xA6\xCD\xEA\xB3\xC9\xA1\xA3\r\n" + kStamp},
        // No system text for the code: the message part still stands, the stamp follows on its line.
        {"unknown code", u"ControlService", true, 4242, "ControlService failed with error 4242: " + kStamp},
        {"negative as %d", u"X", true, ERROR_GENERAL_SYNTAX, "X failed with error -536870909: " + kStamp},
    };
    for (const auto& c : cases) {
        SimEnv s;
        s.machine.SetLastError(c.error);
        s.log.Write(c.text, c.withError);
        EXPECT_EQ(s.LogBytes(), c.bytes + '\0') << c.name;
    }
}

TEST(InstallLog, TakesTheCallersErrorBeforeItsOwnCalls) {
    SimEnv s;
    s.machine.SetLastError(ERROR_ACCESS_DENIED);
    s.log.Write(u"A", true);
    s.log.Write(u"B", true);   // the first entry's calls left the thread's error as they pleased
    std::string bytes = s.LogBytes();
    EXPECT_NE(bytes.find("A failed with error 5:"), std::string::npos);
    EXPECT_EQ(bytes.find("B failed with error 5:"), std::string::npos);
}

TEST(InstallLog, FullFileRollsOverForTheRestOfTheRun) {
    SimEnv s;
    s.machine.AddFile(LogFile(s, 1), std::string(InstallLog::kFullSize, 'x'));
    s.log.Write(u"one", false);
    s.log.Write(u"two", false);
    EXPECT_EQ(s.LogBytes(1).size(), InstallLog::kFullSize);
    EXPECT_EQ(s.LogBytes(2), "one" + kStamp + '\0' + "two" + kStamp + '\0');
    EXPECT_EQ(s.log.FileIndex(), 2);
    // A file just below the limit is still written, and may end above it.
    SimEnv t;
    t.machine.AddFile(LogFile(t, 1), std::string(InstallLog::kFullSize - 1, 'x'));
    t.log.Write(u"last", false);
    EXPECT_EQ(t.LogBytes(1).size(), InstallLog::kFullSize - 1 + 4 + kStamp.size() + 1);
    EXPECT_EQ(t.log.FileIndex(), 1);
}

TEST(InstallLog, UnwritableLogDropsTheEntryAfterAFewTries) {
    SimEnv s;
    s.machine.FailCall("CreateFileW", ERROR_ACCESS_DENIED, 1, /*every call*/ 0);
    s.log.Write(u"lost", false);
    EXPECT_EQ(s.machine.CallCount("CreateFileW"), InstallLog::kOpenAttempts);
    EXPECT_EQ(s.LogBytes(), "");

    SimEnv t;   // no documents folder: nothing to write into, nothing held up
    t.machine.FailCall("SHGetSpecialFolderPathW", ERROR_FILE_NOT_FOUND);
    t.log.Write(u"lost", false);
    EXPECT_EQ(t.machine.CallCount("CreateFileW"), 0);
    t.log.Write(u"kept", false);
    EXPECT_EQ(t.LogBytes(), "kept" + kStamp + '\0');
}

TEST(InstallLog, ASizeThatCannotBeReadMakesNoFurtherFiles) {
    SimEnv s;
    s.machine.FailCall("GetFileSize", ERROR_ACCESS_DENIED, 1, /*every call*/ 0);
    for (int i = 0; i < 5; ++i) s.log.Write(u"lost", false);
    EXPECT_EQ(s.machine.CallCount("CreateFileW"), 5 * InstallLog::kOpenAttempts);
    EXPECT_FALSE(s.machine.Exists(LogFile(s, 2))) << "a new log file for every entry";
    EXPECT_EQ(s.log.FileIndex(), 1);
}

TEST(InstallLog, ThreeThreadsNeverInterleaveEntries) {
    SimEnv s;
    constexpr int kPerThread = 200;
    auto writer = [&](const char16_t* who) {
        for (int i = 0; i < kPerThread; ++i) {
            s.machine.SetLastError(static_cast<DWORD>(i % 3 == 0 ? 0 : 5));
            s.log.Write(std::u16string(who) + u"-" + ToDecimal(i), i % 2 == 0);
        }
    };
    std::thread a(writer, u"ui"), b(writer, u"startup"), c(writer, u"worker");
    a.join(), b.join(), c.join();

    std::string bytes = s.LogBytes();
    std::regex entry(
        "^(ui|startup|worker)-[0-9]+( (failed with error 5|succeed:  0): [^\\r]*\\r\\n)? {5}7-3-2016,9:5:12:48 \\r\\n$");
    int count = 0;
    for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1, ++count)
        EXPECT_TRUE(std::regex_match(bytes.substr(start, end - start), entry)) << bytes.substr(start, end - start);
    EXPECT_EQ(count, 3 * kPerThread);
}

}  // namespace
