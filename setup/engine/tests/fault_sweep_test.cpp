// The fault sweep: a whole install, run once to count the platform calls, then again with each
// call failing in turn (and with every call of an operation failing), with several errors,
// checking what must always hold: one result, no endless wait, the Spooler running again or a log
// entry saying why not, no success without a registered driver and queue, and no failure that
// the user was not shown a code for.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <iostream>
#include <map>

#include "platform/text.h"
#include "setupsim/runner.h"
#include "sim/temp_dir.h"

namespace {
using namespace plat;

// Every operation of the boundary that the simulated machine can fail.
const char* const kOps[] = {
    "AddPrinterDriverW", "AddPrinterW", "ClosePrinter", "CloseServiceHandle", "ControlService", "CopyFileW",
    "CreateDirectoryW", "CreateFileW", "DeleteFileW", "DocumentPropertiesW", "EnumPortsW", "FindFirstFileW", "FindNextFileW",
    "FormatMessageW", "GetFileAttributesW", "GetFileSize", "MoveFileExW", "GetModuleFileNameW", "GetPrinterDriverDirectoryW", "GetPrinterW",
    "OpenPrinterW", "OpenSCManagerW", "OpenServiceW", "QueryServiceStatus", "ReadFile", "SHGetSpecialFolderPathW",
    "SendMessageTimeoutW", "SetDefaultPrinterW", "SetFileAttributesW", "SetPrinterW", "SetupCopyOEMInfW",
    "SetupDiCallClassInstaller", "SetupDiCreateDeviceInfoList", "SetupDiCreateDeviceInfoW", "SetupDiEnumDeviceInfo",
    "SetupDiGetClassDevsW", "SetupDiGetDeviceRegistryPropertyW", "SetupDiGetINFClassW",
    "SetupDiSetDeviceRegistryPropertyW", "StartServiceW", "UpdateDriverForPlugAndPlayDevicesW", "WriteFile",
};

struct Sweep {
    const char* name;
    const char* scenario;
    const char16_t* newQueue;   // the name the install gives the new queue and driver
    bool registers;             // success always comes from the registration path
};

const Sweep kSweeps[] = {
    {"plug and play refused to the 32-bit program",
     "package\n"
     "port USB001\n"
     "device USB\\VID_6B1F&PID_0080\\1 hwid=USBPRINT\\HalvorinP-80D3B4\n"
     "request model=P-80 port=USB001 detected=P-80\n",
     u"Halvorin P-80", true},
    {"registration with a locked changed file",
     "package version=1.1\n"
     "installed version=1.0\n"
     "locked VT39.dll\n"
     "locked VT39Set.ini error=5\n"
     "printer \"Halvorin P-80\" port=USB001\n"
     "service Spooler state=stopped\n"
     "request model=P-80 port=USB001\n"
     "run prepare install\n",
     u"Halvorin P-80 (副本 1)", true},
    {"plug and play failing over to registration",
     "process 64\n"
     "package\n"
     "port USB001\n"
     "device USB\\VID_6B1F&PID_0080\\1 hwid=USBPRINT\\HalvorinP-80D3B4 update-error=0xE0000219\n"
     "request model=P-80 port=USB001 detected=P-80\n",
     u"Halvorin P-80", true},
    {"plug and play through a root device",
     "process 64\n"
     "package\n"
     "port USB001\n"
     "request model=P-80 port=USB001 detected=P-80\n",
     u"Halvorin P-80", false},
};

struct Outcome {
    setupsim::RunResult run;
    bool spoolerRanAtStart = false, spoolerRunsAtEnd = false;
    bool driver = false, queue = false;
    uint64_t virtualMs = 0;
    std::map<std::string, int> calls;
};

Outcome RunInstall(const Sweep& sweep, const std::function<void(sim::Machine&)>& inject) {
    const char* scenario = sweep.scenario;
    auto dir = std::make_unique<sim::TempDir>();
    auto machine = std::make_unique<sim::Machine>(dir->path());
    setupsim::Scenario sc;
    setupsim::ScenarioError error;
    EXPECT_TRUE(setupsim::LoadScenario(scenario, *machine, sc, error)) << error.message;
    inject(*machine);
    Outcome o;
    o.spoolerRanAtStart = sc.steps.front() == "prepare" || machine->SpoolerRunning();
    o.run = setupsim::RunScenario(*machine, sc);
    if (!o.run.finished) {
        ADD_FAILURE() << "a step never ended:\n" << o.run.transcript;
        std::abort();   // the stuck thread still uses the machine
    }
    // A start still pending arrives on its own: only the virtual clock stands still.
    DWORD state = machine->services.Get(u"Spooler").state;
    o.spoolerRunsAtEnd = state == SERVICE_RUNNING || state == SERVICE_START_PENDING;
    o.driver = machine->spooler.FindDriver(sweep.newQueue) != nullptr;
    o.queue = machine->spooler.FindPrinter(sweep.newQueue) != nullptr;
    o.virtualMs = machine->NowMs();
    for (const char* op : kOps) o.calls[op] = machine->CallCount(op);
    return o;
}

void CheckInvariants(const Outcome& o, const std::string& what, bool registers) {
    const std::string& t = o.run.transcript;
    ASSERT_EQ(o.run.results.size(), 1u) << what << ": exactly one result\n" << t;
    EXPECT_LT(o.virtualMs, 5u * 60 * 1000) << what << ": the waits are bounded\n" << t;
    if (o.spoolerRanAtStart && !o.spoolerRunsAtEnd) {
        bool said = t.find("log \"开启Spooler服务失败") != std::string::npos ||
                    t.find("log \"开启服务失败") != std::string::npos;
        EXPECT_TRUE(said) << what << ": the Spooler is down and no log entry says why\n" << t;
    }
    if (o.run.results[0] == 1 && registers) {
        EXPECT_TRUE(o.driver && o.queue) << what << ": success without a registered driver and queue\n" << t;
    }
    if (o.run.results[0] == 0) {
        EXPECT_NE(t.find("error code \""), std::string::npos) << what << ": a failure the user was never told of\n" << t;
    }
}

// Access denied (the error that leads to the Spooler stop for a copy), a sharing violation, a
// device that stopped working, and one no code expects; the staging retry's own error too.
std::vector<DWORD> ErrorsFor(const std::string& op) {
    std::vector<DWORD> errors = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_GEN_FAILURE, 1224};
    if (op == "SetupCopyOEMInfW") errors.push_back(ERROR_NOT_FOUND);
    return errors;
}

class FaultSweep : public testing::TestWithParam<Sweep> {};

TEST_P(FaultSweep, EveryCallFailingInTurn) {
    const Sweep& sweep = GetParam();
    Outcome baseline = RunInstall(sweep, [](sim::Machine&) {});
    CheckInvariants(baseline, "without faults", sweep.registers);
    ASSERT_EQ(baseline.run.results, std::vector<LPARAM>{1}) << baseline.run.transcript;
    int runs = 0, failed = 0, untold = 0;
    auto check = [&](const Outcome& o, const std::string& what) {
        CheckInvariants(o, what, sweep.registers);
        ++runs;
        if (!o.run.results.empty() && o.run.results[0] == 0) {
            ++failed;
            if (o.run.transcript.find("error code \"") == std::string::npos) ++untold;
        }
    };
    for (const auto& [op, count] : baseline.calls) {
        for (DWORD error : ErrorsFor(op)) {
            const std::string with = " error " + std::to_string(error);
            for (int k = 1; k <= count; ++k)
                check(RunInstall(sweep, [&](sim::Machine& m) { m.FailCall(op, error, k, 1); }),
                      op + " call " + std::to_string(k) + with);
            if (count > 0)
                check(RunInstall(sweep, [&](sim::Machine& m) { m.FailCall(op, error, 1, 0); }), op + " always" + with);
        }
    }
    RecordProperty("runs", runs);
    RecordProperty("failed_installs", failed);
    std::cout << sweep.name << ": " << runs << " runs, " << failed << " failed installs, " << untold
              << " without a code\n";
}

TEST_P(FaultSweep, InfSyntaxErrorIsTheOneSuccessWithoutRegistration) {
    const Sweep& sweep = GetParam();
    Outcome o = RunInstall(sweep, [](sim::Machine& m) { m.FailCall("SetupCopyOEMInfW", ERROR_GENERAL_SYNTAX, 1, 0); });
    CheckInvariants(o, "INF syntax error", false);
    EXPECT_EQ(o.run.results, std::vector<LPARAM>{1});
    if (sweep.registers) {
        EXPECT_NE(o.run.transcript.find("error code \"3\""), std::string::npos);
        EXPECT_FALSE(o.driver || o.queue);
    }
}

INSTANTIATE_TEST_SUITE_P(Installs, FaultSweep, testing::ValuesIn(kSweeps), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

}  // namespace
