// The wizard's decisions, apart from its windows: what a chosen list entry stores, what the
// summary shows, which keys act, how the progress animation moves, and when an install may start
// or the window may close. CSetupDlg applies them; the host tests check them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wizard {

constexpr const char16_t* kBrandPrefix = u"Halvorin ";   // nine characters, ending in a space
constexpr int kModelPage = 2, kPortPage = 3, kSummaryPage = 4, kInstallPage = 5;

// Leaving the model page: an entry that holds the prefix anywhere loses its first nine characters.
std::u16string ModelNameFromEntry(const std::u16string& entry);

// The summary page's model line: the prefix in front unless the name already holds it.
std::u16string SummaryModelText(const std::u16string& modelName);

// Keys, decided before any control sees them.
enum class KeyAction { PassOn, Swallow, Next, Back };
struct KeyMessage {
    bool systemKeyDown = false;   // WM_SYSKEYDOWN (Alt held)
    bool keyDown = false;         // WM_KEYDOWN
    uint32_t virtualKey = 0;
};
KeyAction ClassifyKey(const KeyMessage& key, int currentPage);

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

private:
    bool running_ = false;
    bool closePending_ = false;
};

}  // namespace wizard
