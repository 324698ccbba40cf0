// The boundary's headers come before <windows.h> (pulled in by the window layer).
#include "engine/install_worker.h"
#include "wizard_app/setup_dlg.h"

#include <memory>
#include <thread>

#include "dialogs/about_dlg.h"
#include "dialogs/dlg_explain.h"
#include "dialogs/dlg_mes_error.h"
#include "dialogs/skin.h"
#include "wizard_res/resource.h"

namespace wizard_app {
namespace {

constexpr UINT WM_INSTALL_RESULT_MSG = WM_USER + 101;
constexpr UINT kShowPercent = WM_USER + 106;
constexpr COLORREF kBackground = RGB(230, 230, 230);
constexpr COLORREF kBarColour = RGB(0, 78, 161);

// Ticks for which the bar rests at 0 after a sweep; one value for the whole run.
int g_pauseTicks = 0;

const wchar_t kClosePendingText[] = L"安装完成后将关闭本程序";

const wchar_t kNoUsbPortMessage[] =
    L"没有检测到与打印机连接的USB端口，请将打印机USB线连接到\r\n电脑，并打开电源，然后返回“上一步”重新检测。如果您的打\r\n"
    L"印机是并口打印机，请根据实际情况选择端口（默认LPT1：），\r\n并按“下一步”继续。";

// The wizard's list boxes as detection's lists.
class ListBoxView final : public detect::IListBox {
public:
    explicit ListBoxView(fw::CListBox& list) : list_(list) {}
    void ResetContent() override { list_.ResetContent(); }
    int AddString(const std::u16string& text) override { return list_.AddString(fw::ToWide(text)); }
    int InsertString(int index, const std::u16string& text) override {
        return list_.InsertString(index, fw::ToWide(text));
    }
    int GetCount() const override { return list_.GetCount(); }
    std::u16string GetText(int index) const override { return fw::ToU16(list_.GetText(index)); }
    void SetCurSel(int index) override { list_.SetCurSel(index); }
    int GetCurSel() const override { return list_.GetCurSel(); }

private:
    fw::CListBox& list_;
};

}  // namespace

CSetupDlg::CSetupDlg(engine::Env& env, detect::DetectionState& detection)
    : CDialogEx(IDD_SETUP_DIALOG), env_(env), detection_(detection), catalog_(env.p) {
    icon_ = ::LoadIconW(fw::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    OnCommand(IDC_BACK, [this] { ChangePageFrom(back_, -1); });
    OnCommand(IDC_NEXT, [this] { ChangePageFrom(next_, +1); });
    OnCommand(IDC_FINISH, [this] { ChangePageFrom(finish_, +1); });
    OnCommand(IDC_CANCEL_BTN, [this] {
        closeConfirm_.SetParentWindow(GetSafeHwnd());
        if (closeConfirm_.DoModal() == 1) SendMessage(WM_CLOSE);
    });
    OnMessage(WM_SYSCOMMAND, [this](WPARAM wp, LPARAM) -> LRESULT {
        if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
            dialogs::CAboutDlg(GetSafeHwnd()).DoModal();
            return 0;
        }
        return Default();
    });
    OnMessage(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) { return OnEraseBackground(reinterpret_cast<HDC>(wp)); });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) -> LRESULT {
        if (!::IsIconic(GetSafeHwnd())) return Default();
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
        RECT r = GetClientRect();
        int x = (r.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (r.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, icon_);
        ::EndPaint(GetSafeHwnd(), &ps);
        return 0;
    });
    OnMessage(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(icon_); });
    OnMessage(WM_LBUTTONDOWN, [this](WPARAM, LPARAM) -> LRESULT {
        // The whole surface acts as a title bar.
        SendMessage(WM_SYSCOMMAND, SC_MOVE | HTCAPTION);
        return 0;
    });
    OnMessage(WM_TIMER, [this](WPARAM wp, LPARAM) { return OnTimer(wp); });
    OnMessage(WM_INSTALL_RESULT_MSG, [this](WPARAM, LPARAM lp) { return OnInstallResult(lp); });
    OnMessage(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
        OnClose();
        return 0;
    });
}

CSetupDlg::~CSetupDlg() {
    dialogs::SetErrorDialogOwner(nullptr);
    if (icon_) ::DestroyIcon(icon_);
}

BOOL CSetupDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    messagePicture_.SubclassDlgItem(IDC_MESSAGE_PIC, *this);
    captionPicture_.SubclassDlgItem(IDC_CAPTION_PIC, *this);
    sloganPicture_.SubclassDlgItem(IDC_SLOGAN_PIC, *this);
    logoPicture_.SubclassDlgItem(IDC_LOGO_PIC, *this);
    back_.SubclassDlgItem(IDC_BACK, *this);
    next_.SubclassDlgItem(IDC_NEXT, *this);
    cancel_.SubclassDlgItem(IDC_CANCEL_BTN, *this);
    finish_.SubclassDlgItem(IDC_FINISH, *this);
    modelList_.SubclassDlgItem(IDC_MODEL_LIST, *this);
    portList_.SubclassDlgItem(IDC_PORT_LIST, *this);
    progress_.SubclassDlgItem(IDC_PROGRESS, *this);

    std::wstring about = fw::LoadResString(IDS_ABOUTBOX);
    if (HMENU menu = ::GetSystemMenu(GetSafeHwnd(), FALSE); menu && !about.empty()) {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    SetWindowPos(nullptr, 0, 0, fw::Px(500), fw::Px(400), SWP_NOZORDER);
    CenterWindow();
    // The engine's and detection's error dialogs stay above the wizard and keep it from input.
    dialogs::SetErrorDialogOwner(GetSafeHwnd());

    captionFont_.CreateFont(fw::Px(18), 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 32, dialogs::kSkinFontFace);
    messagePicture_.SetFont(captionFont_);
    captionPicture_.SetFont(captionFont_);
    listFont_.CreatePointFont(100, dialogs::kSkinFontFace);

    back_.name = u"上一步";
    next_.name = u"下一步";
    cancel_.name = u"取消";
    finish_.name = u"完成";

    dialogs::CDlgExplain(GetSafeHwnd()).DoModal();

    SetModelPage(true);
    back_.ShowWindow(SW_HIDE);

    RECT client = GetClientRect();
    sloganPicture_.MoveWindow(client.right - fw::Px(138), fw::Px(20), fw::Px(118), fw::Px(39));
    sloganPicture_.ShowWindow(SW_SHOW);
    sloganPicture_.LoadResourceImage(IDR_PNG_SLOGAN, L"PNG");
    Place(logoPicture_, 20, 10, 150, 57);
    logoPicture_.LoadResourceImage(IDR_PNG_LOGO, L"PNG");

    SetWindowText(L"墨川科技驱动安装程序");
    FocusPage();
    return FALSE;   // the focus is set: on the model list
}

BOOL CSetupDlg::PreTranslateMessage(MSG& msg) {
    HWND self = GetSafeHwnd();
    if (msg.hwnd == self || ::IsChild(self, msg.hwnd)) {
        if ((msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) && msg.hwnd != self &&
            clickGuard_.Ignore(static_cast<uint32_t>(msg.time), {msg.pt.x, msg.pt.y}, ::GetDoubleClickTime()))
            return TRUE;
        wizard::KeyMessage key{msg.message == WM_SYSKEYDOWN, msg.message == WM_KEYDOWN,
                               static_cast<uint32_t>(msg.wParam)};
        switch (wizard::ClassifyKey(key, currentPage, install_.running())) {
            case wizard::KeyAction::Next: Next(); return TRUE;
            case wizard::KeyAction::Back: Back(); return TRUE;
            case wizard::KeyAction::Swallow: return TRUE;
            case wizard::KeyAction::PassOn: break;
        }
    }
    return CDialogEx::PreTranslateMessage(msg);
}

void CSetupDlg::Place(fw::CWnd& control, int x, int y, int width, int height, bool show) {
    using fw::Px;
    control.MoveWindow(Px(x), Px(y), Px(width), Px(height));
    if (show) control.ShowWindow(SW_SHOW);
}

void CSetupDlg::SetFaceAndPlace(controls::CMyButton& button, UINT face, int x, int y, int width, int height) {
    button.SetFace(face);
    Place(button, x, y, width, height);
}

void CSetupDlg::SetPicture(controls::CPictureCtrl& picture, UINT bitmap, int x, int y, int width, int height) {
    Place(picture, x, y, width, height);
    picture.LoadPicture(fw::ResourceModule(), bitmap, nullptr);
}

void CSetupDlg::ChangePageFrom(const fw::CWnd& button, int step) {
    if (!wizard::PageChangeAllowed(currentPage, install_.running())) return;
    const RECT r = button.GetWindowRect();
    clickGuard_.PageChanged(static_cast<uint32_t>(::GetMessageTime()), {r.left, r.top, r.right, r.bottom});
    ShowPage(currentPage + step, currentPage);
}

void CSetupDlg::ShowPage(int newPage, int oldPage) {
    switch (oldPage) {
        case wizard::kModelPage: SetModelPage(false); break;
        case wizard::kPortPage: SetPortPage(false); break;
        case wizard::kSummaryPage: SetSummaryPage(false); break;
        case wizard::kInstallPage: SetInstallPage(false); break;
        default: break;
    }
    switch (newPage) {
        case wizard::kModelPage: SetModelPage(true); break;
        case wizard::kPortPage: SetPortPage(true); break;
        case wizard::kSummaryPage: SetSummaryPage(true); break;
        case wizard::kInstallPage: SetInstallPage(true); break;
        default: break;
    }
    FocusPage();
}

void CSetupDlg::FocusPage() {
    // Tab goes through the page's controls as they lie on it; the chain stays below the pictures.
    std::vector<wizard::Placed> shown;
    for (fw::CWnd* w : {static_cast<fw::CWnd*>(&modelList_), static_cast<fw::CWnd*>(&portList_),
                        static_cast<fw::CWnd*>(&back_), static_cast<fw::CWnd*>(&next_),
                        static_cast<fw::CWnd*>(&finish_), static_cast<fw::CWnd*>(&cancel_)}) {
        if (!w->IsWindowVisible()) continue;
        const RECT r = w->GetWindowRect();
        shown.push_back({::GetDlgCtrlID(*w), {r.left, r.top, r.right, r.bottom}});
    }
    HWND after = HWND_BOTTOM;
    for (int id : wizard::TabOrder(shown, fw::Px(8))) {
        HWND control = GetDlgItem(id);
        ::SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
    HWND focus = GetSafeHwnd();
    if (currentPage == wizard::kModelPage) focus = modelList_;
    else if (currentPage == wizard::kPortPage) focus = portList_;
    else if (currentPage == wizard::kSummaryPage) focus = finish_;
    if (focus == GetSafeHwnd()) ::SetFocus(focus);
    else SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
}

void CSetupDlg::SetModelPage(bool enter) {
    if (enter) {
        currentPage = wizard::kModelPage;
        SetPicture(captionPicture_, IDB_MODEL_CAPTION, 52, 95, 130, 37);
        DetectPrinterModel();
        back_.SetFace(IDB_BACK);
        Place(back_, 132, 300, 105, 28, false);
        SetFaceAndPlace(next_, IDB_NEXT, 241, 300, 105, 28);
        SetFaceAndPlace(cancel_, IDB_CANCEL, 366, 300, 75, 29);
        Place(modelList_, 58, 130, 350, 130);
        return;
    }
    for (fw::CWnd* w : {static_cast<fw::CWnd*>(&messagePicture_), static_cast<fw::CWnd*>(&captionPicture_),
                        static_cast<fw::CWnd*>(&back_), static_cast<fw::CWnd*>(&next_),
                        static_cast<fw::CWnd*>(&cancel_), static_cast<fw::CWnd*>(&modelList_)})
        w->ShowWindow(SW_HIDE);
    int selected = modelList_.GetCurSel();
    if (selected >= 0) modelName = wizard::ModelNameFromEntry(fw::ToU16(modelList_.GetText(selected)));
}

void CSetupDlg::SetPortPage(bool enter) {
    if (enter) {
        currentPage = wizard::kPortPage;
        Place(back_, 129, 300, 105, 28);
        SetFaceAndPlace(next_, IDB_NEXT, 233, 300, 105, 28);
        Place(cancel_, 363, 300, 75, 29);
        if (FillPortList()) {
            SetPicture(messagePicture_, IDB_USB_FOUND_NOTICE, 35, 107, 420, 50);
        } else {
            SetPicture(messagePicture_, IDB_NO_USB_NOTICE, 35, 76, 419, 85);
            ::MessageBoxW(GetSafeHwnd(), kNoUsbPortMessage, L"安装提示", MB_OK | MB_ICONERROR);
        }
        portList_.SetFont(listFont_);
        Place(portList_, 43, 157, 350, 120);
        return;
    }
    for (fw::CWnd* w : {static_cast<fw::CWnd*>(&back_), static_cast<fw::CWnd*>(&next_),
                        static_cast<fw::CWnd*>(&cancel_), static_cast<fw::CWnd*>(&messagePicture_),
                        static_cast<fw::CWnd*>(&portList_)})
        w->ShowWindow(SW_HIDE);
    int selected = portList_.GetCurSel();
    if (selected >= 0) portName = fw::ToU16(portList_.GetText(selected));
}

void CSetupDlg::SetSummaryPage(bool enter) {
    if (enter) {
        currentPage = wizard::kSummaryPage;
        Place(back_, 153, 310, 105, 28);
        SetFaceAndPlace(finish_, IDB_FINISH, 273, 310, 75, 29);
        Place(cancel_, 366, 310, 75, 29);
        SetPicture(messagePicture_, IDB_SUMMARY_LABELS, 46, 102, 45, 51);
        SetPicture(captionPicture_, IDB_SUMMARY_NOTE, 41, 165, 400, 52);
        Invalidate(TRUE);
        return;
    }
    for (fw::CWnd* w : {static_cast<fw::CWnd*>(&back_), static_cast<fw::CWnd*>(&finish_),
                        static_cast<fw::CWnd*>(&cancel_), static_cast<fw::CWnd*>(&messagePicture_),
                        static_cast<fw::CWnd*>(&captionPicture_)})
        w->ShowWindow(SW_HIDE);
    Invalidate(TRUE);
}

void CSetupDlg::SetInstallPage(bool enter) {
    if (!enter) {
        progress_.ShowWindow(SW_HIDE);
        messagePicture_.ShowWindow(SW_HIDE);
        return;
    }
    currentPage = wizard::kInstallPage;
    Place(progress_, 50, 180, 400, 25);
    SetPicture(messagePicture_, IDB_INSTALLING, 50, 150, 125, 25);
    // Back and Finish again while the worker runs show the page, but start no second worker.
    if (!install_.TryStart()) return;

    auto request = std::make_unique<engine::CInstallRequest>();
    request->hwndNotify = GetSafeHwnd();
    request->driverKind = driverKind;
    request->modelName = modelName;
    request->portName = portName;
    request->dataFileName = modelName + u".GPD";
    request->packageFamily = 0;
    request->detectedModel = detectedModel;
    request->detectedDataFile = modelName + u".GPD";

    progress_.SendMessage(kShowPercent, 0);
    progress_.SetWindowText(L"");
    progress_.SetBarColor(kBarColour);
    SetTimer(wizard::kProgressTimer, wizard::kProgressPeriodMs);
    Invalidate(TRUE);
    // The worker owns the request from here on; the wizard keeps neither it nor the thread.
    const engine::Env& env = env_;
    std::thread([&env](std::unique_ptr<engine::CInstallRequest> r) { engine::InstallThreadProc(env, std::move(r)); },
                std::move(request))
        .detach();
}

LRESULT CSetupDlg::OnEraseBackground(HDC dc) {
    RECT r = GetClientRect();
    r.left += 1;
    r.right -= 1;
    r.bottom -= 1;
    HBRUSH brush = ::CreateSolidBrush(kBackground);
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
    ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = ::SelectObject(dc, captionFont_.Get());
    if (currentPage == wizard::kSummaryPage) {
        std::wstring model = fw::ToWide(wizard::SummaryModelText(modelName));
        std::wstring port = fw::ToWide(portName);
        ::TextOutW(dc, fw::Px(93), fw::Px(103), model.c_str(), static_cast<int>(model.size()));
        ::TextOutW(dc, fw::Px(95), fw::Px(130), port.c_str(), static_cast<int>(port.size()));
    }
    if (currentPage == wizard::kInstallPage && install_.closePending())
        ::TextOutW(dc, fw::Px(50), fw::Px(215), kClosePendingText, static_cast<int>(::wcslen(kClosePendingText)));
    ::SelectObject(dc, old);
    return 1;
}

LRESULT CSetupDlg::OnTimer(UINT_PTR id) {
    wizard::TimerOutcome tick = wizard::ProgressTick(g_pauseTicks, id, progress_.GetPos());
    if (tick.redrawOnly) {
        progress_.RedrawNow();
        return 0;
    }
    if (tick.newPosition) progress_.SetPos(*tick.newPosition);
    return Default();
}

LRESULT CSetupDlg::OnInstallResult(LPARAM installed) {
    KillTimer(wizard::kProgressTimer);
    progress_.SetMarquee(FALSE, 0);
    progress_.SetPos(0);
    if (installed) ::MessageBoxW(GetSafeHwnd(), L"驱动安装成功", L"墨川科技有限公司", MB_OK | MB_SYSTEMMODAL);
    install_.Finish();
    EndDialog(1);
    return 0;
}

void CSetupDlg::OnClose() {
    // A close while the worker runs waits for its result, which then ends the wizard; the
    // install page says so.
    if (install_.RequestClose()) EndDialog(IDCANCEL);
    else Invalidate(TRUE);
}

void CSetupDlg::DetectPrinterModel() {
    ListBoxView models(modelList_);
    detect::DetectPrinterModel(env_, detection_, catalog_, GetSafeHwnd(), models, detectedModel);
}

bool CSetupDlg::FillPortList() {
    ListBoxView ports(portList_);
    return detect::FillPortList(env_, detection_, GetSafeHwnd(), ports);
}

}  // namespace wizard_app
