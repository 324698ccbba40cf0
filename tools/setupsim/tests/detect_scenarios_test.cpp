// Detection's example scenarios against their expected transcripts (scenarios/detect-*.scn and
// the .expected file beside each). A changed transcript is shown as a line diff.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "setupsim/runner.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(DetectScenarios, TranscriptsAsExpected) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SETUPSIM_SCENARIOS)) {
        const auto& path = entry.path();
        if (path.extension() != ".scn" || path.filename().string().rfind("detect-", 0) != 0) continue;
        ++checked;
        auto expectedPath = std::filesystem::path(path).replace_extension(".expected");
        ASSERT_TRUE(std::filesystem::exists(expectedPath)) << expectedPath;
        setupsim::RunResult result;
        std::string error;
        ASSERT_TRUE(setupsim::RunScenarioFile(path, result, error)) << error;
        EXPECT_TRUE(result.finished) << path;
        std::string diff = setupsim::DiffLines(ReadAll(expectedPath), result.transcript);
        EXPECT_TRUE(diff.empty()) << path.filename() << "\n" << diff;
    }
    EXPECT_GE(checked, 5) << "the example scenarios are missing";
}

}  // namespace
