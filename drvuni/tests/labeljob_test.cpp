// The label job: header fields, offsets and trims, the blank label, the header's size, text runs.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "drvuni/labeljob.h"
#include "reference.h"
#include "testing.h"

using namespace drvuni;
using testing_drvuni::Diff;
using testing_drvuni::InkedRows;
using testing_drvuni::MemorySink;

namespace {

LabelSettings Settings(uint32_t v = 0, uint32_t h = 0, uint32_t up = 0, uint32_t left = 0) {
    LabelSettings s;
    std::memset(&s, 0, sizeof s);
    WriteDefaults(&s);
    s.verticalOffset = v;
    s.horizontalOffset = h;
    s.verticalShiftUp = up;
    s.horizontalShiftLeft = left;
    return s;
}

std::string Header(int64_t S, int64_t mm, int64_t rx, int64_t ry, int64_t w, int64_t c) {
    return "SIZE " + std::to_string(S) + " mm, " + std::to_string(mm) +
           " mm\r\n \t\tDIRECTION 0,0\r\n \t\tREFERENCE " + std::to_string(rx) + "," + std::to_string(ry) +
           "\r\n \t\tOFFSET 0 mm\r\n \t\tSET PEEL OFF\r\n \t\tSET CUTTER OFF\r\n \t\tSET PARTIAL_CUTTER OFF\r\n"
           " \t\tSET TEAR ON\r\n \t\tCLS\r\n        BITMAP 0,0," +
           std::to_string(w) + "," + std::to_string(c) + ",1,";
}

const std::string kBlank =
    "SIZE 10 mm, 10 mm\r\n \t\tDIRECTION 0,0\r\n \t\tREFERENCE 0,0\r\n \t\tOFFSET 0 mm\r\n \t\tSET PEEL OFF\r\n"
    " \t\tSET CUTTER OFF\r\n \t\tSET PARTIAL_CUTTER OFF\r\n \t\tSET TEAR ON\r\n \t\tCLS\r\n        PRINT 1,1\r\n";

std::string Rows(const std::vector<uint8_t>& band, uint32_t S, uint32_t first, uint32_t last, uint32_t col,
                 uint32_t width) {
    std::string out;
    for (uint32_t r = first; r <= last; ++r) out.append(reinterpret_cast<const char*>(&band[size_t(r) * S + col]), width);
    return out;
}

ref::Settings Ref(const LabelSettings& s) {
    return {s.rotation, s.verticalOffset, s.horizontalOffset, s.horizontalShiftLeft, s.verticalShiftUp, s.textMode};
}

}  // namespace

// The 104-byte band of 480 rows in each of its settings, byte for byte.
TEST(LabelJob, BandOf104By480) {
    constexpr uint32_t S = 104, R = 480;
    const std::vector<uint8_t> inked = InkedRows(S, R, 1);
    auto blankBottom = [&](uint32_t n) {
        std::vector<uint8_t> b = inked;
        std::memset(&b[size_t(R - n) * S], 0xFF, size_t(n) * S);
        return b;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> band;
        LabelSettings settings;
        std::string want;
    } cases[] = {
        {"no offsets", inked, Settings(), Header(104, 60, 0, 0, 104, 480) + Rows(inked, S, 0, 479, 0, 104)},
        {"bottom 16 rows blank", blankBottom(16), Settings(),
         Header(104, 59, 0, 0, 104, 464) + Rows(inked, S, 0, 463, 0, 104)},
        {"bottom 4 rows blank", blankBottom(4), Settings(),
         Header(104, 59, 0, 0, 104, 476) + Rows(inked, S, 0, 475, 0, 104)},
        {"vertical 2 down", inked, Settings(2, 0, 0, 0), Header(104, 60, 0, 16, 104, 464) + Rows(inked, S, 0, 463, 0, 104)},
        {"vertical 2 up", inked, Settings(2, 0, 1, 0), Header(104, 59, 0, 0, 104, 464) + Rows(inked, S, 16, 479, 0, 104)},
        {"horizontal 3 right", inked, Settings(0, 3, 0, 0), Header(104, 60, 24, 0, 101, 480) + Rows(inked, S, 0, 479, 0, 101)},
        {"horizontal 3 left", inked, Settings(0, 3, 0, 1), Header(104, 60, 0, 0, 101, 480) + Rows(inked, S, 0, 479, 3, 101)},
        {"all blank", std::vector<uint8_t>(S * R, 0xFF), Settings(), Header(104, 1, 0, 0, 104, 0)},
    };
    for (Case& c : cases) {
        c.want += "PRINT 1,1\r\n";
        MemorySink sink;
        WriteLabelJob(c.settings, c.band.data(), S, R, sink);
        EXPECT_EQ(sink.bytes, c.want) << c.name << ": " << Diff(sink.bytes, c.want);
    }
}

// Header, then one write per row sent, then PRINT.
TEST(LabelJob, OneWritePerRow) {
    const std::vector<uint8_t> band = InkedRows(13, 40, 2);
    MemorySink sink;
    WriteLabelJob(Settings(1, 2, 0, 1), band.data(), 13, 40, sink);
    ASSERT_EQ(sink.writes.size(), 1u + 32u + 1u);
    for (size_t i = 1; i <= 32; ++i) EXPECT_EQ(sink.writes[i].size(), 11u);
    EXPECT_EQ(sink.writes.back(), "PRINT 1,1\r\n");
}

// Rows count as blank only across the bytes that are sent.
TEST(LabelJob, TrimLooksAtTheKeptColumnsOnly) {
    constexpr uint32_t S = 6, R = 20;
    std::vector<uint8_t> band = InkedRows(S, R, 3);
    for (uint32_t r = 12; r < R; ++r) {
        std::memset(&band[r * S], 0xFF, S);
        band[r * S] = 0x00;   // ink only in the column dropped by a left shift of 1
    }
    MemorySink left, right;
    WriteLabelJob(Settings(0, 1, 0, 1), band.data(), S, R, left);
    WriteLabelJob(Settings(0, 1, 0, 0), band.data(), S, R, right);
    EXPECT_EQ(left.bytes.substr(0, Header(6, 1, 0, 0, 5, 12).size()), Header(6, 1, 0, 0, 5, 12));
    EXPECT_EQ(right.bytes.substr(0, Header(6, 2, 8, 0, 5, 20).size()), Header(6, 2, 8, 0, 5, 20));
}

// Only a direction of exactly 1 shifts; any other value reads as the other direction.
TEST(LabelJob, DirectionFlagsAreOneOrNot) {
    const std::vector<uint8_t> band = InkedRows(8, 32, 4);
    MemorySink two, zero;
    WriteLabelJob(Settings(1, 1, 2, 2), band.data(), 8, 32, two);
    WriteLabelJob(Settings(1, 1, 0, 0), band.data(), 8, 32, zero);
    EXPECT_EQ(two.bytes, zero.bytes);
}

// Every field against the second reading, over random bands, offsets and blank tails.
TEST(LabelJob, AgreesWithTheReferenceOnRandomBands) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        const uint32_t S = 1 + rng() % 24, R = 1 + rng() % 120;
        std::vector<uint8_t> band = testing_drvuni::RandomBytes(size_t(S) * R, rng);
        const uint32_t blankTail = rng() % (R + 1);
        for (uint32_t r = R - blankTail; r < R; ++r)
            for (uint32_t c = 0; c < S; ++c)
                if (rng() % 4 != 0) band[r * S + c] = 0xFF;
        LabelSettings s = Settings(rng() % 5 == 0 ? 0 : rng() % (R / 8 + 2), rng() % 3 == 0 ? 0 : rng() % (S + 1),
                                   rng() % 3, rng() % 3);
        MemorySink sink;
        WriteLabelJob(s, band.data(), S, R, sink);
        const std::string want = ref::LabelJob(Ref(s), ref::Image{S, R, band});
        ASSERT_EQ(sink.bytes, want) << "case " << i << " S=" << S << " R=" << R << " v=" << s.verticalOffset
                                    << " h=" << s.horizontalOffset << ": " << Diff(sink.bytes, want);
    }
}

// Offsets that leave nothing of the band: the blank label, never a negative width or count.
TEST(LabelJob, OffsetsNotSmallerThanTheBandGiveTheBlankLabel) {
    const std::vector<uint8_t> band = InkedRows(4, 24, 5);
    struct Case {
        const char* name;
        LabelSettings s;
    } cases[] = {
        {"horizontal equal to the row", Settings(0, 4, 0, 0)},
        {"horizontal beyond the row, shifted left", Settings(0, 30, 0, 1)},
        {"vertical equal to the rows", Settings(3, 0, 0, 0)},
        {"vertical beyond the rows, shifted up", Settings(30, 0, 1, 0)},
        {"vertical whose dots pass 32 bits", Settings(0x20000000, 0, 0, 0)},
        {"horizontal of a stored record", Settings(0, 0xFFFFFFFF, 0, 0)},
    };
    for (const Case& c : cases) {
        MemorySink sink;
        WriteLabelJob(c.s, band.data(), 4, 24, sink);
        EXPECT_EQ(sink.bytes, kBlank) << c.name;
    }
    // One row and one byte less than the band still print.
    MemorySink sink;
    WriteLabelJob(Settings(2, 3, 1, 1), band.data(), 4, 24, sink);
    EXPECT_EQ(sink.bytes.substr(0, Header(4, 2, 0, 0, 1, 8).size()), Header(4, 2, 0, 0, 1, 8));
}

TEST(BlankLabel, IsTheFixedText) {
    MemorySink sink;
    WriteBlankLabel(sink);
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(sink.bytes.size(), 177u);
    EXPECT_EQ(sink.bytes, kBlank);
    EXPECT_EQ(sink.bytes, ref::BlankLabel());
}

// The header is never cut: numbers of any size fit, and a job whose header passes 200 bytes is
// still whole.
TEST(LabelHeader, NeverCut) {
    char out[kHeaderCapacity];
    const int64_t big = INT64_MIN;
    const uint32_t n = FormatLabelHeader(out, big, big, big, big, big, big);
    EXPECT_EQ(std::string(out, n), Header(big, big, big, big, big, big));

    constexpr uint32_t S = 10000000;   // one 10 MB row, offset by half of it
    std::vector<uint8_t> row(S, 0x00);
    MemorySink sink;
    WriteLabelJob(Settings(0, 5000000, 0, 0), row.data(), S, 1, sink);
    const std::string header = Header(S, 0, 40000000, 0, 5000000, 1);
    ASSERT_GT(header.size(), 200u);
    EXPECT_EQ(sink.writes.at(0), header);
    EXPECT_EQ(sink.writes.at(1).size(), 5000000u);
}

// ---- text runs ----

namespace {

// Double-byte for anything outside ASCII, so that lengths follow the code page, not the units.
class Ansi final : public AnsiConverter {
public:
    uint32_t Convert(const char16_t* text, uint32_t units, char* out, uint32_t capacity) override {
        std::string s;
        for (uint32_t i = 0; i < units; ++i) {
            if (text[i] < 0x80) {
                s += char(text[i]);
            } else {
                s += char(0xB0 | (text[i] >> 12));
                s += char(0xA0 | (text[i] & 0x3F));
            }
        }
        if (capacity > 0) std::memcpy(out, s.data(), std::min<size_t>(capacity, s.size()));
        return uint32_t(s.size());
    }
    void* Allocate(size_t size) override {
        if (failNext) return nullptr;
        sizes.push_back(size);
        return std::calloc(1, size);
    }
    void Release(void* block) override { std::free(block); }
    bool failNext = false;
    std::vector<size_t> sizes;
};

struct Piece {
    const char16_t* text;
    int32_t top, bottom;
};

}  // namespace

TEST(TextRun, LinesBreakWhenARunStartsBelowTheLine) {
    struct Case {
        const char* name;
        int32_t startBottom;
        std::vector<Piece> runs;
        std::string want;
        int32_t endBottom;
    } cases[] = {
        {"same line, then the next", 0, {{u"AB", 10, 20}, {u"CD", 10, 20}, {u"EF", 20, 30}}, "ABCD\nEF", 30},
        {"a taller run raises the line", 0, {{u"A", 10, 20}, {u"B", 12, 25}, {u"C", 22, 30}, {u"D", 30, 40}}, "ABC\nD", 40},
        {"the first run after a page keeps the old line", 100, {{u"A", 10, 20}}, "A", 100},
        {"a run starting on the line's bottom starts a new one", 100, {{u"A", 100, 110}}, "\nA", 110},
        {"signed comparison", -5, {{u"A", 3, 10}}, "\nA", 10},
        {"empty run still breaks the line", 0, {{u"A", 0, 10}, {u"", 10, 20}, {u"B", 10, 20}}, "A\nB", 20},
        {"code page bytes", 0, {{u"\u4E2D\u6587", 0, 10}}, "\xB4\xAD\xB6\xA7", 10},
    };
    for (const Case& c : cases) {
        LabelSettings s = Settings();
        s.textLineBottom = c.startBottom;
        Ansi ansi;
        MemorySink sink;
        for (const Piece& r : c.runs) {
            const std::u16string text(r.text);
            WriteTextRun(s, TextRun{text.c_str(), uint32_t(text.size()), r.top, r.bottom}, ansi, sink);
        }
        EXPECT_EQ(sink.bytes, c.want) << c.name << ": " << Diff(sink.bytes, c.want);
        EXPECT_EQ(s.textLineBottom, c.endBottom) << c.name;
    }
}

TEST(TextRun, BufferIsTheConvertedLengthPlusOne) {
    LabelSettings s = Settings();
    Ansi ansi;
    MemorySink sink;
    const std::u16string text = u"a\u4E2Db";
    WriteTextRun(s, TextRun{text.c_str(), 3, 0, 10}, ansi, sink);
    EXPECT_EQ(ansi.sizes, std::vector<size_t>{5});
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(sink.writes[0].size(), 4u);
}

TEST(TextRun, NoBufferNoOutput) {
    LabelSettings s = Settings();
    s.textLineBottom = 10;
    Ansi ansi;
    ansi.failNext = true;
    MemorySink sink;
    const std::u16string text = u"abc";
    WriteTextRun(s, TextRun{text.c_str(), 3, 20, 30}, ansi, sink);
    EXPECT_EQ(sink.bytes, "");
    EXPECT_EQ(s.textLineBottom, 10);
}

TEST(TextRun, NullTextWritesOnlyTheLineBreak) {
    LabelSettings s = Settings();
    s.textLineBottom = 10;
    Ansi ansi;
    MemorySink sink;
    WriteTextRun(s, TextRun{nullptr, 12, 20, 30}, ansi, sink);
    EXPECT_EQ(sink.bytes, "\n");
}
