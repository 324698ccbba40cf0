// Scenario files: a plain-text description of a simulated machine and an install request
// (docs/scenario-format.md). LoadScenario turns one into a configured sim::Machine and a
// Scenario (the request and the steps to run); RunScenario (runner.h) runs it.
//
// Other parts of Setup add directives, run steps and end-of-run summaries through a Registry
// (see AddExtensions in src/extensions.cpp), without touching the parser.
#pragma once

#include <any>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/install_worker.h"
#include "sim/machine.h"

namespace setupsim {

struct ScenarioError {
    int line = 0;   // 1-based; 0 when the whole file is at fault
    std::string message;
    std::string Describe(const std::string& file) const;   // "file:line: message"
};

// One line of a scenario: the directive's name, its positional words and its key=value options
// (in order; a key may repeat). Quotes are already removed and escapes resolved.
struct Directive {
    int line = 0;
    std::string name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> options;

    // Accessors for handlers; on bad input they throw, and the parser reports the line.
    const std::string& Arg(size_t index, const char* what) const;
    std::optional<std::string> Option(const std::string& key) const;
    std::vector<std::string> Options(const std::string& key) const;   // every value of a repeated key
    bool Flag(const std::string& word) const;                         // a positional word present
    [[noreturn]] void Fail(const std::string& message) const;
};

// What a scenario asks the runner to do, beside the machine it configures.
struct Scenario {
    std::optional<engine::CInstallRequest> request;
    std::vector<std::string> steps;                 // in order; see StepTable
    std::map<std::string, std::any> extensions;     // state of other parts' directives, by their name
};

struct DirectiveContext {
    sim::Machine& machine;
    Scenario& scenario;
    const Directive& d;
};

// Numbers of the scenario language: decimal or 0x hexadecimal; throw through d.Fail.
uint32_t ParseNumber(const Directive& d, const std::string& text, const char* what);
// Texts of the scenario language are UTF-8; the machine's are UTF-16.
std::u16string U16(const std::string& utf8);

class RunContext;
using DirectiveHandler = std::function<void(DirectiveContext&)>;
using StepHandler = std::function<void(RunContext&)>;
using SummaryHandler = std::function<void(RunContext&)>;

// The vocabulary of the scenario language and of the runner.
class Registry {
public:
    struct DirectiveEntry {
        std::string usage;   // one line for the help text
        DirectiveHandler handler;
    };
    void AddDirective(const std::string& name, std::string usage, DirectiveHandler handler);
    void AddStep(const std::string& name, StepHandler handler);
    void AddSummary(SummaryHandler handler);   // lines after the run, before the engine's own

    const DirectiveEntry* FindDirective(const std::string& name) const;
    const StepHandler* FindStep(const std::string& name) const;
    const std::vector<SummaryHandler>& summaries() const { return summaries_; }
    std::string Usage() const;

private:
    std::map<std::string, DirectiveEntry> directives_;
    std::map<std::string, StepHandler> steps_;
    std::vector<SummaryHandler> summaries_;
};

// The engine's directives and steps, and everything other parts add (extensions.cpp).
const Registry& StandardRegistry();
void AddEngineVocabulary(Registry& registry);
void AddExtensions(Registry& registry);

// Reads a scenario into the machine and the Scenario. False with the error of the first bad line.
bool LoadScenario(std::string_view text, sim::Machine& machine, Scenario& scenario, ScenarioError& error,
                  const Registry& registry = StandardRegistry());
bool LoadScenarioFile(const std::filesystem::path& file, sim::Machine& machine, Scenario& scenario,
                      ScenarioError& error, const Registry& registry = StandardRegistry());

// The tokenizer, for tests and the fuzz target: false with a message when a line is malformed.
bool ParseLine(std::string_view line, int number, std::optional<Directive>& out, std::string& error);

// Fixtures shared with tests: the standard driver package beside Setup, and the driver
// directory as an earlier install of that package left it. File contents are "<name> <version>\n".
struct PackageSpec {
    int family = 0;
    std::string version = "1.0";
    std::optional<bool> x64;               // default: the machine's native architecture
    std::vector<std::string> dataFiles;    // default: the family's model files
    bool withInf = true;
};
std::vector<std::u16string> AddPackage(sim::Machine& machine, const PackageSpec& package);   // the paths written
std::vector<std::u16string> AddInstalledFiles(sim::Machine& machine, const PackageSpec& package);
std::string PackageFileContent(const std::string& name, const std::string& version);
// The INF of the VT39 package, as delivered.
const std::string& StandardVt39Inf();

}  // namespace setupsim
