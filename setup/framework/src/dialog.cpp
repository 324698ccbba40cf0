#include "framework/dialog.h"

namespace fw {

CDialogEx::CDialogEx(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {
    OnCommand(IDOK, [this] { OnOK(); });
    OnCommand(IDCANCEL, [this] { OnCancel(); });
}

CDialogEx::~CDialogEx() {
    if (HWND hwnd = GetSafeHwnd()) ::DestroyWindow(hwnd);
}

INT_PTR CALLBACK CDialogEx::InitProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    if (msg != WM_INITDIALOG) return FALSE;
    // From here on the window's own procedure is ours (CWnd); the system dialog procedure stays
    // underneath as the one Default() calls, and this procedure answers FALSE to all else.
    auto* self = reinterpret_cast<CDialogEx*>(lp);
    if (!self->SubclassWindow(hwnd)) return FALSE;
    return self->OnInitDialog();
}

BOOL CDialogEx::PreTranslateMessage(MSG&) { return FALSE; }

bool CDialogEx::ClickFocusedButton() {
    HWND focus = ::GetFocus();
    if (!focus || ::GetParent(focus) != GetSafeHwnd()) return false;
    wchar_t cls[16] = {};
    ::GetClassNameW(focus, cls, 16);
    if (::lstrcmpiW(cls, L"Button") != 0 || !::IsWindowVisible(focus) || !::IsWindowEnabled(focus)) return false;
    const int id = ::GetDlgCtrlID(focus);
    SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
    return true;
}

void CDialogEx::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    if (HWND hwnd = GetSafeHwnd()) ::PostMessageW(hwnd, WM_NULL, 0, 0);  // wakes the loop
}

INT_PTR CDialogEx::DoModal() {
    ended_ = false;
    result_ = -1;
    HWND owner = parent_ && ::IsWindow(parent_) ? parent_ : nullptr;
    HWND hwnd = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(templateId_), owner,
                                     &CDialogEx::InitProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd || GetSafeHwnd() != hwnd) {
        if (hwnd) ::DestroyWindow(hwnd);
        return -1;
    }
    const bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
    if (!ended_) {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
        ::UpdateWindow(hwnd);
    }
    MSG msg;
    while (!ended_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT ends the run; the outer loop must see it too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            if (!ended_) result_ = IDCANCEL;
            break;
        }
        if (got == -1) break;
        if (PreTranslateMessage(msg)) continue;
        if (::IsDialogMessageW(hwnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    // Give the activation back to the owner before the window goes.
    if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
    if (::IsWindow(hwnd)) {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        if (owner && ::GetActiveWindow() == hwnd) ::SetActiveWindow(owner);
        ::DestroyWindow(hwnd);
    }
    return result_;
}

}  // namespace fw
