// labelview: what the printer would print for a byte stream: one PNG per label and a summary line
// per job on standard output.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "labelview.h"

namespace {

const char kUsage[] =
    "usage: labelview [-o DIR] [STREAM|-]\n"
    "Reads a printer byte stream (standard input without STREAM or with -), writes DIR/label-NNN.png\n"
    "for every label (8 dots per millimetre; DIR defaults to the current folder) and one line per job\n"
    "and per plain-text line to standard output. A malformed stream stops with its byte offset.\n";

int Fail(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "labelview: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = ".", input = "-";
    bool haveInput = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "-o") {
            if (i + 1 >= argc) return Fail("-o needs a folder");
            dir = argv[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return Fail("unknown option " + a + " (--help for usage)");
        } else if (haveInput) {
            return Fail("one stream only");
        } else {
            input = a;
            haveInput = true;
        }
    }

    std::vector<uint8_t> data;
    if (input == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(input, std::ios::binary);
        if (!in) return Fail(input + ": cannot be read");
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    const labelview::Parsed parsed = labelview::ParseStream(data.data(), data.size());
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    int number = 0;
    for (const labelview::Item& item : parsed.items) {
        if (item.kind == labelview::Item::Kind::Text) {
            std::printf("text at byte %zu: \"%s\"\n", item.offset, labelview::Escaped(item.text).c_str());
            continue;
        }
        ++number;
        char name[32];
        std::snprintf(name, sizeof name, "label-%03d.png", number);
        const std::string path = (std::filesystem::path(dir) / name).string();
        labelview::Canvas canvas;
        std::string why;
        std::string where;
        if (labelview::Render(item.label, data.data(), &canvas, &why)) {
            if (!labelview::WritePng(canvas, path, &why)) return Fail(why);
            where = " -> " + path;
        } else {
            where = " (no picture: " + why + ")";
        }
        std::printf("label %d at byte %zu: %s%s\n", number, item.label.offset, labelview::Summary(item.label).c_str(),
                    where.c_str());
    }
    if (!parsed.ok)
        return Fail("malformed stream at byte " + std::to_string(parsed.errorOffset) + ": " + parsed.error);
    return 0;
}
