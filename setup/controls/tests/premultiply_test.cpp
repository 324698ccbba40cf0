#include "controls/premultiply.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace controls {
namespace {

TEST(PremultiplyTest, ScalesColourByAlphaWithTruncation) {
    struct Case {
        std::array<std::uint8_t, 4> in, out;
    };
    const Case cases[] = {
        {{200, 100, 50, 128}, {100, 50, 25, 128}},
        {{255, 17, 3, 255}, {255, 17, 3, 255}},
        {{200, 100, 50, 0}, {0, 0, 0, 0}},
        {{255, 255, 255, 1}, {1, 1, 1, 1}},
        {{254, 254, 254, 254}, {253, 253, 253, 254}},  // 254 * 254 / 255 = 253.0039
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::array<std::uint8_t, 4> px = cases[i].in;
        PremultiplyBgra(px.data(), 1, 1, 4);
        EXPECT_EQ(px, cases[i].out) << "case " << i;
    }
}

TEST(PremultiplyTest, HonoursTheStrideAndLeavesPaddingAlone) {
    // Two rows of two pixels, 12 bytes per row: the last 4 bytes of each row are padding.
    std::vector<std::uint8_t> rows = {200, 100, 50, 128, 10, 20, 30, 255, 9, 9, 9, 9,
                                      90, 90, 90, 0,     255, 0, 0, 51,   9, 9, 9, 9};
    PremultiplyBgra(rows.data(), 2, 2, 12);
    const std::vector<std::uint8_t> expected = {100, 50, 25, 128, 10, 20, 30, 255, 9, 9, 9, 9,
                                                0,   0,  0,  0,   51, 0,  0,  51,  9, 9, 9, 9};
    EXPECT_EQ(rows, expected);
}

TEST(PremultiplyTest, BottomUpRowsWithNegativeStride) {
    std::vector<std::uint8_t> rows = {100, 100, 100, 128, 100, 100, 100, 64};
    // Row 0 is the second pixel group in memory.
    PremultiplyBgra(rows.data() + 4, 1, 2, -4);
    const std::vector<std::uint8_t> expected = {50, 50, 50, 128, 25, 25, 25, 64};
    EXPECT_EQ(rows, expected);
}

TEST(PremultiplyTest, EmptyPictureIsLeftAlone) {
    PremultiplyBgra(nullptr, 10, 10, 40);
    std::uint8_t px[4] = {1, 2, 3, 4};
    PremultiplyBgra(px, 0, 1, 4);
    EXPECT_EQ(px[0], 1);
}

}  // namespace
}  // namespace controls
