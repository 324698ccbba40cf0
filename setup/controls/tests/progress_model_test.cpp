#include "controls/progress_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace controls {
namespace {

const SystemColours kSys{0x00D77800, 0x00F0F0F0, 0x00000000, 0x00FFFFFF};

std::int64_t Send(ProgressModel& m, unsigned msg, std::uintptr_t wp = 0, std::intptr_t lp = 0,
                  std::uint32_t style = 0) {
    const ProgressEffect e = m.Handle(msg, wp, lp, style, kSys);
    EXPECT_TRUE(e.handled) << std::hex << msg;
    return e.result;
}

std::intptr_t MakeRange(unsigned lo, unsigned hi) {
    return static_cast<std::intptr_t>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16));
}

TEST(ProgressModelTest, FreshControlAnswersEveryMessageOfTheTable) {
    struct Case {
        unsigned msg;
        std::uintptr_t wp;
        std::intptr_t lp;
        std::int64_t result;
        bool repaint;
    };
    const Case cases[] = {
        {pbm::kSetRange, 0, MakeRange(0, 200), 0x00640000, false},
        {pbm::kSetPos, 40, 0, 0, true},
        {pbm::kDeltaPos, 5, 0, 0, true},
        {pbm::kSetStep, 3, 0, 10, false},
        {pbm::kStepIt, 0, 0, 0, true},
        {pbm::kSetRange32, 0, 100, 0x00640000, false},
        {pbm::kGetRange, 1, 0, 0, false},
        {pbm::kGetRange, 0, 0, 100, false},
        {pbm::kGetPos, 0, 0, 0, false},
        {pbm::kSetBarColor, 0, 0x123456, kClrDefault, true},
        {pbm::kGetBarColor, 0, 0, kSys.highlight, false},
        {pbm::kSetBkColor, 0, 0x123456, kClrDefault, true},
        {pbm::kGetBkColor, 0, 0, kSys.buttonFace, false},
        {pbm::kSetTextColor, 0, 0x123456, kClrDefault, true},
        {pbm::kGetTextColor, 0, 0, kSys.windowText, false},
        {pbm::kSetBarTextColor, 0, 0x123456, kClrDefault, true},
        {pbm::kGetBarTextColor, 0, 0, kSys.window, false},
        {pbm::kShowPercent, 0, 0, 1, true},
        {pbm::kSetAlign, 2, 0, 1, true},
        {pbm::kSetMarqueeBlock, 30, 0, 30, true},
        {pbm::kSetMarquee, 0, 0, 0, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        ProgressModel m;
        const Case& c = cases[i];
        const ProgressEffect e = m.Handle(c.msg, c.wp, c.lp, 0, kSys);
        EXPECT_TRUE(e.handled) << "case " << i;
        EXPECT_EQ(e.result, c.result) << "case " << i;
        EXPECT_EQ(e.repaint, c.repaint) << "case " << i;
    }
}

TEST(ProgressModelTest, UnknownMessagesGoToTheSystemControl) {
    ProgressModel m;
    for (unsigned msg : {0x000Fu /*WM_PAINT*/, 0x0113u /*WM_TIMER*/, 0x40Bu, 0x40Du, 0x465u, 0x46Du})
        EXPECT_FALSE(m.Handle(msg, 0, 0, 0, kSys).handled) << std::hex << msg;
}

TEST(ProgressModelTest, SetPosClampsToTheRangeAndToTheMarqueeLimit) {
    struct Case {
        int rangeMin, rangeMax, block;
        std::uint32_t style;
        int request, expected;
    };
    const Case cases[] = {
        {0, 100, 20, 0, -5, 0},
        {0, 100, 20, 0, 150, 100},
        {0, 100, 20, 0, 100, 100},
        {0, 100, 20, kStyleMarquee, 150, 120},
        {0, 100, 20, kStyleMarquee, 119, 119},
        {0, 100, 50, kStyleMarquee, 500, 150},
        {0, 7, 20, kStyleMarquee, 100, 8},     // (120 * 7 + 0.5) / 100 = 8.405 -> 8
        {10, 20, 20, 0, 5, 10},
        {-50, -10, 20, 0, 0, -10},
        {0, 100, 20, kStyleVertical, 101, 100},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        ProgressModel m;
        m.rangeMin = c.rangeMin;
        m.rangeMax = c.rangeMax;
        m.marqueeBlock = c.block;
        Send(m, pbm::kSetPos, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(c.request)), 0,
             c.style);
        EXPECT_EQ(m.position, c.expected) << "case " << i;
    }
}

TEST(ProgressModelTest, ReturnsTheOldPositionAndDeltaIsRelative) {
    ProgressModel m;
    EXPECT_EQ(Send(m, pbm::kSetPos, 30), 0);
    EXPECT_EQ(Send(m, pbm::kDeltaPos, static_cast<std::uintptr_t>(-10)), 30);
    EXPECT_EQ(m.position, 20);
    EXPECT_EQ(Send(m, pbm::kDeltaPos, 500), 20);
    EXPECT_EQ(m.position, 100);
    EXPECT_EQ(Send(m, pbm::kGetPos), 100);
}

TEST(ProgressModelTest, StepItWrapsAroundTheRange) {
    struct Case {
        int rangeMin, rangeMax, position, step, expected;
    };
    const Case cases[] = {
        {0, 100, 95, 10, 5},
        {0, 100, 3, -10, 93},
        {0, 100, 90, 10, 100},   // exactly the end: no wrap
        {0, 100, 10, -10, 0},
        {0, 100, 50, 10, 60},
        {20, 40, 38, 5, 23},
        {0, 10, 5, 100, 10},     // a step longer than the range wraps once, then clamps
        {0, 10, 5, -100, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        ProgressModel m;
        m.rangeMin = c.rangeMin;
        m.rangeMax = c.rangeMax;
        m.position = c.position;
        m.step = c.step;
        EXPECT_EQ(Send(m, pbm::kStepIt), c.position) << "case " << i;
        EXPECT_EQ(m.position, c.expected) << "case " << i;
    }
}

TEST(ProgressModelTest, ExtremeValuesClampWithoutOverflow) {
    ProgressModel m;
    m.rangeMax = INT_MAX;
    m.position = INT_MAX - 1;
    m.step = INT_MAX;
    Send(m, pbm::kStepIt);
    EXPECT_GE(m.position, 0);
    m.position = INT_MAX;
    Send(m, pbm::kDeltaPos, static_cast<std::uintptr_t>(INT_MAX));
    EXPECT_EQ(m.position, INT_MAX);
    m.rangeMin = INT_MIN;
    m.position = INT_MIN;
    Send(m, pbm::kDeltaPos, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(INT_MIN)));
    EXPECT_EQ(m.position, INT_MIN);
    // The marquee limit of a huge range does not fit an int.
    Send(m, pbm::kSetPos, static_cast<std::uintptr_t>(INT_MAX), 0, kStyleMarquee);
    EXPECT_EQ(m.position, INT_MAX);
}

TEST(ProgressModelTest, RangesArePackedAndCutTo16Bits) {
    ProgressModel m;
    EXPECT_EQ(Send(m, pbm::kSetRange, 0, MakeRange(0, 200)), 0x00640000);
    EXPECT_EQ(m.rangeMin, 0);
    EXPECT_EQ(m.rangeMax, 200);
    // 16-bit halves are unsigned: 40000 stays 40000.
    EXPECT_EQ(Send(m, pbm::kSetRange, 0, MakeRange(5, 40000)), 0x00C80000);
    EXPECT_EQ(m.rangeMin, 5);
    EXPECT_EQ(m.rangeMax, 40000);
    EXPECT_EQ(Send(m, pbm::kSetRange32, static_cast<std::uintptr_t>(-5), 70000),
              static_cast<std::int64_t>((40000u << 16) | 5u));
    EXPECT_EQ(m.rangeMin, -5);
    EXPECT_EQ(m.rangeMax, 70000);
    EXPECT_EQ(Send(m, pbm::kSetRange32, 0, 100),
              static_cast<std::int64_t>(((70000u & 0xFFFF) << 16) | 0xFFFBu));
    // The range change neither moves the position nor repaints.
    m.position = 50;
    const ProgressEffect e = m.Handle(pbm::kSetRange, 0, MakeRange(0, 10), 0, kSys);
    EXPECT_FALSE(e.repaint);
    EXPECT_EQ(m.position, 50);
}

TEST(ProgressModelTest, GetRangeFillsThePairWhenGiven) {
    ProgressModel m;
    m.rangeMin = -3;
    m.rangeMax = 77;
    RangePair pair{1234, 5678};
    EXPECT_EQ(Send(m, pbm::kGetRange, 1, reinterpret_cast<std::intptr_t>(&pair)), -3);
    EXPECT_EQ(pair.low, -3);
    EXPECT_EQ(pair.high, 77);
    EXPECT_EQ(Send(m, pbm::kGetRange, 0, 0), 77);
}

TEST(ProgressModelTest, ColoursReturnTheStoredValueAndResolveOnGet) {
    struct Pair {
        unsigned set, get;
        Colour system;
        Colour ProgressModel::*field;
    };
    const Pair pairs[] = {
        {pbm::kSetBarColor, pbm::kGetBarColor, kSys.highlight, &ProgressModel::barColour},
        {pbm::kSetBkColor, pbm::kGetBkColor, kSys.buttonFace, &ProgressModel::backgroundColour},
        {pbm::kSetTextColor, pbm::kGetTextColor, kSys.windowText, &ProgressModel::textColour},
        {pbm::kSetBarTextColor, pbm::kGetBarTextColor, kSys.window, &ProgressModel::barTextColour},
    };
    for (size_t i = 0; i < std::size(pairs); ++i) {
        const Pair& p = pairs[i];
        ProgressModel m;
        EXPECT_EQ(Send(m, p.get), p.system) << "pair " << i;
        EXPECT_EQ(Send(m, p.set, 0, 0x00A14E00), kClrDefault) << "pair " << i;
        EXPECT_EQ(m.*p.field, 0x00A14E00u) << "pair " << i;
        EXPECT_EQ(Send(m, p.get), 0x00A14E00) << "pair " << i;
        EXPECT_EQ(Send(m, p.set, 0, static_cast<std::intptr_t>(kClrDefault)), 0x00A14E00) << "pair " << i;
        EXPECT_EQ(Send(m, p.get), p.system) << "pair " << i;
    }
}

TEST(ProgressModelTest, MarqueeSwitchTurnsThePercentageOffBothWays) {
    ProgressModel m;
    ProgressEffect on = m.Handle(pbm::kSetMarquee, 1, 30, 0, kSys);
    EXPECT_EQ(on.result, 1);
    EXPECT_TRUE(on.startTimer);
    EXPECT_EQ(on.timerInterval, 30u);
    EXPECT_EQ(on.styleAdd, kStyleMarquee);
    EXPECT_FALSE(on.stopTimer);
    EXPECT_EQ(m.showPercent, 0);

    ProgressModel plain;
    ProgressEffect off = plain.Handle(pbm::kSetMarquee, 0, 0, 0, kSys);
    EXPECT_EQ(off.result, 0);
    EXPECT_TRUE(off.stopTimer);
    EXPECT_EQ(off.styleRemove, kStyleMarquee);
    EXPECT_FALSE(off.startTimer);
    EXPECT_EQ(plain.showPercent, 0);
}

class MarqueeTest : public ::testing::Test {
protected:
    void SetUp() override { SetMarqueeDirection(1); }
    void TearDown() override { SetMarqueeDirection(1); }
};

TEST_F(MarqueeTest, RunsBackAndForthBetweenMinimumAndLimit) {
    ProgressModel m;
    m.position = 118;
    m.MarqueeStep(kStyleMarquee);
    EXPECT_EQ(m.position, 119);
    m.MarqueeStep(kStyleMarquee);
    EXPECT_EQ(m.position, 120);
    m.MarqueeStep(kStyleMarquee);  // finds the limit, turns
    EXPECT_EQ(m.position, 119);
    EXPECT_EQ(MarqueeDirection(), -1);
    m.position = 0;
    m.MarqueeStep(kStyleMarquee);
    EXPECT_EQ(m.position, 1);
    EXPECT_EQ(MarqueeDirection(), 1);
}

TEST_F(MarqueeTest, DirectionIsSharedByAllBars) {
    ProgressModel a, b;
    a.position = 120;
    b.position = 50;
    a.MarqueeStep(kStyleMarquee);
    EXPECT_EQ(MarqueeDirection(), -1);
    b.MarqueeStep(kStyleMarquee);
    EXPECT_EQ(b.position, 49);  // b turned with a
}

TEST(ProgressLayoutTest, HorizontalBarCoversItsShareOfTheArea) {
    const Rect area = BarAreaForClient(400, 25);
    EXPECT_EQ(area, (Rect{2, 2, 398, 18}));
    struct Case {
        int pos;
        int barRight;
        bool hasRest;
    };
    const Case cases[] = {{0, 2, true}, {37, 2 + 146, true}, {50, 200, true}, {100, 398, false}};
    for (const Case& c : cases) {
        ProgressModel m;
        m.position = c.pos;
        const BarLayout l = LayoutBar(area, m, 0);
        ASSERT_TRUE(l.paints);
        EXPECT_FALSE(l.hasBefore);
        EXPECT_EQ(l.bar, (Rect{2, 2, c.barRight, 18})) << c.pos;
        EXPECT_EQ(l.hasRest, c.hasRest) << c.pos;
        if (l.hasRest) {
            EXPECT_EQ(l.rest, (Rect{c.barRight, 2, 398, 18})) << c.pos;
        }
    }
}

TEST(ProgressLayoutTest, VerticalBarGrowsUpwards) {
    const Rect area{2, 2, 22, 102};
    ProgressModel m;
    m.position = 37;
    BarLayout l = LayoutBar(area, m, kStyleVertical);
    EXPECT_EQ(l.bar, (Rect{2, 65, 22, 102}));
    ASSERT_TRUE(l.hasRest);
    EXPECT_EQ(l.rest, (Rect{2, 2, 22, 65}));
    m.position = 100;
    l = LayoutBar(area, m, kStyleVertical);
    EXPECT_EQ(l.bar, area);
    EXPECT_FALSE(l.hasRest);
}

TEST(ProgressLayoutTest, PositionOutsideTheRangeStaysInsideTheArea) {
    const Rect area{2, 2, 102, 22};
    ProgressModel m;
    m.position = 100;
    m.rangeMax = 50;  // a range narrowed after the position was set
    BarLayout l = LayoutBar(area, m, 0);
    EXPECT_EQ(l.bar, area);
    EXPECT_FALSE(l.hasRest);
    m.rangeMin = 200;
    m.rangeMax = 300;
    l = LayoutBar(area, m, kStyleVertical);
    EXPECT_EQ(l.bar.top, area.bottom);
    EXPECT_EQ(l.rest, area);
}

TEST(ProgressLayoutTest, EmptyOrInvertedRangePaintsNothing) {
    ProgressModel m;
    m.rangeMin = m.rangeMax = 10;
    EXPECT_FALSE(LayoutBar({0, 0, 10, 10}, m, 0).paints);
    m.rangeMin = 11;
    EXPECT_FALSE(LayoutBar({0, 0, 10, 10}, m, kStyleMarquee).paints);
}

TEST(ProgressLayoutTest, HorizontalMarqueeBlockAndItsEdges) {
    const Rect area{2, 2, 202, 20};  // width 200, block (200 * 20 + 50) / 100 = 40
    struct Case {
        int pos;
        bool hasBefore;
        Rect before;
        Rect bar;
        bool hasRest;
        Rect rest;
    };
    const Case cases[] = {
        {0, false, {}, {2, 2, 2, 20}, true, {2, 2, 202, 20}},
        {10, false, {}, {2, 2, 22, 20}, true, {22, 2, 202, 20}},
        {20, false, {}, {2, 2, 42, 20}, true, {42, 2, 202, 20}},   // bar left == A.left: no before
        {50, true, {2, 2, 62, 20}, {62, 2, 102, 20}, true, {102, 2, 202, 20}},
        {100, true, {2, 2, 162, 20}, {162, 2, 202, 20}, false, {}},
        {120, true, {2, 2, 202, 20}, {202, 2, 202, 20}, false, {}},
    };
    for (const Case& c : cases) {
        ProgressModel m;
        m.position = c.pos;
        const BarLayout l = LayoutBar(area, m, kStyleMarquee);
        EXPECT_EQ(l.hasBefore, c.hasBefore) << c.pos;
        if (c.hasBefore) {
            EXPECT_EQ(l.before, c.before) << c.pos;
        }
        EXPECT_EQ(l.bar, c.bar) << c.pos;
        EXPECT_EQ(l.hasRest, c.hasRest) << c.pos;
        if (c.hasRest) {
            EXPECT_EQ(l.rest, c.rest) << c.pos;
        }
    }
}

TEST(ProgressLayoutTest, VerticalMarqueeBlockAndItsEdges) {
    const Rect area{2, 2, 20, 102};  // height 100, block 20
    struct Case {
        int pos;
        bool hasBefore;
        Rect before;
        Rect bar;
        bool hasRest;
        Rect rest;
    };
    const Case cases[] = {
        {0, false, {}, {2, 102, 20, 102}, true, {2, 2, 20, 102}},
        {50, true, {2, 72, 20, 102}, {2, 52, 20, 72}, true, {2, 2, 20, 52}},
        {100, true, {2, 22, 20, 102}, {2, 2, 20, 22}, false, {}},
        {120, true, {2, 2, 20, 102}, {2, 2, 20, 2}, false, {}},
    };
    for (const Case& c : cases) {
        ProgressModel m;
        m.position = c.pos;
        const BarLayout l = LayoutBar(area, m, kStyleMarquee | kStyleVertical);
        EXPECT_EQ(l.hasBefore, c.hasBefore) << c.pos;
        if (c.hasBefore) {
            EXPECT_EQ(l.before, c.before) << c.pos;
        }
        EXPECT_EQ(l.bar, c.bar) << c.pos;
        EXPECT_EQ(l.hasRest, c.hasRest) << c.pos;
        if (c.hasRest) {
            EXPECT_EQ(l.rest, c.rest) << c.pos;
        }
    }
}

TEST(ProgressTextTest, PercentageOrWindowText) {
    ProgressModel m;
    m.position = 37;
    EXPECT_EQ(BarText(m, u"ignored"), u"37%");
    m.rangeMax = 200;
    m.position = 33;  // 16.5 + 0.5 truncated
    EXPECT_EQ(BarText(m, u""), u"17%");
    m.position = 1;   // 0.5 + 0.5 = 1
    EXPECT_EQ(BarText(m, u""), u"1%");
    m.showPercent = 0;
    EXPECT_EQ(BarText(m, u"安装中"), u"安装中");
    EXPECT_EQ(BarText(m, u""), u"");
}

TEST(ProgressTextTest, TextPositionForEachAlignment) {
    const Rect area{2, 2, 398, 18};
    struct Case {
        int align;
        std::uint32_t style;
        Point expected;
    };
    // Horizontal text 31 x 12; vertical bar area 2..22 x 2..102 with the same extent.
    const Rect varea{2, 2, 22, 102};
    const Case cases[] = {
        {0, 0, {4, 4}},
        {1, 0, {2 + (396 - 31) / 2, 4}},
        {2, 0, {398 - 31 - 3, 4}},
        {7, 0, {2 + (396 - 31) / 2, 4}},
        {-1, 0, {2 + (396 - 31) / 2, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LayoutText(area, 31, 12, c.align, c.style), c.expected) << c.align;
    const Case vcases[] = {
        {0, kStyleVertical, {2 + (20 - 12) / 2, 99}},
        {1, kStyleVertical, {6, 2 + 31 + (100 - 31) / 2}},
        {2, kStyleVertical, {6, 2 + 31 + 2}},
        {5, kStyleVertical, {6, 2 + 31 + (100 - 31) / 2}},
    };
    for (const Case& c : vcases)
        EXPECT_EQ(LayoutText(varea, 31, 12, c.align, c.style), c.expected) << c.align;
}

}  // namespace
}  // namespace controls
