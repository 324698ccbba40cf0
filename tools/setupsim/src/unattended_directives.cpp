// Setup started with switches: each `setup "ARGS"` line is a step that runs the command line as
// the program runs it without its wizard, on the scenario's machine.
//
//   setup "ARGS"        e.g. setup "/S /model=P-80 /port=LPT1:", setup "/uninstall /S"
//
// Transcript: the machine's events, `stderr: LINE` for each line on standard error, then
// `exit code N`.
#include <deque>
#include <memory>

#include "setupsim/runner.h"
#include "setupsim/scenario.h"
#include "unattended/unattended.h"

namespace setupsim {
namespace {

struct Commands {
    std::deque<std::string> pending;
};

std::shared_ptr<Commands> CommandsOf(Scenario& s) {
    auto it = s.extensions.find("setup");
    if (it == s.extensions.end()) it = s.extensions.emplace("setup", std::make_shared<Commands>()).first;
    return std::any_cast<std::shared_ptr<Commands>>(it->second);
}

}  // namespace

void AddUnattendedVocabulary(Registry& r) {
    r.AddDirective("setup", "setup \"ARGS\"                   a step: Setup started with this command line",
                   [](DirectiveContext& c) {
                       if (c.d.args.size() != 1 || !c.d.options.empty())
                           c.d.Fail("one quoted command line, e.g. setup \"/S /model=P-80\"");
                       CommandsOf(c.scenario)->pending.push_back(c.d.args[0]);
                       c.scenario.steps.push_back("setup");
                   });
    r.AddStep("setup", [](RunContext& c) {
        auto commands = CommandsOf(c.scenario);
        if (commands->pending.empty()) return;
        std::string line = commands->pending.front();
        commands->pending.pop_front();
        c.Line("command line " + line);
        unattended::Output output;
        output.errorStream = [&c](std::string_view text) { c.Line("stderr: " + std::string(text)); };
        int code = unattended::Run(c.env, unattended::ParseCommandLine(U16(line)), output);
        c.Line("exit code " + std::to_string(code));
    });
}

}  // namespace setupsim
