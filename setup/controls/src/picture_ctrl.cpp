#include "controls/picture_ctrl.h"

namespace controls {

CPictureCtrl::CPictureCtrl() {
    OnMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return Default();
    });
}

void CPictureCtrl::OnSubclassed() {
    // Replaces the static's kind: or-ing SS_OWNERDRAW into another kind would make a third one.
    ModifyStyle(SS_TYPEMASK, SS_OWNERDRAW);
}

bool CPictureCtrl::LoadResourceImage(UINT id, const wchar_t* type) {
    bool streamMade = false;
    const bool found = picture.LoadResourceImage(id, type, &streamMade);
    if (streamMade) loaded = true;
    return found;
}

bool CPictureCtrl::LoadPicture(HINSTANCE module, UINT id, const wchar_t* type) {
    if (type && *type)
        picture.LoadResourceImage(id, type);
    else
        picture.LoadBitmapImage(module, id);
    loaded = true;
    if (GetSafeHwnd())
        ::RedrawWindow(GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return true;
}

void CPictureCtrl::DrawItem(const DRAWITEMSTRUCT& item) {
    if (!loaded) return;
    picture.Draw(item.hDC, GetClientRect());
}

}  // namespace controls
