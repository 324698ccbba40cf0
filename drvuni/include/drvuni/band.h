// Raster bands from the host: the quarter and half turns and the processing of one band into one
// label job.
//
// Holds: RotateBand90, RotateBand180, Kernel, TurnedBandSize, WorkAllocator, Band, BandResult,
// ImageProcessing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drvuni/labeljob.h"
#include "drvuni/settings.h"

namespace drvuni {

// Quarter turn of a band of width dots by height rows, rowBytes bytes per row (8 × rowBytes ≥
// width). Output: width rows of ceil(height / 8) bytes; output row j is source column j read from
// the bottom row upwards, with the filler bits (rows at or beyond height) at the start as 0.
void RotateBand90(const uint8_t* src, uint32_t width, uint32_t height, uint32_t rowBytes, uint8_t* dst);

// Half turn of size bytes: output byte i is input byte size − 1 − i with its bits reversed.
void RotateBand180(const uint8_t* src, size_t size, uint8_t* dst);

// The turns pick the widest instructions the processor has. Tests and the benchmark can ask for
// one kernel: Portable is plain C++; Sse2 (quarter turn), Ssse3 (half turn) and Avx2 (both).
enum class Kernel { Best, Portable, Sse2, Ssse3, Avx2 };
bool KernelAvailable(Kernel kernel);
// False when the kernel does not exist for that turn or this processor.
bool RotateBand90With(Kernel kernel, const uint8_t* src, uint32_t width, uint32_t height, uint32_t rowBytes,
                      uint8_t* dst);
bool RotateBand180With(Kernel kernel, const uint8_t* src, size_t size, uint8_t* dst);

// Bytes of the quarter-turned band, or 0 when they would not fit 32 bits.
uint32_t TurnedBandSize(uint32_t width, uint32_t height);

// Work buffers of one band: zero-filled, or null when not available.
class WorkAllocator {
public:
    virtual void* Allocate(size_t size) = 0;
    virtual void Release(void* block) = 0;

protected:
    ~WorkAllocator() = default;
};

// A band as the host describes it; bits holds sizeImage bytes.
struct Band {
    const uint8_t* bits;
    int32_t width;
    int32_t height;
    uint32_t sizeImage;
    bool blank;
};

// Consumed: the result pointer becomes 1. Unavailable: nothing was written, the result is null
// (a work buffer was not available, or the header does not describe a band that can be read).
enum class BandResult { Consumed, Unavailable };

BandResult ImageProcessing(const LabelSettings& settings, FeatureSource& features, const Band& band,
                           ByteSink& sink, WorkAllocator& memory);

}  // namespace drvuni
