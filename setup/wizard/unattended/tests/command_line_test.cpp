// The command line: how words split, which switches make which mode, and what is refused.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "unattended/command_line.h"

namespace {
using unattended::Mode;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    for (const auto& w : unattended::SplitCommandLine(plat::FromUtf8(line))) out.push_back(plat::ToUtf8(w));
    return out;
}

TEST(CommandLine, SplitsAsTheCRuntime) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"/S  /model=P-80", {"/S", "/model=P-80"}},
        {"\"/log=C:\\my logs\\a.txt\" /S", {"/log=C:\\my logs\\a.txt", "/S"}},
        {"/model=\"P 80\"", {"/model=P 80"}},
        {"a\\\\\\\"b", {"a\\\"b"}},            // 2n+1 backslashes: n and a literal quote
        {"\"a\\\\\" b", {"a\\", "b"}},         // 2n backslashes before a quote: n, and the quote counts
        {"C:\\path\\ x", {"C:\\path\\", "x"}},  // backslashes without a quote stay
        {"\"a\"\"b\"", {"a\"b"}},               // "" inside quotes is a quote
        {"\"unclosed", {"unclosed"}},
        {"\"\"", {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(Words(c.line), c.words) << c.line;
}

TEST(CommandLine, Modes) {
    struct Case {
        const char* line;
        Mode mode;
        bool silent;
        const char* model;
        const char* port;
        const char* log;
    } cases[] = {
        {"", Mode::Wizard, false, nullptr, nullptr, nullptr},
        {"/S", Mode::Install, true, nullptr, nullptr, nullptr},
        {"-s", Mode::Install, true, nullptr, nullptr, nullptr},
        {"/S /model=P-80 /port=LPT1:", Mode::Install, true, "P-80", "LPT1:", nullptr},
        {"/MODEL=P-80 /s /Port=USB001 \"/log=C:\\a b.txt\"", Mode::Install, true, "P-80", "USB001", "C:\\a b.txt"},
        {"/uninstall", Mode::Uninstall, false, nullptr, nullptr, nullptr},
        {"/uninstall /model=P-80 /S", Mode::Uninstall, true, "P-80", nullptr, nullptr},
        {"/UNINSTALL /log=u.txt", Mode::Uninstall, false, nullptr, nullptr, "u.txt"},
        {"/?", Mode::Usage, false, nullptr, nullptr, nullptr},
        {"-?", Mode::Usage, false, nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        auto cmd = unattended::ParseCommandLine(plat::FromUtf8(c.line));
        EXPECT_EQ(cmd.mode, c.mode) << c.line << ": " << plat::ToUtf8(cmd.error);
        EXPECT_EQ(cmd.silent, c.silent) << c.line;
        auto same = [](const std::optional<std::u16string>& v, const char* want) {
            return want ? v && plat::ToUtf8(*v) == want : !v;
        };
        EXPECT_TRUE(same(cmd.model, c.model)) << c.line;
        EXPECT_TRUE(same(cmd.port, c.port)) << c.line;
        EXPECT_TRUE(same(cmd.log, c.log)) << c.line;
    }
}

TEST(CommandLine, BadArgumentsAreRefusedWithAReason) {
    struct Case {
        const char* line;
        bool silent;
    } cases[] = {
        {"/S /frobnicate", true},
        {"/S /model=", true},
        {"/S /model", true},
        {"/S /port=", true},
        {"/S /log=", true},
        {"/S /model=P-80 /model=P-58", true},
        {"/S /S", true},
        {"/S /port=..\\..\\evil", true},
        {"/S /port=C:/x", true},
        {"/S /port=a*b", true},
        {"/S \"/port=LPT1:\x01\"", true},
        {"/S /port=12345678901234567890123456789012345678901234567890123456789012345", true},
        {"P-80", false},
        {"/", false},
        {"/model=P-80", false},             // an install's choices without /S
        {"/? /S", true},
        {"/uninstall /port=LPT1:", false},
        {"/uninstall /uninstall", false},
        {"/S=1", true},                      // /S takes no value (and is then no /S either)
    };
    for (const auto& c : cases) {
        auto cmd = unattended::ParseCommandLine(plat::FromUtf8(c.line));
        EXPECT_EQ(cmd.mode, Mode::Bad) << c.line;
        EXPECT_FALSE(cmd.error.empty()) << c.line;
        if (std::string(c.line) != "/S=1") EXPECT_EQ(cmd.silent, c.silent) << c.line;
    }
}

TEST(CommandLine, PlainPortNames) {
    for (const char* ok : {"LPT1:", "USB001", "COM1:", "FILE:", "IP_192.168.0.9", "Ne00:"})
        EXPECT_TRUE(unattended::IsPlainPortName(plat::FromUtf8(ok))) << ok;
    for (const char* bad : {"", "a\\b", "a/b", "a?b", "\"x\"", "a<b", "a|b"})
        EXPECT_FALSE(unattended::IsPlainPortName(plat::FromUtf8(bad))) << bad;
}

}  // namespace
