// CDlgIsClose (dialog 161): asks whether to quit the installation. 1 from "是" or Enter,
// 2 from "否" or Escape. One object may be run again and again; each run makes a new window.
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
};

}  // namespace dialogs
