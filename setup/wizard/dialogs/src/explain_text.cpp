#include "dialogs/explain_text.h"

#include <algorithm>

namespace dialogs {

std::vector<std::u16string> SplitTextLines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    const std::size_t end = std::min(text.find(u'\x1A'), text.size());
    std::size_t start = 0;
    while (start < end) {
        std::size_t nl = text.find(u'\n', start);
        if (nl == std::u16string::npos || nl > end) nl = end;
        std::size_t stop = nl;
        if (stop > start && text[stop - 1] == u'\r') --stop;
        lines.emplace_back(text, start, stop - start);
        start = nl + 1;
    }
    return lines;
}

std::vector<std::u16string> MakeDisplayLines(const std::vector<std::u16string>& textLines) {
    std::vector<std::u16string> out;
    for (const std::u16string& line : textLines) {
        if (line.size() <= kExplainLineWidth) {
            if (out.size() == kExplainMaxLines) return out;
            out.push_back(line);
            continue;
        }
        for (std::size_t at = 0; at < line.size(); at += kExplainLineWidth) {
            if (out.size() == kExplainMaxLines) return out;
            out.push_back(line.substr(at, kExplainLineWidth));
        }
    }
    return out;
}

int FittingLines(int top, int bottom, int lineStep, int lineHeight) {
    if (lineStep <= 0 || bottom - top < lineHeight) return 1;
    return (bottom - top - lineHeight) / lineStep + 1;
}

int ScrollFirstLine(int firstLine, int lineCount, int visibleLines, int wheelDelta) {
    const int kept = std::min<int>(lineCount, static_cast<int>(kExplainMaxLines));
    const int lastTop = std::max(0, kept - std::max(visibleLines, 1));
    if (wheelDelta == 120 && firstLine > 0) return firstLine - 1;
    if (wheelDelta == -120 && firstLine < lastTop) return firstLine + 1;
    return firstLine;
}

int LastVisibleLine(int firstLine, int lineCount, int visibleLines) {
    const int limit = std::min<int>(lineCount, static_cast<int>(kExplainMaxLines));
    return std::max(firstLine, std::min(firstLine + std::max(visibleLines, 1), limit));
}

}  // namespace dialogs
