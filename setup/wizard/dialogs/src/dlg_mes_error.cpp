#include "dialogs/dlg_mes_error.h"

#include "dialogs/error_layout.h"
#include "dialogs/skin.h"
#include "wizard_res/resource.h"

#include <atomic>

namespace dialogs {

CDlgMesError::CDlgMesError(HWND parent) : CDialogEx(IDD_MESERROR, parent) {
    OnMessage(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) {
        FillWhite(reinterpret_cast<HDC>(wp), GetClientRect());
        return LRESULT(1);
    });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        Paint();
        return LRESULT(0);
    });
    OnCommand(IDC_ERROR_OK, [this] { EndDialog(1); });
}

void CDlgMesError::OnOK() {
    if (!ClickFocusedButton()) EndDialog(1);
}

BOOL CDlgMesError::OnInitDialog() {
    CDialogEx::OnInitDialog();
    using fw::Px;
    SetWindowPos(nullptr, 0, 0, Px(407), Px(299), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow(::GetWindow(GetSafeHwnd(), GW_OWNER));
    const ErrorLayout layout = LayoutErrorText(errorText);
    okButton.SubclassDlgItem(IDC_ERROR_OK, *this);
    okButton.name = u"确认";
    okButton.SetFace(IDB_CONFIRM);
    // A long code pushes the button down; placed once here rather than on every paint.
    okButton.MoveWindow(Px(layout.okX), Px(layout.okY), Px(107), Px(36));
    captionPicture.SubclassDlgItem(IDC_ERROR_PIC, *this);
    captionPicture.MoveWindow(Px(80), Px(53), Px(151), Px(45));
    captionPicture.LoadPicture(fw::ResourceModule(), IDB_INSTALL_FAILED, nullptr);
    messageFont.CreateFont(Px(12), 0, 0, 0, 400, FALSE, FALSE, FALSE, 134, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, 32, kSkinFontFace);
    return TRUE;
}

void CDlgMesError::Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
    const RECT client = GetClientRect();
    FillWhite(dc, client);
    DrawFrame(dc, client);
    HGDIOBJ oldFont = ::SelectObject(dc, messageFont.Get() ? static_cast<HGDIOBJ>(messageFont.Get())
                                                           : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    for (const TextRun& run : LayoutErrorText(errorText).runs) {
        const std::wstring text = fw::ToWide(run.text);
        ::TextOutW(dc, fw::Px(run.x), fw::Px(run.y), text.c_str(), static_cast<int>(text.size()));
    }
    ::SelectObject(dc, oldFont);
    ::EndPaint(GetSafeHwnd(), &ps);
}

namespace {
std::atomic<HWND> g_owner{nullptr};
}

void SetErrorDialogOwner(HWND owner) { g_owner = owner; }

void ShowErrorCode(const std::u16string& code) {
    HWND owner = g_owner.load();
    CDlgMesError dialog(owner && ::IsWindow(owner) ? owner : nullptr);
    dialog.errorText = code;
    dialog.DoModal();
}

void ErrorDialogReporter::ShowErrorCode(const std::u16string& code) { dialogs::ShowErrorCode(code); }

}  // namespace dialogs
