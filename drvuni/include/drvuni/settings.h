// The plug-in's private device-mode record and how it is sized, defaulted, converted, merged and
// filled from the driver's features. Plain code over bytes: the COM shell maps the results.
//
// Holds: LabelSettings, the table of features read (FeatureKeywords, kFeaturesRead, AnswerValue),
// FeatureSource, DevModeArgs, DevMode, WriteDefaults, ReadJobSettings, ReadPrintMode, IsPortrait.
#pragma once

#include <cstddef>
#include <cstdint>

namespace drvuni {

constexpr uint32_t kLabelSettingsSize = 164;
constexpr char kSignature[4] = {'Q', 'L', 'B', 'V'};
constexpr uint32_t kSettingsVersion = 1;
constexpr uint32_t kRotateHalf = 3;   // the only rotation code that changes the output

// Stored by the host, little-endian; every field keeps its offset.
struct LabelSettings {
    uint32_t size;
    char signature[4];
    uint32_t version;
    uint8_t reserved12[120];        // offsets 12 to 131: carried untouched
    uint32_t rotation;              // 0 none, 1 right, 2 left, 3 half turn, 99 unrecognised
    uint32_t verticalOffset;        // millimetres
    uint32_t horizontalOffset;      // millimetres
    uint32_t horizontalShiftLeft;
    uint32_t verticalShiftUp;
    uint32_t textMode;              // 1: text runs as text, bands dropped
    int32_t textLineBottom;         // bottom of the text line being written; 0: none yet
    uint32_t reserved160;
};
static_assert(sizeof(LabelSettings) == kLabelSettingsSize, "LabelSettings is 164 bytes");
static_assert(offsetof(LabelSettings, rotation) == 132 && offsetof(LabelSettings, textLineBottom) == 156,
              "LabelSettings field offsets");

// ---- the driver features the plug-in reads ----
//
// The printer descriptions (GPD) must declare these features with exactly these option keywords:
// the host answers with the keyword of the selected option, and the plug-in compares it whole,
// byte for byte, case-sensitive. An answer equal to options[i].keyword gives options[i].value;
// any other answer gives otherAnswer.

struct OptionKeyword {
    const char* keyword;
    uint32_t value;
};

struct FeatureKeywords {
    const char* feature;            // the feature's keyword, as the host is asked for it
    const OptionKeyword* options;
    uint32_t optionCount;
    uint32_t otherAnswer;
    // The other answer is a setting of its own (Up, Left, text mode, landscape), so a description
    // offers an option for it; otherwise every option it offers is one of the keywords.
    bool otherIsASetting;
};

constexpr uint32_t kRotationUnrecognised = 99;

namespace keywords {

// The value is the rotation code; only kRotateHalf changes the output.
inline constexpr OptionKeyword kRotations[] = {
    {"NonRotate", 0}, {"RotateRight90", 1}, {"RotateLeft90", 2}, {"Rotate180", kRotateHalf}};
inline constexpr OptionKeyword kDown[] = {{"Down", 0}};
inline constexpr OptionKeyword kRight[] = {{"Right", 0}};
// Whole millimetres, written without leading zeros or signs.
inline constexpr OptionKeyword kMillimetres[] = {
    {"0", 0},   {"1", 1},   {"2", 2},   {"3", 3},   {"4", 4},   {"5", 5},   {"6", 6},   {"7", 7},
    {"8", 8},   {"9", 9},   {"10", 10}, {"11", 11}, {"12", 12}, {"13", 13}, {"14", 14}, {"15", 15},
    {"16", 16}, {"17", 17}, {"18", 18}, {"19", 19}, {"20", 20}, {"21", 21}, {"22", 22}, {"23", 23},
    {"24", 24}, {"25", 25}, {"26", 26}, {"27", 27}, {"28", 28}, {"29", 29}, {"30", 30}};
inline constexpr OptionKeyword kEnable[] = {{"Enable", 1}};
inline constexpr OptionKeyword kGraphic[] = {{"Print By Graphic", 0}};
inline constexpr OptionKeyword kPortrait[] = {{"PORTRAIT", 1}};   // 1: portrait

template <size_t N>
constexpr FeatureKeywords Feature(const char* name, const OptionKeyword (&options)[N], uint32_t other,
                                  bool otherIsASetting) {
    return {name, options, uint32_t(N), other, otherIsASetting};
}

}  // namespace keywords

// Read by ReadJobSettings, in this order.
inline constexpr FeatureKeywords kRotatePrint =
    keywords::Feature("RotatePrint", keywords::kRotations, kRotationUnrecognised, false);
inline constexpr FeatureKeywords kVerticalDirection = keywords::Feature("VerticalDirection", keywords::kDown, 1, true);
inline constexpr FeatureKeywords kVerticalOffset =
    keywords::Feature("VerticalOffset", keywords::kMillimetres, 0, false);
inline constexpr FeatureKeywords kHorizontalDirection =
    keywords::Feature("HorizontalDirection", keywords::kRight, 1, true);
inline constexpr FeatureKeywords kHorizontalOffset =
    keywords::Feature("HorizontalOffset", keywords::kMillimetres, 0, false);
inline constexpr FeatureKeywords kUseFont = keywords::Feature("UseFont", keywords::kEnable, 0, true);
// Read by ReadPrintMode and IsPortrait.
inline constexpr FeatureKeywords kPrintMode = keywords::Feature("Print Mode", keywords::kGraphic, 1, true);
inline constexpr FeatureKeywords kOrientation = keywords::Feature("Orientation", keywords::kPortrait, 0, true);

inline constexpr const FeatureKeywords* kFeaturesRead[] = {
    &kRotatePrint, &kVerticalDirection, &kVerticalOffset, &kHorizontalDirection, &kHorizontalOffset,
    &kUseFont,     &kPrintMode,         &kOrientation};

// The value of a present answer: the first keyword equal to it, else the feature's other answer.
uint32_t AnswerValue(const FeatureKeywords& feature, const char* answer);

// The host's feature answers. Get returns true when the feature is present, with its option
// keyword NUL-terminated in buffer (size bytes); false when it is absent.
class FeatureSource {
public:
    virtual bool Get(const char* feature, char* buffer, uint32_t size) = 0;

protected:
    ~FeatureSource() = default;
};

// The parts of the host's OEMDMPARAM that DevMode uses.
struct DevModeArgs {
    uint32_t* cbBufSize;
    void* in;
    void* out;
};

enum class DevModeStatus { Ok, InvalidParameter };

// Sizes (1), defaults (2), converts (3) or converts and merges (4) the record. A null argument
// record or another mode gives InvalidParameter; so does a default step without an output record.
DevModeStatus DevMode(uint32_t mode, const DevModeArgs* args);

// Writes the default of every field that has one; bytes without a default keep their value.
void WriteDefaults(void* record);

// Fills the record from the features at device start.
void ReadJobSettings(LabelSettings& settings, FeatureSource& features);

// "Print Mode", read again before the host draws text as a bitmap.
void ReadPrintMode(LabelSettings& settings, FeatureSource& features);

// "Orientation" of the band about to be processed; not stored.
bool IsPortrait(FeatureSource& features);

}  // namespace drvuni
