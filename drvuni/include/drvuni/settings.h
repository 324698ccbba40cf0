// The plug-in's private device-mode record and how it is sized, defaulted, converted, merged and
// filled from the driver's features. Plain code over bytes: the COM shell maps the results.
//
// Holds: LabelSettings, FeatureSource, DevModeArgs, DevMode, WriteDefaults, ReadJobSettings,
// ReadPrintMode, IsPortrait.
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
