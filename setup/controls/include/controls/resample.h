// Smooth stretching of 32-bit BGRA pixels (premultiplied or opaque), for pictures drawn at a
// size other than their own: the screen's scale, or a picture larger than its place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace controls {

// A tent filter as wide as one source pixel or one destination pixel, whichever is larger:
// bilinear when growing, an average over the covered pixels when shrinking. Edges are held.
// Rows start at `src`/`dst`; strides may be negative. Empty sizes write nothing.
void ResampleBgra(const std::uint8_t* src, int srcWidth, int srcHeight, std::ptrdiff_t srcStride,
                  std::uint8_t* dst, int dstWidth, int dstHeight, std::ptrdiff_t dstStride);

}  // namespace controls
