#include "drvuni/band.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#define DRVUNI_X86 1
#include <immintrin.h>
#endif

namespace drvuni {
namespace {

struct ReverseTable {
    uint8_t v[256];
    constexpr ReverseTable() : v() {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b)) r |= 0x80 >> b;
            v[i] = uint8_t(r);
        }
    }
};
constexpr ReverseTable kReverse;

// Output byte k of row j: the dot of column j from source rows 8B−1−8k down to 8B−8−8k.
[[maybe_unused]] void Rotate90Scalar(const uint8_t* src, uint32_t W, uint32_t H, uint32_t S, uint8_t* dst) {
    const uint32_t B = (H + 7) / 8;
    for (uint32_t k = 0; k < B; ++k) {
        const int64_t top = int64_t(8) * B - 1 - 8 * int64_t(k);   // row of the most significant bit
        for (uint32_t j = 0; j < W; ++j) {
            const uint32_t byte = j >> 3;
            const unsigned shift = 7 - (j & 7);
            unsigned out = 0;
            for (int b = 0; b < 8; ++b) {
                const int64_t y = top - b;
                unsigned bit = 0;
                if (y >= 0 && y < int64_t(H)) bit = (src[size_t(y) * S + byte] >> shift) & 1;
                out |= bit << (7 - b);
            }
            dst[size_t(j) * B + k] = uint8_t(out);
        }
    }
}

#if DRVUNI_X86
// 16 × 16 byte transpose: four perfect shuffles turn register r, byte m into register m, byte r.
inline void Transpose16(__m128i x[16]) {
    for (int stage = 0; stage < 4; ++stage) {
        __m128i y[16];
        for (int i = 0; i < 8; ++i) {
            y[2 * i] = _mm_unpacklo_epi8(x[i], x[i + 8]);
            y[2 * i + 1] = _mm_unpackhi_epi8(x[i], x[i + 8]);
        }
        for (int i = 0; i < 16; ++i) x[i] = y[i];
    }
}

// Sixteen source rows feed output bytes k (lanes 0-7, rows base+8 .. base+15) and k+1 (lanes 8-15,
// rows base .. base+7): byte lane L gives bit L of the 16-bit mask, so the mask's low byte is
// output byte k with its highest row in the most significant bit, and the high byte is byte k+1.
// Each column byte becomes eight masks, one per output row.
void Rotate90Sse2(const uint8_t* src, uint32_t W, uint32_t H, uint32_t S, uint8_t* dst) {
    const uint32_t B = (H + 7) / 8;
    const uint32_t columnBytes = (W + 7) / 8;
    for (uint32_t k = 0; k < B; k += 2) {
        const bool pair = k + 1 < B;
        const int64_t base = int64_t(8) * B - 16 - 8 * int64_t(k);
        const uint8_t* rowOf[16];
        for (int lane = 0; lane < 16; ++lane) {
            const int64_t y = lane < 8 ? base + 8 + lane : base + lane - 8;
            rowOf[lane] = (y >= 0 && y < int64_t(H)) ? src + size_t(y) * S : nullptr;
        }
        for (uint32_t cb = 0; cb < columnBytes; cb += 16) {
            __m128i x[16];
            const bool inside = size_t(cb) + 16 <= S;
            for (int lane = 0; lane < 16; ++lane) {
                if (rowOf[lane] == nullptr) {
                    x[lane] = _mm_setzero_si128();
                } else if (inside) {
                    x[lane] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowOf[lane] + cb));
                } else {
                    alignas(16) uint8_t tmp[16] = {};
                    std::memcpy(tmp, rowOf[lane] + cb, S - cb);
                    x[lane] = _mm_load_si128(reinterpret_cast<const __m128i*>(tmp));
                }
            }
            Transpose16(x);
            const uint32_t columns = columnBytes - cb < 16 ? columnBytes - cb : 16;
            for (uint32_t c = 0; c < columns; ++c) {
                __m128i v = x[c];
                const uint32_t j0 = (cb + c) * 8;
                uint8_t* out = dst + size_t(j0) * B + k;
                const uint32_t dots = W - j0 < 8 ? W - j0 : 8;
                if (pair && dots == 8) {
                    for (int b = 0; b < 8; ++b) {
                        const auto m = uint16_t(_mm_movemask_epi8(v));
                        std::memcpy(out + size_t(b) * B, &m, 2);
                        v = _mm_add_epi8(v, v);
                    }
                } else {
                    for (uint32_t b = 0; b < dots; ++b) {
                        const auto m = unsigned(_mm_movemask_epi8(v));
                        out[size_t(b) * B] = uint8_t(m);
                        if (pair) out[size_t(b) * B + 1] = uint8_t(m >> 8);
                        v = _mm_add_epi8(v, v);
                    }
                }
            }
        }
    }
}

__attribute__((target("ssse3"))) void Rotate180Ssse3(const uint8_t* src, size_t n, uint8_t* dst) {
    const __m128i reverseBytes = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    // Bit-reversed nibbles: the low nibble lands in the high half and the high nibble in the low.
    const __m128i fromLow = _mm_setr_epi8(0x00, char(0x80), 0x40, char(0xC0), 0x20, char(0xA0), 0x60, char(0xE0),
                                          0x10, char(0x90), 0x50, char(0xD0), 0x30, char(0xB0), 0x70, char(0xF0));
    const __m128i fromHigh = _mm_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16 - i));
        x = _mm_shuffle_epi8(x, reverseBytes);
        const __m128i lo = _mm_and_si128(x, nibble);
        const __m128i hi = _mm_and_si128(_mm_srli_epi16(x, 4), nibble);
        x = _mm_or_si128(_mm_shuffle_epi8(fromLow, lo), _mm_shuffle_epi8(fromHigh, hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), x);
    }
    for (; i < n; ++i) dst[i] = kReverse.v[src[n - 1 - i]];
}

__attribute__((target("avx2"))) void Rotate180Avx2(const uint8_t* src, size_t n, uint8_t* dst) {
    const __m256i reverseBytes = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,
                                                  15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i fromLow = _mm256_setr_epi8(
        0x00, char(0x80), 0x40, char(0xC0), 0x20, char(0xA0), 0x60, char(0xE0), 0x10, char(0x90), 0x50, char(0xD0),
        0x30, char(0xB0), 0x70, char(0xF0), 0x00, char(0x80), 0x40, char(0xC0), 0x20, char(0xA0), 0x60, char(0xE0),
        0x10, char(0x90), 0x50, char(0xD0), 0x30, char(0xB0), 0x70, char(0xF0));
    const __m256i fromHigh = _mm256_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB,
                                              0x7, 0xF, 0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD,
                                              0x3, 0xB, 0x7, 0xF);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + n - 32 - i));
        x = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(x, reverseBytes), 0x4E);
        const __m256i lo = _mm256_and_si256(x, nibble);
        const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble);
        x = _mm256_or_si256(_mm256_shuffle_epi8(fromLow, lo), _mm256_shuffle_epi8(fromHigh, hi));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), x);
    }
    for (; i < n; ++i) dst[i] = kReverse.v[src[n - 1 - i]];
}

bool Has(const char* feature) {
    __builtin_cpu_init();
    return feature[0] == 'a' ? __builtin_cpu_supports("avx2") : __builtin_cpu_supports("ssse3");
}
#endif

}  // namespace

void RotateBand90(const uint8_t* src, uint32_t width, uint32_t height, uint32_t rowBytes, uint8_t* dst) {
    if (width == 0 || height == 0) return;
#if DRVUNI_X86
    Rotate90Sse2(src, width, height, rowBytes, dst);
#else
    Rotate90Scalar(src, width, height, rowBytes, dst);
#endif
}

void RotateBand180(const uint8_t* src, size_t size, uint8_t* dst) {
#if DRVUNI_X86
    static const bool avx2 = Has("avx2");
    static const bool ssse3 = Has("ssse3");
    if (avx2) return Rotate180Avx2(src, size, dst);
    if (ssse3) return Rotate180Ssse3(src, size, dst);
#endif
    for (size_t i = 0; i < size; ++i) dst[i] = kReverse.v[src[size - 1 - i]];
}

uint32_t TurnedBandSize(uint32_t width, uint32_t height) {
    const uint64_t size = uint64_t(width) * ((uint64_t(height) + 7) / 8);
    return size > UINT32_MAX ? 0 : uint32_t(size);
}

BandResult ImageProcessing(const LabelSettings& s, FeatureSource& features, const Band& band, ByteSink& sink,
                           WorkAllocator& memory) {
    if (s.textMode == 1) return BandResult::Consumed;
    const bool portrait = IsPortrait(features);
    if (band.blank) {
        WriteBlankLabel(sink);
        return BandResult::Consumed;
    }

    // The header is the host's word only as far as the bytes it describes can be read.
    if (band.bits == nullptr || band.height <= 0) return BandResult::Unavailable;
    const auto H = uint32_t(band.height);
    const uint32_t S = band.sizeImage / H;
    if (S == 0 || S > INT32_MAX) return BandResult::Unavailable;

    const uint8_t* image = band.bits;
    uint32_t rowBytes = S, rows = H;
    void* turned = nullptr;
    if (!portrait) {
        if (band.width <= 0 || uint64_t(band.width) > uint64_t(S) * 8) return BandResult::Unavailable;
        const auto W = uint32_t(band.width);
        const uint32_t size = TurnedBandSize(W, H);
        if (size == 0) return BandResult::Unavailable;
        turned = memory.Allocate(size);
        if (turned == nullptr) return BandResult::Unavailable;
        RotateBand90(image, W, H, S, static_cast<uint8_t*>(turned));
        image = static_cast<const uint8_t*>(turned);
        rowBytes = (H + 7) / 8;
        rows = W;
    }
    void* half = nullptr;
    if (s.rotation == kRotateHalf) {
        const size_t size = size_t(rowBytes) * rows;   // fits 32 bits: checked above
        half = memory.Allocate(size);
        if (half == nullptr) {
            if (turned != nullptr) memory.Release(turned);
            return BandResult::Unavailable;
        }
        RotateBand180(image, size, static_cast<uint8_t*>(half));
        image = static_cast<const uint8_t*>(half);
    }
    WriteLabelJob(s, image, rowBytes, rows, sink);
    if (half != nullptr) memory.Release(half);
    if (turned != nullptr) memory.Release(turned);
    return BandResult::Consumed;
}

}  // namespace drvuni
