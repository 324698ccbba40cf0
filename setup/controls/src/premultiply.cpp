#include "controls/premultiply.h"

namespace controls {

void PremultiplyBgra(std::uint8_t* rows, int width, int height, std::ptrdiff_t stride) {
    if (!rows || width <= 0 || height <= 0) return;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = rows + y * stride;
        for (int x = 0; x < width; ++x, p += 4) {
            const unsigned a = p[3];
            p[0] = static_cast<std::uint8_t>(p[0] * a / 255);
            p[1] = static_cast<std::uint8_t>(p[1] * a / 255);
            p[2] = static_cast<std::uint8_t>(p[2] * a / 255);
        }
    }
}

}  // namespace controls
