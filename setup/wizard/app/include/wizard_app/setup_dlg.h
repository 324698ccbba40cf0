// CSetupDlg (dialog 102): the wizard window and its four pages: model (2), port (3),
// summary (4) and install (5). It applies the decisions of wizard/wizard_logic.h; detection and
// the install worker come from setup/detect and setup/engine through the Env it is given.
#pragma once

#include <string>

#include "detect/detection_flow.h"
#include "engine/env.h"
#include "wizard/wizard_logic.h"

#include "controls/my_button.h"
#include "controls/picture_ctrl.h"
#include "controls/text_progress_ctrl.h"
#include "dialogs/dlg_is_close.h"
#include "framework/controls.h"
#include "framework/dialog.h"

namespace wizard_app {

class CSetupDlg : public fw::CDialogEx {
public:
    CSetupDlg(engine::Env& env, detect::DetectionState& detection);
    ~CSetupDlg() override;

    // The detection result and the choices; read by the install page.
    std::u16string detectedModel;
    std::u16string modelName;
    std::u16string portName;
    std::u16string driverKind;   // no page sets it
    int currentPage = 1;

    void ShowPage(int newPage, int oldPage);
    void SetModelPage(bool enter);
    void SetPortPage(bool enter);
    void SetSummaryPage(bool enter);
    void SetInstallPage(bool enter);
    void DetectPrinterModel();
    bool FillPortList();

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG& msg) override;
    void OnOK() override {}       // Enter never ends the wizard
    void OnCancel() override {}   // nor does Escape; WM_CLOSE does

private:
    void Place(fw::CWnd& control, int x, int y, int width, int height, bool show = true);
    void SetFaceAndPlace(controls::CMyButton& button, UINT face, int x, int y, int width, int height);
    void SetPicture(controls::CPictureCtrl& picture, UINT bitmap, int x, int y, int width, int height);
    LRESULT OnEraseBackground(HDC dc);
    LRESULT OnTimer(UINT_PTR id);
    LRESULT OnInstallResult(LPARAM installed);
    void OnClose();
    void Next() { ChangePage(+1); }
    void Back() { ChangePage(-1); }
    void ChangePage(int step) {
        if (wizard::PageChangeAllowed(currentPage, install_.running())) ShowPage(currentPage + step, currentPage);
    }
    // A page change by a button's click, which the click guard remembers.
    void ChangePageFrom(const fw::CWnd& button, int step);
    void FocusPage();

    engine::Env& env_;
    detect::DetectionState& detection_;
    detect::CPrinterCatalog catalog_;   // knows the catalogue's path from the dialog's start
    HICON icon_ = nullptr;
    fw::CFont captionFont_;
    fw::CFont listFont_;
    controls::CPictureCtrl messagePicture_, captionPicture_, sloganPicture_, logoPicture_;
    controls::CMyButton back_, next_, cancel_, finish_;
    fw::CListBox modelList_, portList_;
    controls::CTextProgressCtrl progress_;
    dialogs::CDlgIsClose closeConfirm_;
    wizard::InstallGuard install_;
    wizard::ClickGuard clickGuard_;
};

}  // namespace wizard_app
