// The wizard's decisions, apart from its windows: what a chosen list entry stores, what the
// summary shows, which keys act, how the progress animation moves, and when an install may start
// or the window may close. CSetupDlg applies them; the host tests check them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wizard {

constexpr const char16_t* kBrandPrefix = u"Halvorin ";   // nine characters, ending in a space
constexpr int kModelPage = 2, kPortPage = 3, kSummaryPage = 4, kInstallPage = 5;

// Leaving the model page: an entry that holds the prefix anywhere loses its first nine characters.
std::u16string ModelNameFromEntry(const std::u16string& entry);

// The summary page's model line: the prefix in front unless the name already holds it.
std::u16string SummaryModelText(const std::u16string& modelName);

// Keys, decided before any control sees them. Once the install page shows, the wizard changes
// page no more: the install runs, and its result ends the wizard.
enum class KeyAction { PassOn, Swallow, Next, Back };
struct KeyMessage {
    bool systemKeyDown = false;   // WM_SYSKEYDOWN (Alt held)
    bool keyDown = false;         // WM_KEYDOWN
    uint32_t virtualKey = 0;
};
KeyAction ClassifyKey(const KeyMessage& key, int currentPage, bool installing = false);

// Whether Next or Back may change the page now.
bool PageChangeAllowed(int currentPage, bool installing);

// The second click of a double-click on Next lands on whatever button the new page puts under
// the pointer (Finish lies under the port page's Next). A click within the double-click time of a
// page change, on the spot of the button that changed it, is taken as that second click.
struct Point {
    int x = 0, y = 0;
};
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};
class ClickGuard {
public:
    // A button at `spot` (screen coordinates) changed the page at message time `time` (ms).
    void PageChanged(uint32_t time, Rect spot);
    // Whether a button press at `at` and `time` is to be dropped.
    bool Ignore(uint32_t time, Point at, uint32_t doubleClickMs) const;

private:
    bool armed_ = false;
    uint32_t time_ = 0;
    Rect spot_;
};

// Tab order: the page's controls from top to bottom, and left to right on one line (controls
// whose tops lie within `lineSlack` pixels share a line). Returns the ids in that order.
struct Placed {
    int id = 0;
    Rect rect;
};
std::vector<int> TabOrder(std::vector<Placed> controls, int lineSlack);

// One tick of the progress timer. pauseTicks lives for the whole run.
struct TimerOutcome {
    bool redrawOnly = false;          // a pause tick: the bar is only redrawn
    std::optional<int> newPosition;   // set the bar to this
};
TimerOutcome ProgressTick(int& pauseTicks, uintptr_t timerId, int position);
constexpr uintptr_t kProgressTimer = 129;
constexpr unsigned kProgressPeriodMs = 30;
constexpr int kPauseTicksAfterSweep = 20;

// One install at a time, and a close that waits for the worker's result instead of ending the
// process under it.
class InstallGuard {
public:
    // Finish pressed: true when a worker may start now.
    bool TryStart();
    // The worker's result arrived: true when a close was asked for meanwhile.
    bool Finish();
    // The user closes the window: true when it may close now; otherwise it closes at the result.
    bool RequestClose();
    bool running() const { return running_; }
    bool closePending() const { return closePending_; }

private:
    bool running_ = false;
    bool closePending_ = false;
};

}  // namespace wizard
