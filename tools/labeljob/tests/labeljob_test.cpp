// labeljob: PBM reading, the band it becomes (rows padded to 32 bits, as Unidrv delivers them),
// the command line, and the program's answers to bad input (exit 2, one line, nothing on standard
// output).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "labeljob.h"

namespace fs = std::filesystem;
using labeljob::Pbm;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

TEST(Pbm, PlainAndRawReadTheSame) {
    const std::string plain = "P1\n# two rows\n10 2\n1010101010\n0 1 1 1 1 1 1 1 1 0\n";
    std::string raw = "P4 10 2\n";
    raw += std::string("\xAA\x80\x7F\x80", 4);
    Pbm a, b;
    std::string error;
    ASSERT_TRUE(labeljob::ParsePbm(Bytes(plain), &a, &error)) << error;
    ASSERT_TRUE(labeljob::ParsePbm(Bytes(raw), &b, &error)) << error;
    EXPECT_EQ(a.width, 10u);
    EXPECT_EQ(a.height, 2u);
    EXPECT_EQ(a.bits, b.bits);
    EXPECT_EQ(a.bits, (std::vector<uint8_t>{0xAA, 0x80, 0x7F, 0x80}));
}

TEST(Pbm, RawPaddingBitsAreIgnored) {
    Pbm img;
    std::string error;
    ASSERT_TRUE(labeljob::ParsePbm(Bytes(std::string("P4 3 1\n\xFF", 8)), &img, &error)) << error;
    EXPECT_EQ(img.bits, std::vector<uint8_t>{0xE0});
}

TEST(Pbm, BadImages) {
    struct Case {
        const char* name;
        std::string data;
        const char* error;
    } cases[] = {
        {"empty", "", "not a PBM image (P1 or P4)"},
        {"grey map", "P5 1 1 255\n\x00", "not a PBM image (P1 or P4)"},
        {"no size", "P1\n", "bad PBM header: width and height expected"},
        {"width only", "P4 8", "bad PBM header: width and height expected"},
        {"zero width", "P1 0 3\n", "bad PBM header: empty image"},
        {"huge", "P4 100001 1\n", "image too large (100001 x 1)"},
        {"magic run into the size", "P18 1\n1", "bad PBM header"},
        {"raw, short raster", "P4 16 2\n\x01\x02\x03", "truncated image data"},
        {"raw, nothing after the size", "P4 8 1", "truncated image data"},
        {"plain, short", "P1 3 2\n1 0 1 1", "truncated image data"},
        {"plain, other digit", "P1 2 1\n12", "bad pixel data at byte 8"},
    };
    for (const Case& c : cases) {
        Pbm img;
        std::string error;
        EXPECT_FALSE(labeljob::ParsePbm(Bytes(c.data), &img, &error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

// The band is laid out as Unidrv hands it over: rows of whole 32-bit words, a printed dot a 0 bit,
// blank dots and every padding bit 1 bits.
TEST(Band, RowsPaddedTo32Bits) {
    struct Case {
        uint32_t width, height;
        std::vector<uint8_t> image, band;
    } cases[] = {
        {1, 1, {0x80}, {0x7F, 0xFF, 0xFF, 0xFF}},
        {10, 2, {0xAA, 0x80, 0x00, 0x40}, {0x55, 0x7F, 0xFF, 0xFF, 0xFF, 0xBF, 0xFF, 0xFF}},
        {32, 1, {0x00, 0xFF, 0x0F, 0xF0}, {0xFF, 0x00, 0xF0, 0x0F}},
        {33, 1, {0x00, 0x00, 0x00, 0x01, 0x80}, {0xFF, 0xFF, 0xFF, 0xFE, 0x7F, 0xFF, 0xFF, 0xFF}},
        {33, 2, {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x80},
         {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF}},
        {64, 1, {1, 2, 3, 4, 5, 6, 7, 8}, {0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8, 0xF7}},
    };
    for (const Case& c : cases) {
        Pbm img;
        img.width = c.width;
        img.height = c.height;
        img.bits = c.image;
        const unisim::BandInput band = labeljob::BandFromImage(img);
        EXPECT_EQ(band.width, int32_t(c.width));
        EXPECT_EQ(band.height, int32_t(c.height));
        EXPECT_EQ(band.sizeImage, c.band.size()) << c.width << "x" << c.height;
        EXPECT_EQ(band.bits, c.band) << c.width << "x" << c.height;
    }
}

// The plug-in takes its bytes per row, and so the label's width in SIZE, from the padded row:
// an image of 33 dots prints as 8 bytes = 64 dots = 8 mm, its padding sent as blank bytes.
TEST(Band, LabelWidthFollowsThePaddedRow) {
    struct Case {
        uint32_t width;
        uint32_t rowBytes;
    } cases[] = {{1, 4}, {8, 4}, {31, 4}, {32, 4}, {33, 8}, {64, 8}, {65, 12}, {832, 104}};
    for (const Case& c : cases) {
        Pbm img;
        img.width = c.width;
        img.height = 8;
        img.bits.assign(size_t((c.width + 7) / 8) * 8, 0xFF);   // all black: nothing trimmed
        unisim::Module module;
        std::string error;
        ASSERT_TRUE(module.Load(&error)) << error;
        const unisim::SessionResult r = unisim::RunSession(module, labeljob::MakeSession(labeljob::Options{}, &img));
        ASSERT_TRUE(r.ok) << r.error;
        const std::string out(r.printed.begin(), r.printed.end());
        const std::string S = std::to_string(c.rowBytes);
        EXPECT_EQ(out.rfind("SIZE " + S + " mm, 1 mm\r\n", 0), 0u) << c.width << ": " << out.substr(0, 20);
        const std::string bitmap = "BITMAP 0,0," + S + ",8,1,";
        const size_t at = out.find(bitmap);
        ASSERT_NE(at, std::string::npos) << c.width;
        // Row 0 as sent: the printed dots as 0 bits, then blank bits up to the row's end.
        std::string row(c.rowBytes, '\xFF');
        for (uint32_t x = 0; x < c.width; ++x) row[x / 8] = char(uint8_t(row[x / 8]) & ~(0x80 >> (x % 8)));
        EXPECT_EQ(out.substr(at + bitmap.size(), c.rowBytes), row) << c.width;
        EXPECT_EQ(out.size(), at + bitmap.size() + 8 * c.rowBytes + 11) << c.width;
    }
}

TEST(Arguments, FeaturesRunsAndImage) {
    labeljob::Options o;
    std::string error;
    ASSERT_TRUE(labeljob::ParseArguments({"--feature", "RotatePrint=Rotate180", "--feature=Print Mode=Print By Text",
                                          "--blank", "--text-run", "-5,20,a,b \xE4\xB8\xAD", "img.pbm"},
                                         &o, &error))
        << error;
    EXPECT_EQ(o.features, (unisim::Features{{"RotatePrint", "Rotate180"}, {"Print Mode", "Print By Text"}}));
    EXPECT_TRUE(o.blank);
    ASSERT_EQ(o.textRuns.size(), 1u);
    EXPECT_EQ(o.textRuns[0].top, -5);
    EXPECT_EQ(o.textRuns[0].bottom, 20);
    EXPECT_EQ(o.textRuns[0].text, u"a,b \u4E2D");
    EXPECT_EQ(o.image, "img.pbm");

    // Text runs alone need no image; otherwise standard input is the image.
    ASSERT_TRUE(labeljob::ParseArguments({"--text-run", "0,1,x"}, &o, &error));
    EXPECT_FALSE(o.image.has_value());
    ASSERT_TRUE(labeljob::ParseArguments({"--feature", "UseFont=Enable"}, &o, &error));
    EXPECT_EQ(o.image, "-");
}

TEST(Arguments, Refusals) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--rotate"}, "unknown option --rotate"},
        {{"-x"}, "unknown option -x"},
        {{"--feature"}, "--feature needs a value"},
        {{"--feature", "Orientation"}, "--feature wants KEYWORD=OPTION, not 'Orientation'"},
        {{"--feature", "=LANDSCAPE"}, "--feature wants KEYWORD=OPTION, not '=LANDSCAPE'"},
        {{"--text-run", "1,2"}, "--text-run wants TOP,BOTTOM,TEXT, not '1,2'"},
        {{"--text-run", "1,x,abc"}, "--text-run wants TOP,BOTTOM,TEXT, not '1,x,abc'"},
        {{"--text-run", "99999999999,1,a"}, "--text-run wants TOP,BOTTOM,TEXT, not '99999999999,1,a'"},
        {{"--text-run", "1,2,\xC0\x80"}, "--text-run text is not UTF-8"},
        {{"--blank=1"}, "--blank takes no value"},
        {{"a.pbm", "b.pbm"}, "one image only"},
    };
    for (const Case& c : cases) {
        labeljob::Options o;
        std::string error;
        EXPECT_FALSE(labeljob::ParseArguments(c.args, &o, &error)) << c.args[0];
        EXPECT_EQ(error, c.error);
    }
}

TEST(Utf8, SurrogatesAndRefusals) {
    std::u16string out;
    ASSERT_TRUE(labeljob::Utf8ToUtf16("\xF0\x9F\x98\x80", &out));
    EXPECT_EQ(out, u"\U0001F600");
    for (const char* bad : {"\xED\xA0\x80", "\xE0\x80\xAF", "\xF4\x90\x80\x80", "\x80", "\xE4\xB8"})
        EXPECT_FALSE(labeljob::Utf8ToUtf16(bad, &out)) << bad;
}

// The program: bad input ends with exit 2, one line on standard error and no bytes on standard
// output, and never waits on an input without end; good input gives exactly the session's bytes.
TEST(Program, BadInputWritesNoJob) {
    const char* base = std::getenv("LP_TEST_OUTPUT");
    const fs::path dir = fs::path(base != nullptr ? base : fs::temp_directory_path().string()) / "labeljob";
    fs::create_directories(dir);
    auto write = [&](const char* name, const std::string& data) {
        std::ofstream(dir / name, std::ios::binary) << data;
        return (dir / name).string();
    };
    const std::string truncated = write("truncated.pbm", std::string("P4 16 4\n\x01\x02\x03", 11));
    const std::string header = write("header.pbm", "P2 4 4\n");
    const std::string good = write("good.pbm", "P1 8 8\n" + std::string(64, '1'));
    const std::string folder = (dir / "folder.pbm").string();
    fs::create_directories(folder);
    // A file the program may not read; root reads any file, but no one reads the unmapped first
    // page of its own memory.
    std::string unreadable = write("unreadable.pbm", "P1 1 1\n1\n");
    fs::permissions(unreadable, fs::perms::none);
    int unreadableErrno = EACCES;
    if (::access(unreadable.c_str(), R_OK) == 0) {
        unreadable = "/proc/self/mem";
        unreadableErrno = EIO;
    }
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {truncated, "labeljob: " + truncated + ": truncated image data\n"},
        {header, "labeljob: " + header + ": not a PBM image (P1 or P4)\n"},
        {(dir / "missing.pbm").string(),
         "labeljob: " + (dir / "missing.pbm").string() + ": cannot be read: No such file or directory\n"},
        {folder, "labeljob: " + folder + ": is a folder\n"},
        {"/tmp", "labeljob: /tmp: is a folder\n"},
        {unreadable, "labeljob: " + unreadable + ": cannot be read: " + std::strerror(unreadableErrno) + "\n"},
        {"/dev/zero", "labeljob: /dev/zero: larger than 128 MiB\n"},
        {"- < /dev/zero", "labeljob: standard input: larger than 128 MiB\n"},
        {"/dev/null", "labeljob: /dev/null: not a PBM image (P1 or P4)\n"},
        {"--frobnicate " + good, "labeljob: unknown option --frobnicate (--help for usage)\n"},
        {"--feature Orientation " + good, "labeljob: --feature wants KEYWORD=OPTION, not 'Orientation' (--help for usage)\n"},
        {"- < " + truncated, "labeljob: standard input: truncated image data\n"},
    };
    for (const Case& c : cases) {
        const std::string out = (dir / "out").string(), err = (dir / "err").string();
        const int rc =
            std::system(("timeout 60 " + std::string(LABELJOB_EXE) + " " + c.args + " >" + out + " 2>" + err).c_str());
        EXPECT_EQ(WEXITSTATUS(rc), 2) << c.args;
        EXPECT_EQ(fs::file_size(out), 0u) << c.args;
        std::ifstream e(err);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>()), c.message);
    }
    fs::permissions(dir / "unreadable.pbm", fs::perms::owner_read | fs::perms::owner_write);

    struct Good {
        std::string image;
        std::string start, end;
    } goods[] = {
        // Rows of 4 bytes: the 8 black dots, then 3 blank padding bytes.
        {good, "SIZE 4 mm, 1 mm\r\n", std::string("\0\xFF\xFF\xFF", 4) + "PRINT 1,1\r\n"},
        {write("33.pbm", "P1 33 8\n" + std::string(33 * 8, '1')), "SIZE 8 mm, 1 mm\r\n",
         std::string("\0\0\0\0\x7F\xFF\xFF\xFF", 8) + "PRINT 1,1\r\n"},
    };
    for (const Good& g : goods) {
        const int rc = std::system((std::string(LABELJOB_EXE) + " " + g.image + " >" + (dir / "out").string()).c_str());
        EXPECT_EQ(WEXITSTATUS(rc), 0) << g.image;
        std::ifstream o(dir / "out", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(o)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.substr(0, g.start.size()), g.start) << g.image;
        ASSERT_GE(bytes.size(), g.end.size()) << g.image;
        EXPECT_EQ(bytes.substr(bytes.size() - g.end.size()), g.end) << g.image;
    }
}
