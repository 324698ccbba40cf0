// The catalogue is read only through the system's INI functions; the simulation stands in for
// them on the host. This table is read by both, with the same expected answers: on the host by
// the simulation, under Wine by GetPrivateProfileStringW/IntW themselves and by the simulation
// built for Windows.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "detect/catalog.h"
#include "platform/text.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"
#ifdef _WIN32
#include "win32/win32_platform.h"
#endif

namespace {
using namespace plat;

struct Backend {
    virtual ~Backend() = default;
    virtual Platform platform() = 0;
    virtual std::u16string folder() = 0;   // Windows path, no trailing backslash
};

struct SimBackend : Backend {
    sim::TempDir dir;
    sim::Machine machine{dir.path()};
    SimBackend() { machine.AddDirectory(u"C:\\ini"); }
    Platform platform() override { return machine.platform(); }
    std::u16string folder() override { return u"C:\\ini"; }
};

#ifdef _WIN32
struct RealBackend : Backend {
    std::u16string dir;
    RealBackend() {
        Platform p = win32::RealPlatform();
        char16_t module[MAX_PATH] = {};
        p.sys.GetModuleFileNameW(module, MAX_PATH);
        std::u16string path = FromBuffer(module, MAX_PATH);
        // A fresh folder per run: the system keeps parsed INI files cached by name.
        dir = path.substr(0, path.rfind(u'\\')) + u"\\ini-agreement-" + ToDecimal(p.sys.GetTickCount());
        p.files.CreateDirectoryW(dir.c_str());
    }
    Platform platform() override { return win32::RealPlatform(); }
    std::u16string folder() override { return dir; }
};
#endif

// ---- file contents

std::string Utf16(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// 热敏打印机, 标签机 and the ideographic space in code page 936.
const std::string kGbkModels = "\xC8\xC8\xC3\xF4\xB4\xF2\xD3\xA1\xBB\xFA";
const std::string kGbkLabel = "\xB1\xEA\xC7\xA9\xBB\xFA";
const std::string kGbkSpace = "\xA1\xA1";

const std::string kShipped = "[VID_PID]\r\nVID=vid_0000\r\nPID=pid_0000\r\n[" + kGbkModels +
                             "]\r\nCounts=2\r\n0=P-58\r\n1=" + kGbkLabel + "\r\n";
const std::u16string kShippedText = u"[VID_PID]\r\nVID=vid_0000\r\nPID=pid_0000\r\n[热敏打印机]\r\nCounts=2\r\n0=P-58\r\n1=标签机\r\n";

// ---- the table

struct Query {
    std::u16string section, key;
    DWORD units;                 // string reads: the buffer; 0 for an integer read
    std::u16string text;         // expected string
    int intDefault = 0;
    unsigned number = 0;         // expected integer
};
Query Str(std::u16string s, std::u16string k, std::u16string text, DWORD units = 260) {
    return Query{std::move(s), std::move(k), units, std::move(text)};
}
Query Int(std::u16string s, std::u16string k, int def, unsigned expected) {
    return Query{std::move(s), std::move(k), 0, {}, def, expected};
}

struct IniCase {
    const char* name;
    std::optional<std::string> bytes;   // none: no file
    std::vector<Query> queries;
};

const std::u16string k300(300, u'x');
const std::u16string k200 = u"P-" + std::u16string(198, u'9');

std::vector<IniCase> Cases() {
    return {
        {"ShippedGbk", kShipped,
         {Str(u"VID_PID", u"VID", u"vid_0000"), Str(u"VID_PID", u"PID", u"pid_0000"),
          Int(u"热敏打印机", u"Counts", 0, 2), Str(u"热敏打印机", u"0", u"P-58"), Str(u"热敏打印机", u"1", u"标签机"),
          Str(u"热敏打印机", u"2", u""), Str(u"热敏打印机", u"00", u"")}},
        {"ShippedUtf16", Utf16(kShippedText),
         {Str(u"VID_PID", u"VID", u"vid_0000"), Int(u"热敏打印机", u"Counts", 0, 2), Str(u"热敏打印机", u"1", u"标签机")}},
        {"LetterCase", "[vid_pid]\r\nvid=vid_1234\r\nPid=pid_5678\r\n[Models]\r\nCOUNTS=4\r\n",
         {Str(u"VID_PID", u"VID", u"vid_1234"), Str(u"Vid_Pid", u"PID", u"pid_5678"), Int(u"models", u"counts", 0, 4)}},
        {"Blanks", "  [VID_PID]  \r\n   VID   =   vid_0001   \r\n\tPID\t=\tpid_0002\t\r\n[s]\r\n0=  two  words  \r\n",
         {Str(u"VID_PID", u"VID", u"vid_0001"), Str(u"VID_PID", u"PID", u"pid_0002"), Str(u"s", u"0", u"two  words")}},
        // Only ASCII blanks are dropped: the ideographic space stays part of names and values.
        {"IdeographicSpaceGbk", "[s]\r\n0=" + kGbkSpace + "P-80" + kGbkSpace + "\r\n" + kGbkSpace + "1=x\r\n",
         {Str(u"s", u"0", u"\u3000P-80\u3000"), Str(u"s", u"1", u""), Str(u"s", u"\u30001", u"x")}},
        {"IdeographicSpaceUtf16", Utf16(u"[s]\r\n0=\u3000P-80\u3000\r\n1=\u00A0x\u0085\r\n"),
         {Str(u"s", u"0", u"\u3000P-80\u3000"), Str(u"s", u"1", u"\u00A0x\u0085")}},
        {"Quotes",
         "[s]\r\n0=\"P-58\"\r\n1='P-80'\r\n2=\"open\r\n3=\"\"\r\n4=\"a\"b\"\r\n5=\"mixed'\r\n6=  \"  padded  \"  \r\n7=\"\r\n",
         {Str(u"s", u"0", u"P-58"), Str(u"s", u"1", u"P-80"), Str(u"s", u"2", u"\"open"), Str(u"s", u"3", u""),
          Str(u"s", u"4", u"a\"b"), Str(u"s", u"5", u"\"mixed'"), Str(u"s", u"6", u"  padded  "), Str(u"s", u"7", u"\"")}},
        {"Duplicates", "[VID_PID]\r\nVID=first\r\nVID=second\r\n[other]\r\nX=1\r\n[vid_pid]\r\nVID=third\r\nPID=later\r\n",
         {Str(u"VID_PID", u"VID", u"first"), Str(u"VID_PID", u"PID", u"")}},
        {"KeysBeforeAnySection", "VID=early\r\nCounts=9\r\n[VID_PID]\r\nPID=pid_0003\r\n",
         {Str(u"VID_PID", u"VID", u""), Str(u"VID_PID", u"PID", u"pid_0003")}},
        {"Counts",
         "[a]\r\nCounts=3x\r\n[b]\r\nCounts=-1\r\n[c]\r\nCounts=\r\n[d]\r\nCounts=0600\r\n[e]\r\nCounts=abc\r\n"
         "[f]\r\nCounts=+5\r\n[g]\r\nCounts=0x1A\r\n[h]\r\nCounts=0000000000000000000000000000000005\r\n"
         "[i]\r\nCounts=4294967297\r\n[j]\r\nCounts= 12 \r\n",
         {Int(u"a", u"Counts", 7, 3), Int(u"b", u"Counts", 7, 0xFFFFFFFFu), Int(u"c", u"Counts", 7, 7),
          Int(u"d", u"Counts", 7, 600), Int(u"e", u"Counts", 7, 0), Int(u"f", u"Counts", 7, 5), Int(u"g", u"Counts", 7, 26),
          Int(u"h", u"Counts", 7, 0), Int(u"i", u"Counts", 7, 1), Int(u"j", u"Counts", 7, 12), Int(u"z", u"Counts", 7, 7),
          Int(u"a", u"missing", -3, 0xFFFFFFFDu)}},
        {"LongValues", "[s]\r\n0=" + ToUtf8(k300) + "\r\n1=" + ToUtf8(k200) + "\r\n2=\"" + std::string(126, 'q') + "\"\r\n",
         {Str(u"s", u"0", k300.substr(0, 259)), Str(u"s", u"1", k200.substr(0, 127), 128),
          Str(u"s", u"2", std::u16string(126, u'q'), 128), Str(u"s", u"0", u"xxx", 4)}},
        {"LineEnds", "[s]\n0=lf\r1=cr\n\n\r\r2=blank lines\n[t]\r\n0=t", {Str(u"s", u"0", u"lf"), Str(u"s", u"1", u"cr"),
          Str(u"s", u"2", u"blank lines"), Str(u"t", u"0", u"t")}},
        // Blanks inside the brackets are not part of the name, nor around keys and values there;
        // the ideographic space is no blank here either.
        {"BlanksInsideBrackets",
         "[ VID_PID ]\r\nVID = vid_0004 \r\n[\t" + kGbkModels + "\t]\r\nCounts=1\r\n0=P-58 \r\n"
         "[  two  words  ]\r\nkey \t=\t value \t\r\n\t [ s ] \r\n1=x\r\n[" + kGbkSpace + "w" + kGbkSpace + "]\r\n2=y\r\n",
         {Str(u"VID_PID", u"VID", u"vid_0004"), Str(u" VID_PID ", u"VID", u"vid_0004"), Int(u"热敏打印机", u"Counts", 0, 1),
          Str(u"热敏打印机", u"0", u"P-58"), Str(u"two  words", u"key", u"value"), Str(u"s", u"1", u"x"),
          Str(u"w", u"2", u""), Str(u"\u3000w\u3000", u"2", u"y")}},
        // Keys before any header are those of the empty name; "[ ]" and "[]" are that name too and,
        // coming later, never searched.
        {"EmptySectionName", "k=early\r\n[ ]\r\nk=v\r\nj=jj\r\n[s]\r\n[]\r\nj=j2\r\n",
         {Str(u"", u"k", u"early"), Str(u"  ", u"k", u"early"), Str(u"", u"j", u"")}},
        {"EmptySectionNameOnly", "[ ]\r\nk=v\r\n", {Str(u"", u"k", u"")}},
        {"HeaderForms", "[VID_PID] trailing\r\nVID=v\r\n[broken\r\nPID=p\r\n",
         {Str(u"VID_PID", u"VID", u"v"), Str(u"VID_PID", u"PID", u"p"), Str(u"broken", u"PID", u"")}},
        {"KeyWithoutValue", "[s]\r\n0=\r\n1\r\n2=P-2\r\n", {Str(u"s", u"0", u""), Str(u"s", u"1", u""), Str(u"s", u"2", u"P-2")}},
        {"Empty", "", {Str(u"VID_PID", u"VID", u""), Int(u"热敏打印机", u"Counts", 0, 0)}},
        {"MissingFile", std::nullopt,
         {Str(u"VID_PID", u"VID", u""), Str(u"VID_PID", u"PID", u""), Int(u"热敏打印机", u"Counts", 0, 0),
          Int(u"热敏打印机", u"Counts", 9, 9)}},
    };
}

std::unique_ptr<Backend> Make(const std::string& name) {
#ifdef _WIN32
    if (name == "win32") return std::make_unique<RealBackend>();
#endif
    (void)name;
    return std::make_unique<SimBackend>();
}

class IniAgreement : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override { backend = Make(GetParam()); }
    Platform p() { return backend->platform(); }
    std::u16string Write(const std::string& name, const std::optional<std::string>& bytes) {
        std::u16string path = backend->folder() + u"\\" + FromUtf8(name) + u".ini";
        if (!bytes) return path;
        HANDLE h = p().files.CreateFileW(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << name;
        DWORD n = 0;
        if (!bytes->empty()) p().files.WriteFile(h, bytes->data(), static_cast<DWORD>(bytes->size()), &n);
        p().files.CloseHandle(h);
        return path;
    }
    std::unique_ptr<Backend> backend;
};

TEST_P(IniAgreement, TableOfCatalogueFiles) {
    for (const IniCase& c : Cases()) {
        std::u16string path = Write(c.name, c.bytes);
        for (size_t q = 0; q < c.queries.size(); ++q) {
            const Query& query = c.queries[q];
            std::string where = std::string(c.name) + " query " + std::to_string(q) + " [" + ToUtf8(query.section) +
                                "] " + ToUtf8(query.key);
            if (query.units == 0) {
                EXPECT_EQ(p().files.GetPrivateProfileIntW(query.section.c_str(), query.key.c_str(), query.intDefault,
                                                          path.c_str()),
                          query.number)
                    << where;
                continue;
            }
            std::vector<char16_t> buffer(query.units, u'#');
            DWORD n = p().files.GetPrivateProfileStringW(query.section.c_str(), query.key.c_str(), u"", buffer.data(),
                                                         query.units, path.c_str());
            EXPECT_EQ(ToUtf8(FromBuffer(buffer.data(), buffer.size())), ToUtf8(query.text)) << where;
            EXPECT_EQ(n, query.text.size()) << where;
        }
    }
}

// The catalogue object on the same backends: counts, gaps and cuts.
TEST_P(IniAgreement, ReadModels) {
    std::string many = "[m]\r\nCounts=600\r\n";
    for (int i = 0; i < 600; ++i) many += std::to_string(i) + "=M" + std::to_string(i) + "\r\n";
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> models;
    };
    std::vector<Row> rows = {
        {"gap", "[m]\r\nCounts=3\r\n0=P-1\r\n2=P-3\r\n", {u"P-1", u"", u"P-3"}},
        {"fewer", "[m]\r\nCounts=2\r\n0=A\r\n1=B\r\n2=C\r\n", {u"A", u"B"}},
        {"negative", "[m]\r\nCounts=-1\r\n0=A\r\n", {}},
        {"zero", "[m]\r\nCounts=0\r\n0=A\r\n", {}},
        {"text", "[m]\r\nCounts=many\r\n0=A\r\n", {}},
        {"leadingZeroKey", "[m]\r\nCounts=1\r\n00=A\r\n", {u""}},
        {"long", "[m]\r\nCounts=1\r\n0=" + ToUtf8(k200) + "\r\n", {k200.substr(0, 127)}},
    };
    for (const Row& r : rows) {
        detect::CPrinterCatalog catalog(p(), Write(std::string("models-") + r.name, r.bytes));
        std::vector<std::u16string> table;
        EXPECT_EQ(catalog.ReadModels(u"m", table), r.models.size()) << r.name;
        EXPECT_EQ(table, r.models) << r.name;
    }
    detect::CPrinterCatalog catalog(p(), Write("models-600", many));
    std::vector<std::u16string> table;
    ASSERT_EQ(catalog.ReadModels(u"m", table), 512u);
    EXPECT_EQ(table.front(), u"M0");
    EXPECT_EQ(table.back(), u"M511");

    detect::CPrinterCatalog missing(p(), backend->folder() + u"\\none.ini");
    EXPECT_EQ(missing.ReadModels(u"m", table), 0u);
    detect::CIniReader reader(p());
    reader.SetPath(backend->folder() + u"\\none.ini");
    EXPECT_EQ(reader.ReadString(u"VID_PID", u"VID"), u"");
}

std::vector<std::string> Backends() {
#ifdef _WIN32
    return {"sim", "win32"};
#else
    return {"sim"};
#endif
}

INSTANTIATE_TEST_SUITE_P(Backends, IniAgreement, testing::ValuesIn(Backends()),
                         [](const auto& info) { return info.param; });

}  // namespace
