// The instructions file is outside input: any decoded text must split into at most 256 display
// lines of at most 30 characters, and scrolling over them must stay inside the table.
#include "dialogs/explain_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const auto lines = dialogs::MakeDisplayLines(dialogs::SplitTextLines(text));
    if (lines.size() > dialogs::kExplainMaxLines) std::abort();
    std::size_t chars = 0;
    for (const auto& l : lines) {
        if (l.size() > dialogs::kExplainLineWidth) std::abort();
        chars += l.size();
    }
    if (chars > text.size()) std::abort();
    const int count = static_cast<int>(lines.size());
    int first = 0;
    const int deltas[] = {-120, -120, 120, -240, -120, 60};
    for (std::size_t i = 0; i < size && i < 600; ++i) {
        const int visible = 1 + data[0] % 40;
        first = dialogs::ScrollFirstLine(first, count, visible, deltas[data[i] % 6]);
        const int last = dialogs::LastVisibleLine(first, count, visible);
        if (first < 0 || last > count || last < first) std::abort();
    }
    return 0;
}
