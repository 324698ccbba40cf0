#include "drvuni/settings.h"

#include <cstring>

namespace drvuni {
namespace {

constexpr uint32_t kAnswerSize = 255;

void Put32(uint8_t* record, size_t offset, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    std::memcpy(record + offset, bytes, 4);
}

uint32_t Get32(const uint8_t* record, size_t offset) {
    return uint32_t(record[offset]) | uint32_t(record[offset + 1]) << 8 | uint32_t(record[offset + 2]) << 16 |
           uint32_t(record[offset + 3]) << 24;
}

struct Default {
    uint8_t offset;
    uint8_t width;
    uint32_t value;
};

// Offsets 21-23, 77-79, 112 and 160 get no default.
constexpr Default kDefaults[] = {
    {0, 4, kLabelSettingsSize}, {8, 4, kSettingsVersion},
    {12, 4, 0}, {16, 4, 0}, {20, 1, 1}, {24, 4, 0}, {28, 4, 0}, {32, 4, 0}, {36, 4, 0}, {40, 4, 0},
    {44, 4, 48}, {48, 4, 1}, {52, 4, 0}, {56, 4, 0}, {60, 4, 0}, {64, 4, 136}, {68, 4, 0}, {72, 4, 1},
    {76, 1, 0}, {80, 4, 1}, {84, 4, 0}, {88, 4, 0}, {92, 4, 0}, {96, 4, 1}, {100, 4, 0}, {104, 4, 0},
    {108, 4, 0}, {116, 4, 0}, {120, 4, 0}, {124, 4, 0}, {128, 4, 0},
    {132, 4, 0}, {136, 4, 0}, {140, 4, 0}, {144, 4, 0}, {148, 4, 0}, {152, 4, 0}, {156, 4, 0},
};

void Convert(const void* in, void* out) {
    if (in == nullptr || out == nullptr) return;
    auto* dst = static_cast<uint8_t*>(out);
    const auto* src = static_cast<const uint8_t*>(in);
    if (std::memcmp(src + 4, dst + 4, 4) != 0) {
        WriteDefaults(out);
        return;
    }
    Put32(dst, 12, 0);
    uint32_t count = Get32(src, 0) < Get32(dst, 0) ? Get32(src, 0) : Get32(dst, 0);
    // The size fields come from stored records; the buffers are ours and never larger.
    if (count > kLabelSettingsSize) count = kLabelSettingsSize;
    std::memmove(dst, src, count);
    Put32(dst, 0, kLabelSettingsSize);
    Put32(dst, 8, kSettingsVersion);
}

void Merge(void* out) {
    if (out == nullptr) return;
    auto* dst = static_cast<uint8_t*>(out);
    Put32(dst, 12, 0);
    Put32(dst, 0, kLabelSettingsSize);
    std::memcpy(dst + 4, kSignature, 4);
    Put32(dst, 8, kSettingsVersion);
}

// Queries one feature into the shared answer buffer; the last byte is never handed to the host,
// so the answer stays terminated whatever the host writes.
class Reader {
public:
    explicit Reader(FeatureSource& features) : features_(features) {}

    const char* Get(const char* feature) {
        const bool present = features_.Get(feature, answer_, kAnswerSize);
        answer_[kAnswerSize] = '\0';
        return present ? answer_ : nullptr;
    }

private:
    FeatureSource& features_;
    char answer_[kAnswerSize + 1] = {};
};

// What an absent feature means differs from field to field, so the caller says.
uint32_t Read(Reader& reader, const FeatureKeywords& feature, uint32_t absent) {
    const char* a = reader.Get(feature.feature);
    return a != nullptr ? AnswerValue(feature, a) : absent;
}

}  // namespace

void WriteDefaults(void* record) {
    auto* dst = static_cast<uint8_t*>(record);
    for (const Default& d : kDefaults) {
        if (d.width == 1)
            dst[d.offset] = uint8_t(d.value);
        else
            Put32(dst, d.offset, d.value);
    }
    std::memcpy(dst + 4, kSignature, 4);
}

DevModeStatus DevMode(uint32_t mode, const DevModeArgs* args) {
    if (args == nullptr) return DevModeStatus::InvalidParameter;
    switch (mode) {
    case 1:
        if (args->cbBufSize == nullptr) return DevModeStatus::InvalidParameter;
        *args->cbBufSize = kLabelSettingsSize;
        return DevModeStatus::Ok;
    case 2:
        if (args->out == nullptr) return DevModeStatus::InvalidParameter;
        WriteDefaults(args->out);
        return DevModeStatus::Ok;
    case 3:
        Convert(args->in, args->out);
        return DevModeStatus::Ok;
    case 4:
        Convert(args->in, args->out);
        Merge(args->out);
        return DevModeStatus::Ok;
    default:
        return DevModeStatus::InvalidParameter;
    }
}

uint32_t AnswerValue(const FeatureKeywords& feature, const char* answer) {
    for (uint32_t i = 0; i < feature.optionCount; ++i)
        if (std::strcmp(answer, feature.options[i].keyword) == 0) return feature.options[i].value;
    return feature.otherAnswer;
}

void ReadJobSettings(LabelSettings& s, FeatureSource& features) {
    Reader reader(features);
    s.rotation = Read(reader, kRotatePrint, 0);
    s.verticalShiftUp = Read(reader, kVerticalDirection, 0);
    s.verticalOffset = Read(reader, kVerticalOffset, 0);
    s.horizontalShiftLeft = Read(reader, kHorizontalDirection, 0);
    s.horizontalOffset = Read(reader, kHorizontalOffset, 0);
    s.textMode = Read(reader, kUseFont, s.textMode);   // absent: the record's value stays
}

void ReadPrintMode(LabelSettings& s, FeatureSource& features) {
    Reader reader(features);
    s.textMode = Read(reader, kPrintMode, 0);
}

bool IsPortrait(FeatureSource& features) {
    Reader reader(features);
    return Read(reader, kOrientation, 1) == 1;
}

}  // namespace drvuni
