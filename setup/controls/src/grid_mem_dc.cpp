#include "controls/grid_mem_dc.h"

namespace controls {

namespace {

constexpr ATOM kDialogClassAtom = 32770;

void FillOwnerBackground(HDC dc, HDC target, const RECT& r) {
    HWND owner = ::WindowFromDC(target);
    HBRUSH brush = nullptr;
    bool ownBrush = false;
    if (owner && static_cast<ATOM>(::GetClassLongPtrW(owner, GCW_ATOM)) == kDialogClassAtom) {
        brush = ::GetSysColorBrush(COLOR_BTNFACE);
    } else if (owner) {
        brush = reinterpret_cast<HBRUSH>(::GetClassLongPtrW(owner, GCLP_HBRBACKGROUND));
    }
    if (!brush) {
        brush = ::CreateSolidBrush(::GetBkColor(target));
        ownBrush = true;
    }
    ::FillRect(dc, &r, brush);  // also takes a system colour index + 1, as class brushes may be
    if (ownBrush) ::DeleteObject(brush);
}

}  // namespace

CGridMemDC::CGridMemDC(HDC target) : target_(target), dc_(target) {
    ::GetClipBox(target, &rect_);
    rect_.bottom -= 5;
    if (::GetDeviceCaps(target, TECHNOLOGY) == DT_RASPRINTER) {
        FillOwnerBackground(target, target, rect_);
        return;
    }
    POINT size[2] = {{rect_.left, rect_.top}, {rect_.right, rect_.bottom}};
    ::LPtoDP(target, size, 2);
    const int w = size[1].x - size[0].x, h = size[1].y - size[0].y;
    // A clip box shorter than the 5 rows leaves nothing to draw off screen; draw directly then.
    if (w <= 0 || h <= 0) return;
    HDC mem = ::CreateCompatibleDC(target);
    if (!mem) return;
    bitmap_ = ::CreateCompatibleBitmap(target, w, h);
    if (!bitmap_) {
        ::DeleteDC(mem);
        return;
    }
    oldBitmap_ = ::SelectObject(mem, bitmap_);
    ::SetMapMode(mem, ::GetMapMode(target));
    SIZE ext;
    ::GetWindowExtEx(target, &ext);
    ::SetWindowExtEx(mem, ext.cx, ext.cy, nullptr);
    ::GetViewportExtEx(target, &ext);
    ::SetViewportExtEx(mem, ext.cx, ext.cy, nullptr);
    ::SetWindowOrgEx(mem, rect_.left, rect_.top, nullptr);
    dc_ = mem;
    offScreen_ = true;
    FillOwnerBackground(dc_, target, rect_);
}

CGridMemDC::~CGridMemDC() {
    if (!offScreen_) return;
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, dc_,
             rect_.left, rect_.top, SRCCOPY);
    ::SelectObject(dc_, oldBitmap_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
}

}  // namespace controls
