// The skin's controls as real windows under Wine, made from the program's own resources.
#include "controls/my_button.h"
#include "controls/picture.h"
#include "controls/picture_ctrl.h"
#include "controls/text_progress_ctrl.h"
#include "support/gui_testing.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <vector>

namespace controls {
namespace {

using guitest::Image;
using guitest::Rgb;

constexpr COLORREF kHostColour = RGB(10, 200, 10);
constexpr std::uint32_t kHost = Rgb(10, 200, 10);

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    void SetUp() override { SetMarqueeDirection(1); }
    void TearDown() override {
        for (HWND h : windows_) ::DestroyWindow(h);
        guitest::Pump(20);
    }
    // A host window bound to a CWnd, so that owner-draw requests reach the controls.
    HWND Host(int w, int h) {
        HWND hwnd = guitest::MakeHostWindow(w, h, kHostColour);
        windows_.push_back(hwnd);
        hosts_.emplace_back(std::make_unique<fw::CWnd>());
        hosts_.back()->SubclassWindow(hwnd);
        return hwnd;
    }
    static HWND Child(HWND host, const wchar_t* cls, DWORD style, int x, int y, int w, int h, int id) {
        return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, host,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    }

    std::vector<HWND> windows_;
    std::vector<std::unique_ptr<fw::CWnd>> hosts_;
};

// ---- Pictures --------------------------------------------------------------------------

TEST_F(GuiTest, PngDrawsWithItsAlphaOverAKnownBackground) {
    Picture p;
    ASSERT_TRUE(p.LoadResourceImage(182, L"PNG"));
    ASSERT_EQ(p.Width(), 289);
    ASSERT_EQ(p.Height(), 111);
    EXPECT_EQ(p.BitsPerPixel(), 32);
    EXPECT_TRUE(p.HasAlpha());
    EXPECT_FALSE(p.Premultiplied());
    std::vector<std::uint8_t> straight;
    for (int y = 0; y < p.Height(); ++y) straight.insert(straight.end(), p.Row(y), p.Row(y) + 4 * p.Width());

    auto draw = [&](RECT target, int w, int h) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP dib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC mem = ::CreateCompatibleDC(nullptr);
        HGDIOBJ old = ::SelectObject(mem, dib);
        RECT all{0, 0, w, h};
        HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
        ::FillRect(mem, &all, red);
        ::DeleteObject(red);
        p.Draw(mem, target);
        ::GdiFlush();
        Image img = guitest::FromDib(bits, w, h);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
        ::DeleteObject(dib);
        return img;
    };

    const Image once = draw({0, 0, 289, 111}, 289, 111);
    EXPECT_TRUE(p.Premultiplied());
    int clear = 0, opaque = 0, partial = 0, wrong = 0;
    for (int y = 0; y < 111; ++y)
        for (int x = 0; x < 289; ++x) {
            const std::uint8_t* s = &straight[(static_cast<size_t>(y) * 289 + x) * 4];
            const int a = s[3];
            (a == 0 ? clear : a == 255 ? opaque : partial)++;
            const int bg[3] = {0, 0, 255};  // blue, green, red of the background
            const std::uint32_t got = once.At(x, y);
            const int gotC[3] = {static_cast<int>(got & 0xFF), static_cast<int>((got >> 8) & 0xFF),
                                 static_cast<int>((got >> 16) & 0xFF)};
            for (int c = 0; c < 3; ++c) {
                const int expected = s[c] * a / 255 + bg[c] * (255 - a) / 255;
                if (std::abs(gotC[c] - expected) > 2) ++wrong;
            }
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(clear, 0);
    EXPECT_GT(opaque, 0);
    EXPECT_GT(partial, 0);  // a real alpha channel, not a mask
    // Premultiplied once: drawing again changes nothing.
    const Image twice = draw({0, 0, 289, 111}, 289, 111);
    EXPECT_EQ(once.pixels, twice.pixels);

    // Scaled to exactly the rectangle: nothing outside it is touched.
    const Image scaled = draw({10, 10, 160, 67}, 200, 100);
    int outside = 0, inside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool in = x >= 10 && x < 160 && y >= 10 && y < 67;
            if (!in && scaled.At(x, y) != Rgb(255, 0, 0)) ++outside;
            if (in && scaled.At(x, y) != Rgb(255, 0, 0)) ++inside;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 150 * 57 / 10);
    guitest::SavePng(once, L"controls/png182_over_red");
}

TEST_F(GuiTest, WizardPicturesAtTheirDrawnSizes) {
    // The logo at (20, 10) 150 x 57 and the slogan at (client width - 138, 20) 118 x 39, on the
    // wizard's grey, as the wizard places them.
    HWND host = Host(494, 80);
    ::SetClassLongPtrW(host, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(::CreateSolidBrush(RGB(230, 230, 230))));
    HWND logoWnd = Child(host, L"STATIC", SS_NOTIFY, 20, 10, 150, 57, 1030);
    HWND sloganWnd = Child(host, L"STATIC", SS_NOTIFY, 494 - 138, 20, 118, 39, 1029);
    CPictureCtrl logo, slogan;
    ASSERT_TRUE(logo.SubclassWindow(logoWnd));
    ASSERT_TRUE(slogan.SubclassWindow(sloganWnd));
    EXPECT_TRUE(logo.LoadResourceImage(182, L"PNG"));
    EXPECT_TRUE(slogan.LoadResourceImage(181, L"PNG"));
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Image img = guitest::CaptureClient(host);
    const std::uint32_t grey = Rgb(230, 230, 230);
    EXPECT_GT(img.CountOther(grey, 20, 10, 170, 67), 1000);
    EXPECT_GT(img.CountOther(grey, 356, 20, 474, 59), 300);
    EXPECT_EQ(img.CountOther(grey, 180, 0, 350, 80), 0);
    guitest::SavePng(img, L"controls/wizard_pictures");
}

TEST_F(GuiTest, BitmapsKeepTheirDepthAndASecondLoadFreesTheFirst) {
    Picture p;
    ASSERT_TRUE(p.LoadBitmapImage(::GetModuleHandleW(nullptr), 137));
    EXPECT_EQ(p.Width(), 105);
    EXPECT_EQ(p.Height(), 28);
    EXPECT_EQ(p.BitsPerPixel(), 24);
    EXPECT_FALSE(p.HasAlpha());
    const HBITMAP first = p.Handle();
    BITMAP bm;
    ASSERT_NE(::GetObjectW(first, sizeof bm, &bm), 0);
    ASSERT_TRUE(p.LoadBitmapImage(::GetModuleHandleW(nullptr), 138));
    EXPECT_EQ(::GetObjectW(first, sizeof bm, &bm), 0);  // deleted
    ASSERT_TRUE(p.LoadResourceImage(181, L"PNG"));
    EXPECT_EQ(p.Width(), 1146);
    EXPECT_EQ(p.Height(), 321);
}

TEST_F(GuiTest, MissingAndUndecodableResources) {
    Picture p;
    bool streamMade = true;
    EXPECT_FALSE(p.LoadResourceImage(999, L"PNG", &streamMade));
    EXPECT_FALSE(streamMade);
    EXPECT_TRUE(p.Empty());
    // The manifest is a resource, but no picture.
    EXPECT_TRUE(p.LoadResourceImage(1, MAKEINTRESOURCEW(24), &streamMade));
    EXPECT_TRUE(streamMade);
    EXPECT_TRUE(p.Empty());
    EXPECT_FALSE(p.LoadBitmapImage(::GetModuleHandleW(nullptr), 999));
    HDC mem = ::CreateCompatibleDC(nullptr);
    p.Draw(mem, {0, 0, 10, 10});  // an empty picture draws nothing, and does not fail
    ::DeleteDC(mem);
}

// ---- CPictureCtrl ------------------------------------------------------------------------

TEST_F(GuiTest, PictureControlPaintsOnlyWhatDecoded) {
    HWND host = Host(200, 100);
    HWND stat = Child(host, L"STATIC", SS_NOTIFY | SS_BITMAP, 20, 20, 150, 57, 1030);
    CPictureCtrl pic;
    ASSERT_TRUE(pic.SubclassWindow(stat));
    EXPECT_EQ(pic.GetStyle() & SS_TYPEMASK, static_cast<DWORD>(SS_OWNERDRAW));

    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Image img = guitest::CaptureClient(host);
    EXPECT_EQ(img.CountOther(kHost, 0, 0, 200, 100), 0) << "never loaded: nothing painted";

    EXPECT_TRUE(pic.LoadPicture(nullptr, 999, L"PNG"));
    EXPECT_TRUE(pic.loaded);
    img = guitest::CaptureClient(host);
    EXPECT_EQ(img.CountOther(kHost, 0, 0, 200, 100), 0) << "missing resource: loaded, nothing painted";

    EXPECT_TRUE(pic.LoadPicture(nullptr, 182, L"PNG"));
    img = guitest::CaptureClient(host);
    EXPECT_EQ(img.CountOther(kHost, 0, 0, 200, 20), 0);
    EXPECT_EQ(img.CountOther(kHost, 0, 77, 200, 100), 0);
    EXPECT_GT(img.CountOther(kHost, 20, 20, 170, 77), 500);
    EXPECT_EQ(img.At(20, 20), kHost) << "transparent corner shows the host";
    guitest::SavePng(img, L"controls/picture_ctrl_logo");

    ::SendMessageW(stat, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
}

// ---- CMyButton ---------------------------------------------------------------------------

Image Face(UINT id) {
    HBITMAP bmp = static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    Image img = guitest::FromBitmap(bmp);
    ::DeleteObject(bmp);
    return img;
}

// The button shows `face` 1:1 inside a grey one-pixel frame.
void ExpectFace(const Image& shown, UINT face) {
    const Image want = Face(face);
    ASSERT_EQ(shown.width, want.width);
    ASSERT_EQ(shown.height, want.height);
    int frameWrong = 0, insideWrong = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const bool edge = x == 0 || y == 0 || x == want.width - 1 || y == want.height - 1;
            if (edge && shown.At(x, y) != Rgb(128, 128, 128)) ++frameWrong;
            if (!edge && shown.At(x, y) != want.At(x, y)) ++insideWrong;
        }
    EXPECT_EQ(frameWrong, 0) << "face " << face;
    EXPECT_EQ(insideWrong, 0) << "face " << face;
}

TEST_F(GuiTest, ButtonSwapsToItsHoverFaceAndBackWhenTheMouseLeaves) {
    HWND host = Host(300, 100);
    HWND hwnd = Child(host, L"BUTTON", BS_OWNERDRAW, 20, 20, 105, 28, 1008);
    CMyButton button;
    ASSERT_TRUE(button.SubclassWindow(hwnd));
    button.name = u"下一步";
    button.SetFace(138);
    ExpectFace(guitest::CaptureClient(hwnd), 138);

    POINT centre{52, 14};
    ::ClientToScreen(hwnd, &centre);
    ::SetCursorPos(centre.x, centre.y);
    guitest::Pump(50);
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(52, 14));
    EXPECT_EQ(button.bitmapId, 169u);
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
    TRACKMOUSEEVENT query{sizeof query, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(::TrackMouseEvent(&query));
    EXPECT_TRUE(query.dwFlags & TME_LEAVE);
    EXPECT_EQ(query.hwndTrack, hwnd);
    Image hover = guitest::CaptureClient(hwnd);
    ExpectFace(hover, 169);
    guitest::SavePng(hover, L"controls/button_next_hover");

    // A real leave: the system notices the cursor is gone and sends WM_MOUSELEAVE.
    ::SetCursorPos(centre.x + 400, centre.y + 300);
    EXPECT_TRUE(guitest::WaitFor([&] { return button.bitmapId == 138u; }, 5000));
    ExpectFace(guitest::CaptureClient(hwnd), 138);
}

TEST_F(GuiTest, ButtonWithoutAKnownNameKeepsItsFace) {
    HWND host = Host(300, 100);
    for (const std::u16string name : {u"", u"下一步 ", u"Next"}) {
        HWND hwnd = Child(host, L"BUTTON", BS_OWNERDRAW, 20, 20, 105, 28, 1007);
        CMyButton button;
        ASSERT_TRUE(button.SubclassWindow(hwnd));
        button.name = name;
        button.SetFace(137);
        ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(button.bitmapId, 137u);
        ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(button.bitmapId, 137u);
        ExpectFace(guitest::CaptureClient(hwnd), 137);
        ::DestroyWindow(hwnd);
    }
}

// ---- CTextProgressCtrl ---------------------------------------------------------------------

class ProgressTest : public GuiTest {
protected:
    HWND MakeBar(HWND host, DWORD style, int x, int y, int w, int h, CTextProgressCtrl& bar) {
        HWND hwnd = Child(host, PROGRESS_CLASSW, style, x, y, w, h, 1013);
        EXPECT_TRUE(bar.SubclassWindow(hwnd));
        return hwnd;
    }
    static LRESULT Send(HWND h, UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessageW(h, m, w, l); }
    static void Colours(HWND bar) {
        Send(bar, PBM_SETBARCOLOR, 0, RGB(0, 78, 161));
        Send(bar, PBM_SETBKCOLOR, 0, RGB(255, 255, 255));
        Send(bar, TPB_SETTEXTCOLOR, 0, RGB(255, 0, 0));
        Send(bar, TPB_SETBARTEXTCOLOR, 0, RGB(255, 255, 0));
    }
    // Columns [from, to) of every row in [top, bottom) are `colour`.
    static int ColumnsWrong(const Image& img, int from, int to, int top, int bottom, std::uint32_t colour) {
        return img.CountOther(colour, from, top, to, bottom);
    }
};

TEST_F(ProgressTest, WindowAnswersTheMessagesItTakesOver) {
    HWND host = Host(420, 60);
    CTextProgressCtrl ctl;
    HWND bar = MakeBar(host, 0, 10, 10, 400, 25, ctl);
    EXPECT_EQ(Send(bar, PBM_SETPOS, 37), 0);
    EXPECT_EQ(Send(bar, PBM_GETPOS), 37);
    EXPECT_EQ(Send(bar, PBM_SETPOS, 150), 37);
    EXPECT_EQ(Send(bar, PBM_GETPOS), 100);
    EXPECT_EQ(Send(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 200)), MAKELONG(0, 100));
    PBRANGE range{-1, -1};
    EXPECT_EQ(Send(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 0);
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 200);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, FALSE, 0), 200);
    EXPECT_EQ(static_cast<COLORREF>(Send(bar, PBM_SETBARCOLOR, 0, RGB(0, 78, 161))), CLR_DEFAULT);
    EXPECT_EQ(static_cast<COLORREF>(Send(bar, PBM_GETBARCOLOR)), RGB(0, 78, 161));
    EXPECT_EQ(static_cast<COLORREF>(Send(bar, PBM_GETBKCOLOR)), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(static_cast<COLORREF>(Send(bar, TPB_GETTEXTCOLOR)), ::GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(static_cast<COLORREF>(Send(bar, TPB_GETBARTEXTCOLOR)), ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(Send(bar, TPB_SHOWPERCENT, 0), 1);
    EXPECT_EQ(Send(bar, TPB_SETALIGN, 2), 1);
    EXPECT_EQ(Send(bar, PBM_SETSTEP, 30), 10);
    Send(bar, PBM_SETPOS, 190);
    EXPECT_EQ(Send(bar, TPB_STEPIT), 190);
    EXPECT_EQ(Send(bar, PBM_GETPOS), 20);  // 220 wraps to 0 + 20
    EXPECT_EQ(Send(bar, WM_ERASEBKGND, reinterpret_cast<WPARAM>(::GetDC(bar))), 1);
    ::SetWindowTextW(bar, L"文本");
    wchar_t text[16] = {};
    ::GetWindowTextW(bar, text, 16);
    EXPECT_STREQ(text, L"文本");
}

TEST_F(ProgressTest, MarqueeRunsOnItsTimerAndStops) {
    HWND host = Host(420, 60);
    CTextProgressCtrl ctl;
    HWND bar = MakeBar(host, 0, 10, 10, 400, 25, ctl);
    EXPECT_EQ(Send(bar, PBM_SETMARQUEE, TRUE, 10), 1);
    EXPECT_TRUE(::GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE);
    EXPECT_EQ(ctl.Model().showPercent, 0);
    EXPECT_TRUE(guitest::WaitFor([&] { return Send(bar, PBM_GETPOS) >= 5; }, 3000));
    EXPECT_EQ(Send(bar, PBM_SETMARQUEE, FALSE, 0), 0);
    EXPECT_FALSE(::GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE);
    const LRESULT stopped = Send(bar, PBM_GETPOS);
    guitest::Pump(150);
    EXPECT_EQ(Send(bar, PBM_GETPOS), stopped);
    // Other timers are not the marquee's.
    Send(bar, WM_TIMER, 2, 0);
    EXPECT_EQ(Send(bar, PBM_GETPOS), stopped);
}

TEST_F(ProgressTest, ThirtySevenPercentCoversItsShareAndLeavesTheBottomRows) {
    HWND host = Host(420, 60);
    CTextProgressCtrl ctl;
    HWND bar = MakeBar(host, 0, 10, 10, 400, 25, ctl);
    Colours(bar);
    Send(bar, TPB_SHOWPERCENT, 0);
    Send(bar, PBM_SETPOS, 37);
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Image img = guitest::CaptureClient(bar);
    ASSERT_EQ(img.width, 400);
    // Area inside the edge: x 2..397, y 2..17; the bar ends at 2 + trunc(396 * 0.37) = 148.
    EXPECT_EQ(ColumnsWrong(img, 2, 148, 2, 18, Rgb(0, 78, 161)), 0);
    EXPECT_EQ(ColumnsWrong(img, 148, 398, 2, 18, Rgb(255, 255, 255)), 0);
    EXPECT_EQ(img.Count(Rgb(0, 78, 161), 0, 0, 400, 25), 146 * 16);
    EXPECT_NEAR(146.0 / 396.0, 0.37, 0.005);
    EXPECT_EQ(ColumnsWrong(img, 0, 400, 20, 25, kHost), 0) << "the 5 bottom rows are left alone";
    EXPECT_EQ(img.Count(kHost, 0, 0, 400, 20), 0) << "the edge is drawn";
}

TEST_F(ProgressTest, TextOverTheBarTakesTheBarTextColour) {
    HWND host = Host(420, 60);
    CTextProgressCtrl ctl;
    HWND bar = MakeBar(host, 0, 10, 10, 400, 25, ctl);
    HFONT font = ::CreateFontW(-15, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, L"Tahoma");
    Send(bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    Colours(bar);
    Send(bar, PBM_SETPOS, 50);  // "50%" centred straddles the bar's end at x 200
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Image img = guitest::CaptureClient(bar);
    EXPECT_GT(img.Count(Rgb(255, 255, 0), 2, 2, 200, 18), 5);
    EXPECT_EQ(img.Count(Rgb(255, 0, 0), 2, 2, 200, 18), 0);
    EXPECT_GT(img.Count(Rgb(255, 0, 0), 200, 2, 398, 18), 5);
    EXPECT_EQ(img.Count(Rgb(255, 255, 0), 200, 2, 398, 18), 0);
    EXPECT_EQ(ColumnsWrong(img, 0, 400, 20, 25, kHost), 0);
    ::DestroyWindow(bar);
    ::DeleteObject(font);
}

TEST_F(ProgressTest, VerticalAndMarqueeGeometry) {
    HWND host = Host(420, 200);
    CTextProgressCtrl vctl, mctl;
    HWND vbar = MakeBar(host, PBS_VERTICAL, 10, 10, 30, 150, vctl);
    HWND mbar = MakeBar(host, 0, 50, 10, 400 - 40, 25, mctl);
    Colours(vbar);
    Colours(mbar);
    Send(vbar, TPB_SHOWPERCENT, 0);
    Send(vbar, PBM_SETPOS, 40);
    Send(mbar, PBM_SETMARQUEE, TRUE, 1000000);  // on, without ticking during the test
    Send(mbar, PBM_SETPOS, 50);
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    // Vertical: area x 2..27, y 2..142; bar top = 143 - trunc(141 * 0.4) = 87.
    const Image v = guitest::CaptureClient(vbar);
    EXPECT_EQ(ColumnsWrong(v, 2, 28, 87, 143, Rgb(0, 78, 161)), 0);
    EXPECT_EQ(ColumnsWrong(v, 2, 28, 2, 87, Rgb(255, 255, 255)), 0);
    EXPECT_EQ(ColumnsWrong(v, 0, 30, 145, 150, kHost), 0);

    // Marquee: area width 356, block (356 * 20 + 50) / 100 = 71; bar right 2 + 178 = 180.
    const Image m = guitest::CaptureClient(mbar);
    EXPECT_EQ(ColumnsWrong(m, 2, 109, 2, 18, Rgb(255, 255, 255)), 0);
    EXPECT_EQ(ColumnsWrong(m, 109, 180, 2, 18, Rgb(0, 78, 161)), 0);
    EXPECT_EQ(ColumnsWrong(m, 180, 358, 2, 18, Rgb(255, 255, 255)), 0);
}

TEST_F(ProgressTest, EmptyRangePaintsNothing) {
    HWND host = Host(420, 60);
    CTextProgressCtrl ctl;
    HWND bar = MakeBar(host, 0, 10, 10, 400, 25, ctl);
    Colours(bar);
    Send(bar, PBM_SETPOS, 60);
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Image before = guitest::CaptureClient(bar);
    Send(bar, PBM_SETRANGE32, 5, 5);
    Send(bar, PBM_SETBARCOLOR, 0, RGB(200, 0, 200));  // repaints, or would
    const Image after = guitest::CaptureClient(bar);
    EXPECT_EQ(before.pixels, after.pixels);
}

TEST_F(ProgressTest, ScreenshotOfTheBars) {
    HWND host = Host(460, 200);
    HFONT font = ::CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"方正兰亭黑_GBK");
    CTextProgressCtrl a, b, c, d;
    HWND h1 = MakeBar(host, 0, 10, 10, 400, 25, a);
    HWND h2 = MakeBar(host, 0, 10, 45, 400, 25, b);
    HWND h3 = MakeBar(host, 0, 10, 80, 400, 25, c);
    HWND h4 = MakeBar(host, PBS_VERTICAL, 420, 10, 30, 180, d);
    for (HWND h : {h1, h2, h3, h4}) {
        Send(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        Send(h, PBM_SETBARCOLOR, 0, RGB(0, 78, 161));
        Send(h, PBM_SETBKCOLOR, 0, RGB(255, 255, 255));
        Send(h, TPB_SETBARTEXTCOLOR, 0, RGB(255, 255, 255));
        Send(h, TPB_SETTEXTCOLOR, 0, RGB(0, 65, 128));
    }
    Send(h1, PBM_SETPOS, 37);
    Send(h2, TPB_SHOWPERCENT, 0);
    ::SetWindowTextW(h2, L"正在安装，请稍候");
    Send(h2, PBM_SETPOS, 62);
    Send(h3, PBM_SETMARQUEE, TRUE, 1000000);
    Send(h3, PBM_SETPOS, 70);
    Send(h4, PBM_SETPOS, 55);
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Image img = guitest::CaptureClient(host);
    EXPECT_GT(img.Count(Rgb(0, 78, 161), 0, 0, 460, 200), 1000);
    EXPECT_TRUE(guitest::SavePng(img, L"controls/progress_bars") || !_wgetenv(L"LP_TEST_OUTPUT"));
    for (HWND h : {h1, h2, h3, h4}) ::DestroyWindow(h);
    ::DeleteObject(font);
}

}  // namespace
}  // namespace controls
