#include <cctype>
#include <climits>
#include <cstring>

#include "labeljob.h"

namespace labeljob {

const char kUsage[] =
    "usage: labeljob [--feature KEYWORD=OPTION]... [--blank] [--text-run TOP,BOTTOM,TEXT]... [IMAGE.pbm|-]\n"
    "Sends one band (a P1 or P4 PBM image of at most 128 MiB; black is printed) through the label\n"
    "plug-in and writes the printer bytes to standard output. Without IMAGE and without text runs the\n"
    "image is read from standard input.\n"
    "The band is built as Unidrv delivers one: each row padded to 32 bits (DWORD-aligned rows) with\n"
    "blank dots, so the bytes printed are those the real print path sends for an image of any width.\n"
    "The label is as wide as the padded row: a 33-dot-wide image gives 8 bytes a row, SIZE 8 mm.\n"
    "--feature answers a driver feature (e.g. Orientation=LANDSCAPE, RotatePrint=Rotate180,\n"
    "VerticalOffset=2, VerticalDirection=Up, UseFont=Enable); --blank has the host mark the band blank;\n"
    "--text-run sends a UTF-8 text run through the text output hook before the band.\n";

namespace {

constexpr uint32_t kMaxSide = 100000;
constexpr uint64_t kMaxBytes = uint64_t(64) << 20;

// Header tokens: whitespace and comments (from '#' to the end of the line) separate them.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& d) : d_(d) {}

    void SkipSpaceAndComments() {
        while (pos_ < d_.size()) {
            if (d_[pos_] == '#') {
                while (pos_ < d_.size() && d_[pos_] != '\n' && d_[pos_] != '\r') ++pos_;
            } else if (std::isspace(d_[pos_])) {
                ++pos_;
            } else {
                return;
            }
        }
    }

    bool Number(uint32_t* value) {
        SkipSpaceAndComments();
        uint64_t v = 0;
        const size_t start = pos_;
        while (pos_ < d_.size() && d_[pos_] >= '0' && d_[pos_] <= '9') {
            v = v * 10 + (d_[pos_] - '0');
            if (v > kMaxSide * 10ull) return false;
            ++pos_;
        }
        if (pos_ == start) return false;
        *value = uint32_t(v);
        return true;
    }

    size_t pos_ = 0;
    const std::vector<uint8_t>& d_;
};

}  // namespace

bool ParsePbm(const std::vector<uint8_t>& data, Pbm* image, std::string* error) {
    if (data.size() < 2 || data[0] != 'P' || (data[1] != '1' && data[1] != '4')) {
        *error = "not a PBM image (P1 or P4)";
        return false;
    }
    const bool raw = data[1] == '4';
    Reader r(data);
    r.pos_ = 2;
    if (r.pos_ >= data.size() || !(std::isspace(data[r.pos_]) || data[r.pos_] == '#')) {
        *error = "bad PBM header";
        return false;
    }
    uint32_t w = 0, h = 0;
    if (!r.Number(&w) || !r.Number(&h)) {
        *error = "bad PBM header: width and height expected";
        return false;
    }
    if (w == 0 || h == 0) {
        *error = "bad PBM header: empty image";
        return false;
    }
    const uint64_t rowBytes = (uint64_t(w) + 7) / 8;
    if (w > kMaxSide || h > kMaxSide || rowBytes * h > kMaxBytes) {
        *error = "image too large (" + std::to_string(w) + " x " + std::to_string(h) + ")";
        return false;
    }
    if (r.pos_ >= data.size() || !std::isspace(data[r.pos_])) {
        *error = raw ? "truncated image data" : "bad PBM header";
        return false;
    }
    ++r.pos_;   // the one whitespace byte before the raster
    Pbm out;
    out.width = w;
    out.height = h;
    out.bits.assign(size_t(rowBytes * h), 0);
    if (raw) {
        if (data.size() - r.pos_ < out.bits.size()) {
            *error = "truncated image data";
            return false;
        }
        std::memcpy(out.bits.data(), &data[r.pos_], out.bits.size());
        // Bits past the width carry nothing.
        if (w % 8 != 0)
            for (uint32_t y = 0; y < h; ++y) out.bits[size_t(y) * rowBytes + rowBytes - 1] &= uint8_t(0xFF << (8 - w % 8));
    } else {
        for (uint64_t i = 0; i < uint64_t(w) * h; ++i) {
            while (r.pos_ < data.size() && std::isspace(data[r.pos_])) ++r.pos_;
            if (r.pos_ >= data.size()) {
                *error = "truncated image data";
                return false;
            }
            const uint8_t c = data[r.pos_++];
            if (c != '0' && c != '1') {
                *error = "bad pixel data at byte " + std::to_string(r.pos_ - 1);
                return false;
            }
            const uint32_t x = uint32_t(i % w), y = uint32_t(i / w);
            if (c == '1') out.bits[size_t(y) * rowBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    }
    *image = std::move(out);
    return true;
}

unisim::BandInput BandFromImage(const Pbm& image) {
    unisim::BandInput band;
    const size_t imageRow = (image.width + 7) / 8, S = (size_t(image.width) + 31) / 32 * 4;
    band.width = int32_t(image.width);
    band.height = int32_t(image.height);
    band.sizeImage = uint32_t(S * image.height);
    band.bits.assign(band.sizeImage, 0xFF);
    for (size_t y = 0; y < image.height; ++y)
        for (size_t i = 0; i < imageRow; ++i) band.bits[y * S + i] = uint8_t(~image.bits[y * imageRow + i]);
    if (image.width % 8 != 0)
        for (size_t y = 0; y < image.height; ++y) band.bits[y * S + imageRow - 1] |= uint8_t(0xFF >> (image.width % 8));
    return band;
}

bool Utf8ToUtf16(const std::string& in, std::u16string* out) {
    out->clear();
    for (size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            n = 4;
        } else {
            return false;
        }
        if (i + n > in.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            const auto cc = static_cast<unsigned char>(in[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = cp << 6 | (cc & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(char16_t(0xD800 + (cp >> 10)));
            out->push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(char16_t(cp));
        }
        i += n;
    }
    return true;
}

namespace {

bool ParseInt32(const std::string& s, int32_t* v) {
    if (s.empty() || s.size() > 11) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    if (s[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    *v = int32_t(value);
    return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i], value;
        bool hasValue = false;
        const size_t eq = a.find('=');
        if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            hasValue = true;
        }
        auto next = [&](std::string* v) {
            if (hasValue) {
                *v = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                *error = a + " needs a value";
                return false;
            }
            *v = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--blank") {
            if (hasValue) {
                *error = "--blank takes no value";
                return false;
            }
            o.blank = true;
        } else if (a == "--feature") {
            std::string v;
            if (!next(&v)) return false;
            const size_t sep = v.find('=');
            if (sep == std::string::npos || sep == 0) {
                *error = "--feature wants KEYWORD=OPTION, not '" + v + "'";
                return false;
            }
            o.features[v.substr(0, sep)] = v.substr(sep + 1);
        } else if (a == "--text-run") {
            std::string v;
            if (!next(&v)) return false;
            const size_t c1 = v.find(','), c2 = c1 == std::string::npos ? c1 : v.find(',', c1 + 1);
            unisim::TextInput run;
            if (c2 == std::string::npos || !ParseInt32(v.substr(0, c1), &run.top) ||
                !ParseInt32(v.substr(c1 + 1, c2 - c1 - 1), &run.bottom)) {
                *error = "--text-run wants TOP,BOTTOM,TEXT, not '" + v + "'";
                return false;
            }
            if (!Utf8ToUtf16(v.substr(c2 + 1), &run.text)) {
                *error = "--text-run text is not UTF-8";
                return false;
            }
            o.textRuns.push_back(std::move(run));
        } else if (a.size() > 1 && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        } else {
            if (o.image) {
                *error = "one image only";
                return false;
            }
            o.image = a;
        }
    }
    if (!o.image && o.textRuns.empty()) o.image = "-";
    *options = std::move(o);
    return true;
}

unisim::Session MakeSession(const Options& options, const Pbm* image) {
    unisim::Session session;
    session.features = options.features;
    session.pages.emplace_back();
    for (const unisim::TextInput& run : options.textRuns) session.pages.back().push_back(unisim::PageItem::Of(run));
    if (image != nullptr) {
        unisim::BandInput band = BandFromImage(*image);
        band.blank = options.blank;
        session.pages.back().push_back(unisim::PageItem::Of(std::move(band)));
    }
    return session;
}

}  // namespace labeljob
