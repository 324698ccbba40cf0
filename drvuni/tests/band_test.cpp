// Band processing: both turns against a dot-by-dot reading, and ImageProcessing's outcomes,
// including the headers that do not describe a readable band and the work buffers it may take.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

#include "drvuni/band.h"
#include "reference.h"
#include "testing.h"

using namespace drvuni;
using testing_drvuni::Diff;
using testing_drvuni::MemorySink;
using testing_drvuni::RandomBytes;

namespace {

class Features final : public FeatureSource {
public:
    explicit Features(const char* orientation = nullptr) : orientation_(orientation) {}
    bool Get(const char* feature, char* buffer, uint32_t size) override {
        ++asked;
        if (orientation_ == nullptr || std::strcmp(feature, "Orientation") != 0) return false;
        std::strncpy(buffer, orientation_, size);
        return true;
    }
    int asked = 0;

private:
    const char* orientation_;
};

// Hands out buffers filled with 0xCC (so that nothing relies on what is not written), can refuse
// the n-th request, and keeps count.
class Memory final : public WorkAllocator {
public:
    explicit Memory(int failAt = 0) : failAt_(failAt) {}
    void* Allocate(size_t size) override {
        if (++requests == failAt_) return nullptr;
        void* p = std::malloc(size);
        std::memset(p, 0xCC, size);
        sizes.push_back(size);
        if (++live > peak) peak = live;
        return p;
    }
    void Release(void* block) override {
        --live;
        std::free(block);
    }
    int requests = 0, live = 0, peak = 0;
    std::vector<size_t> sizes;

private:
    int failAt_;
};

LabelSettings Settings(uint32_t rotation = 0, uint32_t textMode = 0) {
    LabelSettings s;
    std::memset(&s, 0, sizeof s);
    WriteDefaults(&s);
    s.rotation = rotation;
    s.textMode = textMode;
    return s;
}

ref::Settings Ref(const LabelSettings& s) {
    return {s.rotation, s.verticalOffset, s.horizontalOffset, s.horizontalShiftLeft, s.verticalShiftUp, s.textMode};
}

std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace

// ---- the turns ----

const Kernel kQuarterKernels[] = {Kernel::Best, Kernel::Portable, Kernel::Sse2, Kernel::Avx2};
const Kernel kHalfKernels[] = {Kernel::Best, Kernel::Portable, Kernel::Ssse3, Kernel::Avx2};

// Every kernel this processor has, on bands whose widths, heights and row padding hit each edge
// of the tiles.
TEST(QuarterTurn, MatchesTheDotReadingOnOddSizes) {
    for (Kernel kernel : kQuarterKernels) {
    if (!KernelAvailable(kernel)) continue;
    std::mt19937 rng(7);
    for (int i = 0; i < 1500; ++i) {
        const uint32_t W = 1 + rng() % 300, H = 1 + rng() % 90;
        const uint32_t S = (W + 7) / 8 + rng() % 20;   // rows wider than the dots, as DIBs pad them
        const std::vector<uint8_t> band = RandomBytes(size_t(S) * H, rng);
        const uint32_t B = (H + 7) / 8;
        std::vector<uint8_t> out(size_t(W) * B, 0xCC);
        ASSERT_TRUE(RotateBand90With(kernel, band.data(), W, H, S, out.data()));
        const ref::Image want = ref::Turn90(band.data(), W, H, S);
        ASSERT_EQ(AsString(out), AsString(want.bytes))
            << "kernel " << int(kernel) << " W=" << W << " H=" << H << " S=" << S;
    }
    }
}

TEST(QuarterTurn, FourBySixInchBand) {
    std::mt19937 rng(8);
    const uint32_t W = 812, H = 1218, S = 102;
    const std::vector<uint8_t> band = RandomBytes(size_t(S) * H, rng);
    std::vector<uint8_t> out(size_t(W) * 153);
    RotateBand90(band.data(), W, H, S, out.data());
    EXPECT_EQ(AsString(out), AsString(ref::Turn90(band.data(), W, H, S).bytes));
}

TEST(QuarterTurn, FillerBitsLeadEveryRow) {
    // 832 dots by 100 rows: 13 bytes per output row, the first 4 bits 0.
    const std::vector<uint8_t> band(104 * 100, 0xFF);
    std::vector<uint8_t> out(832 * 13, 0xCC);
    RotateBand90(band.data(), 832, 100, 104, out.data());
    for (uint32_t j = 0; j < 832; ++j) {
        ASSERT_EQ(out[j * 13], 0x0F) << "row " << j;
        for (uint32_t k = 1; k < 13; ++k) ASSERT_EQ(out[j * 13 + k], 0xFF) << "row " << j << " byte " << k;
    }
}

TEST(HalfTurn, ReversesBytesAndBits) {
    struct Case {
        std::vector<uint8_t> in, want;
    } cases[] = {{{0x01, 0x80}, {0x01, 0x80}}, {{0x0F, 0x00}, {0x00, 0xF0}}, {{0x12, 0x34, 0x56}, {0x6A, 0x2C, 0x48}}};
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.in.size());
        RotateBand180(c.in.data(), c.in.size(), out.data());
        EXPECT_EQ(out, c.want);
    }
    for (Kernel kernel : kHalfKernels) {
        if (!KernelAvailable(kernel)) continue;
        std::mt19937 rng(9);
        for (size_t n : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(31), size_t(32), size_t(33),
                         size_t(63), size_t(100), size_t(124236)}) {
            const uint32_t S = n == 0 ? 1 : uint32_t(1 + rng() % n);
            const size_t size = n / S * S;
            const std::vector<uint8_t> in = RandomBytes(size, rng);
            std::vector<uint8_t> out(size);
            ASSERT_TRUE(RotateBand180With(kernel, in.data(), size, out.data()));
            if (size == 0) continue;
            EXPECT_EQ(AsString(out), AsString(ref::Turn180(ref::Image{S, uint32_t(size / S), in}).bytes))
                << "kernel " << int(kernel) << " size " << n;
        }
    }
    EXPECT_FALSE(RotateBand180With(Kernel::Sse2, nullptr, 0, nullptr));
}

TEST(TurnedSize, RefusesPast32Bits) {
    EXPECT_EQ(TurnedBandSize(812, 1218), 812u * 153u);
    EXPECT_EQ(TurnedBandSize(0x7FFFFFFF, 16), 0xFFFFFFFEu);
    EXPECT_EQ(TurnedBandSize(0x7FFFFFFF, 17), 0u);
    EXPECT_EQ(TurnedBandSize(2021161080, 17), 0u);
}

// ---- ImageProcessing ----

TEST(Bands, TextModeDropsTheBandAndAsksNothing) {
    const std::vector<uint8_t> band(104 * 480, 0x00);
    Features f("LANDSCAPE");
    Memory m;
    MemorySink sink;
    EXPECT_EQ(ImageProcessing(Settings(3, 1), f, Band{band.data(), 832, 480, 104 * 480, false}, sink, m),
              BandResult::Consumed);
    EXPECT_EQ(sink.bytes, "");
    EXPECT_EQ(f.asked, 0);
    EXPECT_EQ(m.requests, 0);
}

TEST(Bands, BlankBandIsTheBlankLabelInBothOrientations) {
    const std::vector<uint8_t> band(104 * 480, 0x00);
    for (const char* orientation : {"PORTRAIT", "LANDSCAPE"}) {
        for (uint32_t rotation : {0u, 3u}) {
            Features f(orientation);
            Memory m;
            MemorySink sink;
            EXPECT_EQ(ImageProcessing(Settings(rotation), f, Band{band.data(), 832, 480, 104 * 480, true}, sink, m),
                      BandResult::Consumed);
            EXPECT_EQ(sink.bytes, ref::BlankLabel()) << orientation;
            EXPECT_EQ(f.asked, 1);
            EXPECT_EQ(m.requests, 0);
        }
    }
}

// Every combination of orientation and rotation code against the second reading.
TEST(Bands, TurnsAsTheFeaturesAsk) {
    std::mt19937 rng(10);
    const std::vector<uint8_t> band = RandomBytes(104 * 480, rng);
    for (const char* orientation : {static_cast<const char*>(nullptr), "PORTRAIT", "LANDSCAPE", "portrait"}) {
        for (uint32_t rotation : {0u, 1u, 2u, 3u, 99u}) {
            Features f(orientation);
            Memory m;
            MemorySink sink;
            ASSERT_EQ(ImageProcessing(Settings(rotation), f, Band{band.data(), 832, 480, 104 * 480, false}, sink, m),
                      BandResult::Consumed);
            const bool portrait = orientation == nullptr || std::strcmp(orientation, "PORTRAIT") == 0;
            const ref::Band rb{band, 832, 480, 104 * 480, false};
            const std::string want = *ref::ProcessBand(Ref(Settings(rotation)), portrait, rb);
            EXPECT_EQ(sink.bytes, want) << (orientation ? orientation : "absent") << " rotation " << rotation << ": "
                                        << Diff(sink.bytes, want);
            EXPECT_EQ(m.live, 0);
            EXPECT_EQ(m.requests, (portrait ? 0 : 1) + (rotation == 3 ? 1 : 0));
            if (!portrait) {
                EXPECT_EQ(m.sizes.at(0), 832u * 60u);   // 832 rows of 60 bytes
            }
        }
    }
    // Portrait without a turn sends the band as it is: S = 104, R = 480.
    Features f;
    Memory m;
    MemorySink sink;
    ImageProcessing(Settings(), f, Band{band.data(), 832, 480, 104 * 480, false}, sink, m);
    EXPECT_EQ(sink.bytes, ref::LabelJob({}, ref::Image{104, 480, band}));
}

TEST(Bands, TwoCallsTwoIdenticalJobs) {
    std::mt19937 rng(11);
    const std::vector<uint8_t> band = RandomBytes(13 * 77, rng);
    Features f("LANDSCAPE");
    Memory m;
    MemorySink first, second;
    ImageProcessing(Settings(3), f, Band{band.data(), 100, 77, 13 * 77, false}, first, m);
    ImageProcessing(Settings(3), f, Band{band.data(), 100, 77, 13 * 77, false}, second, m);
    EXPECT_FALSE(first.bytes.empty());
    EXPECT_EQ(first.bytes, second.bytes);
}

// Random bands, settings and orientations against the second reading.
TEST(Bands, AgreeWithTheReferenceOnRandomBands) {
    std::mt19937 rng(12);
    for (int i = 0; i < 800; ++i) {
        const int32_t W = int32_t(1 + rng() % 200), H = int32_t(1 + rng() % 100);
        const uint32_t S = uint32_t(W + 7) / 8 + rng() % 4;
        const uint32_t sizeImage = S * uint32_t(H) + uint32_t(rng() % 3);   // a rest shorter than a row
        std::vector<uint8_t> bits = RandomBytes(sizeImage, rng);
        if (rng() % 2)
            for (size_t k = bits.size() / 2; k < bits.size(); ++k) bits[k] = 0xFF;
        LabelSettings s = Settings(rng() % 2 ? 3 : rng() % 4);
        s.verticalOffset = rng() % 3 == 0 ? rng() % 4 : 0;
        s.horizontalOffset = rng() % 3 == 0 ? rng() % 4 : 0;
        s.verticalShiftUp = rng() % 2;
        s.horizontalShiftLeft = rng() % 2;
        const bool portrait = rng() % 2;
        Features f(portrait ? "PORTRAIT" : "LANDSCAPE");
        Memory m;
        MemorySink sink;
        const Band band{bits.data(), W, H, sizeImage, false};
        const BandResult r = ImageProcessing(s, f, band, sink, m);
        const auto want = ref::ProcessBand(Ref(s), portrait, ref::Band{bits, W, H, band.sizeImage, false});
        ASSERT_TRUE(want.has_value());
        ASSERT_EQ(r, BandResult::Consumed);
        ASSERT_EQ(sink.bytes, *want) << "case " << i << ": " << Diff(sink.bytes, *want);
        ASSERT_EQ(m.live, 0);
        ASSERT_LE(m.peak, 2);
    }
}

// Headers that do not describe a band that can be read: nothing written, no buffer taken, a null
// result, and no read outside the bits.
TEST(Bands, HeadersThatDoNotFitTheirBits) {
    std::vector<uint8_t> bits(64, 0x00);
    struct Case {
        const char* name;
        const uint8_t* bits;
        int32_t W, H;
        uint32_t sizeImage;
        const char* orientation;
    } cases[] = {
        {"height 0", bits.data(), 16, 0, 64, "PORTRAIT"},
        {"height 0, landscape", bits.data(), 16, 0, 64, "LANDSCAPE"},
        {"negative height", bits.data(), 16, -4, 64, "PORTRAIT"},
        {"image smaller than one byte per row", bits.data(), 16, 8, 7, "PORTRAIT"},
        {"no bits", nullptr, 16, 4, 64, "PORTRAIT"},
        {"landscape wider than its rows", bits.data(), 17, 32, 64, "LANDSCAPE"},
        {"landscape width 0", bits.data(), 0, 8, 64, "LANDSCAPE"},
        {"landscape negative width", bits.data(), -8, 8, 64, "LANDSCAPE"},
        {"row size past 31 bits", bits.data(), 8, 1, 0x80000000u, "PORTRAIT"},
        // 8 x S dots by 17 rows: the turned band would need more than 4 GiB (on a 32-bit build
        // the product would wrap to a small buffer).
        {"turned size past 32 bits", bits.data(), 2021161080, 17, 4294967295u, "LANDSCAPE"},
    };
    for (const Case& c : cases) {
        for (uint32_t rotation : {0u, 3u}) {
            Features f(c.orientation);
            Memory m;
            MemorySink sink;
            EXPECT_EQ(ImageProcessing(Settings(rotation), f, Band{c.bits, c.W, c.H, c.sizeImage, false}, sink, m),
                      BandResult::Unavailable)
                << c.name;
            EXPECT_EQ(sink.bytes, "") << c.name;
            EXPECT_EQ(m.requests, 0) << c.name;
        }
    }
    // A portrait band does not look at its width.
    Features f("PORTRAIT");
    Memory m;
    MemorySink sink;
    EXPECT_EQ(ImageProcessing(Settings(), f, Band{bits.data(), 9999, 8, 64, false}, sink, m), BandResult::Consumed);
    EXPECT_EQ(sink.bytes, ref::LabelJob({}, ref::Image{8, 8, bits}));
}

TEST(Bands, WorkBufferNotAvailable) {
    std::mt19937 rng(13);
    const std::vector<uint8_t> bits = RandomBytes(13 * 50, rng);
    struct Case {
        const char* name;
        const char* orientation;
        uint32_t rotation;
        int failAt;
    } cases[] = {
        {"quarter turn", "LANDSCAPE", 0, 1},
        {"quarter turn before a half turn", "LANDSCAPE", 3, 1},
        {"half turn after a quarter turn", "LANDSCAPE", 3, 2},
        {"half turn", "PORTRAIT", 3, 1},
    };
    for (const Case& c : cases) {
        Features f(c.orientation);
        Memory m(c.failAt);
        MemorySink sink;
        EXPECT_EQ(ImageProcessing(Settings(c.rotation), f, Band{bits.data(), 100, 50, 13 * 50, false}, sink, m),
                  BandResult::Unavailable)
            << c.name;
        EXPECT_EQ(sink.bytes, "") << c.name;
        EXPECT_EQ(m.live, 0) << c.name;
    }
}
