#include "controls/my_button.h"

#include "controls/button_faces.h"

namespace controls {

CMyButton::CMyButton() {
    OnMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        if (const FacePair* pair = FindFacePair(name)) bitmapId = pair->hover;
        ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = GetSafeHwnd();
        ::TrackMouseEvent(&track);
        return Default();
    });
    OnMessage(WM_MOUSELEAVE, [this](WPARAM, LPARAM) {
        if (const FacePair* pair = FindFacePair(name)) bitmapId = pair->normal;
        ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
        return Default();
    });
}

void CMyButton::SetFace(UINT id) {
    bitmapId = id;
    if (GetSafeHwnd()) ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
}

void CMyButton::DrawItem(const DRAWITEMSTRUCT& item) {
    // Loaded afresh for every paint, so the frame drawn on it never reaches the resource.
    auto face = static_cast<HBITMAP>(::LoadImageW(fw::ResourceModule(), MAKEINTRESOURCEW(bitmapId),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!face) return;
    BITMAP bm{};
    ::GetObjectW(face, sizeof bm, &bm);
    HDC mem = ::CreateCompatibleDC(item.hDC);
    HGDIOBJ old = ::SelectObject(mem, face);
    RECT frame = GetClientRect();
    HBRUSH grey = ::CreateSolidBrush(RGB(128, 128, 128));
    ::FrameRect(mem, &frame, grey);
    ::DeleteObject(grey);
    const RECT& r = item.rcItem;
    ::StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0, bm.bmWidth,
                 bm.bmHeight, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(face);
}

}  // namespace controls
