// Helpers of the skin's GUI tests under Wine: window pictures, PNG output for people, bounded
// waits and modal runs driven from inside their own loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace guitest {

// Pixels as 0x00RRGGBB, row 0 at the top.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool Empty() const { return pixels.empty(); }
    // Pixels of exactly `colour` inside [left,right) x [top,bottom).
    int Count(std::uint32_t colour, int left, int top, int right, int bottom) const;
    // Pixels differing from `colour` inside the rectangle.
    int CountOther(std::uint32_t colour, int left, int top, int right, int bottom) const;
};

constexpr std::uint32_t Rgb(int r, int g, int b) {
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

// The client area as the window shows it, after pending paints.
Image CaptureClient(HWND hwnd);
// The whole window, frame included.
Image CaptureWindow(HWND hwnd);
// A 24- or 32-bit bitmap's pixels.
Image FromBitmap(HBITMAP bitmap);
// What a memory DC holding a 32-bit DIB section shows.
Image FromDib(const void* bits, int width, int height);

// Writes $LP_TEST_OUTPUT/<name>.png (the folder is made when missing); false without the variable.
bool SavePng(const Image& image, const std::wstring& name);

// Dispatches this thread's messages for `ms` milliseconds.
void Pump(DWORD ms);
// Pumps until `done` holds or `timeoutMs` passes.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Runs `run` (a modal run on this thread) while, from inside its loop, `act` is called once the
// window `window()` exists and is visible. A watchdog posts WM_CLOSE after `timeoutMs` and
// again later, so a test never hangs; *timedOut tells that it fired.
INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<HWND()>& window,
                  const std::function<void(HWND)>& act, DWORD timeoutMs = 10000, bool* timedOut = nullptr);

// A key as the dialog's loop sees it: to the focused control of `dialog`, else to the dialog.
void PostKey(HWND dialog, UINT vk);

// A plain top-level window for hosting controls, filled with `background`.
HWND MakeHostWindow(int width, int height, COLORREF background);

}  // namespace guitest
