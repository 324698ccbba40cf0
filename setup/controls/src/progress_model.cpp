#include "controls/progress_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace controls {

namespace {

int g_marqueeDirection = 1;

constexpr std::int64_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();

// Window messages carry 32-bit values in wider words; the control works on their low half.
std::int32_t Low32(std::uintptr_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }
std::int32_t Low32(std::intptr_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// Doubles from extreme positions can exceed int; converting those would be undefined.
int TruncToInt(double v) {
    if (!(v > static_cast<double>(kIntMin))) return static_cast<int>(kIntMin);
    if (!(v < static_cast<double>(kIntMax))) return static_cast<int>(kIntMax);
    return static_cast<int>(v);
}

Colour Pick(Colour stored, Colour system) { return stored == kClrDefault ? system : stored; }

ProgressEffect Result(std::int64_t value, bool repaint = false) {
    ProgressEffect e;
    e.handled = true;
    e.result = value;
    e.repaint = repaint;
    return e;
}

}  // namespace

int MarqueeDirection() { return g_marqueeDirection; }
void SetMarqueeDirection(int direction) { g_marqueeDirection = direction < 0 ? -1 : 1; }

int ProgressModel::UpperLimit(std::uint32_t style) const {
    if (!(style & kStyleMarquee)) return rangeMax;
    const double limit = ((static_cast<double>(marqueeBlock) + 100.0) * rangeMax + 0.5) / 100.0;
    return TruncToInt(limit);
}

ResolvedColours ProgressModel::Resolve(const SystemColours& sys) const {
    return {Pick(barColour, sys.highlight), Pick(backgroundColour, sys.buttonFace),
            Pick(textColour, sys.windowText), Pick(barTextColour, sys.window)};
}

std::int64_t ProgressModel::PackedRange() const {
    const std::uint32_t lo = static_cast<std::uint32_t>(rangeMin) & 0xFFFFu;
    const std::uint32_t hi = static_cast<std::uint32_t>(rangeMax) & 0xFFFFu;
    return static_cast<std::int64_t>(lo | (hi << 16));
}

ProgressEffect ProgressModel::SetPos(std::int64_t newPos, std::uint32_t style) {
    const int old = position;
    // 64-bit so that a position plus a large step or delta cannot overflow before clamping.
    if (newPos < rangeMin) newPos = rangeMin;
    const int upper = UpperLimit(style);
    if (newPos > upper) newPos = upper;
    position = static_cast<int>(newPos);
    return Result(old, true);
}

ProgressEffect ProgressModel::Handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                     std::uint32_t style, const SystemColours& sys) {
    const ResolvedColours resolved = Resolve(sys);
    auto setColour = [&](Colour& field) {
        const Colour old = field;
        field = static_cast<Colour>(static_cast<std::uint32_t>(lParam));
        return Result(old, true);
    };
    switch (msg) {
    case pbm::kSetRange: {
        const std::int64_t old = PackedRange();
        const auto packed = static_cast<std::uint32_t>(lParam);
        rangeMin = static_cast<int>(packed & 0xFFFFu);
        rangeMax = static_cast<int>(packed >> 16);
        return Result(old);
    }
    case pbm::kSetPos:
        return SetPos(Low32(wParam), style);
    case pbm::kDeltaPos:
        return SetPos(static_cast<std::int64_t>(position) + Low32(wParam), style);
    case pbm::kSetStep: {
        const int old = step;
        step = Low32(wParam);
        return Result(old);
    }
    case pbm::kStepIt: {
        std::int64_t n = static_cast<std::int64_t>(position) + step;
        if (n < rangeMin)
            n = static_cast<std::int64_t>(rangeMax) - (rangeMin - n);
        else if (n > rangeMax)
            n = static_cast<std::int64_t>(rangeMin) + (n - rangeMax);
        return SetPos(n, style);
    }
    case pbm::kSetRange32: {
        const std::int64_t old = PackedRange();
        rangeMin = Low32(wParam);
        rangeMax = Low32(lParam);
        return Result(old);
    }
    case pbm::kGetRange:
        if (lParam != 0) {
            auto* pair = reinterpret_cast<RangePair*>(lParam);
            pair->low = rangeMin;
            pair->high = rangeMax;
        }
        return Result(wParam != 0 ? rangeMin : rangeMax);
    case pbm::kGetPos:
        return Result(position);
    case pbm::kSetBarColor:
        return setColour(barColour);
    case pbm::kSetMarquee: {
        ProgressEffect e = Result(static_cast<std::int64_t>(wParam), true);
        showPercent = 0;
        if (wParam != 0) {
            e.styleAdd = kStyleMarquee;
            e.startTimer = true;
            e.timerInterval = static_cast<unsigned>(lParam);
        } else {
            e.stopTimer = true;
            e.styleRemove = kStyleMarquee;
        }
        return e;
    }
    case pbm::kGetBkColor:
        return Result(resolved.background);
    case pbm::kGetBarColor:
        return Result(resolved.bar);
    case pbm::kSetBkColor:
        return setColour(backgroundColour);
    case pbm::kSetTextColor:
        return setColour(textColour);
    case pbm::kGetTextColor:
        return Result(resolved.text);
    case pbm::kSetBarTextColor:
        return setColour(barTextColour);
    case pbm::kGetBarTextColor:
        return Result(resolved.barText);
    case pbm::kShowPercent: {
        const int old = showPercent;
        showPercent = Low32(wParam);
        return Result(old, true);
    }
    case pbm::kSetAlign: {
        const int old = textAlign;
        textAlign = Low32(wParam);
        return Result(old, true);
    }
    case pbm::kSetMarqueeBlock:
        marqueeBlock = Low32(wParam);
        return Result(static_cast<std::int64_t>(wParam), true);
    default:
        return {};
    }
}

ProgressEffect ProgressModel::MarqueeStep(std::uint32_t style) {
    const int pos = position;
    if (g_marqueeDirection == 1 && pos >= UpperLimit(style))
        g_marqueeDirection = -1;
    else if (g_marqueeDirection == -1 && pos <= rangeMin)
        g_marqueeDirection = 1;
    return SetPos(static_cast<std::int64_t>(pos) + g_marqueeDirection, style);
}

Rect BarAreaForClient(int clientWidth, int clientHeight) {
    return {kEdgeWidth, kEdgeWidth, clientWidth - kEdgeWidth,
            clientHeight - kUnpaintedBottomRows - kEdgeWidth};
}

BarLayout LayoutBar(const Rect& a, const ProgressModel& m, std::uint32_t style) {
    BarLayout out;
    out.area = a;
    if (m.rangeMin >= m.rangeMax) return out;
    out.paints = true;
    const double f = (static_cast<double>(m.position) - m.rangeMin) /
                     (static_cast<double>(m.rangeMax) - m.rangeMin);
    out.fraction = f;
    // A position left outside the range by a later range change would put the bar's edge
    // beyond the area, over the border; the edge is kept inside the area.
    auto edge = [](double offset, int length) {
        return TruncToInt(std::clamp(offset, 0.0, static_cast<double>(length)));
    };
    const bool vertical = (style & kStyleVertical) != 0;
    const bool marquee = (style & kStyleMarquee) != 0;
    out.bar = a;
    if (!vertical && !marquee) {
        out.bar.right = a.left + edge(a.Width() * f, a.Width());
        out.rest = {out.bar.right, a.top, a.right, a.bottom};
        out.hasRest = out.rest.right > out.rest.left;
    } else if (vertical && !marquee) {
        out.bar.top = a.bottom - edge(a.Height() * f, a.Height());
        out.rest = {a.left, a.top, a.right, out.bar.top};
        out.hasRest = out.rest.bottom > out.rest.top;
    } else if (!vertical) {
        const int block = TruncToInt((static_cast<double>(a.Width()) * m.marqueeBlock + 50) / 100);
        int right = a.left + TruncToInt(std::clamp(a.Width() * f, -1e9, 1e9));
        int left = TruncToInt(static_cast<double>(right) - block);
        if (left > a.left) {
            out.hasBefore = true;
            out.before = {a.left, a.top, std::min(left, a.right), a.bottom};
        } else {
            left = a.left;
        }
        if (right < a.right) {
            out.hasRest = true;
            out.rest = {std::max(right, a.left), a.top, a.right, a.bottom};
        } else {
            right = a.right;
        }
        out.bar.left = std::min(left, a.right);
        out.bar.right = std::max(right, a.left);
    } else {
        const int block = TruncToInt((static_cast<double>(a.Height()) * m.marqueeBlock + 50) / 100);
        int top = a.bottom - TruncToInt(std::clamp(a.Height() * f, -1e9, 1e9));
        int bottom = TruncToInt(static_cast<double>(top) + block);
        if (bottom < a.bottom) {
            out.hasBefore = true;
            out.before = {a.left, std::max(bottom, a.top), a.right, a.bottom};
        } else {
            bottom = a.bottom;
        }
        if (top > a.top) {
            out.hasRest = true;
            out.rest = {a.left, a.top, a.right, std::min(top, a.bottom)};
        } else {
            top = a.top;
        }
        out.bar.top = std::min(top, a.bottom);
        out.bar.bottom = std::max(bottom, a.top);
    }
    return out;
}

std::u16string BarText(const ProgressModel& m, const std::u16string& windowText) {
    if (!m.showPercent) return windowText;
    double f = 0;
    if (m.rangeMax != m.rangeMin)
        f = (static_cast<double>(m.position) - m.rangeMin) /
            (static_cast<double>(m.rangeMax) - m.rangeMin);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d%%", TruncToInt(f * 100 + 0.5));
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

Point LayoutText(const Rect& a, int cx, int cy, int textAlign, std::uint32_t style) {
    Point p;
    if (!(style & kStyleVertical)) {
        if (textAlign == 0)
            p.x = a.left + 2;
        else if (textAlign == 2)
            p.x = a.right - cx - 3;
        else
            p.x = a.left + (a.Width() - cx) / 2;
        p.y = a.top + (a.Height() - cy) / 2;
    } else {
        if (textAlign == 0)
            p.y = a.bottom - 3;
        else if (textAlign == 2)
            p.y = a.top + cx + 2;
        else
            p.y = a.top + cx + (a.Height() - cx) / 2;
        p.x = a.left + (a.Width() - cy) / 2;
    }
    return p;
}

}  // namespace controls
