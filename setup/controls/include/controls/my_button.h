// CMyButton: an owner-drawn push button showing one bitmap resource as its face, stretched
// smoothly to its size and swapped for the hover face of its `name` while the mouse is over it;
// a focus rectangle shows when it has the keyboard's focus. A double-click does nothing.
#pragma once

#include "framework/controls.h"

#include <string>

namespace controls {

class CMyButton : public fw::CButton {
public:
    CMyButton();

    // Sets the face on show and repaints without erasing.
    void SetFace(UINT id);

    UINT bitmapId = 0;    // the face on show (a bitmap of fw::ResourceModule())
    std::u16string name;  // picks the face pair; empty: the face never changes

protected:
    bool WantsDrawItem() const override { return true; }
    void DrawItem(const DRAWITEMSTRUCT& item) override;
};

}  // namespace controls
