// Our small window framework in place of MFC: CWnd, the thin wrapper every window class
// derives from. Holds: ResourceModule, CWnd, CFont, text helpers.
//
// A CWnd is bound to an existing window by subclassing (SubclassWindow, SubclassDlgItem); its
// messages then go through WindowProc, which calls the one handler registered for the message
// (OnMessage) or command (OnCommand), reflects WM_DRAWITEM to the bound child that asked for it,
// and passes everything else to the window's previous procedure (Default).
// Windows builds only.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace fw {

// The module whose resources the skin's classes load (the program itself unless set).
HINSTANCE ResourceModule();
void SetResourceModule(HINSTANCE module);

// UTF-16 in both: the engine's texts and the Win32 wide strings.
inline std::wstring ToWide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string ToU16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// The screen's scale: its dots per inch (96 at 100 %), read once. The skin's layout is given in
// pixels at 96 dots per inch; Px gives a length of it at the screen's scale.
int ScreenDpi();
inline int Px(int length) { return ::MulDiv(length, ScreenDpi(), 96); }

// A resource string of ResourceModule(), empty when missing.
std::wstring LoadResString(UINT id);

class CWnd {
public:
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void()>;

    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // The object bound to a window, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Binds this object to a window made elsewhere (a template's control, a dialog).
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, const CWnd& parent);
    HWND UnsubclassWindow();

    // One handler per message; registering again replaces it. Handlers may call Default().
    void OnMessage(UINT msg, MessageHandler handler);
    // One handler per command id and notification code (BN_CLICKED = STN_CLICKED = menu = 0).
    void OnCommand(UINT id, CommandHandler handler, UINT code = BN_CLICKED);

    // Hands the message now being handled to the window's previous procedure.
    LRESULT Default();

    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;

    HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd_, id); }
    HWND GetParent() const { return ::GetParent(hwnd_); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add);
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) const;
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const;
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(hwnd_, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(hwnd_); }
    void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(hwnd_, nullptr, erase); }
    void UpdateWindow() const { ::UpdateWindow(hwnd_); }
    // Redraw now: invalidate, erase and update.
    void RedrawNow() const;
    void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(hwnd_, text.c_str()); }
    std::wstring GetWindowText() const;
    void SetFont(HFONT font, BOOL redraw = TRUE) const;
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const { return ::SetTimer(hwnd_, id, elapseMs, nullptr); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(hwnd_, id); }
    // Centres over `over`, or over the work area of the screen when null.
    void CenterWindow(HWND over = nullptr) const;

protected:
    // Every message of the bound window comes here; override to take over a whole range of
    // messages (the progress bar does), or use OnMessage for single ones.
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // An owner-drawn child's draw request, reflected from the parent.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);
    virtual bool WantsDrawItem() const { return false; }
    // Right after this object has been bound to its window.
    virtual void OnSubclassed() {}
    // After the window is gone (WM_NCDESTROY); the object is unbound by then.
    virtual void OnDetached() {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    struct Current {
        UINT msg = 0;
        WPARAM wp = 0;
        LPARAM lp = 0;
        bool active = false;
    };

    HWND hwnd_ = nullptr;
    WNDPROC prevProc_ = nullptr;
    Current current_;
    std::unordered_map<UINT, MessageHandler> handlers_;
    std::map<std::pair<UINT, UINT>, CommandHandler> commands_;
};

// A font handle that deletes itself.
class CFont {
public:
    CFont() = default;
    ~CFont() { Reset(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // CreateFontW with the parameters the skin uses.
    bool CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                    BYTE quality, BYTE pitchAndFamily, const wchar_t* face);
    // A font of `tenthsOfPoint` / 10 points on the screen. The character set is the default one so
    // that a missing face falls back to one with the Chinese glyphs.
    bool CreatePointFont(int tenthsOfPoint, const wchar_t* face);
    bool CreateFontIndirect(const LOGFONTW& lf);

    HFONT Get() const { return font_; }
    operator HFONT() const { return font_; }
    void Reset();

private:
    HFONT font_ = nullptr;
};

}  // namespace fw
