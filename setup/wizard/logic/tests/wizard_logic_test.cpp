#include <gtest/gtest.h>

#include "wizard/wizard_logic.h"

namespace {
using namespace wizard;

TEST(WizardLogic, ChosenEntryAndSummaryText) {
    struct Case {
        std::u16string entry, stored, summary;
    } cases[] = {
        {u"Halvorin P-80", u"P-80", u"Halvorin P-80"},
        {u"P-80", u"P-80", u"Halvorin P-80"},                  // no prefix: the entry stays whole
        {u"XYHalvorin P-80", u"n P-80", u"Halvorin n P-80"},  // prefix later on: still the first nine go
        {u"Halvorin", u"Halvorin", u"Halvorin Halvorin"},      // the word alone is no prefix
        {u"", u"", u"Halvorin "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ModelNameFromEntry(c.entry), c.stored);
        EXPECT_EQ(SummaryModelText(ModelNameFromEntry(c.entry)), c.summary);
    }
}

TEST(WizardLogic, Keys) {
    struct Case {
        KeyMessage key;
        int page;
        KeyAction action;
    } cases[] = {
        {{true, false, 'N'}, kModelPage, KeyAction::Next},
        {{true, false, 'N'}, kInstallPage, KeyAction::Next},
        {{true, false, 'B'}, kModelPage, KeyAction::Swallow},
        {{true, false, 'B'}, kPortPage, KeyAction::Back},
        {{true, false, 'B'}, kSummaryPage, KeyAction::Back},
        {{false, true, 0x0D}, kSummaryPage, KeyAction::Swallow},
        {{false, true, 0x1B}, kModelPage, KeyAction::Swallow},
        {{false, true, 'N'}, kModelPage, KeyAction::PassOn},   // N without Alt is for the list
        {{true, false, 'X'}, kModelPage, KeyAction::PassOn},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyKey(c.key, c.page), c.action) << c.key.virtualKey << " " << c.page;
}

TEST(WizardLogic, ProgressSweepTakes121Ticks) {
    int pause = 0, position = 0;
    std::vector<int> positions;
    for (int tick = 0; tick < 2 * 121; ++tick) {
        TimerOutcome out = ProgressTick(pause, kProgressTimer, position);
        if (out.newPosition) position = *out.newPosition;
        positions.push_back(position);
    }
    EXPECT_EQ(positions[0], 1);
    EXPECT_EQ(positions[99], 100);
    EXPECT_EQ(positions[100], 0);    // the tick that finds 100
    EXPECT_EQ(positions[120], 0);    // 20 ticks at 0
    EXPECT_EQ(positions[121], 1);    // the next sweep
    EXPECT_EQ(positions[220], 100);
    // Other timers only use up pause ticks.
    int p = 2;
    EXPECT_TRUE(ProgressTick(p, 7, 50).redrawOnly);
    EXPECT_EQ(p, 1);
    p = 0;
    EXPECT_FALSE(ProgressTick(p, 7, 50).newPosition);
}

TEST(WizardLogic, OneInstallAtATimeAndCloseWaitsForTheResult) {
    InstallGuard g;
    EXPECT_TRUE(g.RequestClose());   // nothing running: close at once
    EXPECT_TRUE(g.TryStart());
    EXPECT_FALSE(g.TryStart());      // Finish again while the worker runs
    EXPECT_FALSE(g.RequestClose());  // deferred
    EXPECT_TRUE(g.Finish());         // the result closes the window now
    EXPECT_TRUE(g.TryStart());
    EXPECT_FALSE(g.Finish());
}

}  // namespace
