// A second reading of the label output, written for the tests and the benchmark: dot by dot and
// byte by byte, with no shared code. Tests compare the plug-in's bytes against it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ref {

struct Settings {
    uint32_t rotation = 0;
    uint32_t verticalOffset = 0;
    uint32_t horizontalOffset = 0;
    uint32_t horizontalShiftLeft = 0;
    uint32_t verticalShiftUp = 0;
    uint32_t textMode = 0;
};

// Rows of rowBytes bytes; dot x of row y is bit 7 − x mod 8 of byte x / 8.
struct Image {
    uint32_t rowBytes = 0;
    uint32_t rows = 0;
    std::vector<uint8_t> bytes;

    bool Dot(uint32_t x, uint32_t y) const { return (bytes[size_t(y) * rowBytes + x / 8] >> (7 - x % 8)) & 1; }
    void Set(uint32_t x, uint32_t y, bool v) {
        uint8_t& b = bytes[size_t(y) * rowBytes + x / 8];
        const auto bit = uint8_t(0x80 >> (x % 8));
        b = v ? uint8_t(b | bit) : uint8_t(b & ~bit);
    }
};

Image Turn90(const uint8_t* bits, uint32_t width, uint32_t height, uint32_t rowBytes);
Image Turn180(const Image& image);

std::string BlankLabel();
std::string LabelJob(const Settings& s, const Image& image);

struct Band {
    std::vector<uint8_t> bits;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t sizeImage = 0;
    bool blank = false;
};

// The bytes for one band, or nothing when the result pointer is null.
std::optional<std::string> ProcessBand(const Settings& s, bool portrait, const Band& band);

}  // namespace ref
