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

BOOL CDlgIsClose::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetWindowPos(nullptr, 0, 0, 160, 105, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow(::GetWindow(GetSafeHwnd(), GW_OWNER));
    yesButton.SubclassDlgItem(IDC_YES_BTN, *this);
    yesButton.name = u"是";
    yesButton.SetFace(IDB_YES);
    yesButton.MoveWindow(38, 60, 27, 27);
    noButton.SubclassDlgItem(IDC_NO_BTN, *this);
    noButton.name = u"否";
    noButton.SetFace(IDB_NO);
    noButton.MoveWindow(87, 60, 27, 27);
    questionPicture.SubclassDlgItem(IDC_QUESTION_PIC, *this);
    questionPicture.MoveWindow(23, 25, 119, 29);
    questionPicture.LoadPicture(fw::ResourceModule(), IDB_QUIT_QUESTION, nullptr);
    return TRUE;
}

}  // namespace dialogs
