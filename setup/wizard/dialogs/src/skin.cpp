#include "dialogs/skin.h"

namespace dialogs {

void FillWhite(HDC dc, const RECT& rect) {
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

HPEN CreateFramePen() { return ::CreatePen(PS_SOLID, fw::Px(kFrameWidth), kFrameColour); }

void DrawFrame(HDC dc, const RECT& r) {
    HPEN pen = CreateFramePen();
    HGDIOBJ old = ::SelectObject(dc, pen);
    const int in = fw::Px(kFrameWidth) / 2;
    const int l = r.left + in, t = r.top + in, rt = r.right - in, b = r.bottom - in;
    ::MoveToEx(dc, l, t, nullptr);
    ::LineTo(dc, rt, t);
    ::LineTo(dc, rt, b);
    ::LineTo(dc, l, b);
    ::LineTo(dc, l, t);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

}  // namespace dialogs
