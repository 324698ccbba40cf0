#include "wizard/wizard_logic.h"

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

KeyAction ClassifyKey(const KeyMessage& key, int currentPage) {
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
