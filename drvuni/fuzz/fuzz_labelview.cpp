// labelview's parser and renderer on arbitrary streams.
#include <cstdlib>

#include "labelview.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const labelview::Parsed parsed = labelview::ParseStream(data, size);
    if (!parsed.ok && parsed.errorOffset > size) __builtin_trap();
    size_t last = 0;
    for (const labelview::Item& item : parsed.items) {
        if (item.offset < last || item.offset >= size) __builtin_trap();
        last = item.offset;
        if (item.kind != labelview::Item::Kind::Label) continue;
        const labelview::Label& l = item.label;
        if (l.hasBitmap && l.bitsOffset + size_t(l.bytesPerRow * l.rows) > size) __builtin_trap();
        // Small canvases only: a large one is a memset, not a parse.
        if (l.widthMm > 64 || l.heightMm > 64) continue;
        labelview::Canvas canvas;
        std::string why;
        labelview::Render(l, data, &canvas, &why);
        labelview::Summary(l);
    }
    return 0;
}
