#include "controls/picture.h"

#include "controls/premultiply.h"
#include "controls/resample.h"
#include "framework/wnd.h"

#include <objidl.h>
// GDI+'s headers use min/max and the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstring>
#include <mutex>

namespace controls {

namespace {

// Started once per process on first use; never shut down (the process end does it).
bool StartGdiplus() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return started;
}

// A top-down DIB section of the given depth; bits receives row 0.
HBITMAP MakeDib(int width, int height, int bpp, void** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    bi.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

std::ptrdiff_t DibStride(int width, int bpp) { return ((static_cast<std::ptrdiff_t>(width) * bpp + 31) / 32) * 4; }

}  // namespace

void Picture::Release() {
    DropScaled();
    if (bitmap_) ::DeleteObject(bitmap_);
    bitmap_ = nullptr;
    bits_ = nullptr;
    stride_ = 0;
    width_ = height_ = bpp_ = 0;
    hasAlpha_ = premultiplied_ = false;
}

bool Picture::LoadResourceImage(UINT id, const wchar_t* type, bool* streamMade) {
    if (streamMade) *streamMade = false;
    ::SetLastError(0);
    Release();
    HMODULE module = fw::ResourceModule();
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!res) return false;
    HGLOBAL loaded = ::LoadResource(module, res);
    if (!loaded) return false;
    const void* data = ::LockResource(loaded);
    const DWORD size = ::SizeofResource(module, res);
    if (!data || size == 0) return false;

    // The decoder reads a stream; the resource's bytes get a movable block of their own.
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block) return false;
    if (void* dst = ::GlobalLock(block)) {
        std::memcpy(dst, data, size);
        ::GlobalUnlock(block);
    }
    IStream* stream = nullptr;
    if (::CreateStreamOnHGlobal(block, FALSE, &stream) == S_OK && stream) {
        if (streamMade) *streamMade = true;
        if (StartGdiplus()) {
            Gdiplus::Bitmap* decoded = Gdiplus::Bitmap::FromStream(stream);
            if (decoded && decoded->GetLastStatus() == Gdiplus::Ok) {
                const bool alpha = Gdiplus::IsAlphaPixelFormat(decoded->GetPixelFormat()) != FALSE;
                const int w = static_cast<int>(decoded->GetWidth());
                const int h = static_cast<int>(decoded->GetHeight());
                const int bpp = alpha ? 32 : 24;
                void* bits = nullptr;
                HBITMAP dib = w > 0 && h > 0 ? MakeDib(w, h, bpp, &bits) : nullptr;
                if (dib) {
                    Gdiplus::BitmapData lockData{};
                    lockData.Width = static_cast<UINT>(w);
                    lockData.Height = static_cast<UINT>(h);
                    lockData.Stride = static_cast<INT>(DibStride(w, bpp));
                    lockData.PixelFormat = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
                    lockData.Scan0 = bits;
                    Gdiplus::Rect all(0, 0, w, h);
                    // Decodes straight into the DIB section's rows.
                    if (decoded->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                          lockData.PixelFormat, &lockData) == Gdiplus::Ok) {
                        decoded->UnlockBits(&lockData);
                        bitmap_ = dib;
                        bits_ = static_cast<std::uint8_t*>(bits);
                        stride_ = DibStride(w, bpp);
                        width_ = w;
                        height_ = h;
                        bpp_ = bpp;
                        hasAlpha_ = alpha;
                    } else {
                        ::DeleteObject(dib);
                    }
                }
            }
            delete decoded;
        }
        stream->Release();
    }
    ::GlobalFree(block);
    return true;
}

bool Picture::LoadBitmapImage(HINSTANCE module, UINT id) {
    Release();
    HANDLE image = ::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!image) return false;
    DIBSECTION ds{};
    if (::GetObjectW(image, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits) {
        ::DeleteObject(image);
        return false;
    }
    bitmap_ = static_cast<HBITMAP>(image);
    width_ = ds.dsBm.bmWidth;
    height_ = ds.dsBm.bmHeight;
    bpp_ = ds.dsBm.bmBitsPixel;
    const std::ptrdiff_t stride = ds.dsBm.bmWidthBytes;
    auto* base = static_cast<std::uint8_t*>(ds.dsBm.bmBits);
    if (ds.dsBmih.biHeight > 0) {  // bottom-up: row 0 is the last in memory
        bits_ = base + (height_ - 1) * stride;
        stride_ = -stride;
    } else {
        bits_ = base;
        stride_ = stride;
    }
    return true;
}

const std::uint8_t* Picture::Row(int y) const {
    if (!bits_ || y < 0 || y >= height_) return nullptr;
    return bits_ + y * stride_;
}

void Picture::DropScaled() {
    if (scaled_) ::DeleteObject(scaled_);
    scaled_ = nullptr;
    scaledWidth_ = scaledHeight_ = 0;
}

// The picture at w x h through the smooth filter, kept until the size changes. GDI's own
// stretching repeats or drops pixels (AlphaBlend) or is no better on every system (HALFTONE).
HBITMAP Picture::Scaled(HDC target, int w, int h) {
    if (scaled_ && scaledWidth_ == w && scaledHeight_ == h) return scaled_;
    DropScaled();
    void* srcBits = nullptr;
    HBITMAP source = nullptr;
    const std::uint8_t* rows = bits_;
    std::ptrdiff_t stride = stride_;
    if (bpp_ != 32) {   // other depths: the pixels as 32-bit BGRA first
        source = MakeDib(width_, height_, 32, &srcBits);
        HDC from = ::CreateCompatibleDC(target), to = ::CreateCompatibleDC(target);
        if (!source || !from || !to) {
            if (source) ::DeleteObject(source);
            if (from) ::DeleteDC(from);
            if (to) ::DeleteDC(to);
            return nullptr;
        }
        HGDIOBJ oldFrom = ::SelectObject(from, bitmap_), oldTo = ::SelectObject(to, source);
        ::BitBlt(to, 0, 0, width_, height_, from, 0, 0, SRCCOPY);
        ::GdiFlush();
        ::SelectObject(from, oldFrom);
        ::SelectObject(to, oldTo);
        ::DeleteDC(from);
        ::DeleteDC(to);
        rows = static_cast<const std::uint8_t*>(srcBits);
        stride = DibStride(width_, 32);
    }
    void* bits = nullptr;
    HBITMAP out = MakeDib(w, h, 32, &bits);
    if (out) {
        ::GdiFlush();
        ResampleBgra(rows, width_, height_, stride, static_cast<std::uint8_t*>(bits), w, h, DibStride(w, 32));
    }
    if (source) ::DeleteObject(source);
    scaled_ = out;
    scaledWidth_ = w;
    scaledHeight_ = h;
    return scaled_;
}

void Picture::Draw(HDC target, const RECT& rect) {
    if (!bitmap_ || !target) return;
    if (hasAlpha_ && bpp_ == 32 && !premultiplied_) {
        ::GdiFlush();
        PremultiplyBgra(bits_, width_, height_, stride_);
        premultiplied_ = true;
        DropScaled();
    }
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return;
    HBITMAP shown = bitmap_;
    int shownW = width_, shownH = height_;
    if (w != width_ || h != height_) {
        if (HBITMAP scaled = Scaled(target, w, h)) {
            shown = scaled;
            shownW = w;
            shownH = h;
        }
    }
    HDC mem = ::CreateCompatibleDC(target);
    if (!mem) return;
    HGDIOBJ old = ::SelectObject(mem, shown);
    const int oldMode = ::SetStretchBltMode(target, HALFTONE);
    POINT oldOrigin;
    ::SetBrushOrgEx(target, 0, 0, &oldOrigin);  // HALFTONE wants it set after the mode
    if (hasAlpha_) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        // gdi32's own entry: msimg32 is not among the known DLLs, so a copy beside Setup could be loaded.
        ::GdiAlphaBlend(target, rect.left, rect.top, w, h, mem, 0, 0, shownW, shownH, blend);
    } else {
        ::StretchBlt(target, rect.left, rect.top, w, h, mem, 0, 0, shownW, shownH, SRCCOPY);
    }
    ::SetBrushOrgEx(target, oldOrigin.x, oldOrigin.y, nullptr);
    if (oldMode) ::SetStretchBltMode(target, oldMode);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
}

}  // namespace controls
