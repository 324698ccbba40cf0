// The window framework under Wine: modal runs, message and command dispatch, subclassing,
// the key hook and the application object. Uses Setup's own templates as plain dialogs.
#include "framework/app.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "support/gui_testing.h"
#include "wizard_res/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

class Probe : public CDialogEx {
public:
    explicit Probe(UINT id = IDD_ISCLOSE, HWND parent = nullptr) : CDialogEx(id, parent) {}
    std::function<BOOL(Probe&)> init;
    std::function<BOOL(MSG&)> pre;
    using CDialogEx::EndDialog;

protected:
    BOOL OnInitDialog() override { return init ? init(*this) : TRUE; }
    BOOL PreTranslateMessage(MSG& msg) override { return pre ? pre(msg) : FALSE; }
};

INT_PTR Drive(Probe& dlg, const std::function<void(HWND)>& act, bool* timedOut = nullptr) {
    return guitest::RunDriven([&] { return dlg.DoModal(); }, [&] { return dlg.GetSafeHwnd(); }, act, 8000, timedOut);
}

TEST(FrameworkTest, EndDialogDuringInitialisationNeverShowsTheWindow) {
    Probe dlg;
    bool shown = false;
    dlg.OnMessage(WM_SHOWWINDOW, [&](WPARAM wp, LPARAM) {
        if (wp) shown = true;
        return dlg.Default();
    });
    dlg.init = [](Probe& d) {
        d.EndDialog(5);
        return TRUE;
    };
    EXPECT_EQ(dlg.DoModal(), 5);
    EXPECT_FALSE(shown);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST(FrameworkTest, MissingTemplateFailsTheRun) {
    Probe dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST(FrameworkTest, DialogKeysAndClose) {
    struct Case {
        UINT vk;  // 0: WM_CLOSE
        INT_PTR expected;
    };
    for (const Case& c : {Case{VK_RETURN, IDOK}, Case{VK_ESCAPE, IDCANCEL}, Case{0, IDCANCEL}}) {
        Probe dlg;  // the yes button has the focus: it is owner-drawn, not a default button
        bool timedOut = false;
        const INT_PTR r = Drive(dlg, [&](HWND h) {
            if (c.vk)
                guitest::PostKey(h, c.vk);
            else
                ::PostMessageW(h, WM_CLOSE, 0, 0);
        }, &timedOut);
        EXPECT_FALSE(timedOut);
        EXPECT_EQ(r, c.expected) << c.vk;
    }
}

TEST(FrameworkTest, PreTranslateMessageSeesKeysBeforeTheDialog) {
    Probe dlg;
    int swallowed = 0;
    bool stillOpen = false;
    dlg.pre = [&](MSG& m) {
        if (m.message == WM_KEYDOWN && (m.wParam == VK_RETURN || m.wParam == VK_ESCAPE)) {
            ++swallowed;
            return TRUE;
        }
        return FALSE;
    };
    // Posted after the keys: it is handled only if they did not end the dialog.
    dlg.OnMessage(WM_USER + 7, [&](WPARAM, LPARAM) {
        stillOpen = true;
        dlg.EndDialog(9);
        return LRESULT(0);
    });
    EXPECT_EQ(Drive(dlg, [&](HWND h) {
                  guitest::PostKey(h, VK_RETURN);
                  guitest::PostKey(h, VK_ESCAPE);
                  ::PostMessageW(h, WM_USER + 7, 0, 0);
              }),
              9);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(swallowed, 2);
}

TEST(FrameworkTest, OneHandlerPerMessageAndCommand) {
    Probe dlg;
    int clicks = 0, timers = 0;
    dlg.OnMessage(WM_USER + 101, [](WPARAM, LPARAM lp) { return LRESULT(lp + 1); });
    dlg.OnMessage(WM_USER + 102, [](WPARAM, LPARAM) { return LRESULT(1); });
    dlg.OnMessage(WM_USER + 102, [](WPARAM, LPARAM) { return LRESULT(2); });  // replaces
    dlg.OnMessage(WM_GETTEXTLENGTH, [&](WPARAM, LPARAM) { return dlg.Default() + 100; });
    dlg.OnMessage(WM_TIMER, [&](WPARAM id, LPARAM) {
        if (id == 129 && ++timers == 3) {
            dlg.KillTimer(129);
            dlg.EndDialog(timers);
        }
        return LRESULT(0);
    });
    dlg.OnCommand(IDC_YES_BTN, [&] { ++clicks; });
    LRESULT sent = 0, replaced = 0, length = 0;
    const INT_PTR r = Drive(dlg, [&](HWND h) {
        sent = ::SendMessageW(h, WM_USER + 101, 0, 41);
        replaced = ::SendMessageW(h, WM_USER + 102, 0, 0);
        ::SetWindowTextW(h, L"abc");
        length = ::SendMessageW(h, WM_GETTEXTLENGTH, 0, 0);
        HWND yes = ::GetDlgItem(h, IDC_YES_BTN);
        ::PostMessageW(yes, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        ::PostMessageW(yes, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        dlg.SetTimer(129, 20);
    });
    EXPECT_EQ(r, 3);
    EXPECT_EQ(sent, 42);
    EXPECT_EQ(replaced, 2);
    EXPECT_EQ(length, 103);
    EXPECT_EQ(clicks, 1);
}

TEST(FrameworkTest, NestedModalRunsDisableTheOwnerAndComeBack) {
    Probe outer;
    INT_PTR innerResult = 0;
    bool outerDisabled = false, outerVisibleDuringInner = true;
    outer.init = [&](Probe& self) {
        Probe inner(IDD_MESERROR, self.GetSafeHwnd());
        innerResult = Drive(inner, [&](HWND h) {
            outerDisabled = !::IsWindowEnabled(self.GetSafeHwnd());
            outerVisibleDuringInner = ::IsWindowVisible(self.GetSafeHwnd()) != FALSE;
            ::PostMessageW(h, WM_COMMAND, IDOK, 0);
        });
        return TRUE;
    };
    EXPECT_EQ(Drive(outer, [](HWND h) { guitest::PostKey(h, VK_ESCAPE); }), IDCANCEL);
    EXPECT_EQ(innerResult, IDOK);
    EXPECT_TRUE(outerDisabled);
    EXPECT_FALSE(outerVisibleDuringInner) << "the outer dialog shows only after its initialisation";
}

TEST(FrameworkTest, QuitMessageEndsTheRunAndStaysForTheOuterLoop) {
    Probe dlg;
    EXPECT_EQ(Drive(dlg, [](HWND) { ::PostQuitMessage(3); }), IDCANCEL);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(FrameworkTest, ControlsBindOnceAndUnbindWithTheirWindow) {
    Probe dlg(IDD_SETUP_DIALOG);
    CListBox models;
    CButton next;
    std::wstring second;
    int sel = -2, count = 0;
    dlg.init = [&](Probe& self) {
        EXPECT_TRUE(models.SubclassDlgItem(IDC_MODEL_LIST, self));
        EXPECT_TRUE(next.SubclassDlgItem(IDC_NEXT, self));
        EXPECT_FALSE(CWnd().SubclassDlgItem(IDC_NEXT, self)) << "one object per window";
        EXPECT_EQ(CWnd::FromHandle(self.GetDlgItem(IDC_NEXT)), &next);
        models.AddString(L"Halvorin A");
        models.AddString(L"Halvorin C");
        models.InsertString(1, L"Halvorin B");
        models.SetCurSel(1);
        second = models.GetText(models.GetCurSel());
        sel = models.GetCurSel();
        count = models.GetCount();
        EXPECT_EQ(models.GetText(7), L"");
        return TRUE;
    };
    EXPECT_EQ(Drive(dlg, [](HWND h) { ::PostMessageW(h, WM_CLOSE, 0, 0); }), IDCANCEL);
    EXPECT_EQ(second, L"Halvorin B");
    EXPECT_EQ(sel, 1);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(models.GetSafeHwnd(), nullptr);
    EXPECT_EQ(next.GetSafeHwnd(), nullptr);
    // The same objects bind again on the next run.
    EXPECT_EQ(Drive(dlg, [](HWND h) { ::PostMessageW(h, WM_CLOSE, 0, 0); }), IDCANCEL);
}

TEST(FrameworkTest, ResourceStringsAndFonts) {
    EXPECT_EQ(LoadResString(IDS_ABOUTBOX), L"关于 Setup(&A)...");
    EXPECT_EQ(LoadResString(9999), L"");
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(100, L"方正兰亭黑_GBK"));
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof lf, &lf);
    HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -::MulDiv(100, ::GetDeviceCaps(screen, LOGPIXELSY), 720));
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
}

class TestApp : public CWinApp {
public:
    BOOL start = FALSE;
    bool exited = false;

protected:
    BOOL InitInstance() override {
        if (start) ::PostQuitMessage(9);
        return start;
    }
    int ExitInstance() override {
        exited = true;
        return CWinApp::ExitInstance();
    }
};

TEST(FrameworkTest, ApplicationRunsInitThenExit) {
    {
        TestApp app;
        EXPECT_EQ(CWinApp::Current(), &app);
        EXPECT_EQ(app.Run(::GetModuleHandleW(nullptr)), 0);
        EXPECT_TRUE(app.exited);
    }
    TestApp looping;
    looping.start = TRUE;
    EXPECT_EQ(looping.Run(::GetModuleHandleW(nullptr)), 9);
    EXPECT_EQ(looping.Instance(), ::GetModuleHandleW(nullptr));
}

}  // namespace
}  // namespace fw
