// labeljob's parts: reading a 1-bit PBM image, the command line, and driving the plug-in through
// the host simulator. main() only moves bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unisim/unisim.h"

namespace labeljob {

// A PBM image: a set bit is a black pixel, a printed dot. Rows of ceil(width / 8) bytes, most
// significant bit leftmost.
struct Pbm {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bits;

    bool Black(uint32_t x, uint32_t y) const { return (bits[size_t(y) * ((width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1; }
};

// Plain (P1) or raw (P4) PBM; false with a reason on anything else.
bool ParsePbm(const std::vector<uint8_t>& data, Pbm* image, std::string* error);

// The band as Unidrv renders it for the image: rows padded to 32 bits (DWORD-aligned), a printed
// dot a 0 bit, a blank dot and every padding bit a 1 bit (the surface is erased to white).
unisim::BandInput BandFromImage(const Pbm& image);

// The input cap: every raw image ParsePbm takes (64 MiB of raster) with room for its header.
constexpr uint64_t kMaxInputBytes = uint64_t(128) << 20;

struct Options {
    unisim::Features features;
    bool blank = false;
    std::vector<unisim::TextInput> textRuns;
    std::optional<std::string> image;   // a path, or "-" for standard input
    bool help = false;
};

bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error);

// UTF-8 to UTF-16; false on a malformed sequence.
bool Utf8ToUtf16(const std::string& in, std::u16string* out);

// Text runs first, then the band if there is an image, all on one page.
unisim::Session MakeSession(const Options& options, const Pbm* image);

extern const char kUsage[];

}  // namespace labeljob
