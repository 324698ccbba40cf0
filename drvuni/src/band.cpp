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
void Rotate90Scalar(const uint8_t* src, uint32_t W, uint32_t H, uint32_t S, uint8_t* dst) {
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
// The quarter turn works on tiles of 8 column bytes by 16 source rows (SSE2) or two such tiles at
// once (AVX2, one per 128-bit half). The rows are byte-transposed so that each register holds one
// column byte of all the rows, one row per byte lane; then a byte-lane mask gives, for one dot
// column, one bit per row, and adding the register to itself brings the next dot up.
//
// Lanes 0-7 hold rows base+8 .. base+15 and lanes 8-15 rows base .. base+7, where base is the
// lowest of the 16 rows: bit L of the mask is lane L, so the mask's low byte is output byte k (its
// highest row in the most significant bit) and the high byte is output byte k+1.

// Eight bytes of a source row from column byte cb; rows outside the band are 0 bits. Reads past
// the row's end stay inside the band and only feed columns that are not written.
struct Rows {
    const uint8_t* src;
    uint32_t H, S;
    size_t size;

    inline __m128i Load8(int64_t y, uint32_t cb) const {
        if (y < 0 || y >= int64_t(H)) return _mm_setzero_si128();
        const size_t at = size_t(y) * S + cb;
        if (at + 8 <= size) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + at));
        uint8_t tmp[8] = {};
        std::memcpy(tmp, src + at, size - at);
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(tmp));
    }

    // Rows first..last all in the band, and eight bytes at cb readable in each.
    inline bool Inside(int64_t first, int64_t last, uint32_t cb) const {
        return first >= 0 && last < int64_t(H) && size_t(last) * S + cb + 8 <= size;
    }
};

// Lane L of a tile whose lowest row is base.
inline int64_t RowOfLane(int64_t base, int lane) { return lane < 8 ? base + 8 + lane : base + lane - 8; }

void Rotate90Sse2(const uint8_t* src, uint32_t W, uint32_t H, uint32_t S, uint8_t* dst) {
    const uint32_t B = (H + 7) / 8;
    const uint32_t columnBytes = (W + 7) / 8;
    const Rows rows{src, H, S, size_t(S) * H};
    // Column bytes outermost: the 64 output rows of one step stay in the first-level cache while
    // every row group of the band passes through them.
    for (uint32_t cb = 0; cb < columnBytes; cb += 8) {
        const uint32_t columns = columnBytes - cb < 8 ? columnBytes - cb : 8;
        for (uint32_t k = 0; k < B; k += 2) {
            const bool pair = k + 1 < B;
            const int64_t base = int64_t(8) * B - 16 - 8 * int64_t(k);
            __m128i y[8];
            if (rows.Inside(base, base + 15, cb)) {
                const uint8_t* p = src + size_t(base) * S + cb;   // row base
                for (int i = 0; i < 8; ++i)
                    y[i] = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + size_t(8 + i) * S)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + size_t(i) * S)));
            } else {
                for (int i = 0; i < 8; ++i)
                    y[i] = _mm_unpacklo_epi8(rows.Load8(RowOfLane(base, i), cb), rows.Load8(RowOfLane(base, i + 8), cb));
            }
            for (int stage = 0; stage < 3; ++stage) {
                __m128i z[8];
                for (int i = 0; i < 4; ++i) {
                    z[2 * i] = _mm_unpacklo_epi8(y[i], y[i + 4]);
                    z[2 * i + 1] = _mm_unpackhi_epi8(y[i], y[i + 4]);
                }
                for (int i = 0; i < 8; ++i) y[i] = z[i];
            }
            for (uint32_t c = 0; c < columns; ++c) {
                __m128i v = y[c];
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

__attribute__((target("avx2"))) inline __m256i Lane2Fast(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(low))),
                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(high)), 1);
}

__attribute__((target("avx2"))) inline __m256i Lane2(const Rows& rows, int64_t y, uint32_t cb) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(rows.Load8(y, cb)), rows.Load8(y - 16, cb), 1);
}

// Two tiles at once: the low halves feed output bytes k and k+1, the high halves (16 rows
// further up) bytes k+2 and k+3, so one 32-bit mask is four output bytes of one row.
__attribute__((target("avx2"))) void Rotate90Avx2(const uint8_t* src, uint32_t W, uint32_t H, uint32_t S,
                                                  uint8_t* dst) {
    const uint32_t B = (H + 7) / 8;
    const uint32_t columnBytes = (W + 7) / 8;
    const Rows rows{src, H, S, size_t(S) * H};
    for (uint32_t cb = 0; cb < columnBytes; cb += 8) {
        const uint32_t columns = columnBytes - cb < 8 ? columnBytes - cb : 8;
        for (uint32_t k = 0; k < B; k += 4) {
            const uint32_t bytes = B - k < 4 ? B - k : 4;
            const int64_t base = int64_t(8) * B - 16 - 8 * int64_t(k);
            __m256i y[8];
            if (rows.Inside(base - 16, base + 15, cb)) {
                const uint8_t* p = src + size_t(base - 16) * S + cb;   // row base − 16
                for (int i = 0; i < 8; ++i)
                    y[i] = _mm256_unpacklo_epi8(Lane2Fast(p + size_t(24 + i) * S, p + size_t(8 + i) * S),
                                                Lane2Fast(p + size_t(16 + i) * S, p + size_t(i) * S));
            } else {
                for (int i = 0; i < 8; ++i)
                    y[i] = _mm256_unpacklo_epi8(Lane2(rows, RowOfLane(base, i), cb),
                                                Lane2(rows, RowOfLane(base, i + 8), cb));
            }
            for (int stage = 0; stage < 3; ++stage) {
                __m256i z[8];
                for (int i = 0; i < 4; ++i) {
                    z[2 * i] = _mm256_unpacklo_epi8(y[i], y[i + 4]);
                    z[2 * i + 1] = _mm256_unpackhi_epi8(y[i], y[i + 4]);
                }
                for (int i = 0; i < 8; ++i) y[i] = z[i];
            }
            for (uint32_t c = 0; c < columns; ++c) {
                __m256i v = y[c];
                const uint32_t j0 = (cb + c) * 8;
                uint8_t* out = dst + size_t(j0) * B + k;
                const uint32_t dots = W - j0 < 8 ? W - j0 : 8;
                if (bytes == 4 && dots == 8) {
                    for (int b = 0; b < 8; ++b) {
                        const auto m = uint32_t(_mm256_movemask_epi8(v));
                        std::memcpy(out + size_t(b) * B, &m, 4);
                        v = _mm256_add_epi8(v, v);
                    }
                } else {
                    for (uint32_t b = 0; b < dots; ++b) {
                        const auto m = uint32_t(_mm256_movemask_epi8(v));
                        for (uint32_t i = 0; i < bytes; ++i) out[size_t(b) * B + i] = uint8_t(m >> (8 * i));
                        v = _mm256_add_epi8(v, v);
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

#endif

void Rotate180Portable(const uint8_t* src, size_t n, uint8_t* dst) {
    for (size_t i = 0; i < n; ++i) dst[i] = kReverse.v[src[n - 1 - i]];
}

}  // namespace

bool KernelAvailable(Kernel kernel) {
    switch (kernel) {
    case Kernel::Best:
    case Kernel::Portable: return true;
#if DRVUNI_X86
    case Kernel::Sse2: return true;
    case Kernel::Ssse3: __builtin_cpu_init(); return __builtin_cpu_supports("ssse3");
    case Kernel::Avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
#endif
    default: return false;
    }
}

bool RotateBand90With(Kernel kernel, const uint8_t* src, uint32_t width, uint32_t height, uint32_t rowBytes,
                      uint8_t* dst) {
    if (!KernelAvailable(kernel)) return false;
    if (width == 0 || height == 0) return true;
    switch (kernel) {
    case Kernel::Portable: Rotate90Scalar(src, width, height, rowBytes, dst); return true;
#if DRVUNI_X86
    case Kernel::Sse2: Rotate90Sse2(src, width, height, rowBytes, dst); return true;
    case Kernel::Avx2: Rotate90Avx2(src, width, height, rowBytes, dst); return true;
    case Kernel::Best: {
        static const bool avx2 = KernelAvailable(Kernel::Avx2);
        if (avx2)
            Rotate90Avx2(src, width, height, rowBytes, dst);
        else
            Rotate90Sse2(src, width, height, rowBytes, dst);
        return true;
    }
#else
    case Kernel::Best: Rotate90Scalar(src, width, height, rowBytes, dst); return true;
#endif
    default: return false;
    }
}

bool RotateBand180With(Kernel kernel, const uint8_t* src, size_t size, uint8_t* dst) {
    if (!KernelAvailable(kernel)) return false;
    switch (kernel) {
    case Kernel::Portable: Rotate180Portable(src, size, dst); return true;
#if DRVUNI_X86
    case Kernel::Ssse3: Rotate180Ssse3(src, size, dst); return true;
    case Kernel::Avx2: Rotate180Avx2(src, size, dst); return true;
    case Kernel::Best: {
        static const bool avx2 = KernelAvailable(Kernel::Avx2);
        static const bool ssse3 = KernelAvailable(Kernel::Ssse3);
        if (avx2)
            Rotate180Avx2(src, size, dst);
        else if (ssse3)
            Rotate180Ssse3(src, size, dst);
        else
            Rotate180Portable(src, size, dst);
        return true;
    }
#else
    case Kernel::Best: Rotate180Portable(src, size, dst); return true;
#endif
    default: return false;
    }
}

void RotateBand90(const uint8_t* src, uint32_t width, uint32_t height, uint32_t rowBytes, uint8_t* dst) {
    RotateBand90With(Kernel::Best, src, width, height, rowBytes, dst);
}

void RotateBand180(const uint8_t* src, size_t size, uint8_t* dst) { RotateBand180With(Kernel::Best, src, size, dst); }

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
