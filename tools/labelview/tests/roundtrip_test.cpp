// labeljob then labelview: images of many sizes in both orientations and every rotation come out
// as the printer prints them, and the bytes between agree with the second reading.
#include <gtest/gtest.h>
#include "programs.h"
#include <png.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "labeljob.h"
#include "labelview.h"
#include "reference.h"

namespace fs = std::filesystem;

namespace {

labeljob::Pbm RandomImage(uint32_t w, uint32_t h, std::mt19937& rng) {
    labeljob::Pbm img;
    img.width = w;
    img.height = h;
    const uint32_t rowBytes = (w + 7) / 8;
    img.bits.assign(size_t(rowBytes) * h, 0);
    const uint32_t inkedRows = rng() % 3 == 0 ? h - rng() % h : h;   // sometimes a blank tail
    for (uint32_t y = 0; y < inkedRows; ++y)
        for (uint32_t x = 0; x < w; ++x)
            if (rng() % 3 == 0) img.bits[y * rowBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
    return img;
}

struct Expectation {
    uint32_t width = 0, height = 0;      // canvas, dots
    std::vector<std::vector<bool>> printed;
};

// What the printer shows, from the picture's geometry: the band (black is printed, rows padded
// blank to 32 bits), turned a quarter for landscape (the rows the band lacks print, as 0 bits), a half for
// Rotate180, cut by the offsets, placed at the reference on a canvas of the label's size.
Expectation Expect(const labeljob::Pbm& img, bool landscape, bool half, uint32_t v, uint32_t h, bool up, bool left) {
    const uint32_t S = (img.width + 31) / 32 * 4;
    uint32_t dotsW = 8 * S, rows = img.height;
    auto band = [&](uint32_t x, uint32_t y) { return x < img.width && img.Black(x, y); };
    std::function<bool(uint32_t, uint32_t)> dot = band;
    if (landscape) {
        const uint32_t B = (img.height + 7) / 8;
        dot = [=](uint32_t x, uint32_t y) {
            const uint32_t srcRow = 8 * B - 1 - x;
            return srcRow >= img.height ? true : band(y, srcRow);
        };
        dotsW = 8 * B;
        rows = img.width;
    }
    if (half) {
        auto inner = dot;
        dot = [=](uint32_t x, uint32_t y) { return inner(dotsW - 1 - x, rows - 1 - y); };
    }
    Expectation e;
    const uint32_t bytes = dotsW / 8;
    e.width = 8 * bytes;
    if (h >= bytes || 8 * v >= rows) {   // nothing left of the band: the 10 mm blank label
        e.width = e.height = 80;
        e.printed.assign(80, std::vector<bool>(80, false));
        return e;
    }
    const uint32_t colStart = (h > 0 && left) ? h : 0, keptDots = 8 * (bytes - h);
    const uint32_t rowStart = (v > 0 && up) ? 8 * v : 0, rowEnd = (v > 0 && !up) ? rows - 8 * v : rows;
    uint32_t lastInked = rowStart;   // one past the last row with a printed dot in the kept columns
    for (uint32_t y = rowStart; y < rowEnd; ++y)
        for (uint32_t x = 0; x < keptDots; ++x)
            if (dot(8 * colStart + x, y)) lastInked = y + 1;
    const uint32_t heightRows = (up ? rows - 8 * v : rows) - (rowEnd - lastInked);
    const uint32_t mm = heightRows / 8 + (rows > heightRows + 8 ? 1 : 0);
    e.height = 8 * mm;
    const uint32_t refX = left ? 0 : 8 * h, refY = up ? 0 : 8 * v;
    e.printed.assign(e.height, std::vector<bool>(e.width, false));
    for (uint32_t Y = 0; Y < e.height; ++Y)
        for (uint32_t X = 0; X < e.width; ++X) {
            if (X < refX || Y < refY || X - refX >= keptDots || Y - refY >= lastInked - rowStart) continue;
            e.printed[Y][X] = dot(8 * colStart + X - refX, rowStart + Y - refY);
        }
    return e;
}

std::string Features(const unisim::Features& f) {
    std::string s;
    for (const auto& [k, v] : f) s += k + "=" + v + " ";
    return s;
}

}  // namespace

TEST(RoundTrip, ManySizesOrientationsAndRotations) {
    std::mt19937 rng(42);
    const uint32_t widths[] = {1, 7, 8, 9, 31, 64, 100, 203};
    const uint32_t heights[] = {1, 5, 8, 16, 23, 40, 97, 161};
    int cases = 0;
    for (uint32_t w : widths)
        for (uint32_t h : heights)
            for (const char* orientation : {"PORTRAIT", "LANDSCAPE"})
                for (const char* rotation : {"NonRotate", "Rotate180", "RotateRight90"}) {
                    const labeljob::Pbm img = RandomImage(w, h, rng);
                    labeljob::Options o;
                    o.features = {{"Orientation", orientation}, {"RotatePrint", rotation}};
                    uint32_t v = 0, hOff = 0;
                    bool up = false, left = false;
                    switch (rng() % 4) {
                    case 1: v = 1 + rng() % 2; up = rng() % 2; break;
                    case 2: hOff = 1 + rng() % 2; left = rng() % 2; break;
                    case 3: v = 1; hOff = 1; up = left = true; break;
                    default: break;
                    }
                    if (v) o.features["VerticalOffset"] = std::to_string(v);
                    if (v) o.features["VerticalDirection"] = up ? "Up" : "Down";
                    if (hOff) o.features["HorizontalOffset"] = std::to_string(hOff);
                    if (hOff) o.features["HorizontalDirection"] = left ? "Left" : "Right";
                    const std::string what = std::to_string(w) + "x" + std::to_string(h) + " " + Features(o.features);

                    unisim::Module module;
                    std::string error;
                    ASSERT_TRUE(module.Load(&error)) << error;
                    const unisim::SessionResult r = unisim::RunSession(module, labeljob::MakeSession(o, &img));
                    ASSERT_TRUE(r.ok) << r.error;

                    // The bytes: the second reading of the same band and settings.
                    const unisim::BandInput band = labeljob::BandFromImage(img);
                    ref::Settings s;
                    s.rotation = std::string(rotation) == "Rotate180" ? 3 : std::string(rotation) == "NonRotate" ? 0 : 1;
                    s.verticalOffset = v;
                    s.horizontalOffset = hOff;
                    s.verticalShiftUp = up;
                    s.horizontalShiftLeft = left;
                    const auto want = ref::ProcessBand(s, std::string(orientation) == "PORTRAIT",
                                                       ref::Band{band.bits, band.width, band.height, band.sizeImage, false});
                    ASSERT_TRUE(want.has_value());
                    ASSERT_EQ(std::string(r.printed.begin(), r.printed.end()), *want) << what;

                    // The picture.
                    const labelview::Parsed parsed = labelview::ParseStream(r.printed.data(), r.printed.size());
                    ASSERT_TRUE(parsed.ok) << what << ": " << parsed.error;
                    ASSERT_EQ(parsed.items.size(), 1u) << what;
                    const Expectation e = Expect(img, std::string(orientation) == "LANDSCAPE",
                                                 std::string(rotation) == "Rotate180", v, hOff, up, left);
                    labelview::Canvas canvas;
                    std::string why;
                    const bool drawn = labelview::Render(parsed.items[0].label, r.printed.data(), &canvas, &why);
                    if (e.height == 0) {
                        EXPECT_FALSE(drawn) << what;
                        continue;
                    }
                    ASSERT_TRUE(drawn) << what << ": " << why;
                    ASSERT_EQ(canvas.width, e.width) << what;
                    ASSERT_EQ(canvas.height, e.height) << what;
                    for (uint32_t y = 0; y < e.height; ++y)
                        for (uint32_t x = 0; x < e.width; ++x)
                            ASSERT_EQ(canvas.Printed(x, y), e.printed[y][x]) << what << " at " << x << "," << y;
                    ++cases;
                }
    EXPECT_GT(cases, 300);
}

// Portrait without offsets shows the image itself, down to the label's height.
TEST(RoundTrip, PortraitShowsTheImage) {
    std::mt19937 rng(43);
    for (uint32_t w : {1u, 13u, 64u, 250u})
        for (uint32_t h : {8u, 64u, 200u}) {
            labeljob::Pbm img = RandomImage(w, h, rng);
            img.bits.back() |= uint8_t(0x80 >> ((w - 1) % 8));   // the last row is inked: no trim
            labeljob::Options o;
            unisim::Module module;
            std::string error;
            ASSERT_TRUE(module.Load(&error));
            const unisim::SessionResult r = unisim::RunSession(module, labeljob::MakeSession(o, &img));
            ASSERT_TRUE(r.ok) << r.error;
            const labelview::Parsed parsed = labelview::ParseStream(r.printed.data(), r.printed.size());
            ASSERT_TRUE(parsed.ok);
            labelview::Canvas canvas;
            ASSERT_TRUE(labelview::Render(parsed.items.at(0).label, r.printed.data(), &canvas, &error)) << error;
            ASSERT_EQ(canvas.height, h);
            ASSERT_EQ(canvas.width, (w + 31) / 32 * 32);
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < canvas.width; ++x)
                    ASSERT_EQ(canvas.Printed(x, y), x < w && img.Black(x, y)) << w << "x" << h << " at " << x << "," << y;
        }
}

// ---- the two programs ----

namespace {

using programs::Outcome;
using programs::Shell;
using programs::Slurp;

fs::path Scratch(const std::string& name) { return programs::Scratch("roundtrip", name); }

bool ReadPng(const fs::path& path, std::vector<uint8_t>* grey, uint32_t* w, uint32_t* h) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str())) return false;
    image.format = PNG_FORMAT_GRAY;
    grey->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, grey->data(), 0, nullptr)) return false;
    *w = image.width;
    *h = image.height;
    return true;
}

}  // namespace

TEST(Programs, PipeShowsTheImageTurnedAsAsked) {
    const fs::path dir = Scratch("pipe");
    std::mt19937 rng(44);
    const labeljob::Pbm img = RandomImage(37, 24, rng);
    {
        std::ofstream pbm(dir / "in.pbm", std::ios::binary);
        pbm << "P4\n# a comment\n37 24\n";
        pbm.write(reinterpret_cast<const char*>(img.bits.data()), std::streamsize(img.bits.size()));
    }
    struct Case {
        const char* name;
        const char* options;
        bool landscape, half;
    } cases[] = {{"portrait", "", false, false},
                 {"landscape", "--feature Orientation=LANDSCAPE", true, false},
                 {"landscape_half", "--feature Orientation=LANDSCAPE --feature=RotatePrint=Rotate180", true, true}};
    for (const Case& c : cases) {
        const fs::path out = dir / c.name;
        const Outcome r = Shell(std::string(LABELJOB_EXE) + " " + c.options + " " + (dir / "in.pbm").string() + " | " +
                                LABELVIEW_EXE + " -o " + out.string(),
                            dir);
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.out.find("label 1 at byte 0: size "), 0u) << r.out;
        std::vector<uint8_t> grey;
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(ReadPng(out / "label-001.png", &grey, &w, &h)) << c.name;
        const Expectation e = Expect(img, c.landscape, c.half, 0, 0, false, false);
        ASSERT_EQ(w, e.width) << c.name;
        ASSERT_EQ(h, e.height) << c.name;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) ASSERT_EQ(grey[y * w + x] == 0, e.printed[y][x]) << c.name << " " << x << "," << y;
    }
}

TEST(Programs, TextAndBlankLabels) {
    const fs::path dir = Scratch("text");
    {
        std::ofstream pbm(dir / "in.pbm");
        pbm << "P1 8 2 11110000 00001111\n";
    }
    const Outcome r = Shell(std::string(LABELJOB_EXE) + " --feature UseFont=Enable --text-run 0,10,Hello --text-run 0,10,' world'"
                            " --text-run 10,20,Line2 " + (dir / "in.pbm").string() + " > " + (dir / "text.bin").string() +
                            " && " + LABELJOB_EXE + " --blank " + (dir / "in.pbm").string() + " >> " +
                            (dir / "text.bin").string() + " && " + LABELVIEW_EXE + " -o " + (dir / "out").string() + " " +
                            (dir / "text.bin").string(),
                        dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "text at byte 0: \"Hello world\"\n"
              "text at byte 12: \"Line2\"\n"
              "label 1 at byte 17: size 10 x 10 mm, reference 0,0, bitmap none, print 1,1 -> " +
                  (dir / "out" / "label-001.png").string() + "\n");
}

TEST(Programs, MalformedStreamStopsAtItsOffset) {
    const fs::path dir = Scratch("malformed");
    {
        std::ofstream pbm(dir / "in.pbm", std::ios::binary);
        pbm << "P4 8 16\n";
        for (int i = 0; i < 16; ++i) pbm.put(char(0x55 + i));
    }
    const Outcome job = Shell(std::string(LABELJOB_EXE) + " " + (dir / "in.pbm").string() + " > " + (dir / "good.bin").string(), dir);
    ASSERT_EQ(job.status, 0) << job.err;
    const std::string good = Slurp(dir / "good.bin");
    const size_t rasterAt = good.size() - 11 - 16 * 4;   // 16 rows of 4 bytes
    struct Case {
        const char* name;
        std::string stream;
        size_t offset;
    } cases[] = {
        {"cut in the bitmap", good + good.substr(0, good.size() - 12), good.size() + rasterAt},
        {"cut in the header", good + good.substr(0, 40), good.size() + 40},
        {"wrong line", good + "SIZE 1 mm, 1 mm\r\n \t\tDIRECTION 1,0\r\n", good.size() + 30},
        {"no PRINT", good + good.substr(0, good.size() - 11) + "PRINT X", good.size() * 2 - 11 + 6},
    };
    for (const Case& c : cases) {
        const fs::path out = dir / c.name;
        {
            std::ofstream f(dir / "stream.bin", std::ios::binary);
            f << c.stream;
        }
        const Outcome r = Shell(std::string(LABELVIEW_EXE) + " -o '" + out.string() + "' " + (dir / "stream.bin").string(), dir);
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_EQ(r.err.rfind("labelview: malformed stream at byte " + std::to_string(c.offset) + ": ", 0), 0u)
            << c.name << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name;
        EXPECT_TRUE(fs::exists(out / "label-001.png")) << c.name;
        EXPECT_FALSE(fs::exists(out / "label-002.png")) << c.name;
    }
}
