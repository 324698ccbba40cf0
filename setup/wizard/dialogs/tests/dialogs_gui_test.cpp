// The secondary dialogs and the templates of Setup, as real windows under Wine: each run
// modally from the program's resources and driven from inside its own loop.
#include "controls/my_button.h"
#include "controls/picture_ctrl.h"
#include "controls/text_progress_ctrl.h"
#include "dialogs/about_dlg.h"
#include "dialogs/dlg_explain.h"
#include "dialogs/dlg_is_close.h"
#include "dialogs/dlg_mes_error.h"
#include "support/gui_testing.h"
#include "wizard_res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dialogs {
namespace {

using guitest::Image;
using guitest::Rgb;

constexpr std::uint32_t kWhite = Rgb(255, 255, 255);
constexpr std::uint32_t kFrame = Rgb(0, 65, 128);

// How a test ends a dialog.
enum class Way { Enter, Escape, Close, Click };
const char* Name(Way w) {
    switch (w) {
    case Way::Enter: return "Enter";
    case Way::Escape: return "Escape";
    case Way::Close: return "WM_CLOSE";
    case Way::Click: return "click";
    }
    return "?";
}

// A real click: button down and up on the control, as the mouse would post them.
void ClickControl(HWND control) {
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

void End(HWND dialog, Way way, int clickId) {
    switch (way) {
    case Way::Enter: guitest::PostKey(dialog, VK_RETURN); break;
    case Way::Escape: guitest::PostKey(dialog, VK_ESCAPE); break;
    case Way::Close: ::PostMessageW(dialog, WM_CLOSE, 0, 0); break;
    case Way::Click: ClickControl(::GetDlgItem(dialog, clickId)); break;
    }
}

// Runs `dlg` modally; once it shows, `look` sees it and then it is ended the given way.
INT_PTR RunAndEnd(fw::CDialogEx& dlg, Way way, int clickId, const std::function<void(HWND)>& look = {}) {
    bool timedOut = false;
    const INT_PTR r = guitest::RunDriven([&] { return dlg.DoModal(); }, [&] { return dlg.GetSafeHwnd(); },
                                         [&](HWND h) {
                                             if (look) look(h);
                                             End(h, way, clickId);
                                         },
                                         10000, &timedOut);
    EXPECT_FALSE(timedOut) << "the dialog did not end by " << Name(way);
    return r;
}

RECT ChildRect(HWND dialog, int id) {
    RECT r{};
    HWND child = ::GetDlgItem(dialog, id);
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE OuterSize(HWND h) {
    RECT r{};
    ::GetWindowRect(h, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// The two-pixel blue frame along the inside of the client area, on all four sides.
void ExpectFrame(const Image& img) {
    const int w = img.width, h = img.height, mx = w / 2, my = h / 2;
    for (int d = 0; d < 2; ++d) {
        EXPECT_EQ(img.At(d, my), kFrame) << "left " << d;
        EXPECT_EQ(img.At(w - 1 - d, my), kFrame) << "right " << d;
        EXPECT_EQ(img.At(mx, d), kFrame) << "top " << d;
        EXPECT_EQ(img.At(mx, h - 1 - d), kFrame) << "bottom " << d;
    }
    EXPECT_EQ(img.At(2, my), kWhite);
    EXPECT_EQ(img.At(w - 3, my), kWhite);
}

// Non-white pixels in a rectangle: something is written or drawn there.
int Ink(const Image& img, int l, int t, int r, int b) { return img.CountOther(kWhite, l, t, r, b); }

class DialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    // The dialogs open in the middle of the screen: a pointer left there by another program
    // would give their buttons the hover face.
    void SetUp() override { ::SetCursorPos(0, 0); }
};

// ---- CDlgIsClose -------------------------------------------------------------------------------

TEST_F(DialogsTest, QuitConfirmationResultsAndLook) {
    CDlgIsClose dlg;  // one object, a new window per run, as the wizard keeps it
    Image shot;
    const INT_PTR first = RunAndEnd(dlg, Way::Enter, 0, [&](HWND h) {
        EXPECT_EQ(OuterSize(h).cx, 160);
        EXPECT_EQ(OuterSize(h).cy, 105);
        const RECT yes = ChildRect(h, IDC_YES_BTN), no = ChildRect(h, IDC_NO_BTN), q = ChildRect(h, IDC_QUESTION_PIC);
        EXPECT_EQ(yes.left, 38);
        EXPECT_EQ(yes.top, 60);
        EXPECT_EQ(yes.right - yes.left, 27);
        EXPECT_EQ(no.left, 87);
        EXPECT_EQ(q.left, 23);
        EXPECT_EQ(q.top, 25);
        EXPECT_EQ(q.right - q.left, 119);
        EXPECT_EQ(dlg.yesButton.bitmapId, static_cast<UINT>(IDB_YES));
        EXPECT_EQ(dlg.noButton.bitmapId, static_cast<UINT>(IDB_NO));
        const Image client = guitest::CaptureClient(h);
        ExpectFrame(client);
        EXPECT_GT(Ink(client, 40, 62, 63, 85), 50) << "yes face";
        EXPECT_GT(Ink(client, 89, 62, 112, 85), 50) << "no face";
        EXPECT_GT(Ink(client, 25, 27, 140, 52), 50) << "question picture";
        shot = guitest::CaptureWindow(h);
    });
    EXPECT_EQ(first, 1);
    guitest::SavePng(shot, L"dialogs/quit_confirmation");

    struct Case {
        Way way;
        int clickId;
        INT_PTR expected;
    };
    const Case cases[] = {{Way::Escape, 0, 2}, {Way::Close, 0, 2}, {Way::Click, IDC_YES_BTN, 1},
                          {Way::Click, IDC_NO_BTN, 2}, {Way::Enter, 0, 1}};
    for (const Case& c : cases) EXPECT_EQ(RunAndEnd(dlg, c.way, c.clickId), c.expected) << Name(c.way) << c.clickId;
}

TEST_F(DialogsTest, QuitConfirmationCentresOverItsOwner) {
    HWND owner = guitest::MakeHostWindow(500, 360, RGB(230, 230, 230));
    ::SetWindowPos(owner, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CDlgIsClose dlg(owner);
    RECT o{}, d{};
    bool ownerDisabled = false;
    EXPECT_EQ(RunAndEnd(dlg, Way::Escape, 0, [&](HWND h) {
                  ::GetWindowRect(owner, &o);
                  ::GetWindowRect(h, &d);
                  ownerDisabled = !::IsWindowEnabled(owner);
              }),
              2);
    EXPECT_NEAR((d.left + d.right) / 2, (o.left + o.right) / 2, 1);
    EXPECT_NEAR((d.top + d.bottom) / 2, (o.top + o.bottom) / 2, 1);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

// ---- CDlgMesError and ShowErrorCode --------------------------------------------------------------

TEST_F(DialogsTest, ErrorDialogWithCodeTwo) {
    CDlgMesError dlg;
    dlg.errorText = u"2";
    Image shot;
    EXPECT_EQ(RunAndEnd(dlg, Way::Click, IDC_ERROR_OK,
                        [&](HWND h) {
                            EXPECT_EQ(OuterSize(h).cx, 407);
                            EXPECT_EQ(OuterSize(h).cy, 299);
                            const RECT ok = ChildRect(h, IDC_ERROR_OK), pic = ChildRect(h, IDC_ERROR_PIC);
                            EXPECT_EQ(ok.left, 150);
                            EXPECT_EQ(ok.top, 205);
                            EXPECT_EQ(ok.right - ok.left, 107);
                            EXPECT_EQ(ok.bottom - ok.top, 36);
                            EXPECT_EQ(pic.left, 80);
                            EXPECT_EQ(pic.top, 53);
                            EXPECT_EQ(dlg.okButton.bitmapId, static_cast<UINT>(IDB_CONFIRM));
                            const Image c = guitest::CaptureClient(h);
                            ExpectFrame(c);
                            EXPECT_GT(Ink(c, 50, 118, 160, 132), 30) << "错误代码：2";
                            EXPECT_EQ(Ink(c, 105, 139, 140, 148), 0) << "no second code line";
                            EXPECT_GT(Ink(c, 50, 149, 300, 162), 30) << "first advice line at 149";
                            EXPECT_GT(Ink(c, 50, 169, 330, 182), 30) << "second advice line at 169";
                            EXPECT_GT(Ink(c, 82, 55, 229, 96), 100) << "caption picture";
                            shot = guitest::CaptureWindow(h);
                        }),
              1);
    guitest::SavePng(shot, L"dialogs/error_code_2");
    EXPECT_EQ(RunAndEnd(dlg, Way::Enter, 0), 1);
    EXPECT_EQ(RunAndEnd(dlg, Way::Escape, 0), 2);
}

TEST_F(DialogsTest, ErrorDialogWithATwentyTwoCharacterCode) {
    CDlgMesError dlg;
    dlg.errorText = u"ERR-0123456789-ABCDEFW";  // 22 characters: the W goes alone on a second line
    ASSERT_EQ(dlg.errorText.size(), 22u);
    Image shot;
    RunAndEnd(dlg, Way::Enter, 0, [&](HWND h) {
        const RECT ok = ChildRect(h, IDC_ERROR_OK);
        EXPECT_EQ(ok.left, 150);
        EXPECT_EQ(ok.top, 220);
        const Image c = guitest::CaptureClient(h);
        EXPECT_GT(Ink(c, 108, 139, 125, 152), 5) << "22nd character at (110, 139)";
        EXPECT_EQ(Ink(c, 125, 139, 300, 152), 0);
        EXPECT_GT(Ink(c, 50, 170, 300, 183), 30) << "advice moved down by 21";
        EXPECT_GT(Ink(c, 50, 190, 330, 203), 30);
        shot = guitest::CaptureWindow(h);
    });
    guitest::SavePng(shot, L"dialogs/error_code_22_characters");
}

BOOL CALLBACK FindErrorDialog(HWND h, LPARAM found) {
    if (::IsWindowVisible(h) && ::GetDlgItem(h, IDC_ERROR_OK)) {
        *reinterpret_cast<HWND*>(found) = h;
        return FALSE;
    }
    return TRUE;
}

// The visible error dialog of a thread, or null.
HWND ThreadDialog(DWORD thread) {
    HWND found = nullptr;
    ::EnumThreadWindows(thread, &FindErrorDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs `show` on a second thread and ends its dialog with Enter; returns the dialog's picture.
Image ShowOnWorker(const std::function<void()>& show, HWND* seen = nullptr) {
    std::atomic<DWORD> tid{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        tid = ::GetCurrentThreadId();
        show();
        done = true;
    });
    HWND dlg = nullptr;
    const bool shown = guitest::WaitFor([&] { return tid && (dlg = ThreadDialog(tid)) != nullptr; }, 10000);
    EXPECT_TRUE(shown);
    Image shot;
    if (shown) {
        DWORD owner = ::GetWindowThreadProcessId(dlg, nullptr);
        EXPECT_EQ(owner, tid.load()) << "the dialog belongs to the calling thread";
        EXPECT_EQ(::GetWindow(dlg, GW_OWNER), nullptr) << "no parent";
        guitest::Pump(50);
        shot = guitest::CaptureWindow(dlg);
        if (seen) *seen = dlg;
        guitest::PostKey(dlg, VK_RETURN);
    }
    // Bounded: close it again and again if the key did not end it.
    if (!guitest::WaitFor([&] { return done.load(); }, 5000)) {
        ADD_FAILURE() << "ShowErrorCode did not return after Enter";
        while (!done) {
            if (HWND h = ThreadDialog(tid)) ::PostMessageW(h, WM_CLOSE, 0, 0);
            guitest::Pump(100);
        }
    }
    worker.join();
    return shot;
}

TEST_F(DialogsTest, ShowErrorCodeRunsModallyOnTheCallingWorkerThread) {
    const Image shot = ShowOnWorker([] { ShowErrorCode(u"3"); });
    ASSERT_FALSE(shot.Empty());
    EXPECT_GT(Ink(shot, 50, 118, 160, 132), 30);
    guitest::SavePng(shot, L"dialogs/error_code_3_from_worker");
}

TEST_F(DialogsTest, TheEngineReporterShowsTheDialog) {
    ErrorDialogReporter reporter;
    engine::IErrorReporter& engineSide = reporter;
    HWND seen = nullptr;
    ShowOnWorker([&] { engineSide.ShowErrorCode(u"6"); }, &seen);
    EXPECT_NE(seen, nullptr);
    EXPECT_FALSE(::IsWindow(seen)) << "the window is gone once ShowErrorCode returned";
}

// ---- CDlgExplain -------------------------------------------------------------------------------

std::wstring TempFile(const std::wstring& name) {
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

void WriteGbk(const std::wstring& path, const std::u16string& text) {
    const std::wstring wide = fw::ToWide(text);
    const int n = ::WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, nullptr, nullptr);
    FILE* f = ::_wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::u16string Chars(size_t n) {
    const std::u16string pattern = u"打印机驱动安装说明文字";
    std::u16string s;
    for (size_t i = 0; i < n; ++i) s += pattern[i % pattern.size()];
    return s;
}

TEST_F(DialogsTest, InstructionsReadAsGbkCutIntoLinesAndScrolled) {
    std::u16string text = Chars(30) + u"\r\n" + Chars(31) + u"\r\n" + Chars(60) + u"\r\n";
    for (int i = 1; i <= 40; ++i) text += u"第" + fw::ToU16(std::to_wstring(i)) + u"行\r\n";
    const std::wstring path = TempFile(L"说明测试.txt");
    WriteGbk(path, text);

    CDlgExplain dlg;
    dlg.textPath = path;
    RunAndEnd(dlg, Way::Enter, 0, [&](HWND h) {
        EXPECT_TRUE(dlg.textLoaded);
        ASSERT_EQ(dlg.lineCount, 45);
        EXPECT_EQ(dlg.lines[0], Chars(30));
        EXPECT_EQ(dlg.lines[1], Chars(30));
        EXPECT_EQ(dlg.lines[2], Chars(31).substr(30));
        EXPECT_EQ(dlg.lines[5], u"第1行");
        EXPECT_EQ(dlg.lines[44], u"第40行");
        EXPECT_EQ(OuterSize(h).cx, 480);
        EXPECT_EQ(OuterSize(h).cy, 480);
        RECT client{};
        ::GetClientRect(h, &client);
        const RECT close = ChildRect(h, IDC_EXPLAIN_CLOSE);
        EXPECT_EQ(close.left, client.right - 25);
        EXPECT_EQ(close.top, 5);
        EXPECT_EQ(close.right - close.left, 20);
        EXPECT_EQ(close.bottom - close.top, 17);

        struct Step {
            int delta, expected;
        };
        const Step steps[] = {{120, 0}, {-120, 1}, {-240, 1}, {60, 1}, {120, 0}};
        for (const Step& s : steps) {
            ::SendMessageW(h, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(s.delta))), 0);
            EXPECT_EQ(dlg.firstLine, s.expected) << s.delta;
        }
        // Scrolled to the end, the last line is the lowest one drawn, whole and inside the frame.
        EXPECT_GE(dlg.visibleLines, 17);
        EXPECT_LE(dlg.visibleLines, 19);
        for (int i = 0; i < 50; ++i) ::SendMessageW(h, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
        EXPECT_EQ(dlg.firstLine, 45 - dlg.visibleLines);
        const Image scrolled = guitest::CaptureClient(h);
        const int lastY = 44 + (dlg.visibleLines - 1) * 22;
        EXPECT_GT(Ink(scrolled, 48, lastY, 200, lastY + 16), 20) << "第40行 at the bottom";
        EXPECT_EQ(Ink(scrolled, 30, scrolled.height - 23, 450, scrolled.height - 3), 0) << "text below the inner frame";
        guitest::SavePng(scrolled, L"dialogs/instructions_scrolled_to_the_end");
        while (dlg.firstLine > 0) ::SendMessageW(h, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    });
    ::DeleteFileW(path.c_str());
}

// The sample instructions of the delivery folder (UTF-8 in the tree), delivered in GBK.
std::u16string SampleInstructions() {
    const wchar_t* src = _wgetenv(L"LP_SOURCE_DIR");
    std::u16string fallback = u"USB驱动安装说明\r\n\r\n一、安装前的准备\r\n1. 请用随机附带的USB数据线将打印机连接到电脑的USB接口。\r\n";
    if (!src) return fallback;
    std::wstring path = std::wstring(src) + L"/delivery/USB驱动安装说明.txt.in";
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    if (path[0] == L'\\') path = L"Z:" + path;
    FILE* f = ::_wfopen(path.c_str(), L"rb");
    if (!f) return fallback;
    std::string bytes;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    return fw::ToU16(wide);
}

TEST_F(DialogsTest, InstructionsDialogWithTheSampleText) {
    const std::wstring path = TempFile(L"USB驱动安装说明.txt");
    WriteGbk(path, SampleInstructions());
    CDlgExplain dlg;
    dlg.textPath = path;
    Image shot;
    // The red cross closes it, with 2.
    EXPECT_EQ(RunAndEnd(dlg, Way::Click, IDC_EXPLAIN_CLOSE,
                        [&](HWND h) {
                            EXPECT_GT(dlg.lineCount, 10);
                            EXPECT_EQ(dlg.lines[0], u"USB驱动安装说明");
                            const Image c = guitest::CaptureClient(h);
                            ExpectFrame(c);
                            // The inner frame: a two-pixel pen on x = 25 covers 24 and 25.
                            EXPECT_EQ(c.At(24, c.height / 2), kFrame);
                            EXPECT_EQ(c.At(25, c.height / 2), kFrame);
                            EXPECT_EQ(c.At(26, c.height / 2), kWhite);
                            EXPECT_GT(Ink(c, 48, 44, 250, 62), 50) << "first line at (48, 44)";
                            EXPECT_GT(Ink(c, c.width - 25, 5, c.width - 5, 22), 10) << "red cross";
                            shot = guitest::CaptureWindow(h);
                        }),
              2);
    guitest::SavePng(shot, L"dialogs/instructions");
    EXPECT_EQ(RunAndEnd(dlg, Way::Escape, 0), 2);
    ::DeleteFileW(path.c_str());
}

TEST_F(DialogsTest, InstructionsFileMissing) {
    CDlgExplain dlg;
    dlg.textPath = TempFile(L"没有这个文件.txt");
    Image client;
    EXPECT_EQ(RunAndEnd(dlg, Way::Escape, 0, [&](HWND h) { client = guitest::CaptureClient(h); }), 2);
    EXPECT_FALSE(dlg.textLoaded);
    EXPECT_EQ(dlg.lineCount, 0);
    ASSERT_FALSE(client.Empty());
    ExpectFrame(client);
    EXPECT_EQ(Ink(client, 30, 30, client.width - 30, client.height - 30), 0) << "no text";
}

TEST_F(DialogsTest, InstructionsPathIsBesideTheProgram) {
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring expected(exe);
    expected.erase(expected.find_last_of(L'\\') + 1);
    EXPECT_EQ(CDlgExplain::InstructionsPath(), expected + L"USB驱动安装说明.txt");
}

// ---- CAboutDlg ---------------------------------------------------------------------------------

TEST_F(DialogsTest, AboutBox) {
    CAboutDlg dlg;
    Image shot;
    EXPECT_EQ(RunAndEnd(dlg, Way::Click, IDOK,
                        [&](HWND h) {
                            wchar_t title[64] = {};
                            ::GetWindowTextW(h, title, 64);
                            EXPECT_STREQ(title, L"关于 Setup");
                            bool line = false, icon = false;
                            for (HWND c = ::GetWindow(h, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                                wchar_t text[64] = {};
                                ::GetWindowTextW(c, text, 64);
                                if (std::wstring(text) == L"Setup，1.0 版") line = true;
                                if (::SendMessageW(c, STM_GETICON, 0, 0)) icon = true;
                            }
                            EXPECT_TRUE(line);
                            EXPECT_TRUE(icon);
                            wchar_t ok[16] = {};
                            ::GetDlgItemTextW(h, IDOK, ok, 16);
                            EXPECT_STREQ(ok, L"确定");
                            shot = guitest::CaptureWindow(h);
                        }),
              1);
    guitest::SavePng(shot, L"dialogs/about");
    EXPECT_EQ(RunAndEnd(dlg, Way::Enter, 0), 1);
    EXPECT_EQ(RunAndEnd(dlg, Way::Escape, 0), 2);
}

// ---- Templates ---------------------------------------------------------------------------------

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(DialogsTest, TemplatesHoldTheirControls) {
    struct Control {
        int dialog, id;
        const wchar_t* cls;
        DWORD mustHave, mustNotHave;
    };
    const Control controls[] = {
        {IDD_SETUP_DIALOG, IDC_MESSAGE_PIC, L"Static", 0, WS_VISIBLE},
        {IDD_SETUP_DIALOG, IDC_CAPTION_PIC, L"Static", 0, 0},
        {IDD_SETUP_DIALOG, IDC_BACK, L"Button", BS_OWNERDRAW, WS_VISIBLE},
        {IDD_SETUP_DIALOG, IDC_NEXT, L"Button", BS_OWNERDRAW, 0},
        {IDD_SETUP_DIALOG, IDC_CANCEL_BTN, L"Button", BS_OWNERDRAW, 0},
        {IDD_SETUP_DIALOG, IDC_FINISH, L"Button", BS_OWNERDRAW, WS_VISIBLE},
        // The list boxes' scroll bar comes and goes with their content, and the dialog manager may
        // turn a border into a client edge: both are checked apart.
        {IDD_SETUP_DIALOG, IDC_MODEL_LIST, L"ListBox", LBS_NOTIFY, LBS_SORT | LBS_MULTIPLESEL},
        {IDD_SETUP_DIALOG, IDC_PORT_LIST, L"ListBox", LBS_SORT | LBS_NOTIFY, LBS_MULTIPLESEL | WS_VISIBLE},
        {IDD_SETUP_DIALOG, IDC_PROGRESS, L"msctls_progress32", 0, WS_VISIBLE},
        {IDD_SETUP_DIALOG, IDC_SLOGAN_PIC, L"Static", 0, 0},
        {IDD_SETUP_DIALOG, IDC_LOGO_PIC, L"Static", 0, 0},
        {IDD_EXPLAIN, IDC_EXPLAIN_CLOSE, L"Static", SS_NOTIFY, 0},
        {IDD_ISCLOSE, IDC_YES_BTN, L"Button", BS_OWNERDRAW, 0},
        {IDD_ISCLOSE, IDC_NO_BTN, L"Button", BS_OWNERDRAW, 0},
        {IDD_ISCLOSE, IDC_QUESTION_PIC, L"Static", 0, 0},
        {IDD_MESERROR, IDC_ERROR_OK, L"Button", BS_OWNERDRAW, 0},
        {IDD_MESERROR, IDC_ERROR_PIC, L"Static", 0, 0},
        {IDD_ABOUTBOX, IDOK, L"Button", BS_DEFPUSHBUTTON, 0},
    };
    struct Window {
        int dialog;
        DWORD mustHave, mustNotHave, exMustHave;
    };
    const Window windows[] = {
        {IDD_SETUP_DIALOG, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_MAXIMIZEBOX | WS_THICKFRAME, WS_EX_APPWINDOW},
        {IDD_EXPLAIN, WS_POPUP | WS_BORDER, WS_DLGFRAME, 0},
        {IDD_ISCLOSE, WS_POPUP | WS_BORDER, WS_DLGFRAME, 0},
        {IDD_MESERROR, WS_POPUP | WS_BORDER, WS_DLGFRAME, 0},
        {IDD_ABOUTBOX, WS_CAPTION | WS_SYSMENU, 0, 0},
    };
    for (const Window& w : windows) {
        HWND h = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(w.dialog), nullptr, &Inert, 0);
        ASSERT_NE(h, nullptr) << "dialog " << w.dialog;
        const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(h, GWL_STYLE));
        const DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(h, GWL_EXSTYLE));
        EXPECT_EQ(style & w.mustHave, w.mustHave) << "dialog " << w.dialog;
        EXPECT_EQ(style & w.mustNotHave, 0u) << "dialog " << w.dialog;
        EXPECT_EQ(ex & w.exMustHave, w.exMustHave) << "dialog " << w.dialog;
        for (const Control& c : controls) {
            if (c.dialog != w.dialog) continue;
            HWND ctl = ::GetDlgItem(h, c.id);
            ASSERT_NE(ctl, nullptr) << "dialog " << c.dialog << " control " << c.id;
            wchar_t cls[64] = {};
            ::GetClassNameW(ctl, cls, 64);
            EXPECT_EQ(_wcsicmp(cls, c.cls), 0) << "control " << c.id;
            const DWORD cs = static_cast<DWORD>(::GetWindowLongPtrW(ctl, GWL_STYLE));
            if (c.mustHave == BS_OWNERDRAW || c.mustHave == BS_DEFPUSHBUTTON)
                EXPECT_EQ(cs & BS_TYPEMASK, c.mustHave) << "control " << c.id;
            else
                EXPECT_EQ(cs & c.mustHave, c.mustHave) << "control " << c.id;
            EXPECT_EQ(cs & c.mustNotHave, 0u) << "control " << c.id;
            if (_wcsicmp(c.cls, L"ListBox") == 0) {
                const DWORD cex = static_cast<DWORD>(::GetWindowLongPtrW(ctl, GWL_EXSTYLE));
                EXPECT_TRUE((cs & WS_BORDER) || (cex & WS_EX_CLIENTEDGE)) << "control " << c.id;
                const std::wstring longText(200, L'x');
                for (int i = 0; i < 30; ++i) ::SendMessageW(ctl, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(longText.c_str()));
                EXPECT_TRUE(::GetWindowLongPtrW(ctl, GWL_STYLE) & WS_VSCROLL) << "control " << c.id;
            }
        }
        ::DestroyWindow(h);
    }
}

TEST_F(DialogsTest, WizardTemplateBindsToTheSkinClasses) {
    HWND h = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETUP_DIALOG), nullptr, &Inert, 0);
    ASSERT_NE(h, nullptr);
    fw::CWnd wizard;
    ASSERT_TRUE(wizard.SubclassWindow(h));
    controls::CTextProgressCtrl progress;
    controls::CPictureCtrl slogan, logo;
    controls::CMyButton next;
    ASSERT_TRUE(progress.SubclassDlgItem(IDC_PROGRESS, wizard));
    ASSERT_TRUE(slogan.SubclassDlgItem(IDC_SLOGAN_PIC, wizard));
    ASSERT_TRUE(logo.SubclassDlgItem(IDC_LOGO_PIC, wizard));
    ASSERT_TRUE(next.SubclassDlgItem(IDC_NEXT, wizard));
    EXPECT_FALSE(next.SubclassDlgItem(IDC_NEXT, wizard)) << "bound once";
    EXPECT_TRUE(slogan.LoadResourceImage(IDR_PNG_SLOGAN, L"PNG"));
    EXPECT_TRUE(slogan.loaded);
    EXPECT_EQ(slogan.picture.Width(), 1146);
    EXPECT_TRUE(logo.LoadResourceImage(IDR_PNG_LOGO, L"PNG"));
    EXPECT_EQ(logo.picture.Height(), 111);
    EXPECT_EQ(progress.SendMessage(PBM_SETPOS, 40), 0);
    EXPECT_EQ(progress.SendMessage(PBM_GETPOS), 40);
    EXPECT_EQ(progress.SendMessage(controls::TPB_SHOWPERCENT, 0), 1);
    ::DestroyWindow(h);
    EXPECT_EQ(progress.GetSafeHwnd(), nullptr) << "unbound when the window goes";
    EXPECT_EQ(wizard.GetSafeHwnd(), nullptr);
}

}  // namespace
}  // namespace dialogs
