// Running a scenario: the engine's steps on threads of their own, the transcript from the
// machine's events, the installation log watched on its way to the file, and the summary.
#include "setupsim/runner.h"

#include <chrono>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include "engine/driver_copy.h"
#include "engine/fonts.h"
#include "engine/install_worker.h"
#include "platform/text.h"
#include "sim/temp_dir.h"

namespace setupsim {
namespace {

using plat::DWORD;
using plat::HANDLE;

std::string Escape(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '"') out += "\\\"";
        else out += c;
    }
    return out;
}

// The files service of the machine, with the entries written to the installation log copied
// into the transcript at the moment they are written.
class LogWatch final : public plat::IFiles {
public:
    LogWatch(sim::Machine& machine) : m_(machine) {}

    HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD share, DWORD disposition, DWORD flags) override {
        HANDLE h = m_.CreateFileW(name, access, share, disposition, flags);
        if (h != plat::INVALID_HANDLE_VALUE && name &&
            plat::Contains(plat::ToUpper(name), u"\\墨川科技有限公司\\LOG(")) {
            std::lock_guard<std::mutex> lock(mutex_);
            logs_[h] = true;
        }
        return h;
    }
    plat::BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written) override {
        bool isLog;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            isLog = logs_.count(file) != 0;
        }
        DWORD error = m_.GetLastError();
        if (isLog && buffer && bytes) {
            std::string entry(static_cast<const char*>(buffer), bytes);
            if (!entry.empty() && entry.back() == '\0') entry.pop_back();
            m_.Event("log \"" + Escape(plat::ToUtf8(plat::AnsiToText(m_, entry.data(), entry.size()))) + "\"");
            m_.SetLastError(error);
        }
        return m_.WriteFile(file, buffer, bytes, written);
    }
    plat::BOOL CloseHandle(HANDLE handle) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            logs_.erase(handle);
        }
        return m_.CloseHandle(handle);
    }
    plat::BOOL ReadFile(HANDLE f, void* b, DWORD n, DWORD* r) override { return m_.ReadFile(f, b, n, r); }
    DWORD SetFilePointer(HANDLE f, plat::LONG d, plat::LONG* hi, DWORD m) override { return m_.SetFilePointer(f, d, hi, m); }
    DWORD GetFileSize(HANDLE f, DWORD* hi) override { return m_.GetFileSize(f, hi); }
    plat::BOOL CopyFileW(const char16_t* s, const char16_t* t, plat::BOOL f) override { return m_.CopyFileW(s, t, f); }
    plat::BOOL MoveFileExW(const char16_t* s, const char16_t* t, plat::DWORD f) override { return m_.MoveFileExW(s, t, f); }
    plat::BOOL DeleteFileW(const char16_t* n) override { return m_.DeleteFileW(n); }
    DWORD GetFileAttributesW(const char16_t* n) override { return m_.GetFileAttributesW(n); }
    plat::BOOL SetFileAttributesW(const char16_t* n, DWORD a) override { return m_.SetFileAttributesW(n, a); }
    HANDLE FindFirstFileW(const char16_t* p, plat::WIN32_FIND_DATAW* d) override { return m_.FindFirstFileW(p, d); }
    plat::BOOL FindNextFileW(HANDLE h, plat::WIN32_FIND_DATAW* d) override { return m_.FindNextFileW(h, d); }
    plat::BOOL FindClose(HANDLE h) override { return m_.FindClose(h); }
    plat::BOOL CreateDirectoryW(const char16_t* p) override { return m_.CreateDirectoryW(p); }
    unsigned GetPrivateProfileIntW(const char16_t* s, const char16_t* k, int d, const char16_t* f) override {
        return m_.GetPrivateProfileIntW(s, k, d, f);
    }
    DWORD GetPrivateProfileStringW(const char16_t* s, const char16_t* k, const char16_t* d, char16_t* b, DWORD n,
                                   const char16_t* f) override {
        return m_.GetPrivateProfileStringW(s, k, d, b, n, f);
    }

private:
    sim::Machine& m_;
    std::mutex mutex_;
    std::map<HANDLE, bool> logs_;
};

std::string Quoted(const std::u16string& text) { return "\"" + Escape(plat::ToUtf8(text)) + "\""; }

std::string Hex(uint64_t v) {
    std::ostringstream out;
    out << "0x" << std::hex << v;
    return out.str();
}

const char* StateName(DWORD state) {
    switch (state) {
        case plat::SERVICE_STOPPED: return "stopped";
        case plat::SERVICE_START_PENDING: return "start pending";
        case plat::SERVICE_STOP_PENDING: return "stop pending";
        case plat::SERVICE_RUNNING: return "running";
        case plat::SERVICE_PAUSED: return "paused";
        default: return "in another state";
    }
}

// One CopyFileW as the machine recorded it.
struct CopyAttempt {
    std::string source, target;
    bool overwrite = false;
    DWORD error = 0;   // 0: copied
};

// A replacement is copied beside its file and moved over it: the move is what replaced it.
std::optional<CopyAttempt> ParseCopy(const std::string& line) {
    CopyAttempt a;
    std::string rest;
    bool refused = false;
    for (const char* verb : {"copy refused ", "copy ", "move refused ", "move "}) {
        if (line.rfind(verb, 0) != 0) continue;
        rest = line.substr(std::string(verb).size());
        refused = std::string(verb).find("refused") != std::string::npos;
        break;
    }
    if (rest.empty() || line.rfind("copy broke off ", 0) == 0) return std::nullopt;
    size_t arrow = rest.find(" -> ");
    if (arrow == std::string::npos) return std::nullopt;
    a.source = rest.substr(0, arrow);
    rest = rest.substr(arrow + 4);
    for (const char* mode : {" (fail if exists)", " (overwrite)", " (replace)"}) {
        size_t at = rest.find(mode);
        if (at == std::string::npos) continue;
        a.target = rest.substr(0, at);
        const std::string temp = plat::ToUtf8(engine::kReplacementSuffix);
        if (a.target.size() >= temp.size() && a.target.compare(a.target.size() - temp.size(), temp.size(), temp) == 0)
            return std::nullopt;   // the replacement's way there
        a.overwrite = std::string(mode) != " (fail if exists)";
        std::string tail = rest.substr(at + std::string(mode).size());
        if (refused) a.error = tail.rfind(" error ", 0) == 0 ? static_cast<DWORD>(std::stoul(tail.substr(7))) : 1;
        return a;
    }
    return std::nullopt;
}

// What became of every file the run tried to copy, in the order they were first met.
void FileSummary(RunContext& c, const std::vector<std::string>& lines) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<CopyAttempt>> attempts;
    for (const auto& line : lines) {
        auto a = ParseCopy(line);
        if (!a) continue;
        if (!attempts.count(a->target)) order.push_back(a->target);
        attempts[a->target].push_back(*a);
    }
    for (const auto& target : order) {
        const auto& list = attempts[target];
        const CopyAttempt& last = list.back();
        bool refusedInUse = std::any_of(list.begin(), list.end(), [](const CopyAttempt& a) {
            return a.error == plat::ERROR_ACCESS_DENIED || a.error == plat::ERROR_SHARING_VIOLATION;
        });
        std::string outcome;
        if (last.error == 0) {
            outcome = !last.overwrite ? "copied" : refusedInUse ? "replaced with the Spooler stopped" : "replaced";
        } else if (last.error == plat::ERROR_FILE_EXISTS) {
            auto src = c.machine.FileBytes(U16(last.source));
            auto dst = c.machine.FileBytes(U16(last.target));
            outcome = src && dst && *src == *dst ? "identical, left alone" : "kept, not replaced";
        } else {
            outcome = "refused error " + std::to_string(last.error);
        }
        c.transcript.Line("file " + target + ": " + outcome);
    }
}

void EngineSummary(RunContext& c, bool spoolerRanAtStart, const std::vector<std::string>& lines) {
    sim::Machine& m = c.machine;
    Transcript& t = c.transcript;
    std::string services;
    for (const auto& [key, s] : m.services.services)
        services += (services.empty() ? "" : ", ") + plat::ToUtf8(s.name) + " " + StateName(s.state);
    t.Line("services: " + services + (spoolerRanAtStart ? " (the Spooler ran at the start)" : " (the Spooler was down at the start)"));
    for (const auto& d : m.spooler.drivers)
        t.Line("driver " + Quoted(d.name) +
               (d.environmentName == m.spooler.environment ? "" : " for " + Quoted(d.environmentName)));
    for (const auto& q : m.spooler.printers) {
        t.Line("printer " + Quoted(q.printerName) + " port " + plat::ToUtf8(q.portName) + " driver " +
               Quoted(q.driverName) + " attributes " + Hex(q.attributes) +
               ((q.attributes & plat::PRINTER_ATTRIBUTE_ENABLE_BIDI) ? " (bidi on)" : " (bidi off)"));
    }
    t.Line("default printer " + (m.spooler.defaultPrinter.empty() ? std::string("none") : Quoted(m.spooler.defaultPrinter)));
    for (const auto& s : m.devices.stagedInfs) t.Line("staged " + plat::ToUtf8(s.source) + " as " + plat::ToUtf8(s.published));
    for (const auto& d : m.devices.devices)
        if (d.rootEnumerated && d.registered) t.Line("root device " + plat::ToUtf8(d.instanceId) + " remains");
    FileSummary(c, lines);
    std::string values;
    for (auto v : c.results) values += " " + std::to_string(v);
    t.Line("WM_INSTALL_RESULT sent " + std::to_string(c.results.size()) + " time(s):" + (values.empty() ? " none" : values));
    t.Line("virtual time " + std::to_string(m.NowMs()) + " ms");
}

}  // namespace

void Transcript::Line(std::string line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
}

std::vector<std::string> Transcript::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::string Transcript::Text() const {
    std::string out;
    for (const auto& line : Lines()) out += line + "\n";
    return out;
}

void AddEngineSteps(Registry& r) {
    r.AddStep("install", [](RunContext& c) {
        auto request = std::make_unique<engine::CInstallRequest>(*c.scenario.request);
        request->hwndNotify = kWizardWindow;
        DWORD code = engine::InstallThreadProc(c.env, std::move(request));
        c.Line("InstallThreadProc returned " + std::to_string(code));
    });
    r.AddStep("prepare", [](RunContext& c) {
        DWORD code = engine::PrepareServicesThreadProc(c.env);
        c.Line("PrepareServicesThreadProc returned " + std::to_string(code));
    });
    r.AddStep("fonts", [](RunContext& c) {
        c.Line(std::string("InstallFonts returned ") + (engine::InstallFonts(c.env) ? "true" : "false"));
    });
    r.AddStep("restore", [](RunContext& c) {
        engine::RestorePcaService(c.env);
        c.Line("RestorePcaService done");
    });
}

RunResult RunScenario(sim::Machine& machine, Scenario& scenario, const Registry& registry) {
    Transcript transcript;
    plat::Platform base = machine.platform();
    LogWatch files(machine);
    plat::Platform watched{base.sys, files, base.spooler, base.services, base.registry, base.devsetup, base.devices, base.user};
    engine_testing::RecordingErrors errors(machine);
    engine::InstallLog log(watched);
    engine::Env env{watched, errors, log};
    RunContext context(machine, env, scenario, transcript);

    std::mutex resultsMutex;
    machine.onEvent = [&](const std::string& line) { transcript.Line(line); };
    machine.windowProc = [&](plat::HWND window, DWORD message, plat::WPARAM, plat::LPARAM lParam) -> plat::LRESULT {
        if (message == engine::WM_INSTALL_RESULT && window == kWizardWindow) {
            {
                std::lock_guard<std::mutex> lock(resultsMutex);
                context.results.push_back(lParam);
            }
            machine.Event("WM_INSTALL_RESULT " + std::to_string(lParam));
        }
        return 0;
    };

    RunResult result;
    bool spoolerRanAtStart = machine.SpoolerRunning();
    for (const auto& name : scenario.steps) {
        const StepHandler* step = registry.FindStep(name);
        if (!step) continue;
        machine.Event("== step " + name);
        std::packaged_task<void()> task([&context, step] { (*step)(context); });
        auto done = task.get_future();
        std::thread thread(std::move(task));
        if (done.wait_for(std::chrono::seconds(kStepRealSeconds)) != std::future_status::ready) {
            thread.detach();   // it keeps the machine: the caller must not destroy it
            machine.Event("== step " + name + " did not end within " + std::to_string(kStepRealSeconds) + " s");
            result.finished = false;
            break;
        }
        thread.join();
    }
    machine.onEvent = nullptr;
    if (result.finished) machine.windowProc = nullptr;

    transcript.Line("== end");
    for (const auto& summary : registry.summaries()) summary(context);
    EngineSummary(context, spoolerRanAtStart, transcript.Lines());
    {
        std::lock_guard<std::mutex> lock(resultsMutex);
        result.results = context.results;
    }
    result.transcript = transcript.Text();
    return result;
}

bool RunScenarioFile(const std::filesystem::path& file, RunResult& result, std::string& error) {
    auto dir = std::make_unique<sim::TempDir>();
    auto machine = std::make_unique<sim::Machine>(dir->path());
    Scenario scenario;
    ScenarioError e;
    if (!LoadScenarioFile(file, *machine, scenario, e)) {
        error = e.Describe(file.string());
        return false;
    }
    result = RunScenario(*machine, scenario);
    if (!result.finished) {
        // A step still runs on the machine: leave both to the end of the process.
        (void)machine.release();
        (void)dir.release();
    }
    return true;
}

std::string DiffLines(const std::string& expected, const std::string& actual) {
    auto split = [](const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    };
    std::vector<std::string> a = split(expected), b = split(actual);
    if (a == b) return {};
    // Longest common subsequence, then the edit script with two lines of context.
    size_t n = a.size(), m = b.size();
    std::vector<std::vector<uint32_t>> lcs(n + 1, std::vector<uint32_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    std::vector<std::pair<char, std::string>> script;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) script.push_back({' ', a[i++]}), ++j;
        else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1])) script.push_back({'-', a[i++]});
        else script.push_back({'+', b[j++]});
    }
    std::string out = "--- expected\n+++ actual\n";
    size_t lineA = 0;
    long lastPrinted = -2;
    for (size_t k = 0; k < script.size(); ++k) {
        if (script[k].first != '+') ++lineA;
        bool near = false;
        for (size_t q = (k >= 2 ? k - 2 : 0); q < std::min(script.size(), k + 3); ++q) near |= script[q].first != ' ';
        if (!near) continue;
        if (static_cast<long>(k) != lastPrinted + 1) out += "@@ expected line " + std::to_string(lineA) + "\n";
        out += script[k].first;
        out += ' ';
        out += script[k].second + "\n";
        lastPrinted = static_cast<long>(k);
    }
    return out;
}

}  // namespace setupsim
