// Where CDlgMesError writes its texts and puts its OK button for a given error text.
#pragma once

#include <string>
#include <vector>

namespace dialogs {

constexpr std::size_t kErrorLineWidth = 21;

struct TextRun {
    int x = 0, y = 0;
    std::u16string text;
    bool operator==(const TextRun& o) const { return x == o.x && y == o.y && text == o.text; }
};

struct ErrorLayout {
    std::vector<TextRun> runs;   // the code lines, then the two advice lines
    bool moveOk = false;         // long codes push the OK button down
    int okX = 150, okY = 205;
};

extern const char16_t kErrorCodeLabel[];    // "错误代码："
extern const char16_t kErrorAdviceClose[];  // first advice line
extern const char16_t kErrorAdviceVendor[]; // second advice line

ErrorLayout LayoutErrorText(const std::u16string& errorText);

}  // namespace dialogs
