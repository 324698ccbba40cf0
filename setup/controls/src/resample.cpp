#include "controls/resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace controls {
namespace {

struct Tap {
    int index;
    float weight;
};

// For each destination position, the source positions and their weights (summing to 1).
std::vector<std::vector<Tap>> Taps(int srcLength, int dstLength) {
    std::vector<std::vector<Tap>> out(static_cast<std::size_t>(dstLength));
    const double scale = static_cast<double>(srcLength) / dstLength;
    const double radius = std::max(1.0, scale);
    for (int i = 0; i < dstLength; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int first = static_cast<int>(std::floor(centre - radius)) + 1;
        const int last = static_cast<int>(std::ceil(centre + radius)) - 1;
        double sum = 0;
        std::vector<Tap>& taps = out[static_cast<std::size_t>(i)];
        for (int j = first; j <= last; ++j) {
            const double w = 1.0 - std::fabs(j - centre) / radius;
            if (w <= 0) continue;
            taps.push_back({std::clamp(j, 0, srcLength - 1), static_cast<float>(w)});
            sum += w;
        }
        if (taps.empty()) taps.push_back({std::clamp(static_cast<int>(std::lround(centre)), 0, srcLength - 1), 1.0f});
        else
            for (Tap& t : taps) t.weight = static_cast<float>(t.weight / sum);
    }
    return out;
}

}  // namespace

void ResampleBgra(const std::uint8_t* src, int srcWidth, int srcHeight, std::ptrdiff_t srcStride,
                  std::uint8_t* dst, int dstWidth, int dstHeight, std::ptrdiff_t dstStride) {
    if (!src || !dst || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
    const auto across = Taps(srcWidth, dstWidth);
    const auto down = Taps(srcHeight, dstHeight);
    // Across first, into one row of floats per source row; then down.
    std::vector<float> wide(static_cast<std::size_t>(dstWidth) * 4 * static_cast<std::size_t>(srcHeight));
    for (int y = 0; y < srcHeight; ++y) {
        const std::uint8_t* row = src + y * srcStride;
        float* out = wide.data() + static_cast<std::size_t>(y) * dstWidth * 4;
        for (int x = 0; x < dstWidth; ++x) {
            float acc[4] = {};
            for (const Tap& t : across[static_cast<std::size_t>(x)])
                for (int c = 0; c < 4; ++c) acc[c] += t.weight * row[4 * t.index + c];
            std::copy(acc, acc + 4, out + 4 * x);
        }
    }
    for (int y = 0; y < dstHeight; ++y) {
        std::uint8_t* row = dst + y * dstStride;
        for (int x = 0; x < dstWidth; ++x) {
            float acc[4] = {};
            for (const Tap& t : down[static_cast<std::size_t>(y)]) {
                const float* in = wide.data() + (static_cast<std::size_t>(t.index) * dstWidth + x) * 4;
                for (int c = 0; c < 4; ++c) acc[c] += t.weight * in[c];
            }
            for (int c = 0; c < 4; ++c)
                row[4 * x + c] = static_cast<std::uint8_t>(std::clamp(std::lround(acc[c]), 0L, 255L));
        }
    }
}

}  // namespace controls
