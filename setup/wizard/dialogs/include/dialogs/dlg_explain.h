// CDlgExplain (dialog 159): the usage instructions, the GBK text file beside the program, in
// display lines of 30 characters, scrolled with the wheel until the last line is in view; the red
// cross closes it (result 2).
#pragma once

#include "controls/picture_ctrl.h"
#include "framework/dialog.h"

#include <string>
#include <vector>

namespace dialogs {

class CDlgExplain : public fw::CDialogEx {
public:
    explicit CDlgExplain(HWND parent = nullptr);

    // The instructions file: the program's folder and "USB驱动安装说明.txt".
    static std::wstring InstructionsPath();
    // Reads a file into `lines`; false (and no lines) when it cannot be opened.
    bool LoadText(const std::wstring& path);

    std::vector<std::u16string> lines;  // at most 256 display lines
    bool textLoaded = false;
    fw::CFont textFont;
    int firstLine = 0;
    int lineCount = 0;
    int visibleLines = 1;   // whole lines that fit inside the inner frame, set when it opens
    controls::CPictureCtrl closePicture;

    // Where the text is read from when the dialog opens; InstructionsPath() unless set.
    std::wstring textPath;

protected:
    BOOL OnInitDialog() override;

private:
    RECT TextArea() const;
    void Paint();
};

}  // namespace dialogs
