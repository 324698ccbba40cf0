#include "dialogs/dlg_is_close.h"

#include "dialogs/skin.h"
#include "wizard_res/resource.h"

namespace dialogs {

CDlgIsClose::CDlgIsClose(HWND parent) : CDialogEx(IDD_ISCLOSE, parent) {
    OnMessage(WM_ERASEBKGND, [this](WPARAM wp, LPARAM) {
        FillWhite(reinterpret_cast<HDC>(wp), GetClientRect());
        return LRESULT(1);
    });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(GetSafeHwnd(), &ps);
        DrawFrame(dc, GetClientRect());
        ::EndPaint(GetSafeHwnd(), &ps);
        return LRESULT(0);
    });
    OnCommand(IDC_YES_BTN, [this] { EndDialog(1); });
    OnCommand(IDC_NO_BTN, [this] { EndDialog(2); });
}

void CDlgIsClose::OnOK() {
    // 是 has the focus first, so Enter alone still quits.
    if (!ClickFocusedButton()) EndDialog(1);
}

BOOL CDlgIsClose::OnInitDialog() {
    CDialogEx::OnInitDialog();
    using fw::Px;
    SetWindowPos(nullptr, 0, 0, Px(160), Px(105), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow(::GetWindow(GetSafeHwnd(), GW_OWNER));
    yesButton.SubclassDlgItem(IDC_YES_BTN, *this);
    yesButton.name = u"是";
    yesButton.SetFace(IDB_YES);
    yesButton.MoveWindow(Px(38), Px(60), Px(27), Px(27));
    noButton.SubclassDlgItem(IDC_NO_BTN, *this);
    noButton.name = u"否";
    noButton.SetFace(IDB_NO);
    noButton.MoveWindow(Px(87), Px(60), Px(27), Px(27));
    questionPicture.SubclassDlgItem(IDC_QUESTION_PIC, *this);
    questionPicture.MoveWindow(Px(23), Px(25), Px(119), Px(29));
    questionPicture.LoadPicture(fw::ResourceModule(), IDB_QUIT_QUESTION, nullptr);
    return TRUE;
}

}  // namespace dialogs
