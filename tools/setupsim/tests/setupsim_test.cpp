// The scenario runner: every example scenario against its expected transcript, the language's
// error messages, and the hooks other parts use.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/text.h"
#include "setupsim/runner.h"
#include "sim/temp_dir.h"

namespace {
namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(Scenarios, TranscriptsMatchTheExpectedOnes) {
    // SETUPSIM_UPDATE=1 rewrites the expected transcripts (review the diff before committing).
    bool update = std::getenv("SETUPSIM_UPDATE") != nullptr;
    int checked = 0;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(SETUPSIM_SCENARIOS))
        if (entry.path().extension() == ".scn") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const auto& scn : files) {
        setupsim::RunResult result;
        std::string error;
        ASSERT_TRUE(setupsim::RunScenarioFile(scn, result, error)) << error;
        ASSERT_TRUE(result.finished) << scn;
        fs::path expected = scn;
        expected.replace_extension(".expected");
        if (update) {
            std::ofstream(expected, std::ios::binary) << result.transcript;
            continue;
        }
        ASSERT_TRUE(fs::exists(expected)) << expected << " is missing (SETUPSIM_UPDATE=1 writes it)";
        std::string diff = setupsim::DiffLines(ReadText(expected), result.transcript);
        EXPECT_TRUE(diff.empty()) << scn.filename().string() << " differs from its expected transcript:\n" << diff;
        ++checked;
    }
    if (!update) {
        EXPECT_EQ(checked, static_cast<int>(files.size()));
    }
}

TEST(Scenarios, TheToolPrintsTheTranscript) {
    fs::path scn = fs::path(SETUPSIM_SCENARIOS) / "clean-install.scn";
    std::string command = std::string(SETUPSIM_EXE) + " '" + scn.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    std::array<char, 4096> buf;
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0;) out.append(buf.data(), n);
    int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    fs::path expected = scn;
    EXPECT_EQ(out, ReadText(expected.replace_extension(".expected")));
}

TEST(Scenarios, BadFilesNameTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* message;
    } cases[] = {
        {"package\nfrobnicate now\n", 2, "unknown directive \"frobnicate\""},
        {"# comment\n\nfile \"C:\\a.txt\n", 3, "unclosed quote"},
        {"port USB001\nfail CopyFileW five\n", 2, "fail: bad number \"five\" for error"},
        {"fail CopyFileW 5 at=0\n", 1, "fail: at and times count from 1"},
        {"printer \"P\" colour=red\n", 1, "printer: unknown option \"colour\""},
        {"service Spooler state=sleeping\n", 1, "service: unknown service state \"sleeping\""},
        {"request port=USB001\n", 1, "request: model= is needed"},
        {"package\nrun install\n", 2, "run: the install step needs a request line"},
        {"request model=P-80\nrun dance\n", 2, "unknown step \"dance\""},
        {"module\n", 1, "module: too few arguments"},
        {"arch sparc\n", 1, "arch: unknown architecture \"sparc\""},
        {"file C:\\a.txt \"x\" extra\n", 1, "file: unexpected \"extra\""},
        {"file C:\\a.txt size=999999999999\n", 1, "file: bad number \"999999999999\" for size"},
        {"file C:\\a.txt \"\\x4\"\n", 1, "bad \\x escape"},
        {"=x\n", 1, "a line starts with a directive name"},
    };
    for (const auto& c : cases) {
        sim::TempDir dir;
        sim::Machine machine(dir.path());
        setupsim::Scenario scenario;
        setupsim::ScenarioError error;
        EXPECT_FALSE(setupsim::LoadScenario(c.text, machine, scenario, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_NE(error.message.find(c.message), std::string::npos) << c.text << " gave: " << error.message;
    }
}

TEST(Scenarios, BadFileExitsWithTwoAndTheLine) {
    sim::TempDir dir;
    fs::path bad = dir.path() / "bad.scn";
    std::ofstream(bad) << "package\nport\n";
    std::string command = std::string(SETUPSIM_EXE) + " '" + bad.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buf[512] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, pipe);
    int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(std::string(buf, n), "setupsim: " + bad.string() + ":2: port: too few arguments\n");
}

TEST(Scenarios, Tokens) {
    std::optional<setupsim::Directive> d;
    std::string error;
    ASSERT_TRUE(setupsim::ParseLine(R"x(printer "Halvorin P-80 (副本 1)" port=USB001 driver="A \"B\"" C:\x\y # note)x", 7, d, error));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->line, 7);
    EXPECT_EQ(d->name, "printer");
    EXPECT_EQ(d->args, (std::vector<std::string>{"Halvorin P-80 (副本 1)", "C:\\x\\y"}));
    EXPECT_EQ(d->options, (std::vector<std::pair<std::string, std::string>>{{"port", "USB001"}, {"driver", "A \"B\""}}));
    ASSERT_TRUE(setupsim::ParseLine(R"(file C:\a "line\r\n\x00\tend \q")", 1, d, error));
    EXPECT_EQ(d->args[1], std::string("line\r\n\0\tend \\q", 14)) << "unknown escapes keep their backslash";
    ASSERT_TRUE(setupsim::ParseLine("   # only a comment", 1, d, error));
    EXPECT_FALSE(d);
    ASSERT_TRUE(setupsim::ParseLine("dir C:\\a#b", 1, d, error));
    EXPECT_EQ(d->args, std::vector<std::string>{"C:\\a#b"}) << "# inside a word is no comment";
}

TEST(Scenarios, OtherPartsAddDirectivesStepsAndSummaries) {
    setupsim::Registry registry;
    setupsim::AddEngineVocabulary(registry);
    registry.AddDirective("greeting", "greeting TEXT", [](setupsim::DirectiveContext& c) {
        c.scenario.extensions["greeting"] = c.d.Arg(0, "TEXT");
    });
    registry.AddStep("hello", [](setupsim::RunContext& c) {
        c.Line("hello " + std::any_cast<std::string>(c.scenario.extensions.at("greeting")));
    });
    registry.AddSummary([](setupsim::RunContext& c) { c.transcript.Line("greeted"); });
    sim::TempDir dir;
    sim::Machine machine(dir.path());
    setupsim::Scenario scenario;
    setupsim::ScenarioError error;
    ASSERT_TRUE(setupsim::LoadScenario("greeting \"world\"\nrun hello\n", machine, scenario, error, registry))
        << error.message;
    auto result = setupsim::RunScenario(machine, scenario, registry);
    EXPECT_EQ(result.transcript.rfind("== step hello\nhello world\n== end\ngreeted\n", 0), 0u) << result.transcript;
}

TEST(Scenarios, DiffIsReadable) {
    EXPECT_EQ(setupsim::DiffLines("a\nb\nc\n", "a\nb\nc\n"), "");
    EXPECT_EQ(setupsim::DiffLines("1\n2\n3\n4\n5\n6\n7\n", "1\n2\n3\nX\n5\n6\n7\n"),
              "--- expected\n+++ actual\n@@ expected line 2\n  2\n  3\n- 4\n+ X\n  5\n  6\n");
}

}  // namespace
