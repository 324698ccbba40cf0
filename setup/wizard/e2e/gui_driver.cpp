#include "gui_driver.h"

#include <tlhelp32.h>

#include <objidl.h>  // GDI+ needs it, and WIN32_LEAN_AND_MEAN leaves it out
#include <gdiplus.h>

#include <cstdlib>
#include <filesystem>

namespace e2e {

std::wstring WinePath(std::wstring hostPath) {
    for (auto& c : hostPath)
        if (c == L'/') c = L'\\';
    return L"Z:" + hostPath;
}

Process::Process(const std::wstring& exe, std::wstring commandLine, const std::wstring& folder) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(exe.c_str(), commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &pi_)) {
        error_ = GetLastError();
        pi_ = {};
    }
}

Process::~Process() {
    if (!started()) return;
    if (!Ended(0)) TerminateProcess(pi_.hProcess, 1);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
}

namespace {
struct EnumContext {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND w, LPARAM l) {   // stdcall on 32-bit: no lambda here
    auto* c = reinterpret_cast<EnumContext*>(l);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (IsWindowVisible(w) && (c->pid == 0 || owner == c->pid)) c->found.push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
    EnumContext ctx{pid, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

std::wstring WindowTitle(HWND window) {
    wchar_t buf[512] = {};
    GetWindowTextW(window, buf, 512);
    return buf;
}

DWORD ChildProcess(DWORD parent, const std::wstring& exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, exeName.c_str()) == 0)
            found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

HWND FindTopWindow(DWORD pid, const std::wstring& title, int childId) {
    for (HWND w : TopWindows(pid)) {
        if (!title.empty() && WindowTitle(w) == title) return w;
        if (title.empty() && childId && GetDlgItem(w, childId)) return w;
    }
    return nullptr;
}

std::wstring ControlText(HWND dialog, int id) {
    wchar_t buf[1024] = {};
    GetDlgItemTextW(dialog, id, buf, 1024);
    return buf;
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(HWND target, UINT vk, bool alt) {
    LPARAM l = 1 | (alt ? (1 << 29) : 0);
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, l);
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, l | (1u << 30) | (1u << 31));
}

std::vector<std::wstring> ListItems(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        LRESULT len = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        std::wstring text(static_cast<size_t>(len > 0 ? len : 0) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(len > 0 ? len : 0));
        items.push_back(text);
    }
    return items;
}

int ListSelection(HWND dialog, int id) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), LB_GETCURSEL, 0, 0));
}

namespace {
void SendMouse(DWORD flags, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    SendInput(1, &in, sizeof in);
}

void PointAt(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Sleep(50);
}
}  // namespace

void MouseClick(HWND window, bool doubleClick) {
    PointAt(window);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    if (doubleClick) {
        Sleep(150);   // a person's pace: the first click has been handled by now
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        SendMouse(MOUSEEVENTF_LEFTUP);
    }
    Sleep(100);
    // Out of the way of windows that open in the middle of the screen later.
    SetCursorPos(0, 0);
}

void MouseWheel(HWND window, int notches) {
    PointAt(window);
    for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
        SendMouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches < 0 ? -WHEEL_DELTA : WHEEL_DELTA));
        Sleep(10);
    }
    Sleep(100);
    SetCursorPos(0, 0);
}

void PressKey(UINT vk, bool alt) {
    auto key = [](WORD k, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(k, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &in, sizeof in);
    };
    if (alt) key(VK_MENU, false);
    key(static_cast<WORD>(vk), false);
    key(static_cast<WORD>(vk), true);
    if (alt) key(VK_MENU, true);
    Sleep(50);
}

bool BringToFront(HWND window) {
    SetForegroundWindow(window);
    return WaitUntil([&] { return GetForegroundWindow() == window; }, 3000);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

ScreenScale::ScreenScale(DWORD dpi) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD size = sizeof old_, type = 0;
    had_ = RegQueryValueExW(key, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS;
    RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    RegCloseKey(key);
}

ScreenScale::~ScreenScale() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (had_) RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
    else RegDeleteValueW(key, L"LogPixels");
    RegCloseKey(key);
}

bool SaveWindowPicture(HWND window, const std::wstring& pngPath) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    return SaveScreenPicture(r, pngPath);
}

bool SaveScreenPicture(const RECT& r, const std::wstring& pngPath) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    // The screen's pixels, as a person would see them (the window is on top in the tests).
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);

    static ULONG_PTR token = [] {
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
    bool ok = false;
    {
        Gdiplus::Bitmap picture(bmp, nullptr);
        const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ok = picture.Save(pngPath.c_str(), &pngEncoder, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

std::vector<DWORD> ScreenPixels(const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return {};
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> out;
    if (dib) {
        HDC mem = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const DWORD*>(bits);
        for (int i = 0; i < w * h; ++i) out.push_back(p[i] & 0xFFFFFF);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(dib);
    }
    ReleaseDC(nullptr, screen);
    return out;
}

int ScreenInk(const RECT& area, DWORD background) {
    int n = 0;
    for (DWORD p : ScreenPixels(area)) n += p != background;
    return n;
}

std::wstring OutputPath(const std::wstring& name) {
    const wchar_t* base = _wgetenv(L"LP_TEST_OUTPUT");
    std::wstring folder = base && *base ? base : L".";
    if (folder[0] == L'/') folder = L"Z:" + folder;   // a host path: Wine's Z: drive is the host root
    for (auto& c : folder)
        if (c == L'/') c = L'\\';
    std::filesystem::path dir(folder);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return (dir / (name + L".png")).wstring();
}

}  // namespace e2e
