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

// Alt+N on the install page used to show an empty wizard, Alt+B the summary again.
TEST(WizardLogic, NoPageChangeOnceTheInstallRuns) {
    for (uint32_t vk : {uint32_t('N'), uint32_t('B')}) {
        EXPECT_EQ(ClassifyKey({true, false, vk}, kInstallPage), KeyAction::Swallow) << vk;
        EXPECT_EQ(ClassifyKey({true, false, vk}, kSummaryPage, true), KeyAction::Swallow) << vk;
    }
    EXPECT_EQ(ClassifyKey({false, true, 'N'}, kInstallPage, true), KeyAction::PassOn);
    EXPECT_TRUE(PageChangeAllowed(kSummaryPage, false));
    EXPECT_FALSE(PageChangeAllowed(kInstallPage, false));
    EXPECT_FALSE(PageChangeAllowed(kPortPage, true));
}

TEST(WizardLogic, SecondClickOfADoubleClickOnTheButtonThatChangedThePage) {
    const Rect next{241, 300, 346, 328};   // the port page's Next, where the summary's Finish comes
    ClickGuard guard;
    EXPECT_FALSE(guard.Ignore(1000, {250, 310}, 500)) << "no page change yet";
    guard.PageChanged(1000, next);
    struct Case {
        uint32_t time;
        Point at;
        bool ignored;
    } cases[] = {
        {1000, {250, 310}, true},  {1500, {345, 327}, true},   // within the time, on the spot
        {1501, {250, 310}, false},                             // later: a click of its own
        {1100, {240, 310}, false}, {1100, {346, 310}, false},  // beside the spot
        {1100, {250, 328}, false},
        {999, {250, 310}, false},                              // before the change
    };
    for (const Case& c : cases)
        EXPECT_EQ(guard.Ignore(c.time, c.at, 500), c.ignored) << c.time << " " << c.at.x << "," << c.at.y;
    // Across the message clock's wrap.
    guard.PageChanged(0xFFFFFF00u, next);
    EXPECT_TRUE(guard.Ignore(0x00000010u, {250, 310}, 500));
}

TEST(WizardLogic, TabOrderFollowsThePageTopToBottomLeftToRight) {
    struct Page {
        const char* name;
        std::vector<Placed> controls;   // as the template lists them
        std::vector<int> order;
    } pages[] = {
        // ids: 1 Back, 2 Next, 3 Cancel, 4 Finish, 5 model list, 6 port list
        {"model", {{2, {241, 300, 346, 328}}, {3, {366, 300, 441, 329}}, {5, {58, 130, 408, 260}}}, {5, 2, 3}},
        {"port",
         {{1, {129, 300, 234, 328}}, {2, {233, 300, 338, 328}}, {3, {363, 300, 438, 329}}, {6, {43, 157, 393, 277}}},
         {6, 1, 2, 3}},
        {"summary", {{1, {153, 310, 258, 338}}, {3, {366, 310, 441, 339}}, {4, {273, 310, 348, 339}}}, {1, 4, 3}},
        {"one line, tops a pixel apart", {{3, {300, 301, 340, 320}}, {2, {200, 300, 240, 320}}}, {2, 3}},
        {"none", {}, {}},
    };
    for (const Page& p : pages) EXPECT_EQ(TabOrder(p.controls, 8), p.order) << p.name;
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
