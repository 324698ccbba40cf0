// The text progress bar's state, its message table and its paint geometry, without Win32.
// CTextProgressCtrl feeds window messages through ProgressModel::Handle and paints what
// LayoutBar/LayoutText compute; the host tests drive the same code directly.
#pragma once

#include <cstdint>
#include <string>

namespace controls {

using Colour = std::uint32_t;
constexpr Colour kClrDefault = 0xFF000000u;

// Message numbers of the system progress control and the bar's private ones.
namespace pbm {
constexpr unsigned kSetRange = 0x401;
constexpr unsigned kSetPos = 0x402;
constexpr unsigned kDeltaPos = 0x403;
constexpr unsigned kSetStep = 0x404;
constexpr unsigned kStepIt = 0x405;
constexpr unsigned kSetRange32 = 0x406;
constexpr unsigned kGetRange = 0x407;
constexpr unsigned kGetPos = 0x408;
constexpr unsigned kSetBarColor = 0x409;
constexpr unsigned kSetMarquee = 0x40A;
constexpr unsigned kGetBkColor = 0x40E;
constexpr unsigned kGetBarColor = 0x40F;
constexpr unsigned kSetBkColor = 0x2001;
constexpr unsigned kSetTextColor = 0x466;     // WM_USER + 102
constexpr unsigned kGetTextColor = 0x467;
constexpr unsigned kSetBarTextColor = 0x468;
constexpr unsigned kGetBarTextColor = 0x469;
constexpr unsigned kShowPercent = 0x46A;
constexpr unsigned kSetAlign = 0x46B;
constexpr unsigned kSetMarqueeBlock = 0x46C;
}  // namespace pbm

constexpr std::uint32_t kStyleVertical = 0x04;  // PBS_VERTICAL
constexpr std::uint32_t kStyleMarquee = 0x08;   // PBS_MARQUEE
constexpr unsigned kMarqueeTimerId = 1;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// What CLR_DEFAULT stands for, looked up by the window layer at use.
struct SystemColours {
    Colour highlight = 0;   // bar
    Colour buttonFace = 0;  // background
    Colour windowText = 0;  // text over the background
    Colour window = 0;      // text over the bar
};

struct ResolvedColours {
    Colour bar, background, text, barText;
};

// The pair that PBM_GETRANGE fills (PBRANGE's layout).
struct RangePair {
    std::int32_t low;
    std::int32_t high;
};

// What a message asks of the window besides its result.
struct ProgressEffect {
    bool handled = false;       // false: hand the message to the system control
    std::int64_t result = 0;
    bool repaint = false;       // redraw at once: invalidate, erase, update now
    bool startTimer = false;    // timer kMarqueeTimerId with timerInterval
    unsigned timerInterval = 0;
    bool stopTimer = false;
    std::uint32_t styleAdd = 0;
    std::uint32_t styleRemove = 0;
};

// Shared by every bar of the process.
int MarqueeDirection();
void SetMarqueeDirection(int direction);

class ProgressModel {
public:
    // style: the window's current style (PBS_VERTICAL, PBS_MARQUEE are read).
    // For PBM_GETRANGE lParam is the address of a RangePair, or 0.
    ProgressEffect Handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                          std::uint32_t style, const SystemColours& sys);

    // One tick of timer 1 in marquee mode.
    ProgressEffect MarqueeStep(std::uint32_t style);

    // Highest position PBM_SETPOS accepts with the given style.
    int UpperLimit(std::uint32_t style) const;

    ResolvedColours Resolve(const SystemColours& sys) const;

    int showPercent = 1;  // a 32-bit boolean: TPB_SHOWPERCENT returns it as stored
    Colour barColour = kClrDefault;
    Colour backgroundColour = kClrDefault;
    Colour textColour = kClrDefault;
    Colour barTextColour = kClrDefault;
    int textAlign = 1;
    int position = 0;
    int step = 10;
    int rangeMin = 0;
    int rangeMax = 100;
    int marqueeBlock = 20;

private:
    ProgressEffect SetPos(std::int64_t newPos, std::uint32_t style);
    std::int64_t PackedRange() const;
};

// The regions of one paint. `before` exists only in marquee mode, `rest` when the bar
// does not reach the far end. All lie inside the bar area.
struct BarLayout {
    bool paints = false;  // false when rangeMin is not below rangeMax
    Rect area;
    bool hasBefore = false;
    Rect before;
    Rect bar;
    bool hasRest = false;
    Rect rest;
    double fraction = 0;
};

// area: the rectangle inside the sunken edge.
BarLayout LayoutBar(const Rect& area, const ProgressModel& m, std::uint32_t style);

// The text drawn over the bar: the window text, or the percentage when showPercent is set.
std::u16string BarText(const ProgressModel& m, const std::u16string& windowText);

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

// Where ExtTextOut starts for a text of extent (cx, cy) in the font used; for vertical bars
// the extent is the unrotated one and the text runs upwards from the point.
Point LayoutText(const Rect& area, int cx, int cy, int textAlign, std::uint32_t style);

// The sunken flat edge takes this many pixels on every side; the bottom 5 rows of the client
// area are left to what lies beneath.
constexpr int kEdgeWidth = 2;
constexpr int kUnpaintedBottomRows = 5;
Rect BarAreaForClient(int clientWidth, int clientHeight);

}  // namespace controls
