#include "controls/text_progress_ctrl.h"

#include "controls/grid_mem_dc.h"

#include <algorithm>

namespace controls {

namespace {

RECT ToRECT(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

void Fill(HDC dc, const Rect& r, COLORREF colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    const RECT rc = ToRECT(r);
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &rc, brush);
    ::DeleteObject(brush);
}

Rect Intersect(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

}  // namespace

SystemColours CTextProgressCtrl::SysColours() {
    return {::GetSysColor(COLOR_HIGHLIGHT), ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_WINDOWTEXT),
            ::GetSysColor(COLOR_WINDOW)};
}

LRESULT CTextProgressCtrl::Apply(const ProgressEffect& e) {
    if (e.styleAdd || e.styleRemove) ModifyStyle(e.styleRemove, e.styleAdd);
    if (e.startTimer) SetTimer(kMarqueeTimerId, e.timerInterval);
    if (e.stopTimer) KillTimer(kMarqueeTimerId);
    if (e.repaint) RedrawNow();
    return static_cast<LRESULT>(e.result);
}

LRESULT CTextProgressCtrl::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_TIMER:
        // The system control's own timers stay unanswered: it does not animate here.
        if (wp == kMarqueeTimerId) Apply(model_.MarqueeStep(GetStyle()));
        return 0;
    default:
        break;
    }
    const ProgressEffect effect = model_.Handle(msg, wp, lp, GetStyle(), SysColours());
    if (effect.handled) return Apply(effect);
    return fw::CProgressCtrl::WindowProc(msg, wp, lp);
}

void CTextProgressCtrl::Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
    if (!dc) return;
    if (model_.rangeMin >= model_.rangeMax) {
        ::EndPaint(GetSafeHwnd(), &ps);
        return;
    }
    {
        CGridMemDC mem(dc);
        const ResolvedColours colours = model_.Resolve(SysColours());
        HFONT font = GetFont();
        if (!font) font = reinterpret_cast<HFONT>(::SendMessageW(GetParent(), WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = font ? ::SelectObject(mem, font) : nullptr;

        RECT client = GetClientRect();
        client.bottom -= kUnpaintedBottomRows;
        ::DrawEdge(mem, &client, EDGE_SUNKEN, BF_RECT | BF_ADJUST | BF_FLAT);
        const Rect area{client.left, client.top, client.right, client.bottom};
        const DWORD style = GetStyle();
        const bool vertical = (style & kStyleVertical) != 0;
        if (vertical && !verticalFont_.Get()) {
            // Without a font of its own the bar turns the system's dialog font.
            LOGFONTW lf{};
            HGDIOBJ base = font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT);
            if (::GetObjectW(base, sizeof lf, &lf)) {
                lf.lfEscapement = lf.lfOrientation = 900;
                verticalFont_.CreateFontIndirect(lf);
            }
        }

        const BarLayout layout = LayoutBar(area, model_, style);
        if (layout.hasBefore) Fill(mem, layout.before, colours.background);
        Fill(mem, layout.bar, colours.bar);
        if (layout.hasRest) Fill(mem, layout.rest, colours.background);

        const std::wstring text = fw::ToWide(BarText(model_, fw::ToU16(GetWindowText())));
        if (!text.empty()) {
            HGDIOBJ beforeVertical = vertical && verticalFont_.Get() ? ::SelectObject(mem, verticalFont_) : nullptr;
            SIZE extent{};
            ::GetTextExtentPoint32W(mem, text.c_str(), static_cast<int>(text.size()), &extent);
            const Point at = LayoutText(area, extent.cx, extent.cy, model_.textAlign, style);
            ::SetBkMode(mem, TRANSPARENT);
            auto drawIn = [&](const Rect& region, COLORREF colour) {
                const RECT clip = ToRECT(Intersect(region, area));
                ::SetTextColor(mem, colour);
                ::ExtTextOutW(mem, at.x, at.y, ETO_CLIPPED, &clip, text.c_str(), static_cast<UINT>(text.size()),
                              nullptr);
            };
            if (layout.hasBefore) drawIn(layout.before, colours.text);
            drawIn(layout.bar, colours.barText);
            if (layout.hasRest) drawIn(layout.rest, colours.text);
            if (beforeVertical) ::SelectObject(mem, beforeVertical);
        }
        if (oldFont) ::SelectObject(mem, oldFont);
    }
    ::EndPaint(GetSafeHwnd(), &ps);
}

}  // namespace controls
