// ImageProcessing with an arbitrary band header, band, blank flag, orientation answer and
// settings record, up to a full-width label band of 64 KiB; every band is also checked byte for
// byte against the second reading.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drvuni/band.h"
#include "reference.h"

namespace {

class Sink final : public drvuni::ByteSink {
public:
    void Write(const uint8_t* data, uint32_t size) override { bytes.append(reinterpret_cast<const char*>(data), size); }
    std::string bytes;
};

class Orientation final : public drvuni::FeatureSource {
public:
    explicit Orientation(const char* answer) : answer_(answer) {}
    bool Get(const char*, char* buffer, uint32_t size) override {
        if (answer_ == nullptr) return false;
        std::strncpy(buffer, answer_, size);
        return true;
    }

private:
    const char* answer_;
};

class Memory final : public drvuni::WorkAllocator {
public:
    void* Allocate(size_t size) override {
        if (size > (size_t(64) << 20)) return nullptr;   // what a spooler might refuse
        return std::calloc(1, size);
    }
    void Release(void* block) override { std::free(block); }
};

template <class T>
T Take(const uint8_t*& p, size_t& n) {
    T v{};
    const size_t k = n < sizeof v ? n : sizeof v;
    std::memcpy(&v, p, k);
    p += k;
    n -= k;
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* p = data;
    size_t n = size;
    const auto width = Take<int32_t>(p, n);
    const auto height = Take<int32_t>(p, n);
    const auto sizeImage = Take<uint32_t>(p, n);
    const auto flags = Take<uint8_t>(p, n);
    drvuni::LabelSettings settings;
    std::memset(&settings, 0, sizeof settings);
    const size_t record = n < sizeof settings ? n : sizeof settings;
    std::memcpy(&settings, p, record);
    p += record;
    n -= record;

    // The host promises sizeImage bytes of band; hand over exactly what the input holds.
    const uint32_t bandSize = sizeImage < n ? sizeImage : uint32_t(n);
    uint8_t* bits = bandSize > 0 ? static_cast<uint8_t*>(std::malloc(bandSize)) : nullptr;
    if (bits != nullptr) std::memcpy(bits, p, bandSize);

    static const char* const kAnswers[] = {nullptr, "PORTRAIT", "LANDSCAPE", "portrait"};
    const char* answer = kAnswers[(flags >> 1) & 3];
    Orientation features(answer);
    Memory memory;
    Sink sink;
    const drvuni::Band band{bits, width, height, bandSize, (flags & 1) != 0};
    const drvuni::BandResult result = drvuni::ImageProcessing(settings, features, band, sink, memory);

    const ref::Settings s{settings.rotation,         settings.verticalOffset, settings.horizontalOffset,
                          settings.horizontalShiftLeft, settings.verticalShiftUp, settings.textMode};
    const bool portrait = answer == nullptr || std::strcmp(answer, "PORTRAIT") == 0;
    const auto want = ref::ProcessBand(
        s, portrait, ref::Band{std::vector<uint8_t>(bits, bits + bandSize), width, height, bandSize, band.blank});
    const bool consumed = result == drvuni::BandResult::Consumed;
    if (consumed != want.has_value() || (consumed && sink.bytes != *want)) __builtin_trap();
    std::free(bits);
    return 0;
}
