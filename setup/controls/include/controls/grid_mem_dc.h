// CGridMemDC: an off-screen surface for one paint. Draw into it like into the target; its
// destruction copies the drawing rectangle (the target's clip box less its 5 bottom rows) to
// the target in one copy. Printer targets are drawn on directly.
#pragma once

#include <windows.h>

namespace controls {

class CGridMemDC {
public:
    explicit CGridMemDC(HDC target);
    ~CGridMemDC();
    CGridMemDC(const CGridMemDC&) = delete;
    CGridMemDC& operator=(const CGridMemDC&) = delete;

    operator HDC() const { return dc_; }
    HDC Get() const { return dc_; }
    const RECT& Rect() const { return rect_; }
    bool OffScreen() const { return offScreen_; }

private:
    HDC target_;
    HDC dc_;
    bool offScreen_ = false;
    RECT rect_{};
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

}  // namespace controls
