#include "drvuni/labeljob.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace drvuni {
namespace {

constexpr char kHeaderFormat[] =
    "SIZE %" PRId64 " mm, %" PRId64 " mm\r\n \t\tDIRECTION 0,0\r\n \t\tREFERENCE %" PRId64 ",%" PRId64
    "\r\n \t\tOFFSET 0 mm\r\n \t\tSET PEEL OFF\r\n \t\tSET CUTTER OFF\r\n \t\tSET PARTIAL_CUTTER OFF\r\n"
    " \t\tSET TEAR ON\r\n \t\tCLS\r\n        BITMAP 0,0,%" PRId64 ",%" PRId64 ",1,";

// Bytes of 0xFF are blank dots; a row is blank when every byte in range is.
bool IsBlank(const uint8_t* p, size_t n) {
    uint64_t all = ~uint64_t(0);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        all &= w;
        if (all != ~uint64_t(0)) return false;
    }
    for (; i < n; ++i)
        if (p[i] != 0xFF) return false;
    return true;
}

}  // namespace

uint32_t FormatLabelHeader(char* out, int64_t sizeWidth, int64_t heightMm, int64_t refX, int64_t refY,
                           int64_t width, int64_t count) {
    const int n = std::snprintf(out, kHeaderCapacity, kHeaderFormat, sizeWidth, heightMm, refX, refY, width, count);
    return n < 0 ? 0 : uint32_t(n);
}

void WriteBlankLabel(ByteSink& sink) {
    sink.Write(reinterpret_cast<const uint8_t*>(kBlankLabel), kBlankLabelSize);
}

void WriteLabelJob(const LabelSettings& s, const uint8_t* rows, uint32_t rowBytes, uint32_t rowCount,
                   ByteSink& sink) {
    // Working values are signed; the offsets come from a stored record and may be anything.
    const int64_t S = rowBytes, R = rowCount;
    const int64_t h = s.horizontalOffset;
    const int64_t v = int64_t(s.verticalOffset) * 8;
    if (rows == nullptr || S > INT32_MAX || R > INT32_MAX || h >= S || v >= R) {
        WriteBlankLabel(sink);
        return;
    }

    int64_t colStart = 0, colEnd = S, width = S;
    int64_t rowStart = 0, scanEnd = R, count = R, heightRows = R;
    if (h > 0) {
        width = S - h;
        if (s.horizontalShiftLeft == 1)
            colStart = h;
        else
            colEnd = S - h;
    }
    if (s.verticalOffset > 0) {
        count = R - v;
        if (s.verticalShiftUp == 1) {
            rowStart = v;
            heightRows = R - v;
        } else {
            scanEnd = R - v;
        }
    }
    while (scanEnd > rowStart && IsBlank(rows + size_t(scanEnd - 1) * size_t(S) + size_t(colStart),
                                         size_t(colEnd - colStart))) {
        --scanEnd;
        --count;
        --heightRows;
    }
    const int64_t refX = s.horizontalShiftLeft == 1 ? 0 : h * 8;
    const int64_t refY = s.verticalShiftUp == 1 ? 0 : v;
    const int extra = double(R) > (double(heightRows) * 0.125 + 1) * 8 ? 1 : 0;
    const auto heightMm = int64_t(double(heightRows) * 0.125 + extra);

    char header[kHeaderCapacity];
    sink.Write(reinterpret_cast<const uint8_t*>(header),
               FormatLabelHeader(header, S, heightMm, refX, refY, width, count));
    for (int64_t r = rowStart; r < rowStart + count; ++r)
        sink.Write(rows + size_t(r) * size_t(S) + size_t(colStart), uint32_t(width));
    sink.Write(reinterpret_cast<const uint8_t*>(kPrintCommand), sizeof kPrintCommand - 1);
}

void WriteTextRun(LabelSettings& s, const TextRun& run, AnsiConverter& ansi, ByteSink& sink) {
    const uint32_t n = (run.text != nullptr && run.units > 0) ? ansi.Convert(run.text, run.units, nullptr, 0) : 0;
    auto* buffer = static_cast<char*>(ansi.Allocate(size_t(n) + 1));
    if (buffer == nullptr) return;

    if (s.textLineBottom == 0) s.textLineBottom = run.bottom;
    if (s.textLineBottom <= run.top) {
        const uint8_t lf = '\n';
        sink.Write(&lf, 1);
        s.textLineBottom = run.bottom;
    } else if (s.textLineBottom < run.bottom) {
        s.textLineBottom = run.bottom;
    }
    if (n > 0) {
        ansi.Convert(run.text, run.units, buffer, n);
        sink.Write(reinterpret_cast<const uint8_t*>(buffer), n);
    }
    ansi.Release(buffer);
}

}  // namespace drvuni
