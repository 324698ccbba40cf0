// The scenario language: tokenizer, registry, loader and the engine's directives.
#include "setupsim/scenario.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/package.h"
#include "platform/text.h"

namespace setupsim {
namespace {

using plat::DWORD;

struct DirectiveFailure {
    std::string message;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        if (!part.empty()) out.push_back(part);
    return out;
}

// Names of the family's model files in the sample package.
std::vector<std::string> DefaultDataFiles(int family) {
    if (family == 0) return {"P-58.GPD", "P-80.GPD", "T-108.GPD", "LP-420.GPD"};
    return {};
}

std::u16string ProgramFolderOf(const sim::Machine& m) {
    const std::u16string& path = m.system.modulePath;
    size_t cut = path.rfind(u'\\');
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
}

std::vector<std::string> PackageNames(const PackageSpec& package) {
    std::vector<std::string> names;
    for (const auto& name : SplitList(plat::ToUtf8(engine::GetCopyLists(package.family, u"").required), ';'))
        names.push_back(name);
    auto data = package.dataFiles.empty() ? DefaultDataFiles(package.family) : package.dataFiles;
    names.insert(names.end(), data.begin(), data.end());
    return names;
}

std::string Minimal9PinInf() {
    return "; 9-pin dot-matrix printer driver package (Unidrv based).\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n"
           "Class=Printer\r\nClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n\r\n[Manufacturer]\r\n"
           "%Mfg%=Halvorin_Tech,NTamd64\r\n\r\n[Halvorin_Tech]\r\n\r\n[Halvorin_Tech.NTamd64]\r\n\r\n"
           "[Strings]\r\nMfg=\"Halvorin\"\r\n";
}

}  // namespace

// ---- directives and the tokenizer

std::string ScenarioError::Describe(const std::string& file) const {
    return file + (line ? ":" + std::to_string(line) : std::string()) + ": " + message;
}

const std::string& Directive::Arg(size_t index, const char* what) const {
    if (index >= args.size()) Fail(std::string("missing ") + what);
    return args[index];
}

std::optional<std::string> Directive::Option(const std::string& key) const {
    std::optional<std::string> value;
    for (const auto& [k, v] : options)
        if (k == key) value = v;
    return value;
}

std::vector<std::string> Directive::Options(const std::string& key) const {
    std::vector<std::string> values;
    for (const auto& [k, v] : options)
        if (k == key) values.push_back(v);
    return values;
}

bool Directive::Flag(const std::string& word) const { return std::find(args.begin(), args.end(), word) != args.end(); }

void Directive::Fail(const std::string& message) const { throw DirectiveFailure{name + ": " + message}; }

uint32_t ParseNumber(const Directive& d, const std::string& text, const char* what) {
    uint64_t value = 0;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    size_t start = hex ? 2 : 0;
    if (text.size() <= start || text.size() - start > (hex ? 8 : 10)) d.Fail(std::string("bad number \"") + text + "\" for " + what);
    for (size_t i = start; i < text.size(); ++i) {
        int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) d.Fail(std::string("bad number \"") + text + "\" for " + what);
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    if (value > 0xFFFFFFFFull) d.Fail(std::string("number \"") + text + "\" too large for " + what);
    return static_cast<uint32_t>(value);
}

std::u16string U16(const std::string& utf8) { return plat::FromUtf8(utf8); }

bool ParseLine(std::string_view line, int number, std::optional<Directive>& out, std::string& error) {
    out.reset();
    Directive d;
    d.line = number;
    size_t i = 0, n = line.size();
    bool first = true;
    for (;;) {
        while (i < n && IsSpace(line[i])) ++i;
        if (i >= n || line[i] == '#') break;
        std::string text;
        bool quoted = false;
        std::optional<size_t> equals;
        while (i < n && !IsSpace(line[i])) {
            char c = line[i];
            if (c == '"') {
                quoted = true;
                ++i;
                bool closed = false;
                while (i < n) {
                    char q = line[i++];
                    if (q == '"') {
                        closed = true;
                        break;
                    }
                    if (q != '\\' || i >= n) {
                        text += q;
                        continue;
                    }
                    char e = line[i];
                    switch (e) {
                        case '"': text += '"'; ++i; break;
                        case '\\': text += '\\'; ++i; break;
                        case 'n': text += '\n'; ++i; break;
                        case 'r': text += '\r'; ++i; break;
                        case 't': text += '\t'; ++i; break;
                        case '0': text += '\0'; ++i; break;
                        case 'x': {
                            int hi = i + 1 < n ? HexDigit(line[i + 1]) : -1;
                            int lo = i + 2 < n ? HexDigit(line[i + 2]) : -1;
                            if (hi < 0 || lo < 0) {
                                error = "bad \\x escape (two hex digits expected)";
                                return false;
                            }
                            text += static_cast<char>(hi * 16 + lo);
                            i += 3;
                            break;
                        }
                        default: text += '\\'; break;   // a Windows path: the backslash stays
                    }
                }
                if (!closed) {
                    error = "unclosed quote";
                    return false;
                }
            } else {
                if (c == '=' && !equals && !quoted) equals = text.size();
                text += c;
                ++i;
            }
        }
        if (first) {
            if (quoted || text.empty() || equals) {
                error = "a line starts with a directive name";
                return false;
            }
            d.name = text;
            first = false;
        } else if (equals && *equals > 0) {
            d.options.emplace_back(text.substr(0, *equals), text.substr(*equals + 1));
        } else {
            d.args.push_back(text);
        }
    }
    if (!first) out = std::move(d);
    return true;
}

// ---- registry

void Registry::AddDirective(const std::string& name, std::string usage, DirectiveHandler handler) {
    directives_[name] = {std::move(usage), std::move(handler)};
}
void Registry::AddStep(const std::string& name, StepHandler handler) { steps_[name] = std::move(handler); }
void Registry::AddSummary(SummaryHandler handler) { summaries_.push_back(std::move(handler)); }

const Registry::DirectiveEntry* Registry::FindDirective(const std::string& name) const {
    auto it = directives_.find(name);
    return it == directives_.end() ? nullptr : &it->second;
}

const StepHandler* Registry::FindStep(const std::string& name) const {
    auto it = steps_.find(name);
    return it == steps_.end() ? nullptr : &it->second;
}

std::string Registry::Usage() const {
    std::string out;
    for (const auto& [name, entry] : directives_) out += "  " + entry.usage + "\n";
    out += "steps:";
    for (const auto& [name, handler] : steps_) out += " " + name;
    return out + "\n";
}

const Registry& StandardRegistry() {
    static const Registry registry = [] {
        Registry r;
        AddEngineVocabulary(r);
        AddExtensions(r);
        return r;
    }();
    return registry;
}

// ---- loading

bool LoadScenario(std::string_view text, sim::Machine& machine, Scenario& scenario, ScenarioError& error,
                  const Registry& registry) {
    int number = 0;
    int runLine = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;
        ++number;
        std::optional<Directive> d;
        std::string message;
        if (!ParseLine(line, number, d, message)) {
            error = {number, message};
            return false;
        }
        if (!d) continue;
        const auto* entry = registry.FindDirective(d->name);
        if (!entry) {
            error = {number, "unknown directive \"" + d->name + "\""};
            return false;
        }
        try {
            DirectiveContext context{machine, scenario, *d};
            entry->handler(context);
        } catch (const DirectiveFailure& f) {
            error = {number, f.message};
            return false;
        }
        if (d->name == "run") runLine = number;
    }
    if (scenario.steps.empty() && scenario.request) scenario.steps.push_back("install");
    for (const auto& step : scenario.steps) {
        if (!registry.FindStep(step)) {
            error = {runLine, "unknown step \"" + step + "\""};
            return false;
        }
        if (step == "install" && !scenario.request) {
            error = {runLine, "run: the install step needs a request line"};
            return false;
        }
    }
    return true;
}

bool LoadScenarioFile(const std::filesystem::path& file, sim::Machine& machine, Scenario& scenario,
                      ScenarioError& error, const Registry& registry) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = {0, "cannot be read"};
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), {});
    return LoadScenario(text, machine, scenario, error, registry);
}

// ---- fixtures

std::string PackageFileContent(const std::string& name, const std::string& version) {
    return name + " " + version + "\n";
}

std::vector<std::u16string> AddPackage(sim::Machine& machine, const PackageSpec& package) {
    bool x64 = package.x64.value_or(machine.system.nativeArchitecture == plat::PROCESSOR_ARCHITECTURE_AMD64 ||
                                 machine.system.nativeArchitecture == plat::PROCESSOR_ARCHITECTURE_IA64);
    std::u16string folder = ProgramFolderOf(machine) + (package.family == 0 ? u"VT39" : u"9Pin") + (x64 ? u"\\X64\\" : u"\\i386\\");
    std::vector<std::u16string> written;
    machine.AddDirectory(folder);
    for (const auto& name : PackageNames(package)) {
        written.push_back(folder + U16(name));
        machine.AddFile(written.back(), PackageFileContent(name, package.version));
    }
    if (package.withInf) {
        written.push_back(folder + (package.family == 0 ? u"VT39.inf" : u"9Pin.inf"));
        machine.AddFile(written.back(), package.family == 0 ? StandardVt39Inf() : Minimal9PinInf());
    }
    return written;
}

std::vector<std::u16string> AddInstalledFiles(sim::Machine& machine, const PackageSpec& package) {
    std::vector<std::u16string> written;
    for (const auto& name : PackageNames(package)) {
        written.push_back(machine.spooler.driverDirectory + u"\\" + U16(name));
        machine.AddFile(written.back(), PackageFileContent(name, package.version));
    }
    return written;
}

const std::string& StandardVt39Inf() {
    static const std::string inf =
        "; Thermal and label printer driver package (Unidrv based).\r\n"
        "[Version]\r\n"
        "Signature=\"$Windows NT$\"\r\n"
        "Class=Printer\r\n"
        "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
        "Provider=%Mfg%\r\n"
        "DriverVer=12/09/2026,1.0.0.45\r\n"
        "\r\n"
        "[Manufacturer]\r\n"
        "%Mfg%=Halvorin_Tech,NTamd64\r\n"
        "\r\n"
        "[Halvorin_Tech]\r\n"
        "\"Halvorin P-58\"   = P58.Install,   USBPRINT\\HalvorinP-58C1A2\r\n"
        "\"Halvorin P-80\"   = P80.Install,   USBPRINT\\HalvorinP-80D3B4\r\n"
        "\"Halvorin T-108\"  = T108.Install,  USBPRINT\\HalvorinT-108E5C6\r\n"
        "\"Halvorin LP-420\" = LP420.Install, USBPRINT\\HalvorinLP-420F7D8\r\n"
        "\r\n"
        "[Halvorin_Tech.NTamd64]\r\n"
        "\"Halvorin P-58\"   = P58.Install,   USBPRINT\\HalvorinP-58C1A2\r\n"
        "\"Halvorin P-80\"   = P80.Install,   USBPRINT\\HalvorinP-80D3B4\r\n"
        "\"Halvorin T-108\"  = T108.Install,  USBPRINT\\HalvorinT-108E5C6\r\n"
        "\"Halvorin LP-420\" = LP420.Install, USBPRINT\\HalvorinLP-420F7D8\r\n"
        "\r\n"
        "[P58.Install]\r\nCopyFiles=Package.Files\r\nDataFile=P-58.GPD\r\nInclude=NTPRINT.INF\r\nNeeds=UNIDRV.OEM\r\n\r\n"
        "[P80.Install]\r\nCopyFiles=Package.Files\r\nDataFile=P-80.GPD\r\nInclude=NTPRINT.INF\r\nNeeds=UNIDRV.OEM\r\n\r\n"
        "[T108.Install]\r\nCopyFiles=Package.Files\r\nDataFile=T-108.GPD\r\nInclude=NTPRINT.INF\r\nNeeds=UNIDRV.OEM\r\n\r\n"
        "[LP420.Install]\r\nCopyFiles=Package.Files\r\nDataFile=LP-420.GPD\r\nInclude=NTPRINT.INF\r\nNeeds=UNIDRV.OEM\r\n\r\n"
        "[Package.Files]\r\nP-58.GPD\r\nP-80.GPD\r\nT-108.GPD\r\nLP-420.GPD\r\nVT39Res.dll\r\nVT39Set.ini\r\nVT39.dll\r\n\r\n"
        "[DestinationDirs]\r\nDefaultDestDir=66000\r\n\r\n"
        "[SourceDisksNames]\r\n1=%Disk%,,,\r\n\r\n"
        "[SourceDisksFiles]\r\nP-58.GPD=1\r\nP-80.GPD=1\r\nT-108.GPD=1\r\nLP-420.GPD=1\r\nVT39Res.dll=1\r\nVT39Set.ini=1\r\nVT39.dll=1\r\n\r\n"
        "[Strings]\r\nMfg=\"Halvorin\"\r\nDisk=\"Halvorin printer driver package\"\r\n";
    return inf;
}

}  // namespace setupsim
