#include "controls/my_button.h"

#include "controls/button_faces.h"
#include "controls/picture.h"

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
    // The second press of a double-click is no click: a page changed by the first must not be
    // passed over by it.
    OnMessage(WM_LBUTTONDBLCLK, [](WPARAM, LPARAM) { return LRESULT(0); });
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
    Picture face;
    if (!face.LoadBitmapImage(fw::ResourceModule(), bitmapId)) return;
    const RECT& r = item.rcItem;
    face.Draw(item.hDC, r);
    HBRUSH grey = ::CreateSolidBrush(RGB(128, 128, 128));
    for (int i = 0; i < fw::Px(1); ++i) {
        const RECT edge{r.left + i, r.top + i, r.right - i, r.bottom - i};
        ::FrameRect(item.hDC, &edge, grey);
    }
    ::DeleteObject(grey);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        const int in = fw::Px(3);
        const RECT focus{r.left + in, r.top + in, r.right - in, r.bottom - in};
        ::DrawFocusRect(item.hDC, &focus);
    }
}

}  // namespace controls
