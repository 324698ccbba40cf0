// Small helpers shared by the plug-in's tests: a sink that keeps every write, band makers and a
// readable diff of two byte streams.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "drvuni/labeljob.h"

namespace testing_drvuni {

class MemorySink final : public drvuni::ByteSink {
public:
    void Write(const uint8_t* data, uint32_t size) override {
        writes.emplace_back(reinterpret_cast<const char*>(data), size);
        bytes.append(reinterpret_cast<const char*>(data), size);
    }
    std::string bytes;
    std::vector<std::string> writes;
};

// Rows that are never blank: each has a byte other than 0xFF in every column range.
inline std::vector<uint8_t> InkedRows(uint32_t rowBytes, uint32_t rows, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(size_t(rowBytes) * rows);
    for (auto& b : v) b = uint8_t(rng() % 255);   // never 0xFF
    return v;
}

inline std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& rng) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

// Where two byte streams part, with some context in escaped form.
inline std::string Diff(const std::string& got, const std::string& want) {
    if (got == want) return "equal";
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    auto show = [](const std::string& s, size_t from) {
        std::string out;
        for (size_t k = from; k < s.size() && k < from + 48; ++k) {
            const auto c = static_cast<unsigned char>(s[k]);
            if (c >= 32 && c < 127) {
                out += char(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            }
        }
        return out;
    };
    const size_t from = i >= 16 ? i - 16 : 0;
    return "differ at byte " + std::to_string(i) + " (sizes " + std::to_string(got.size()) + " and " +
           std::to_string(want.size()) + ")\n  got:  " + show(got, from) + "\n  want: " + show(want, from);
}

}  // namespace testing_drvuni
