// CDlgIsClose (dialog 161): asks whether to quit the installation. 1 from "是", 2 from "否" or
// Escape; Enter presses the focused button, 是 at first. One object may be run again and again; each run makes a new window.
#pragma once

#include "controls/my_button.h"
#include "controls/picture_ctrl.h"
#include "framework/dialog.h"

namespace dialogs {

class CDlgIsClose : public fw::CDialogEx {
public:
    explicit CDlgIsClose(HWND parent = nullptr);

    controls::CMyButton yesButton;
    controls::CMyButton noButton;
    controls::CPictureCtrl questionPicture;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
};

}  // namespace dialogs
