// CAboutDlg (dialog 100): the framework dialog of the about box; its OK button ends it with 1.
#pragma once

#include "framework/dialog.h"
#include "wizard_res/resource.h"

namespace dialogs {

class CAboutDlg : public fw::CDialogEx {
public:
    explicit CAboutDlg(HWND parent = nullptr) : CDialogEx(IDD_ABOUTBOX, parent) {}
};

}  // namespace dialogs
