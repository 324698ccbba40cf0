// labelview: what the printer would print for a byte stream: one PNG per label and a summary line
// per job on standard output.
#include <cstdio>
#include <filesystem>

#include "labelview.h"
#include "read_input.h"

namespace {

const char kUsage[] =
    "usage: labelview [-o DIR] [STREAM|-]\n"
    "Reads a printer byte stream of at most 128 MiB (standard input without STREAM or with -), writes\n"
    "DIR/label-NNN.png for every label (8 dots per millimetre; DIR defaults to the current folder) and\n"
    "one line per job and per plain-text line to standard output. A malformed stream stops with its\n"
    "byte offset; an input that cannot be read or an output that cannot be written stops with why.\n";

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
            return std::fflush(stdout) == 0 ? 0 : Fail("standard output: write failed");
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
    std::string error;
    if (!tools::ReadInput(input, labelview::kMaxStreamBytes, &data, &error))
        return Fail(tools::InputName(input) + ": " + error);

    const labelview::Parsed parsed = labelview::ParseStream(data.data(), data.size());
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return Fail(dir + ": the folder cannot be made: " + ec.message());
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
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("standard output: write failed");
    return 0;
}
