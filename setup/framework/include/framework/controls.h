// Thin wrappers of the system controls the skin binds to its classes: CButton, CStatic,
// CProgressCtrl, CListBox. Bind with SubclassDlgItem(id, dialog).
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

namespace fw {

class CButton : public CWnd {};

class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int low, int high) const { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(low), high); }
    int SetPos(int pos) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    COLORREF SetBarColor(COLORREF c) const { return static_cast<COLORREF>(SendMessage(PBM_SETBARCOLOR, 0, c)); }
    BOOL SetMarquee(BOOL on, UINT intervalMs) const {
        return static_cast<BOOL>(SendMessage(PBM_SETMARQUEE, on, intervalMs));
    }
};

class CListBox : public CWnd {
public:
    int AddString(const std::wstring& s) const {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
    }
    int InsertString(int index, const std::wstring& s) const {
        return static_cast<int>(
            SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())));
    }
    void ResetContent() const { SendMessage(LB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
    // The entry's text, empty for an index out of range.
    std::wstring GetText(int index) const;
};

}  // namespace fw
