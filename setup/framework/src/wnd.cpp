#include "framework/wnd.h"

namespace fw {

namespace {

const wchar_t kBindingProp[] = L"fw.CWnd";
HINSTANCE g_resourceModule = nullptr;

}  // namespace

HINSTANCE ResourceModule() {
    return g_resourceModule ? g_resourceModule : ::GetModuleHandleW(nullptr);
}

void SetResourceModule(HINSTANCE module) { g_resourceModule = module; }

std::wstring LoadResString(UINT id) {
    const wchar_t* text = nullptr;
    // Length 0 asks for a read-only pointer into the resource itself.
    const int n = ::LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

CWnd::~CWnd() {
    if (hwnd_) UnsubclassWindow();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kBindingProp)) : nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || hwnd_ || FromHandle(hwnd)) return false;
    if (!::SetPropW(hwnd, kBindingProp, this)) return false;
    hwnd_ = hwnd;
    prevProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)));
    OnSubclassed();
    return true;
}

bool CWnd::SubclassDlgItem(int id, const CWnd& parent) {
    return SubclassWindow(::GetDlgItem(parent.GetSafeHwnd(), id));
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = hwnd_;
    if (!hwnd) return nullptr;
    if (::IsWindow(hwnd)) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevProc_));
        ::RemovePropW(hwnd, kBindingProp);
    }
    hwnd_ = nullptr;
    prevProc_ = nullptr;
    return hwnd;
}

void CWnd::OnMessage(UINT msg, MessageHandler handler) { handlers_[msg] = std::move(handler); }

void CWnd::OnCommand(UINT id, CommandHandler handler, UINT code) {
    commands_[{id, code}] = std::move(handler);
}

LRESULT CWnd::Default() {
    if (!current_.active || !prevProc_) return 0;
    return ::CallWindowProcW(prevProc_, hwnd_, current_.msg, current_.wp, current_.lp);
}

LRESULT CWnd::SendMessage(UINT msg, WPARAM wp, LPARAM lp) const {
    return ::SendMessageW(hwnd_, msg, wp, lp);
}

BOOL CWnd::PostMessage(UINT msg, WPARAM wp, LPARAM lp) const {
    return ::PostMessageW(hwnd_, msg, wp, lp);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
    const DWORD style = GetStyle();
    const DWORD next = (style & ~remove) | add;
    if (next == style) return FALSE;
    ::SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(next));
    return TRUE;
}

RECT CWnd::GetClientRect() const {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    return r;
}

RECT CWnd::GetWindowRect() const {
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    return r;
}

BOOL CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) const {
    return ::MoveWindow(hwnd_, x, y, width, height, repaint);
}

BOOL CWnd::SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
    return ::SetWindowPos(hwnd_, after, x, y, cx, cy, flags);
}

void CWnd::RedrawNow() const {
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

std::wstring CWnd::GetWindowText() const {
    const int n = ::GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void CWnd::SetFont(HFONT font, BOOL redraw) const {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

void CWnd::CenterWindow(HWND over) const {
    RECT area{};
    if (over) {
        ::GetWindowRect(over, &area);
    } else {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = mi.rcWork;
    }
    const RECT me = GetWindowRect();
    const int w = me.right - me.left, h = me.bottom - me.top;
    const int x = area.left + (area.right - area.left - w) / 2;
    const int y = area.top + (area.bottom - area.top - h) / 2;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::DrawItem(const DRAWITEMSTRUCT&) {}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) { return Dispatch(msg, wp, lp); }

LRESULT CWnd::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        auto it = commands_.find({LOWORD(wp), HIWORD(wp)});
        if (it != commands_.end()) {
            CommandHandler handler = it->second;  // a handler may replace itself
            handler();
            return 0;
        }
    }
    if (auto it = handlers_.find(msg); it != handlers_.end()) {
        MessageHandler handler = it->second;
        return handler(wp, lp);
    }
    if (msg == WM_DRAWITEM && lp) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (CWnd* child = FromHandle(item->hwndItem); child && child != this && child->WantsDrawItem()) {
            child->DrawItem(*item);
            return TRUE;
        }
    }
    return Default();
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CWnd* self = FromHandle(hwnd);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    // Messages nest (a handler sends another); Default() must see the one it belongs to.
    const Current saved = self->current_;
    self->current_ = {msg, wp, lp, true};
    LRESULT result;
    if (msg == WM_NCDESTROY) {
        result = self->Default();
        ::RemovePropW(hwnd, kBindingProp);
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->prevProc_));
        self->hwnd_ = nullptr;
        self->prevProc_ = nullptr;
        self->current_ = saved;
        self->OnDetached();
        return result;
    }
    result = self->WindowProc(msg, wp, lp);
    self->current_ = saved;
    return result;
}

bool CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision,
                       BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily, const wchar_t* face) {
    Reset();
    font_ = ::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                          charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face);
    return font_ != nullptr;
}

int ScreenDpi() {
    static const int dpi = [] {
        HDC screen = ::GetDC(nullptr);
        const int d = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ::ReleaseDC(nullptr, screen);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

bool CFont::CreatePointFont(int tenthsOfPoint, const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(tenthsOfPoint, ScreenDpi(), 720);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirect(lf);
}

bool CFont::CreateFontIndirect(const LOGFONTW& lf) {
    Reset();
    font_ = ::CreateFontIndirectW(&lf);
    return font_ != nullptr;
}

void CFont::Reset() {
    if (font_) ::DeleteObject(font_);
    font_ = nullptr;
}

}  // namespace fw
