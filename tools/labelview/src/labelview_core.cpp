#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "labelview.h"

namespace labelview {
namespace {

class Cursor {
public:
    Cursor(const uint8_t* d, size_t n, size_t pos) : d_(d), n_(n), pos_(pos) {}

    bool Literal(const char* text) {
        const size_t len = std::strlen(text);
        size_t k = 0;
        while (k < len && pos_ + k < n_ && d_[pos_ + k] == uint8_t(text[k])) ++k;
        if (k < len) {
            // The fault is at the first byte that differs, or where the stream ends.
            pos_ += k;
            return Fail(pos_ == n_ ? std::string("the stream ends inside a label job")
                                   : std::string("expected \"") + Shown(text + k) + "\"");
        }
        pos_ += len;
        return true;
    }

    bool Number(int64_t* value) {
        size_t p = pos_;
        const bool negative = p < n_ && d_[p] == '-';
        if (negative) ++p;
        const size_t digits = p;
        int64_t v = 0;
        while (p < n_ && d_[p] >= '0' && d_[p] <= '9') {
            if (p - digits >= 18) return Fail("number too long");
            v = v * 10 + (d_[p] - '0');
            ++p;
        }
        if (p == digits) return Fail("expected a number");
        pos_ = p;
        *value = negative ? -v : v;
        return true;
    }

    bool Fail(std::string why) {
        if (error_.empty()) {
            error_ = std::move(why);
            errorAt_ = pos_;
        }
        return false;
    }

    static std::string Shown(const char* text) { return Escaped(text); }

    const uint8_t* d_;
    size_t n_;
    size_t pos_;
    std::string error_;
    size_t errorAt_ = 0;
};

// "SIZE <n> mm, <n> mm\r\n" at pos, with the two numbers.
bool SizeLine(const uint8_t* d, size_t n, size_t pos, int64_t* w, int64_t* h, size_t* end) {
    Cursor c(d, n, pos);
    if (!c.Literal("SIZE ") || !c.Number(w) || !c.Literal(" mm, ") || !c.Number(h) || !c.Literal(" mm\r\n")) return false;
    *end = c.pos_;
    return true;
}

bool Job(Cursor& c, Label* label) {
    const char* fixed[] = {" \t\tOFFSET 0 mm\r\n", " \t\tSET PEEL OFF\r\n", " \t\tSET CUTTER OFF\r\n",
                           " \t\tSET PARTIAL_CUTTER OFF\r\n", " \t\tSET TEAR ON\r\n", " \t\tCLS\r\n"};
    if (!c.Literal(" \t\tDIRECTION 0,0\r\n") || !c.Literal(" \t\tREFERENCE ") || !c.Number(&label->refX) ||
        !c.Literal(",") || !c.Number(&label->refY) || !c.Literal("\r\n"))
        return false;
    for (const char* line : fixed)
        if (!c.Literal(line)) return false;
    if (!c.Literal("        ")) return false;
    if (c.n_ - c.pos_ >= 7 && std::memcmp(c.d_ + c.pos_, "BITMAP ", 7) == 0) {
        if (!c.Literal("BITMAP 0,0,") || !c.Number(&label->bytesPerRow) || !c.Literal(",") || !c.Number(&label->rows) ||
            !c.Literal(",1,"))
            return false;
        if (label->bytesPerRow < 0 || label->rows < 0) return c.Fail("negative bitmap size");
        const size_t left = c.n_ - c.pos_;
        if (label->bytesPerRow != 0 && uint64_t(label->rows) > left / uint64_t(label->bytesPerRow))
            return c.Fail("the stream ends inside the bitmap (" + std::to_string(label->bytesPerRow) + " x " +
                          std::to_string(label->rows) + " bytes announced, " + std::to_string(left) + " left)");
        label->hasBitmap = true;
        label->bitsOffset = c.pos_;
        c.pos_ += size_t(label->bytesPerRow * label->rows);
    }
    if (!c.Literal("PRINT ") || !c.Number(&label->sets) || !c.Literal(",") || !c.Number(&label->copies) ||
        !c.Literal("\r\n"))
        return false;
    return true;
}

}  // namespace

std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char ch : text) {
        if (ch == '\r') out += "\\r";
        else if (ch == '\n') out += "\\n";
        else if (ch == '\t') out += "\\t";
        else if (ch == '"' || ch == '\\') { out += '\\'; out += char(ch); }
        else if (ch >= 32 && ch < 127) out += char(ch);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", ch);
            out += buf;
        }
    }
    return out;
}

Parsed ParseStream(const uint8_t* d, size_t n) {
    Parsed out;
    size_t pos = 0;
    while (pos < n) {
        int64_t w = 0, h = 0;
        size_t end = 0;
        if (SizeLine(d, n, pos, &w, &h, &end)) {
            Item item{Item::Kind::Label, {}, pos, {}};
            item.label.offset = pos;
            item.label.widthMm = w;
            item.label.heightMm = h;
            Cursor c(d, n, end);
            if (w < 0 || h < 0) c.Fail("negative label size");
            if (!c.error_.empty() || !Job(c, &item.label)) {
                out.ok = false;
                out.errorOffset = c.errorAt_;
                out.error = c.error_;
                return out;
            }
            out.items.push_back(std::move(item));
            pos = c.pos_;
            continue;
        }
        // A text line ends at LF (which it does not keep) or where a job begins.
        size_t stop = pos;
        while (stop < n && d[stop] != '\n') {
            if (stop > pos && d[stop] == 'S' && SizeLine(d, n, stop, &w, &h, &end)) break;
            ++stop;
        }
        out.items.push_back(Item{Item::Kind::Text, {}, pos, std::string(reinterpret_cast<const char*>(d + pos), stop - pos)});
        pos = (stop < n && d[stop] == '\n') ? stop + 1 : stop;
    }
    return out;
}

bool Render(const Label& label, const uint8_t* stream, Canvas* canvas, std::string* why) {
    const int64_t w = label.widthMm * kDotsPerMm, h = label.heightMm * kDotsPerMm;
    if (w <= 0 || h <= 0) {
        *why = "empty label";
        return false;
    }
    if (w > kMaxSideDots || h > kMaxSideDots || w * h > kMaxDots) {
        *why = "label too large to draw";
        return false;
    }
    Canvas c;
    c.width = uint32_t(w);
    c.height = uint32_t(h);
    const size_t rowBytes = (c.width + 7) / 8;
    c.bits.assign(rowBytes * c.height, 0xFF);
    if (label.hasBitmap) {
        const int64_t dots = label.bytesPerRow * 8;
        // Only the rows and dots that land on the canvas.
        const int64_t firstRow = label.refY < 0 ? -label.refY : 0;
        const int64_t endRow = std::min<int64_t>(label.rows, h - label.refY);
        for (int64_t by = firstRow; by < endRow; ++by) {
            const int64_t y = label.refY + by;
            const uint8_t* row = stream + label.bitsOffset + size_t(by * label.bytesPerRow);
            const int64_t from = label.refX < 0 ? -label.refX : 0;
            const int64_t to = std::min<int64_t>(dots, w - label.refX);
            for (int64_t bx = from; bx < to; ++bx) {
                if ((row[bx / 8] >> (7 - bx % 8)) & 1) continue;
                const int64_t x = label.refX + bx;
                c.bits[size_t(y) * rowBytes + size_t(x / 8)] &= uint8_t(~(0x80 >> (x % 8)));
            }
        }
    }
    *canvas = std::move(c);
    return true;
}

bool WritePng(const Canvas& canvas, const std::string& path, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        *error = path + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        // libpng gives up on a short write too; the stream then tells why.
        const int writeError = std::ferror(f) ? errno : 0;
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        *error = writeError != 0 ? path + ": cannot be written: " + std::strerror(writeError)
                                 : path + ": PNG encoding failed";
        return false;
    }
    png_init_io(png, f);
    // 1-bit grey: 0 black, 1 white, the printer's own polarity.
    png_set_IHDR(png, info, canvas.width, canvas.height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, 8000, 8000, PNG_RESOLUTION_METER);   // 8 dots per millimetre
    png_write_info(png, info);
    const size_t rowBytes = (canvas.width + 7) / 8;
    for (uint32_t y = 0; y < canvas.height; ++y)
        png_write_row(png, const_cast<png_bytep>(&canvas.bits[y * rowBytes]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    // Buffered bytes reach the file only here, so a full disk shows up here.
    const bool failed = std::fflush(f) != 0 || std::ferror(f);
    const int writeError = errno;
    if (std::fclose(f) != 0 || failed) {
        *error = path + ": cannot be written: " + std::strerror(failed ? writeError : errno);
        return false;
    }
    return true;
}

std::string Summary(const Label& l) {
    std::string s = "size " + std::to_string(l.widthMm) + " x " + std::to_string(l.heightMm) + " mm, reference " +
                    std::to_string(l.refX) + "," + std::to_string(l.refY) + ", bitmap ";
    s += l.hasBitmap ? std::to_string(l.bytesPerRow * 8) + " x " + std::to_string(l.rows) + " dots" : "none";
    s += ", print " + std::to_string(l.sets) + "," + std::to_string(l.copies);
    return s;
}

}  // namespace labelview
