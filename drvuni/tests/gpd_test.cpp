// The delivered printer descriptions against what the plug-in reads: every feature of the plug-in's
// own keyword table, with exactly the option keywords it compares, and the entries without which
// Unidrv would never hand the plug-in a band (label sizes, resolution, a colour mode that calls
// ImageProcessing). The package's INF says which descriptions are delivered; the files are read
// from the source tree (LP_SOURCE_DIR).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "drvuni/settings.h"
#include "gpd_reader.h"

namespace {

std::string SourceDir() {
    const char* dir = std::getenv("LP_SOURCE_DIR");
    return dir != nullptr ? dir : "";
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// ---- what a description must say ----

struct Option {
    std::string name;
    const gpd::Entry* entry;
};

struct Feature {
    const gpd::Entry* entry = nullptr;   // its first declaration
    std::vector<Option> options;         // from every declaration, in order
};

// A feature may be declared more than once; its options add up.
std::map<std::string, Feature> Features(const std::vector<gpd::Entry>& root) {
    std::map<std::string, Feature> features;
    for (const gpd::Entry& e : root) {
        if (e.keyword != "Feature") continue;
        Feature& f = features[gpd::SymbolName(e.value)];
        if (f.entry == nullptr) f.entry = &e;
        for (const gpd::Entry* o : e.All("Option")) f.options.push_back({gpd::SymbolName(o->value), o});
    }
    return features;
}

bool HasOption(const Feature& f, const std::string& name) {
    return std::any_of(f.options.begin(), f.options.end(), [&](const Option& o) { return o.name == name; });
}

bool ParsePair(const std::string& value, long* x, long* y) {
    char tail = 0;
    return std::sscanf(value.c_str(), " PAIR ( %ld , %ld ) %c", x, y, &tail) == 2;
}

const gpd::Entry* RootEntry(const std::vector<gpd::Entry>& root, std::string_view keyword) {
    for (const gpd::Entry& e : root)
        if (e.keyword == keyword) return &e;
    return nullptr;
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

bool HasDisplayName(const gpd::Entry& e) { return e.Find("Name") != nullptr || e.Find("rcNameID") != nullptr; }

const std::set<std::string> kStandardFeatures = {"Collate", "ColorMode", "Duplex", "Halftone", "InputBin",
                                                 "MediaType", "Memory", "Orientation", "OutputBin", "PageProtect",
                                                 "PaperSize", "RESDLL", "Resolution", "Stapling"};

// The names written unquoted must be plain symbols; a blank or a leading digit needs the quotes.
void CheckNames(const std::vector<gpd::Entry>& entries, std::vector<std::string>* p) {
    for (const gpd::Entry& e : entries) {
        if (e.keyword == "Feature" || e.keyword == "Option" || e.keyword == "DefaultOption") {
            if (gpd::SymbolName(e.value) == e.value && !gpd::IsPlainSymbol(e.value))
                p->push_back("line " + std::to_string(e.line) + ": *" + e.keyword + ": " + e.value +
                             " is no plain symbol name; it needs quotes");
        }
        CheckNames(e.children, p);
    }
}

void CheckPluginFeature(const drvuni::FeatureKeywords& want, const std::map<std::string, Feature>& features,
                        std::vector<std::string>* p) {
    const std::string name = want.feature;
    const auto it = features.find(name);
    if (it == features.end()) {
        std::string near;
        for (const auto& [have, f] : features)
            if (Lower(have) == Lower(name)) near = " (there is " + Quoted(have) + ")";
        p->push_back("feature " + Quoted(name) + " is missing" + near);
        return;
    }
    const Feature& f = it->second;
    std::set<std::string> compared;
    for (uint32_t i = 0; i < want.optionCount; ++i) {
        const std::string keyword = want.options[i].keyword;
        compared.insert(keyword);
        if (HasOption(f, keyword)) continue;
        std::string near;
        for (const Option& o : f.options)
            if (Lower(o.name) == Lower(keyword)) near = " (it has " + Quoted(o.name) + ")";
        p->push_back("feature " + Quoted(name) + " has no option " + Quoted(keyword) + near);
    }
    size_t others = 0;
    for (const Option& o : f.options) {
        if (compared.count(o.name)) continue;
        ++others;
        if (!want.otherIsASetting)
            p->push_back("feature " + Quoted(name) + " offers option " + Quoted(o.name) +
                         ", which the plug-in does not know");
    }
    if (want.otherIsASetting && others == 0)
        p->push_back("feature " + Quoted(name) + " offers no option besides the ones the plug-in compares, "
                     "so its other setting cannot be chosen");
}

void CheckPaperSizes(const Feature& f, std::vector<std::string>* p) {
    bool dimensioned = false;
    for (const Option& o : f.options) {
        if (o.name == "CUSTOMSIZE") continue;
        const std::string what = "PaperSize option " + Quoted(o.name);
        long areaX = 0, areaY = 0, originX = 0, originY = 0, pageX = 0, pageY = 0;
        const gpd::Entry* area = o.entry->Find("PrintableArea");
        const gpd::Entry* origin = o.entry->Find("PrintableOrigin");
        const gpd::Entry* page = o.entry->Find("PageDimensions");
        if (area == nullptr || !ParsePair(area->value, &areaX, &areaY)) p->push_back(what + " lacks *PrintableArea");
        if (origin == nullptr || !ParsePair(origin->value, &originX, &originY))
            p->push_back(what + " lacks *PrintableOrigin");
        if (page != nullptr && !ParsePair(page->value, &pageX, &pageY))
            p->push_back(what + ": *PageDimensions is no PAIR");
        if (area == nullptr || origin == nullptr) continue;
        if (areaX <= 0 || areaY <= 0) p->push_back(what + " has an empty printable area");
        // A band's rows are word-aligned and the label job sends every byte of a row, padding too.
        if (areaX % 32 != 0)
            p->push_back(what + ": printable width " + std::to_string(areaX) +
                         " is not a whole number of 32-dot words");
        if (page == nullptr) continue;
        dimensioned = true;
        if (originX < 0 || originY < 0 || originX + areaX > pageX || originY + areaY > pageY)
            p->push_back(what + ": the printable area leaves the page");
    }
    if (!dimensioned) p->push_back("no PaperSize option has *PageDimensions");
}

void CheckResolution(const Feature& f, std::vector<std::string>* p) {
    for (const Option& o : f.options) {
        const std::string what = "Resolution option " + Quoted(o.name);
        long x = 0, y = 0;
        // The label job counts 8 dots, one row byte, per millimetre.
        for (const char* k : {"DPI", "TextDPI"}) {
            const gpd::Entry* e = o.entry->Find(k);
            if (e == nullptr || !ParsePair(e->value, &x, &y) || x != 203 || y != 203)
                p->push_back(what + ": *" + k + " must be PAIR(203, 203)");
        }
        if (o.entry->Find("SpotDiameter") == nullptr) p->push_back(what + " lacks *SpotDiameter");
    }
}

void CheckColorModes(const Feature& f, std::vector<std::string>* p) {
    for (const Option& o : f.options) {
        const std::string what = "ColorMode option " + Quoted(o.name);
        // Without a callback id Unidrv never calls ImageProcessing, and nothing is printed.
        if (o.entry->Find("IPCallbackID") == nullptr) p->push_back(what + " lacks *IPCallbackID");
        // The plug-in spools the job itself, so the device takes no bitmap back from it.
        for (const char* k : {"DevBPP", "DevNumOfPlanes"}) {
            const gpd::Entry* e = o.entry->Find(k);
            if (e == nullptr || e->value != "0") p->push_back(what + ": *" + std::string(k) + " must be 0");
        }
        // Bands are read as 1 bit per dot; 1 is also the default.
        const gpd::Entry* bpp = o.entry->Find("DrvBPP");
        if (bpp != nullptr && bpp->value != "1") p->push_back(what + ": *DrvBPP must be 1");
    }
}

std::vector<std::string> Problems(const std::string& text) {
    std::vector<std::string> p;
    if (text.rfind("*GPDSpecVersion:", 0) != 0) p.push_back("*GPDSpecVersion is not the first entry");
    std::vector<gpd::Entry> root;
    std::string error;
    if (!gpd::Parse(text, &root, &error)) {
        p.push_back(error);
        return p;
    }
    CheckNames(root, &p);

    long x = 0, y = 0;
    const gpd::Entry* units = RootEntry(root, "MasterUnits");
    if (units == nullptr || !ParsePair(units->value, &x, &y) || x != 203 || y != 203)
        p.push_back("*MasterUnits must be PAIR(203, 203), the printer's dots");

    const std::map<std::string, Feature> features = Features(root);
    for (const drvuni::FeatureKeywords* f : drvuni::kFeaturesRead) CheckPluginFeature(*f, features, &p);

    for (const char* required : {"PaperSize", "Resolution", "InputBin", "ColorMode"}) {
        const auto it = features.find(required);
        if (it == features.end() || it->second.options.empty())
            p.push_back("feature " + Quoted(required) + " is missing or has no option");
    }
    for (const auto& [name, f] : features) {
        if (const gpd::Entry* d = f.entry->Find("DefaultOption"); d && !HasOption(f, gpd::SymbolName(d->value)))
            p.push_back("feature " + Quoted(name) + ": *DefaultOption " + d->value + " names no option");
        if (kStandardFeatures.count(name)) continue;
        if (!f.entry->Find("FeatureType")) p.push_back("custom feature " + Quoted(name) + " lacks *FeatureType");
        if (!HasDisplayName(*f.entry)) p.push_back("custom feature " + Quoted(name) + " has no display name");
        for (const Option& o : f.options)
            if (!HasDisplayName(*o.entry))
                p.push_back("option " + Quoted(o.name) + " of " + Quoted(name) + " has no display name");
    }
    if (const auto it = features.find("PaperSize"); it != features.end()) CheckPaperSizes(it->second, &p);
    if (const auto it = features.find("Resolution"); it != features.end()) CheckResolution(it->second, &p);
    if (const auto it = features.find("ColorMode"); it != features.end()) CheckColorModes(it->second, &p);
    return p;
}

std::string Lines(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& l : v) s += "\n  " + l;
    return s;
}

// ---- the package: which models it installs, with which description and files ----

struct Inf {
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> sections;   // lower-case names

    const std::vector<std::pair<std::string, std::string>>* Section(const std::string& name) const {
        const auto it = sections.find(Lower(name));
        return it == sections.end() ? nullptr : &it->second;
    }
    std::string Value(const std::string& section, const std::string& key) const {
        if (const auto* s = Section(section))
            for (const auto& [k, v] : *s)
                if (Lower(k) == Lower(key)) return v;
        return "";
    }
};

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

Inf ReadInf(const std::string& text) {
    Inf inf;
    std::vector<std::pair<std::string, std::string>>* current = nullptr;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        line = Trim(line.substr(0, line.find(';')));
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            current = &inf.sections[Lower(line.substr(1, line.size() - 2))];
            continue;
        }
        if (current == nullptr) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) current->emplace_back(line, "");
        else current->emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    return inf;
}

struct Model {
    std::string name;       // as the INF lists it
    std::string dataFile;   // its description
    std::vector<std::string> files;   // what its install section copies
};

// The models are the quoted entries of the INF's model sections that lead to a DataFile.
std::vector<Model> PackageModels(const Inf& inf) {
    std::vector<Model> models;
    std::set<std::string> seen;
    for (const auto& [section, lines] : inf.sections) {
        for (const auto& [key, value] : lines) {
            if (key.size() < 2 || key.front() != '"') continue;
            const std::string install = Trim(value.substr(0, value.find(',')));
            const std::string data = inf.Value(install, "DataFile");
            if (data.empty() || !seen.insert(key + data).second) continue;
            Model m{key.substr(1, key.size() - 2), data, {}};
            std::istringstream copies(inf.Value(install, "CopyFiles"));
            for (std::string list; std::getline(copies, list, ',');)
                if (const auto* files = inf.Section(Trim(list)))
                    for (const auto& [file, unused] : *files) m.files.push_back(file);
            models.push_back(m);
        }
    }
    return models;
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(SourceDir().empty()) << "LP_SOURCE_DIR names the source tree";
        std::string text;
        ASSERT_TRUE(ReadFile(SourceDir() + "/delivery/VT39/VT39.inf", &text));
        models = PackageModels(ReadInf(text));
        ASSERT_FALSE(models.empty()) << "the INF lists no model with a DataFile";
    }
    static std::string Delivered(const std::string& file) { return SourceDir() + "/delivery/files/" + file; }

    std::vector<Model> models;
};

TEST_F(Package, EveryModelsDescriptionReachesThePluginsFeatures) {
    for (const Model& m : models) {
        SCOPED_TRACE(m.dataFile);
        std::string text;
        ASSERT_TRUE(ReadFile(Delivered(m.dataFile), &text)) << "not delivered";
        EXPECT_EQ(Lines(Problems(text)), "");
        EXPECT_TRUE(Contains(m.files, m.dataFile)) << "not copied by its INF section";

        // Setup registers the driver under the INF's model name, and Unidrv takes the description's.
        std::vector<gpd::Entry> root;
        std::string error;
        ASSERT_TRUE(gpd::Parse(text, &root, &error)) << error;
        const gpd::Entry* name = RootEntry(root, "ModelName");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(gpd::SymbolName(name->value), m.name);
    }
}

// Unidrv loads the rendering plug-ins that an .ini among the driver's dependent files names.
TEST_F(Package, DriverIniNamesThePluginAmongTheCopiedFiles) {
    std::string text;
    ASSERT_TRUE(ReadFile(Delivered("VT39Set.ini"), &text));
    const Inf ini = ReadInf(text);
    const auto* oem = ini.Section("OEMFiles");
    ASSERT_NE(oem, nullptr) << "no [OEMFiles] section";
    std::vector<std::string> plugins;
    for (int n = 1;; ++n) {
        const std::string file = ini.Value("OEMFiles", "OEMDriverFile" + std::to_string(n));
        if (file.empty()) break;
        plugins.push_back(file);
    }
    ASSERT_FALSE(plugins.empty()) << "no OEMDriverFile1";
    EXPECT_NE(text.find("OEMDriverFile1=" + plugins[0]), std::string::npos) << "no blanks around the equal sign";
    for (const std::string& plugin : plugins) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(Delivered(plugin), &bytes)) << plugin << " is not delivered";
        for (const Model& m : models) {
            for (const std::string& needed : {plugin, std::string("VT39Set.ini")})
                EXPECT_TRUE(Contains(m.files, needed)) << m.name << " does not copy " << needed;
        }
    }
}

// The checks above catch what would cut the plug-in off from a setting: each change below, made to a
// delivered description, must be reported.
TEST(DescriptionCheck, ReportsEveryDrift) {
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        const char* reported;
        bool everywhere = false;
    } cases[] = {
        {"option keyword in another case", "*Option: Rotate180 {", "*Option: rotate180 {",
         "\"RotatePrint\" has no option \"Rotate180\" (it has \"rotate180\")"},
        {"option keyword misspelt", "*Option: RotateLeft90 {", "*Option: RotateLeft_90 {",
         "has no option \"RotateLeft90\""},
        {"an offset missing", "    *Option: \"30\" { *Name: \"30 mm\" }\n", "",
         "\"VerticalOffset\" has no option \"30\""},
        {"an offset the plug-in reads as 0", "*Option: \"30\" {", "*Option: \"31\" {", "offers option \"31\""},
        {"a rotation the plug-in does not know", "*Option: Rotate180 {", "*Option: Rotate270 {",
         "offers option \"Rotate270\""},
        {"feature missing", "*Feature: HorizontalDirection", "*Feature: HorizDirection",
         "feature \"HorizontalDirection\" is missing"},
        {"feature name in another case", "*Feature: UseFont", "*Feature: Usefont",
         "feature \"UseFont\" is missing (there is \"Usefont\")"},
        {"blank in an unquoted name", "*Feature: \"Print Mode\"", "*Feature: Print Mode", "it needs quotes"},
        {"digit-first unquoted name", "*Option: \"7\" {", "*Option: 7 {", "*Option: 7 is no plain symbol"},
        {"no text option", "    *Option: \"Print By Text\" { *Name: \"Text\" }\n", "",
         "\"Print Mode\" offers no option besides"},
        {"no way up", "    *Option: Up { *Name: \"Up\" }\n", "", "\"VerticalDirection\" offers no option besides"},
        {"no landscape", "    *Option: LANDSCAPE_CC90 { *Name: \"Landscape\" }\n", "",
         "\"Orientation\" offers no option besides"},
        {"default names no option", "*DefaultOption: NonRotate", "*DefaultOption: NoRotate",
         "*DefaultOption NoRotate names no option"},
        {"custom feature without a type", "    *Name: \"Rotate\"\n    *FeatureType: DOC_PROPERTY\n",
         "    *Name: \"Rotate\"\n", "\"RotatePrint\" lacks *FeatureType"},
        {"no callback for bands", "        *IPCallbackID: 1\n", "", "lacks *IPCallbackID"},
        {"device takes bitmaps back", "*DevBPP: 0", "*DevBPP: 1", "*DevBPP must be 0"},
        {"bands of 8 bits", "*DrvBPP: 1", "*DrvBPP: 8", "*DrvBPP must be 1"},
        {"labels without their size", "*PageDimensions:", "*%PageDimensions:",
         "no PaperSize option has *PageDimensions", true},
        {"printable area wider than the label", "*PrintableArea: PAIR(384, 320)", "*PrintableArea: PAIR(448, 320)",
         "the printable area leaves the page"},
        {"printable width off the word grid", "*PrintableArea: PAIR(384, 320)", "*PrintableArea: PAIR(392, 320)",
         "printable width 392 is not a whole number of 32-dot words"},
        {"no printable area", "        *PrintableArea: PAIR(384, 240)\n", "", "\"Label50x30\" lacks *PrintableArea"},
        {"other resolution", "*DPI: PAIR(203, 203)", "*DPI: PAIR(300, 300)", "*DPI must be PAIR(203, 203)"},
        {"other master units", "*MasterUnits: PAIR(203, 203)", "*MasterUnits: PAIR(406, 406)", "*MasterUnits"},
        {"a brace too many", "*Feature: UseFont\n{", "*Feature: UseFont\n{\n{", "an entry must start with *, not {"},
        {"comment before the version", "*GPDSpecVersion", "*% first\n*GPDSpecVersion", "not the first entry"},
    };
    std::string original;
    ASSERT_TRUE(ReadFile(SourceDir() + "/delivery/files/P-58.GPD", &original)) << "LP_SOURCE_DIR: " << SourceDir();
    ASSERT_EQ(Lines(Problems(original)), "");
    for (const Case& c : cases) {
        std::string text = original;
        size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.name << ": the description has no " << c.from;
        do {
            text.replace(at, std::strlen(c.from), c.to);
            at = text.find(c.from, at + std::strlen(c.to));
        } while (c.everywhere && at != std::string::npos);
        const std::string problems = Lines(Problems(text));
        EXPECT_NE(problems.find(c.reported), std::string::npos)
            << c.name << ": got" << (problems.empty() ? " nothing" : problems);
    }
}

// ---- the reader ----

// Entries as keyword=value and their blocks in braces, to compare structure at a glance.
std::string Shape(const std::vector<gpd::Entry>& entries) {
    std::string s;
    for (const gpd::Entry& e : entries) {
        if (!s.empty()) s += ' ';
        s += e.keyword + "=" + e.value;
        if (!e.children.empty()) s += "{" + Shape(e.children) + "}";
    }
    return s;
}

TEST(GpdReader, EntriesBlocksAndNames) {
    struct Case {
        const char* name;
        const char* text;
        const char* shape;
    } cases[] = {
        {"block on the next line", "*Feature: A\n{\n  *Option: B\n}\n", "Feature=A{Option=B}"},
        {"block on the same line, entries side by side",
         "*Option: O { *Name: \"2 x 2\" *DPI: PAIR(2, 2) }", "Option=O{Name=\"2 x 2\" DPI=PAIR(2, 2)}"},
        {"nesting", "*Feature: F\n{\n *Option: O\n {\n  *Command: CmdSelect { *Order: DOC_SETUP.1 }\n }\n}",
         "Feature=F{Option=O{Command=CmdSelect{Order=DOC_SETUP.1}}}"},
        {"comments and preprocessor lines", "*% a\n#Include: \"x.gpd\"\n*A: 1 *% after\n*B: 2",
         "A=1 B=2"},
        {"quoted names keep their blanks and escapes", "*Feature: \"Print Mode\" { *Option: \"Say %\"hi%\"\" { } }",
         "Feature=\"Print Mode\"{Option=\"Say %\"hi%\"\"}"},
        {"braces and asterisks inside quotes", "*Cmd: \"{*}\"", "Cmd=\"{*}\""},
        {"a parameter's braces are no block", "*Cmd: \"<1B>X\" %d{(DestX / 2)} \"Y\"\n*B: 1",
         "Cmd=\"<1B>X\" %d{(DestX / 2)} \"Y\" B=1"},
        {"continued value", "*Name: \"ab\"\n+ \"cd\"\n*B: 1", "Name=\"ab\"  \"cd\" B=1"},
        {"carriage returns", "*Feature: A\r\n{\r\n*Option: B\r\n}\r\n", "Feature=A{Option=B}"},
    };
    for (const Case& c : cases) {
        std::vector<gpd::Entry> entries;
        std::string error;
        ASSERT_TRUE(gpd::Parse(c.text, &entries, &error)) << c.name << ": " << error;
        EXPECT_EQ(Shape(entries), c.shape) << c.name;
    }

    std::vector<gpd::Entry> entries;
    std::string error;
    ASSERT_TRUE(gpd::Parse("*A: 1\n\n*Feature: F\n{\n  *Option: O\n}", &entries, &error));
    EXPECT_EQ(entries[1].line, 3);
    EXPECT_EQ(entries[1].children[0].line, 5);
}

TEST(GpdReader, RefusesWhatDoesNotClose) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"*Feature: A\n{\n*Option: B\n", "line 2: the block opened here is not closed"},
        {"*A: 1\n}\n", "line 2: } without a block to close"},
        {"*A: 1\n{ *B: 1 } }", "line 2: } without a block to close"},
        {"*Name: \"open\n*B: 1", "line 1: a quoted text does not close on its line"},
        {"*Name: \"open", "line 1: a quoted text does not close"},
        {"A: 1", "line 1: an entry must start with *, not A"},
        {"*A 1\n", "line 1: an entry needs a keyword and a colon"},
        {"*Cmd: %d{(x\n", "line 1: a parameter's braces do not close on its line"},
    };
    for (const Case& c : cases) {
        std::vector<gpd::Entry> entries;
        std::string error;
        EXPECT_FALSE(gpd::Parse(c.text, &entries, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(GpdReader, SymbolNames) {
    struct Case {
        const char* value;
        const char* name;
        bool plain;
    } cases[] = {
        {"RotatePrint", "RotatePrint", true},   {"LANDSCAPE_CC90", "LANDSCAPE_CC90", true},
        {"\"Print Mode\"", "Print Mode", false}, {"\"30\"", "30", false},
        {"\"100%%\"", "100%", false},            {"\"a\"\"b\"", "\"a\"\"b\"", false},
        {"_x", "_x", false},                     {"\"\"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gpd::SymbolName(c.value), c.name) << c.value;
        EXPECT_EQ(gpd::IsPlainSymbol(gpd::SymbolName(c.value)), c.plain) << c.value;
    }
}

}  // namespace
