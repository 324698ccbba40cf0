#include "wizard/wizard_logic.h"

#include <algorithm>

namespace wizard {
namespace {
constexpr uint32_t kVkReturn = 0x0D, kVkEscape = 0x1B;
}

std::u16string ModelNameFromEntry(const std::u16string& entry) {
    if (entry.find(kBrandPrefix) == std::u16string::npos) return entry;
    return entry.substr(9);
}

std::u16string SummaryModelText(const std::u16string& modelName) {
    if (modelName.find(kBrandPrefix) != std::u16string::npos) return modelName;
    return kBrandPrefix + modelName;
}

bool PageChangeAllowed(int currentPage, bool installing) { return !installing && currentPage != kInstallPage; }

KeyAction ClassifyKey(const KeyMessage& key, int currentPage, bool installing) {
    const bool pageKey = key.systemKeyDown && (key.virtualKey == 'N' || key.virtualKey == 'B');
    if (pageKey && !PageChangeAllowed(currentPage, installing)) return KeyAction::Swallow;
    if (key.systemKeyDown && key.virtualKey == 'N') return KeyAction::Next;
    if (key.systemKeyDown && key.virtualKey == 'B')
        return currentPage == kModelPage ? KeyAction::Swallow : KeyAction::Back;
    if (key.keyDown && (key.virtualKey == kVkReturn || key.virtualKey == kVkEscape)) return KeyAction::Swallow;
    return KeyAction::PassOn;
}

TimerOutcome ProgressTick(int& pauseTicks, uintptr_t timerId, int position) {
    TimerOutcome out;
    if (pauseTicks > 0) {
        --pauseTicks;
        out.redrawOnly = true;
        return out;
    }
    if (timerId != kProgressTimer) return out;
    if (position >= 100) {
        pauseTicks = kPauseTicksAfterSweep;
        out.newPosition = 0;
    }
    if (pauseTicks == 0) out.newPosition = position + 1;
    return out;
}

void ClickGuard::PageChanged(uint32_t time, Rect spot) {
    armed_ = true;
    time_ = time;
    spot_ = spot;
}

bool ClickGuard::Ignore(uint32_t time, Point at, uint32_t doubleClickMs) const {
    // Message times wrap after 49 days; the difference in unsigned arithmetic does not.
    return armed_ && static_cast<uint32_t>(time - time_) <= doubleClickMs && spot_.Contains(at);
}

std::vector<int> TabOrder(std::vector<Placed> controls, int lineSlack) {
    std::stable_sort(controls.begin(), controls.end(), [](const Placed& a, const Placed& b) {
        return a.rect.top < b.rect.top;
    });
    // Lines: a control joins the line of the one before when its top is close to the line's first.
    std::vector<int> ids;
    for (std::size_t start = 0; start < controls.size();) {
        std::size_t end = start + 1;
        while (end < controls.size() && controls[end].rect.top - controls[start].rect.top <= lineSlack) ++end;
        std::stable_sort(controls.begin() + static_cast<std::ptrdiff_t>(start),
                         controls.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const Placed& a, const Placed& b) { return a.rect.left < b.rect.left; });
        for (std::size_t i = start; i < end; ++i) ids.push_back(controls[i].id);
        start = end;
    }
    return ids;
}

bool InstallGuard::TryStart() {
    if (running_) return false;
    running_ = true;
    return true;
}

bool InstallGuard::Finish() {
    running_ = false;
    bool close = closePending_;
    closePending_ = false;
    return close;
}

bool InstallGuard::RequestClose() {
    if (!running_) return true;
    closePending_ = true;
    return false;
}

}  // namespace wizard
