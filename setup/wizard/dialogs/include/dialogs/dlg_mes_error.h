// CDlgMesError (dialog 165): the installation failed, with an error code; and ShowErrorCode, the
// one way the engine and detection show it. ErrorDialogReporter hands engine::IErrorReporter
// calls to ShowErrorCode.
#pragma once

#include "controls/my_button.h"
#include "controls/picture_ctrl.h"
#include "engine/error_reporter.h"
#include "framework/dialog.h"

#include <string>

namespace dialogs {

class CDlgMesError : public fw::CDialogEx {
public:
    explicit CDlgMesError(HWND parent = nullptr);

    controls::CMyButton okButton;
    controls::CPictureCtrl captionPicture;
    fw::CFont messageFont;
    std::u16string errorText;  // shown after "错误代码："

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void Paint();
};

// Runs the error dialog with `code` modally on the calling thread (any thread), and returns when
// the user has closed it. It is owned by the window set here (the wizard's, while it is up), which
// it disables and stays above meanwhile; without one it has no owner.
void ShowErrorCode(const std::u16string& code);
void SetErrorDialogOwner(HWND owner);

class ErrorDialogReporter : public engine::IErrorReporter {
public:
    void ShowErrorCode(const std::u16string& code) override;
};

}  // namespace dialogs
