// Every byte the plug-in sends to the printer: the label job for a band, the fixed blank label
// and, in text mode, the text runs.
//
// Holds: ByteSink, WriteLabelJob, WriteBlankLabel, FormatLabelHeader, TextRun, AnsiConverter,
// WriteTextRun.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drvuni/settings.h"

namespace drvuni {

// Where the bytes go: the spooler's WritePrinter in the plug-in, memory in tests. Each call is one
// write; results are not reported back, as a short write never stops a job.
class ByteSink {
public:
    virtual void Write(const uint8_t* data, uint32_t size) = 0;

protected:
    ~ByteSink() = default;
};

constexpr char kBlankLabel[] =
    "SIZE 10 mm, 10 mm\r\n \t\tDIRECTION 0,0\r\n \t\tREFERENCE 0,0\r\n \t\tOFFSET 0 mm\r\n"
    " \t\tSET PEEL OFF\r\n \t\tSET CUTTER OFF\r\n \t\tSET PARTIAL_CUTTER OFF\r\n \t\tSET TEAR ON\r\n"
    " \t\tCLS\r\n        PRINT 1,1\r\n";
constexpr uint32_t kBlankLabelSize = sizeof kBlankLabel - 1;
static_assert(kBlankLabelSize == 177, "the blank label is 177 bytes");

constexpr char kPrintCommand[] = "PRINT 1,1\r\n";

// Large enough for the fixed text (175 bytes) and six numbers of any 64-bit value, so that no
// header is ever cut short.
constexpr size_t kHeaderCapacity = 320;

// Formats the job header into out (kHeaderCapacity bytes); returns its length.
uint32_t FormatLabelHeader(char* out, int64_t sizeWidth, int64_t heightMm, int64_t refX, int64_t refY,
                           int64_t width, int64_t count);

void WriteBlankLabel(ByteSink& sink);

// One label job from rows rows of rowBytes bytes each. A band that the offsets leave nothing of
// (horizontal offset not below rowBytes, vertical offset not below the rows) gets the blank label.
void WriteLabelJob(const LabelSettings& settings, const uint8_t* rows, uint32_t rowBytes, uint32_t rowCount,
                   ByteSink& sink);

// One text run as the host hands it over: cGlyphs UTF-16 units, the background's top and bottom.
struct TextRun {
    const char16_t* text;
    uint32_t units;
    int32_t top;
    int32_t bottom;
};

// The system's ANSI code page. Convert writes at most capacity bytes and returns how many the
// text takes (with capacity 0, only counts).
class AnsiConverter {
public:
    virtual uint32_t Convert(const char16_t* text, uint32_t units, char* out, uint32_t capacity) = 0;
    virtual void* Allocate(size_t size) = 0;   // zero-filled, or null
    virtual void Release(void* block) = 0;

protected:
    ~AnsiConverter() = default;
};

// Text mode: one LF when the run starts a new line, then the run's text in the ANSI code page.
void WriteTextRun(LabelSettings& settings, const TextRun& run, AnsiConverter& ansi, ByteSink& sink);

}  // namespace drvuni
