// The instructions text of CDlgExplain: decoded text to display lines, and the wheel's limits.
#pragma once

#include <string>
#include <vector>

namespace dialogs {

constexpr std::size_t kExplainLineWidth = 30;   // characters (UTF-16 units) per display line
constexpr std::size_t kExplainMaxLines = 256;   // display lines kept; the rest of a long text is dropped

// Splits decoded text as a text-mode line reader does: "\n" ends a line, a "\r" at a line end is
// dropped, a last line without a line end still counts, and Ctrl-Z ends the text.
std::vector<std::u16string> SplitTextLines(const std::u16string& text);

// Cuts each line into display lines of at most 30 characters, at most 256 in all.
std::vector<std::u16string> MakeDisplayLines(const std::vector<std::u16string>& textLines);

// Whole lines that fit from `top` down to `bottom`, one every `lineStep` pixels and each
// `lineHeight` tall; never less than one.
int FittingLines(int top, int bottom, int lineStep, int lineHeight);

// The top line after one wheel message; only steps of exactly +120 or -120 scroll, and no
// further than needed to bring the last line into view.
int ScrollFirstLine(int firstLine, int lineCount, int visibleLines, int wheelDelta);

// Index one past the last line drawn when firstLine is at the top.
int LastVisibleLine(int firstLine, int lineCount, int visibleLines);

}  // namespace dialogs
