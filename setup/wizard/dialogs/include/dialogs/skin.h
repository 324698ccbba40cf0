// What the small skinned dialogs share: the font face, the white face and the blue frame.
#pragma once

#include "framework/wnd.h"

namespace dialogs {

// The skin's face; Windows (and Wine) substitute a face with the Chinese glyphs when it is missing.
constexpr wchar_t kSkinFontFace[] = L"方正兰亭黑_GBK";
constexpr COLORREF kFrameColour = RGB(0, 65, 128);
constexpr int kFrameWidth = 2;

void FillWhite(HDC dc, const RECT& rect);

// The frame (two pixels at 100 %) along the inside of `rect`. The pen is centred on its path, so
// the path runs half its width in: drawn on the rectangle's edge, half of it would fall outside.
void DrawFrame(HDC dc, const RECT& rect);

// A solid pen of the frame, for frames drawn along explicit points.
HPEN CreateFramePen();

}  // namespace dialogs
