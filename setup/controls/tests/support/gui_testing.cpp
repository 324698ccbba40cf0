#include "gui_testing.h"

#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstdlib>
#include <cwchar>
#include <mutex>

namespace guitest {

namespace {

// With no window manager on the virtual display, Wine waits two seconds for one whenever an
// activated window goes away. Unmanaged windows (for this program only) skip that, and Wine
// draws their title bars itself. Wine reads this as the program starts, so setting it here
// serves the next run; ctest sets it beforehand (skin_gui_unmanaged).
struct UnmanagedWindows {
    UnmanagedWindows() {
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        const wchar_t* slash = wcsrchr(exe, L'\\');
        const std::wstring key =
            std::wstring(L"Software\\Wine\\AppDefaults\\") + (slash ? slash + 1 : exe) + L"\\X11 Driver";
        HKEY k;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
            ERROR_SUCCESS) {
            ::RegSetValueExW(k, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
            ::RegCloseKey(k);
        }
    }
} g_unmanagedWindows;

}  // namespace

int Image::Count(std::uint32_t colour, int left, int top, int right, int bottom) const {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
        for (int x = std::max(left, 0); x < std::min(right, width); ++x)
            if (At(x, y) == colour) ++n;
    return n;
}

int Image::CountOther(std::uint32_t colour, int left, int top, int right, int bottom) const {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
        for (int x = std::max(left, 0); x < std::min(right, width); ++x)
            if (At(x, y) != colour) ++n;
    return n;
}

Image FromDib(const void* bits, int width, int height) {
    Image img;
    img.width = width;
    img.height = height;
    img.pixels.resize(static_cast<size_t>(width) * height);
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = p[i] & 0xFFFFFFu;
    return img;
}

namespace {

Image CopyFrom(HDC source, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = ::CreateCompatibleDC(source);
    HGDIOBJ old = ::SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, width, height, source, x, y, SRCCOPY);
    ::GdiFlush();
    Image img = FromDib(bits, width, height);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(dib);
    return img;
}

bool GdiplusReady() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token;
        ok = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return ok;
}

bool PngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (!size) return false;
    std::vector<BYTE> buf(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i)
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            *clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

}  // namespace

Image CaptureClient(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(30);
    RECT r{};
    ::GetClientRect(hwnd, &r);
    HDC dc = ::GetDC(hwnd);
    Image img = CopyFrom(dc, 0, 0, r.right, r.bottom);
    ::ReleaseDC(hwnd, dc);
    return img;
}

Image CaptureWindow(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Pump(30);
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    HDC dc = ::GetWindowDC(hwnd);
    Image img = CopyFrom(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    ::ReleaseDC(hwnd, dc);
    return img;
}

Image FromBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!::GetObjectW(bitmap, sizeof bm, &bm)) return {};
    HDC screen = ::GetDC(nullptr);
    HDC src = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(src, bitmap);
    Image img = CopyFrom(src, 0, 0, bm.bmWidth, bm.bmHeight);
    ::SelectObject(src, old);
    ::DeleteDC(src);
    ::ReleaseDC(nullptr, screen);
    return img;
}

bool SavePng(const Image& image, const std::wstring& name) {
    const wchar_t* dir = _wgetenv(L"LP_TEST_OUTPUT");
    if (!dir || !*dir || image.Empty() || !GdiplusReady()) return false;
    std::wstring path = std::wstring(dir) + L"\\" + name + L".png";
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    if (path[0] == L'\\') path = L"Z:" + path;  // a Unix path handed through by the test runner
    for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
        ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    CLSID png;
    if (!PngEncoder(&png)) return false;
    Gdiplus::Bitmap bmp(image.width, image.height, PixelFormat32bppRGB);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) bmp.SetPixel(x, y, Gdiplus::Color(0xFF000000u | image.At(x, y)));
    return bmp.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

void Pump(DWORD ms) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        Pump(10);
    }
    return true;
}

namespace {

struct Drive {
    std::function<HWND()> window;
    std::function<void(HWND)> act;
    bool acted = false;
    bool timedOut = false;
    DWORD start = 0;
    DWORD timeoutMs = 0;
};
thread_local Drive* t_drive = nullptr;

void CALLBACK DriveTick(HWND, UINT, UINT_PTR, DWORD) {
    Drive* d = t_drive;
    if (!d) return;
    HWND w = d->window ? d->window() : nullptr;
    if (!d->acted && w && ::IsWindowVisible(w)) {
        d->acted = true;
        d->act(w);
        return;
    }
    if (::GetTickCount() - d->start > d->timeoutMs) {
        d->timedOut = true;
        if (w) ::PostMessageW(w, WM_CLOSE, 0, 0);
        d->start = ::GetTickCount() - d->timeoutMs / 2;  // close again later if need be
    }
}

}  // namespace

INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<HWND()>& window,
                  const std::function<void(HWND)>& act, DWORD timeoutMs, bool* timedOut) {
    Drive d{window, act, false, false, ::GetTickCount(), timeoutMs};
    Drive* outer = t_drive;
    t_drive = &d;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 40, &DriveTick);
    const INT_PTR result = run();
    ::KillTimer(nullptr, timer);
    t_drive = outer;
    if (timedOut) *timedOut = d.timedOut;
    return result;
}

void PostKey(HWND dialog, UINT vk) {
    HWND focus = ::GetFocus();
    HWND target = focus && (focus == dialog || ::IsChild(dialog, focus)) ? focus : dialog;
    ::PostMessageW(target, WM_KEYDOWN, vk, 1);
    ::PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

namespace {
LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) { return ::DefWindowProcW(h, m, w, l); }
}  // namespace

HWND MakeHostWindow(int width, int height, COLORREF background) {
    static int serial = 0;
    const std::wstring cls = L"guitest.host." + std::to_wstring(++serial);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = ::CreateSolidBrush(background);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = cls.c_str();
    ::RegisterClassW(&wc);
    RECT r{0, 0, width, height};
    ::AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
    HWND h = ::CreateWindowExW(0, cls.c_str(), L"host", WS_POPUP | WS_VISIBLE, 100, 100, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    ::UpdateWindow(h);
    return h;
}

}  // namespace guitest
