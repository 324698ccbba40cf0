// Straight to premultiplied alpha for 32-bit BGRA pixels, as AlphaBlend with AC_SRC_ALPHA
// expects them. Done once per loaded picture, before its first draw.
#pragma once

#include <cstddef>
#include <cstdint>

namespace controls {

// rows: pointer to row 0; stride: bytes from one row to the next (may be negative).
void PremultiplyBgra(std::uint8_t* rows, int width, int height, std::ptrdiff_t stride);

}  // namespace controls
