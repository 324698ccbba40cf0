// A decoded resource picture: a DIB section, 32-bit straight BGRA with alpha for PNGs, the
// bitmap's own depth for bitmap resources. Drawn stretched to a rectangle; pictures with alpha
// are premultiplied once, before their first draw.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace controls {

class Picture {
public:
    Picture() = default;
    ~Picture() { Release(); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // A resource of ResourceModule() of any type the image decoder reads ("PNG" here).
    // False when the resource is missing or cannot be loaded. *streamMade tells whether the
    // bytes reached the decoder; the picture stays empty when they did not decode.
    bool LoadResourceImage(UINT id, const wchar_t* type, bool* streamMade = nullptr);
    // A bitmap resource of `module` as a DIB section at its own size, without alpha.
    bool LoadBitmapImage(HINSTANCE module, UINT id);
    void Release();

    // The whole picture stretched onto `rect` with a smooth filter; an empty picture draws nothing.
    void Draw(HDC target, const RECT& rect);

    bool Empty() const { return bitmap_ == nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerPixel() const { return bpp_; }
    bool HasAlpha() const { return hasAlpha_; }
    bool Premultiplied() const { return premultiplied_; }
    // Row y (0 is the top row) of the pixels, or null.
    const std::uint8_t* Row(int y) const;
    HBITMAP Handle() const { return bitmap_; }

private:
    HBITMAP Scaled(HDC target, int w, int h);
    void DropScaled();

    HBITMAP bitmap_ = nullptr;
    HBITMAP scaled_ = nullptr;   // the last size drawn at, when not the picture's own
    int scaledWidth_ = 0, scaledHeight_ = 0;
    std::uint8_t* bits_ = nullptr;  // row 0 (top)
    std::ptrdiff_t stride_ = 0;     // negative for bottom-up DIBs
    int width_ = 0, height_ = 0, bpp_ = 0;
    bool hasAlpha_ = false;
    bool premultiplied_ = false;
};

}  // namespace controls
