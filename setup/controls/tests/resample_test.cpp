#include "controls/resample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using controls::ResampleBgra;
using Pixels = std::vector<std::uint8_t>;

Pixels Resample(const Pixels& src, int sw, int sh, int dw, int dh) {
    Pixels dst(static_cast<std::size_t>(dw * dh * 4), 0xEE);
    ResampleBgra(src.data(), sw, sh, sw * 4, dst.data(), dw, dh, dw * 4);
    return dst;
}

// One channel's values along the first row.
std::vector<int> RowOf(const Pixels& p, int width, int channel) {
    std::vector<int> v;
    for (int x = 0; x < width; ++x) v.push_back(p[static_cast<std::size_t>(4 * x + channel)]);
    return v;
}

TEST(ResampleTest, SameSizeAndFlatPicturesAreUnchanged) {
    Pixels src;
    for (int i = 0; i < 5 * 3; ++i) src.insert(src.end(), {std::uint8_t(i * 7), std::uint8_t(i), 200, 255});
    EXPECT_EQ(Resample(src, 5, 3, 5, 3), src);
    const Pixels flat(4 * 4 * 4, 90);
    for (auto [w, h] : {std::pair{5, 5}, {6, 7}, {8, 8}, {3, 2}, {1, 1}})
        EXPECT_EQ(Resample(flat, 4, 4, w, h), Pixels(static_cast<std::size_t>(w * h * 4), 90)) << w << "x" << h;
}

TEST(ResampleTest, GrowingBlendsNeighboursInsteadOfRepeatingThem) {
    // A black and a white pixel at 150 % and 200 %: the pixels between take values in between.
    const Pixels src = {0, 0, 0, 255, 255, 255, 255, 255};
    EXPECT_EQ(RowOf(Resample(src, 2, 1, 3, 1), 3, 0), (std::vector<int>{0, 128, 255}));
    EXPECT_EQ(RowOf(Resample(src, 2, 1, 4, 1), 4, 0), (std::vector<int>{0, 64, 191, 255}));
    // Alpha goes with the colours: premultiplied pixels stay premultiplied.
    const Pixels edge = {0, 0, 0, 0, 200, 100, 50, 200};
    const Pixels grown = Resample(edge, 2, 1, 4, 1);
    for (int x = 0; x < 4; ++x)
        for (int c = 0; c < 3; ++c) EXPECT_LE(grown[4 * x + c], grown[4 * x + 3]) << x;
}

TEST(ResampleTest, ShrinkingAveragesWhatEachPixelCovers) {
    // A one-pixel checkerboard halved is grey, not black or white.
    Pixels board;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint8_t v = (x + y) % 2 ? 255 : 0;
            board.insert(board.end(), {v, v, v, 255});
        }
    const Pixels half = Resample(board, 8, 8, 4, 4);
    for (std::size_t i = 0; i < half.size(); i += 4) {
        EXPECT_NEAR(half[i], 128, 20) << i / 4;
        EXPECT_EQ(half[i + 3], 255);
    }
}

TEST(ResampleTest, BottomUpRowsAndEmptySizes) {
    // Rows given bottom-up (negative stride) come out in the same order.
    const Pixels src = {10, 10, 10, 255, 250, 250, 250, 255};   // row 1, then row 0 in memory
    Pixels dst(2 * 4, 0);
    ResampleBgra(src.data() + 4, 1, 2, -4, dst.data(), 1, 2, 4);
    EXPECT_EQ(dst[0], 250);
    EXPECT_EQ(dst[4], 10);
    Pixels untouched(16, 7);
    ResampleBgra(src.data(), 0, 2, 4, untouched.data(), 2, 2, 8);
    ResampleBgra(src.data(), 1, 2, 4, untouched.data(), 0, 2, 8);
    EXPECT_EQ(untouched, Pixels(16, 7));
}

}  // namespace
