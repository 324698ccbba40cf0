// LabelSettings: the record's defaults, DevMode's four steps, and the fields read from features.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "drvuni/settings.h"

using namespace drvuni;

namespace {

// A feature table that keeps the order of the questions.
class Features final : public FeatureSource {
public:
    explicit Features(std::map<std::string, std::string> answers) : answers_(std::move(answers)) {}
    bool Get(const char* feature, char* buffer, uint32_t size) override {
        asked.emplace_back(feature);
        EXPECT_EQ(size, 255u);
        const auto it = answers_.find(feature);
        if (it == answers_.end()) return false;
        std::strncpy(buffer, it->second.c_str(), size);
        return true;
    }
    std::vector<std::string> asked;

private:
    std::map<std::string, std::string> answers_;
};

LabelSettings Defaults() {
    LabelSettings s;
    std::memset(&s, 0, sizeof s);
    WriteDefaults(&s);
    return s;
}

uint32_t U32(const std::vector<uint8_t>& r, size_t off) {
    return uint32_t(r[off]) | uint32_t(r[off + 1]) << 8 | uint32_t(r[off + 2]) << 16 | uint32_t(r[off + 3]) << 24;
}

void PutU32(std::vector<uint8_t>& r, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) r[off + i] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> Record(uint8_t fill) { return std::vector<uint8_t>(kLabelSettingsSize, fill); }

}  // namespace

// ---- defaults ----

TEST(Defaults, EveryFieldWithADefaultAndNoOtherByte) {
    std::vector<uint8_t> r = Record(0xAB);
    WriteDefaults(r.data());
    std::vector<uint8_t> want = Record(0xAB);
    PutU32(want, 0, 164);
    std::memcpy(&want[4], "QLBV", 4);
    PutU32(want, 8, 1);
    for (size_t off : {12, 16, 24, 28, 32, 36, 40, 52, 56, 60, 68, 84, 88, 92, 100, 104, 108, 116, 120, 124, 128,
                       132, 136, 140, 144, 148, 152, 156})
        PutU32(want, off, 0);
    for (size_t off : {48, 72, 80, 96}) PutU32(want, off, 1);
    PutU32(want, 44, 48);
    PutU32(want, 64, 136);
    want[20] = 1;
    want[76] = 0;
    // 21-23, 77-79, 112-115 and 160-163 have no default.
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(r[i], want[i]) << "byte " << i;
}

// ---- DevMode ----

TEST(DevModeSteps, SizeAndRefusals) {
    uint32_t size = 0;
    DevModeArgs args{&size, nullptr, nullptr};
    EXPECT_EQ(DevMode(1, &args), DevModeStatus::Ok);
    EXPECT_EQ(size, 164u);

    EXPECT_EQ(DevMode(1, nullptr), DevModeStatus::InvalidParameter);
    for (uint32_t mode : {0u, 5u, 0xFFFFFFFFu}) EXPECT_EQ(DevMode(mode, &args), DevModeStatus::InvalidParameter) << mode;
    // A default step with nowhere to write is a host error, not a success.
    EXPECT_EQ(DevMode(2, &args), DevModeStatus::InvalidParameter);
}

TEST(DevModeSteps, DefaultWritesTheDefaults) {
    std::vector<uint8_t> out = Record(0x5A), want = Record(0x5A);
    WriteDefaults(want.data());
    DevModeArgs args{nullptr, nullptr, out.data()};
    EXPECT_EQ(DevMode(2, &args), DevModeStatus::Ok);
    EXPECT_EQ(out, want);
}

struct ConvertCase {
    const char* name;
    uint32_t inSize, outSize;
    bool sameSignature;
    size_t copied;   // bytes of the input that reach the output; SIZE_MAX: the defaults instead
};

class Convert : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(Convert, CopiesTheSmallerRecordOrGivesDefaults) {
    const ConvertCase& c = GetParam();
    for (uint32_t mode : {3u, 4u}) {
        std::vector<uint8_t> in(kLabelSettingsSize), out = Record(0xEE);
        for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(i * 7 + 1);
        PutU32(in, 0, c.inSize);
        std::memcpy(&in[4], "QLBV", 4);
        PutU32(out, 0, c.outSize);
        std::memcpy(&out[4], c.sameSignature ? "QLBV" : "ABCD", 4);
        const std::vector<uint8_t> before = out;

        DevModeArgs args{nullptr, in.data(), out.data()};
        ASSERT_EQ(DevMode(mode, &args), DevModeStatus::Ok);

        std::vector<uint8_t> want = before;
        if (c.copied == SIZE_MAX) {
            WriteDefaults(want.data());
        } else {
            PutU32(want, 12, 0);
            std::memcpy(want.data(), in.data(), c.copied);
            PutU32(want, 0, 164);
            PutU32(want, 8, 1);
        }
        if (mode == 4) {   // merge check after the convert step
            PutU32(want, 12, 0);
            PutU32(want, 0, 164);
            std::memcpy(&want[4], "QLBV", 4);
            PutU32(want, 8, 1);
        }
        for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(out[i], want[i]) << c.name << " mode " << mode << " byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, Convert,
    ::testing::Values(ConvertCase{"stored record of 100 bytes", 100, 164, true, 100},
                      ConvertCase{"output claims less", 164, 40, true, 40},
                      ConvertCase{"whole record", 164, 164, true, 164},
                      ConvertCase{"size fields larger than the record", 5000, 100000, true, 164},
                      ConvertCase{"size field of 8 keeps field 12 cleared", 8, 164, true, 8},
                      ConvertCase{"foreign signature", 164, 164, false, SIZE_MAX}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(DevModeSteps, ConvertAndMergeWithoutRecordsChangeNothing) {
    std::vector<uint8_t> r = Record(0x33);
    for (uint32_t mode : {3u, 4u}) {
        DevModeArgs onlyIn{nullptr, r.data(), nullptr};
        EXPECT_EQ(DevMode(mode, &onlyIn), DevModeStatus::Ok);
        EXPECT_EQ(r, Record(0x33));
    }
    DevModeArgs onlyOut{nullptr, nullptr, r.data()};
    EXPECT_EQ(DevMode(3, &onlyOut), DevModeStatus::Ok);
    EXPECT_EQ(r, Record(0x33));
    // The merge check still stamps the header of a lone output record.
    EXPECT_EQ(DevMode(4, &onlyOut), DevModeStatus::Ok);
    EXPECT_EQ(U32(r, 0), 164u);
    EXPECT_EQ(std::memcmp(&r[4], "QLBV", 4), 0);
    EXPECT_EQ(U32(r, 8), 1u);
    EXPECT_EQ(U32(r, 12), 0u);
    EXPECT_EQ(r[16], 0x33);
}

TEST(DevModeSteps, ConvertOntoItself) {
    std::vector<uint8_t> r = Record(0);
    WriteDefaults(r.data());
    PutU32(r, 136, 7);
    DevModeArgs args{nullptr, r.data(), r.data()};
    EXPECT_EQ(DevMode(3, &args), DevModeStatus::Ok);
    EXPECT_EQ(U32(r, 136), 7u);
}

// ---- features ----

struct FeatureCase {
    const char* name;
    std::map<std::string, std::string> answers;
    uint32_t rotation, verticalShiftUp, verticalOffset, horizontalShiftLeft, horizontalOffset;
};

class JobSettings : public ::testing::TestWithParam<FeatureCase> {};

TEST_P(JobSettings, FieldsFromAnswers) {
    const FeatureCase& c = GetParam();
    LabelSettings s = Defaults();
    s.rotation = s.verticalOffset = s.horizontalOffset = s.verticalShiftUp = s.horizontalShiftLeft = 77;
    Features f(c.answers);
    ReadJobSettings(s, f);
    EXPECT_EQ(s.rotation, c.rotation);
    EXPECT_EQ(s.verticalShiftUp, c.verticalShiftUp);
    EXPECT_EQ(s.verticalOffset, c.verticalOffset);
    EXPECT_EQ(s.horizontalShiftLeft, c.horizontalShiftLeft);
    EXPECT_EQ(s.horizontalOffset, c.horizontalOffset);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, JobSettings,
    ::testing::Values(
        FeatureCase{"all absent", {}, 0, 0, 0, 0, 0},
        FeatureCase{"NonRotate", {{"RotatePrint", "NonRotate"}}, 0, 0, 0, 0, 0},
        FeatureCase{"RotateRight90", {{"RotatePrint", "RotateRight90"}}, 1, 0, 0, 0, 0},
        FeatureCase{"RotateLeft90", {{"RotatePrint", "RotateLeft90"}}, 2, 0, 0, 0, 0},
        FeatureCase{"Rotate180", {{"RotatePrint", "Rotate180"}}, 3, 0, 0, 0, 0},
        FeatureCase{"rotate180 lower case", {{"RotatePrint", "rotate180"}}, 99, 0, 0, 0, 0},
        FeatureCase{"Rotate180 with a trailing space", {{"RotatePrint", "Rotate180 "}}, 99, 0, 0, 0, 0},
        FeatureCase{"empty rotation", {{"RotatePrint", ""}}, 99, 0, 0, 0, 0},
        FeatureCase{"Down", {{"VerticalDirection", "Down"}}, 0, 0, 0, 0, 0},
        FeatureCase{"Up", {{"VerticalDirection", "Up"}}, 0, 1, 0, 0, 0},
        FeatureCase{"down lower case", {{"VerticalDirection", "down"}}, 0, 1, 0, 0, 0},
        FeatureCase{"Right", {{"HorizontalDirection", "Right"}}, 0, 0, 0, 0, 0},
        FeatureCase{"right lower case", {{"HorizontalDirection", "right"}}, 0, 0, 0, 1, 0},
        FeatureCase{"Left", {{"HorizontalDirection", "Left"}}, 0, 0, 0, 1, 0},
        FeatureCase{"offsets 0 and 30", {{"VerticalOffset", "0"}, {"HorizontalOffset", "30"}}, 0, 0, 0, 0, 30},
        FeatureCase{"offsets 7 and 12", {{"VerticalOffset", "7"}, {"HorizontalOffset", "12"}}, 0, 0, 7, 0, 12},
        FeatureCase{"offset 05", {{"VerticalOffset", "05"}, {"HorizontalOffset", "05"}}, 0, 0, 0, 0, 0},
        FeatureCase{"offset 31", {{"VerticalOffset", "31"}, {"HorizontalOffset", "31"}}, 0, 0, 0, 0, 0},
        FeatureCase{"offset -1", {{"VerticalOffset", "-1"}, {"HorizontalOffset", "-1"}}, 0, 0, 0, 0, 0},
        FeatureCase{"offset +5 and space 5", {{"VerticalOffset", "+5"}, {"HorizontalOffset", " 5"}}, 0, 0, 0, 0, 0},
        FeatureCase{"offset 3a and empty", {{"VerticalOffset", "3a"}, {"HorizontalOffset", ""}}, 0, 0, 0, 0, 0},
        FeatureCase{"offset 300", {{"VerticalOffset", "300"}, {"HorizontalOffset", "4294967298"}}, 0, 0, 0, 0, 0},
        FeatureCase{"everything",
                    {{"RotatePrint", "Rotate180"}, {"VerticalDirection", "Up"}, {"VerticalOffset", "2"},
                     {"HorizontalDirection", "Left"}, {"HorizontalOffset", "3"}},
                    3, 1, 2, 1, 3}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

TEST(JobSettingsRead, AsksInOrderAndTouchesOnlyItsFields) {
    LabelSettings s = Defaults();
    s.textLineBottom = 1234;
    s.reserved12[100] = 0x42;
    const LabelSettings before = s;
    Features f({});
    ReadJobSettings(s, f);
    EXPECT_EQ(f.asked, (std::vector<std::string>{"RotatePrint", "VerticalDirection", "VerticalOffset",
                                                 "HorizontalDirection", "HorizontalOffset", "UseFont"}));
    EXPECT_EQ(std::memcmp(&s, &before, offsetof(LabelSettings, rotation)), 0);
    EXPECT_EQ(s.textLineBottom, 1234);
    EXPECT_EQ(s.reserved160, before.reserved160);
}

TEST(JobSettingsRead, UseFontSetsOrKeepsTheTextMode) {
    struct Row {
        const char* answer;   // null: absent
        uint32_t before, after;
    } rows[] = {{"Enable", 0, 1}, {"Disable", 1, 0}, {"enable", 1, 0}, {nullptr, 1, 1}, {nullptr, 0, 0}};
    for (const Row& r : rows) {
        LabelSettings s = Defaults();
        s.textMode = r.before;
        std::map<std::string, std::string> answers;
        if (r.answer) answers["UseFont"] = r.answer;
        Features f(answers);
        ReadJobSettings(s, f);
        EXPECT_EQ(s.textMode, r.after) << (r.answer ? r.answer : "(absent)") << " from " << r.before;
    }
}

TEST(JobSettingsRead, PrintModeAndOrientation) {
    struct Row {
        const char* answer;
        uint32_t textMode;
        bool portrait;
    } rows[] = {{nullptr, 0, true}, {"Print By Graphic", 0, false}, {"Print By Text", 1, false},
                {"print by graphic", 1, false}, {"PORTRAIT", 1, true}, {"LANDSCAPE", 1, false}};
    for (const Row& r : rows) {
        LabelSettings s = Defaults();
        s.textMode = 7;
        std::map<std::string, std::string> answers;
        if (r.answer) answers = {{"Print Mode", r.answer}, {"Orientation", r.answer}};
        Features f(answers);
        ReadPrintMode(s, f);
        EXPECT_EQ(s.textMode, r.textMode) << (r.answer ? r.answer : "(absent)");
        EXPECT_EQ(IsPortrait(f), r.portrait) << (r.answer ? r.answer : "(absent)");
        EXPECT_EQ(f.asked, (std::vector<std::string>{"Print Mode", "Orientation"}));
    }
}

// A host that fills the whole buffer without a terminator must not make the reader run past it.
TEST(JobSettingsRead, UnterminatedAnswerStaysInTheBuffer) {
    class Filler final : public FeatureSource {
    public:
        bool Get(const char*, char* buffer, uint32_t size) override {
            std::memset(buffer, 'D', size);
            return true;
        }
    } f;
    LabelSettings s = Defaults();
    ReadJobSettings(s, f);
    EXPECT_EQ(s.rotation, 99u);
    EXPECT_EQ(s.verticalShiftUp, 1u);
    EXPECT_EQ(s.verticalOffset, 0u);
    EXPECT_FALSE(IsPortrait(f));
}
