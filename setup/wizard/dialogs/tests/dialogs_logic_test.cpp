#include "dialogs/error_layout.h"
#include "dialogs/explain_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dialogs {
namespace {

std::u16string Chars(std::size_t n, char16_t first = u'一') {
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char16_t>(first + i % 500));
    return s;
}

TEST(ExplainTextTest, LinesAreCutIntoThirtyCharacterDisplayLines) {
    struct Case {
        std::size_t length;
        std::vector<std::size_t> pieces;
    };
    const Case cases[] = {
        {0, {0}}, {1, {1}}, {30, {30}}, {31, {30, 1}}, {59, {30, 29}}, {60, {30, 30}}, {61, {30, 30, 1}},
    };
    for (const Case& c : cases) {
        const std::u16string line = Chars(c.length);
        const auto out = MakeDisplayLines({line});
        ASSERT_EQ(out.size(), c.pieces.size()) << c.length;
        std::u16string joined;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].size(), c.pieces[i]) << c.length << " piece " << i;
            joined += out[i];
        }
        EXPECT_EQ(joined, line) << c.length;
    }
}

TEST(ExplainTextTest, KeepsOrderAcrossLines) {
    const auto out = MakeDisplayLines({u"第一行", Chars(31, u'甲'), u"", u"末行"});
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], u"第一行");
    EXPECT_EQ(out[1], Chars(30, u'甲'));
    EXPECT_EQ(out[2], Chars(31, u'甲').substr(30));
    EXPECT_EQ(out[3], u"");
    EXPECT_EQ(out[4], u"末行");
}

TEST(ExplainTextTest, StopsAtTheTableSizeEvenInsideALine) {
    std::vector<std::u16string> text(255, u"短");
    text.push_back(Chars(95));  // would add four display lines
    text.push_back(u"never");
    const auto out = MakeDisplayLines(text);
    ASSERT_EQ(out.size(), kExplainMaxLines);
    EXPECT_EQ(out.back(), Chars(95).substr(0, 30));
    EXPECT_EQ(MakeDisplayLines(std::vector<std::u16string>(1000, u"x")).size(), kExplainMaxLines);
}

TEST(ExplainTextTest, SplitsTextLikeATextModeReader) {
    struct Case {
        std::u16string text;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"", {}},
        {u"一\r\n二\r\n", {u"一", u"二"}},
        {u"一\n二", {u"一", u"二"}},
        {u"\r\n\r\n", {u"", u""}},
        {u"a\rb\n", {u"a\rb"}},
        {u"前\x1A后\n", {u"前"}},
        {u"尾\r", {u"尾"}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(SplitTextLines(cases[i].text), cases[i].lines) << "case " << i;
}

TEST(ExplainScrollTest, WheelStepsOnlyByOneNotch) {
    struct Case {
        int lineCount, firstLine, delta, expected;
    };
    const Case cases[] = {
        {40, 10, -120, 11}, {40, 11, 120, 10}, {40, 0, 120, 0}, {40, 5, 240, 5},
        {40, 5, -240, 5},   {40, 5, 60, 5},    {40, 5, 0, 5},   {0, 0, -120, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(ScrollFirstLine(c.firstLine, c.lineCount, 18, c.delta), c.expected) << "case " << i;
    }
}

// Scrolled down as far as the wheel goes, the last line is in view and no line is left blank.
TEST(ExplainScrollTest, ScrollsUntilTheLastLineIsInView) {
    struct Case {
        int lineCount, visible, lastTop;
    };
    const Case cases[] = {
        {1, 18, 0}, {18, 18, 0}, {19, 18, 1}, {20, 18, 2}, {21, 18, 3}, {35, 18, 17},
        {256, 18, 238}, {300, 18, 238},   // the table keeps 256 lines
        {21, 1, 20}, {5, 0, 4},           // a window so small that one line fits, or none
    };
    for (const Case& c : cases) {
        int first = 0;
        for (int i = 0; i < 1000; ++i) first = ScrollFirstLine(first, c.lineCount, c.visible, -120);
        EXPECT_EQ(first, c.lastTop) << c.lineCount << " lines";
        EXPECT_EQ(LastVisibleLine(first, c.lineCount, c.visible), std::min(c.lineCount, 256)) << c.lineCount;
        for (int i = 0; i < 1000; ++i) first = ScrollFirstLine(first, c.lineCount, c.visible, 120);
        EXPECT_EQ(first, 0);
    }
}

TEST(ExplainScrollTest, LinesThatFitWholeInsideTheFrame) {
    struct Case {
        int top, bottom, step, height, expected;
    };
    const Case cases[] = {
        {44, 453, 22, 16, 18},   // the dialog at 100 %: line 19 would cross the frame
        {66, 679, 33, 24, 18},   // at 150 %
        {44, 60, 22, 16, 1},     {44, 59, 22, 16, 1},   // never less than one
        {0, 100, 0, 10, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FittingLines(c.top, c.bottom, c.step, c.height), c.expected) << c.bottom << " " << c.height;
}

TEST(ErrorLayoutTest, ShortCodeStaysOnTheFirstLine) {
    for (const std::u16string& code : std::vector<std::u16string>{u"2", u"", Chars(21)}) {
        const ErrorLayout l = LayoutErrorText(code);
        const std::vector<TextRun> expected = {
            {50, 118, u"错误代码：" + code},
            {50, 149, u"请关闭所有应用程序并重启系统后再次安装。"},
            {50, 169, u"如错误情况依然存在，请联系设备厂家获取技术支持。"},
        };
        EXPECT_EQ(l.runs, expected);
        EXPECT_FALSE(l.moveOk);
    }
}

TEST(ErrorLayoutTest, LongCodesContinueBelow) {
    struct Case {
        std::size_t length;
        std::vector<TextRun> codeRuns;  // after the first line
        int adviceY, okY;
    };
    const std::u16string code = Chars(70, u'A');
    const Case cases[] = {
        {22, {{110, 139, code.substr(21, 1)}}, 170, 220},
        {42, {{115, 139, code.substr(21, 21)}}, 170, 220},
        {43, {{115, 139, code.substr(21, 21)}, {110, 160, code.substr(42, 1)}}, 191, 241},
        {63, {{115, 139, code.substr(21, 21)}, {115, 160, code.substr(42, 21)}}, 191, 241},
        {70, {{115, 139, code.substr(21, 21)}, {115, 160, code.substr(42, 21)}, {110, 181, code.substr(63)}},
         212, 262},
    };
    for (const Case& c : cases) {
        const std::u16string text = code.substr(0, c.length);
        const ErrorLayout l = LayoutErrorText(text);
        std::vector<TextRun> expected = {{50, 118, u"错误代码：" + text.substr(0, 21)}};
        expected.insert(expected.end(), c.codeRuns.begin(), c.codeRuns.end());
        expected.push_back({50, c.adviceY, kErrorAdviceClose});
        expected.push_back({50, c.adviceY + 20, kErrorAdviceVendor});
        EXPECT_EQ(l.runs, expected) << c.length;
        EXPECT_TRUE(l.moveOk) << c.length;
        EXPECT_EQ(l.okX, 150);
        EXPECT_EQ(l.okY, c.okY) << c.length;
    }
}

}  // namespace
}  // namespace dialogs
