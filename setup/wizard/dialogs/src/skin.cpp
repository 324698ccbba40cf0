#include "dialogs/skin.h"

namespace dialogs {

void FillWhite(HDC dc, const RECT& rect) {
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

HPEN CreateFramePen() { return ::CreatePen(PS_SOLID, kFrameWidth, kFrameColour); }

void DrawFrame(HDC dc, const RECT& r) {
    HPEN pen = CreateFramePen();
    HGDIOBJ old = ::SelectObject(dc, pen);
    const int l = r.left + 1, t = r.top + 1, rt = r.right - 1, b = r.bottom - 1;
    ::MoveToEx(dc, l, t, nullptr);
    ::LineTo(dc, rt, t);
    ::LineTo(dc, rt, b);
    ::LineTo(dc, l, b);
    ::LineTo(dc, l, t);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

}  // namespace dialogs
