// CDialogEx: a dialog made from a template of ResourceModule() and run modally on the calling
// thread by our own message loop.
//
//   class CMyDlg : public fw::CDialogEx {
//   public:
//       CMyDlg() : CDialogEx(IDD_MY) {
//           OnCommand(IDC_GO, [this] { EndDialog(7); });
//           OnMessage(WM_PAINT, [this](WPARAM, LPARAM) { ...; return LRESULT(0); });
//       }
//   protected:
//       BOOL OnInitDialog() override {
//           CDialogEx::OnInitDialog();
//           button.SubclassDlgItem(IDC_GO, *this);
//           return TRUE;
//       }
//   };
//   INT_PTR r = CMyDlg().DoModal();
//
// Keys: Enter ends with IDOK (1) and Escape with IDCANCEL (2) through OnOK/OnCancel, as the
// system's dialog keys send them; WM_CLOSE becomes IDCANCEL. PreTranslateMessage sees every
// message of the thread's loop before the dialog keys and the controls do.
#pragma once

#include "framework/wnd.h"

namespace fw {

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, HWND parent = nullptr);
    ~CDialogEx() override;

    // Makes the window, runs OnInitDialog, shows it and pumps this thread's messages until
    // EndDialog. Works on any thread, with or without a parent (a parent is disabled meanwhile).
    // Returns the EndDialog result, or -1 when the template could not be made into a window.
    INT_PTR DoModal();
    // Ends the modal run; the window is destroyed when DoModal returns.
    void EndDialog(INT_PTR result);

    void SetParentWindow(HWND parent) { parent_ = parent; }
    HWND GetParentWindow() const { return parent_; }
    UINT TemplateId() const { return templateId_; }

protected:
    // Returns TRUE to let the system put the focus on the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // True: the message is handled and not dispatched.
    virtual BOOL PreTranslateMessage(MSG& msg);
    virtual void OnOK() { EndDialog(IDOK); }
    // For OnOK: Enter presses the focused push button, as in the system's own dialogs, where
    // owner-drawn buttons are never the default. False when no button of ours has the focus.
    bool ClickFocusedButton();
    virtual void OnCancel() { EndDialog(IDCANCEL); }

private:
    static INT_PTR CALLBACK InitProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    UINT templateId_;
    HWND parent_;
    bool ended_ = false;
    INT_PTR result_ = -1;
};

}  // namespace fw
