// labelview as a program: an input it cannot read, and an output it cannot write, end with exit 2
// and one line saying why; an input without end is refused at the cap instead of read forever.
#include <gtest/gtest.h>
#include "programs.h"
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// The blank label the plug-in writes: a 10 mm square with a picture and no bitmap.
const std::string kBlankLabel =
    "SIZE 10 mm, 10 mm\r\n \t\tDIRECTION 0,0\r\n \t\tREFERENCE 0,0\r\n \t\tOFFSET 0 mm\r\n \t\tSET PEEL OFF\r\n"
    " \t\tSET CUTTER OFF\r\n \t\tSET PARTIAL_CUTTER OFF\r\n \t\tSET TEAR ON\r\n \t\tCLS\r\n        PRINT 1,1\r\n";

using programs::Outcome;
using programs::Slurp;

fs::path Scratch(const std::string& name) { return programs::Scratch("labelview", name); }

// labelview with args, its standard output caught unless args send it elsewhere.
Outcome Labelview(const std::string& args, const fs::path& dir) {
    return programs::Shell("timeout 60 " + std::string(LABELVIEW_EXE) + " " + args, dir,
                           args.find(" > ") != std::string::npos);
}

}  // namespace

TEST(Program, InputsThatCannotBeRead) {
    const fs::path dir = Scratch("input");
    const std::string folder = (dir / "folder.bin").string();
    fs::create_directories(folder);
    // Root reads any file, but no one reads the unmapped first page of its own memory.
    std::string unreadable = (dir / "unreadable.bin").string();
    std::ofstream(unreadable, std::ios::binary) << kBlankLabel;
    fs::permissions(unreadable, fs::perms::none);
    int unreadableErrno = EACCES;
    if (::access(unreadable.c_str(), R_OK) == 0) {
        unreadable = "/proc/self/mem";
        unreadableErrno = EIO;
    }
    const std::string missing = (dir / "missing.bin").string();
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {folder, folder + ": is a folder"},
        {"/tmp", "/tmp: is a folder"},
        {missing, missing + ": cannot be read: No such file or directory"},
        {unreadable, unreadable + ": cannot be read: " + std::strerror(unreadableErrno)},
        {"/dev/zero", "/dev/zero: larger than 128 MiB"},
        {"- < /dev/zero", "standard input: larger than 128 MiB"},
    };
    for (const Case& c : cases) {
        const Outcome r = Labelview("-o " + (dir / "out").string() + " " + c.args, dir);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err, "labelview: " + c.message + "\n") << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_FALSE(fs::exists(dir / "out" / "label-001.png")) << c.args;
    }
    fs::permissions(dir / "unreadable.bin", fs::perms::owner_read | fs::perms::owner_write);

    // An empty device is an empty stream.
    const Outcome empty = Labelview("-o " + (dir / "out").string() + " /dev/null", dir);
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
}

TEST(Program, OutputsThatCannotBeWritten) {
    const fs::path dir = Scratch("output");
    const std::string stream = (dir / "stream.bin").string();
    std::ofstream(stream, std::ios::binary) << kBlankLabel + "a text line\n" + kBlankLabel;
    const std::string file = (dir / "a-file").string();
    std::ofstream(file) << "x";
    // A picture's name taken by a folder, and one that leads to a full disk.
    fs::create_directories(dir / "taken" / "label-001.png");
    fs::create_directories(dir / "full");
    fs::create_symlink("/dev/full", dir / "full" / "label-002.png");
    const std::string taken = (dir / "taken" / "label-001.png").string(),
                      full = (dir / "full" / "label-002.png").string();
    struct Case {
        std::string args;
        std::string message;
        size_t summaryLines;   // written before the fault
    } cases[] = {
        {"-o " + file + " " + stream, file + ": the folder cannot be made: Not a directory", 0},
        {"-o " + file + "/sub " + stream, file + "/sub: the folder cannot be made: Not a directory", 0},
        {"-o " + (dir / "taken").string() + " " + stream, taken + ": cannot be written: Is a directory", 0},
        {"-o " + (dir / "full").string() + " " + stream, full + ": cannot be written: No space left on device", 2},
        {"-o " + (dir / "ok").string() + " " + stream + " > /dev/full", "standard output: write failed", 0},
        {"-o " + (dir / "ok").string() + " --help > /dev/full", "standard output: write failed", 0},
    };
    for (const Case& c : cases) {
        const Outcome r = Labelview(c.args, dir);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err, "labelview: " + c.message + "\n") << c.args;
        EXPECT_EQ(size_t(std::count(r.out.begin(), r.out.end(), '\n')), c.summaryLines) << c.args << ": " << r.out;
    }

    // The same stream where everything can be written.
    const Outcome r = Labelview("-o " + (dir / "fine").string() + " " + stream, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::is_regular_file(dir / "fine" / "label-002.png"));
}
