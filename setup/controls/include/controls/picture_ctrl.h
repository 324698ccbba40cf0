// CPictureCtrl: an owner-drawn static that shows a Picture scaled to its client area.
#pragma once

#include "controls/picture.h"
#include "framework/controls.h"

namespace controls {

class CPictureCtrl : public fw::CStatic {
public:
    CPictureCtrl();

    // type non-empty: a resource of that type (LoadResourceImage); empty or null: a bitmap
    // resource of `module`. Marks the control loaded and redraws it at once. Returns true.
    bool LoadPicture(HINSTANCE module, UINT id, const wchar_t* type);
    // Loads without redrawing; loaded is set once the bytes reached the decoder.
    bool LoadResourceImage(UINT id, const wchar_t* type);

    bool loaded = false;
    Picture picture;

protected:
    void OnSubclassed() override;
    bool WantsDrawItem() const override { return true; }
    void DrawItem(const DRAWITEMSTRUCT& item) override;
};

}  // namespace controls
