// labelview's parts: the printer stream parser, the picture of a label and the PNG writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace labelview {

struct Label {
    size_t offset = 0;               // of its SIZE line
    int64_t widthMm = 0, heightMm = 0;
    int64_t refX = 0, refY = 0;      // dots
    bool hasBitmap = false;
    int64_t bytesPerRow = 0, rows = 0;
    size_t bitsOffset = 0;           // where the raster bytes lie in the stream
    int64_t sets = 0, copies = 0;    // PRINT sets,copies
};

struct Item {
    enum class Kind { Label, Text } kind;
    Label label;
    size_t offset = 0;
    std::string text;   // a plain-text line, without its LF
};

struct Parsed {
    std::vector<Item> items;   // everything up to the first fault
    bool ok = true;
    size_t errorOffset = 0;
    std::string error;
};

// A job starts wherever a line "SIZE <n> mm, <n> mm" CR LF begins; everything else is plain text,
// one item per line. Inside a job every line must be as the plug-in writes it.
Parsed ParseStream(const uint8_t* data, size_t size);

// 1 bit per dot, a set bit blank (white), as on the wire; rows of (width + 7) / 8 bytes.
struct Canvas {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> bits;

    bool Printed(uint32_t x, uint32_t y) const {
        return !((bits[size_t(y) * ((width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1);
    }
};

constexpr int64_t kDotsPerMm = 8;
// The input cap: a label job of the largest band labeljob sends is about 64 MiB.
constexpr uint64_t kMaxStreamBytes = uint64_t(128) << 20;
constexpr int64_t kMaxSideDots = 32768;
constexpr int64_t kMaxDots = int64_t(1) << 28;

// The label as printed: SIZE as the canvas, the bitmap at REFERENCE. False (with why) when the
// canvas is empty or too large to draw.
bool Render(const Label& label, const uint8_t* stream, Canvas* canvas, std::string* why);

bool WritePng(const Canvas& canvas, const std::string& path, std::string* error);

std::string Summary(const Label& label);
std::string Escaped(const std::string& text);

}  // namespace labelview
