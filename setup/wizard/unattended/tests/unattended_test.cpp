// Setup without its wizard on the simulated machine: the install's choices and exit codes, the
// uninstall's rule of what is Setup's, and the exit code of every failure of the fault sweep
// against the code the wizard's dialog would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>

#include "engine/driver_copy.h"
#include "engine/install_worker.h"
#include "engine/uninstall.h"
#include "engine_testing/sim_env.h"
#include "platform/text.h"
#include "setupsim/runner.h"
#include "unattended/unattended.h"

namespace {
using namespace plat;

const char kMachine[] =
    "package\n"
    "catalog P-58 P-80 T-108 LP-420\n";

struct World {
    engine_testing::SimEnv sim;
    sim::Machine& machine = sim.machine;
    std::vector<std::string> stderrLines;
    std::function<void()> beforeInstall;

    explicit World(const std::string& scenario = kMachine) {
        setupsim::Scenario sc;
        setupsim::ScenarioError error;
        EXPECT_TRUE(setupsim::LoadScenario(scenario, machine, sc, error)) << error.message;
    }
    int Run(const std::string& line) {
        unattended::Output out;
        out.errorStream = [this](std::string_view text) { stderrLines.emplace_back(text); };
        out.beforeInstall = beforeInstall;
        return unattended::Run(sim.env, unattended::ParseCommandLine(FromUtf8(line)), out);
    }
    std::string Stderr() const {
        std::string all;
        for (const auto& l : stderrLines) all += l + "\n";
        return all;
    }
    std::vector<std::string> Queues() {
        std::vector<std::string> names;
        for (const auto& q : machine.spooler.printers) names.push_back(ToUtf8(q.printerName) + " on " + ToUtf8(q.portName) + " with " + ToUtf8(q.driverName));
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> Drivers() {
        std::vector<std::string> names;
        for (const auto& d : machine.spooler.drivers) names.push_back(ToUtf8(d.name) + " for " + ToUtf8(d.environmentName));
        std::sort(names.begin(), names.end());
        return names;
    }
    size_t BoxCount() {
        auto events = machine.Events();
        return std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("message box", 0) == 0; });
    }
};

TEST(UnattendedInstall, ModelAndPortGivenInstallsWithoutAWindow) {
    World w;
    EXPECT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0) << w.Stderr();
    EXPECT_EQ(w.Queues(), std::vector<std::string>{"Halvorin P-80 on LPT1: with Halvorin P-80"});
    EXPECT_EQ(w.BoxCount(), 0u);
    EXPECT_TRUE(w.sim.errors.codes().empty()) << "the wizard's error dialog is never used";
    EXPECT_EQ(w.machine.spooler.defaultPrinter, u"Halvorin P-80");
}

TEST(UnattendedInstall, DetectedUsbPrinterGivesModelAndPort) {
    World w(std::string(kMachine) + "usb-printer vid_6b1f&pid_0001 port-number=3 id=\"MFG:Halvorin;MDL:P-58;\"\nport USB003\n");
    EXPECT_EQ(w.Run("/S"), 0) << w.Stderr();
    ASSERT_EQ(w.machine.spooler.printers.size(), 1u) << w.Stderr();
    EXPECT_EQ(w.machine.spooler.printers[0].printerName, u"Halvorin P-58");
    EXPECT_EQ(w.machine.spooler.printers[0].portName, u"USB003");
}

TEST(UnattendedInstall, WithoutPortTheFirstParallelPortAndNoBox) {
    World w;
    EXPECT_EQ(w.Run("/S /model=T-108"), 0) << w.Stderr();
    EXPECT_EQ(w.Queues(), std::vector<std::string>{"Halvorin T-108 on LPT1: with Halvorin T-108"});
    EXPECT_EQ(w.BoxCount(), 0u) << "the port page's notice is a line of the account here";
}

// Each refusal: its exit code, a line on standard error, and the machine as it was.
TEST(UnattendedInstall, RefusalsChangeNothing) {
    struct Case {
        const char* what;
        std::string scenario;
        const char* line;
        int code;
        const char* says;
    } cases[] = {
        {"unknown model", kMachine, "/S /model=NOPE", unattended::kExitUnknownModel, "NOPE"},
        {"no model and none detected", kMachine, "/S", unattended::kExitNoModel, "/model"},
        {"detected model not in the catalogue", std::string(kMachine) + "usb-printer vid_6b1f&pid_0001 id=\"MFG:X;MDL:Z-9;\"\n",
         "/S", unattended::kExitUnknownModel, "Z-9"},
        {"no such port", kMachine, "/S /model=P-80 /port=LPT9:", unattended::kExitNoSuchPort, "LPT9:"},
        {"no port at all", std::string(kMachine) + "spooler-ports FILE:\n", "/S /model=P-80", unattended::kExitNoSuchPort, "/port"},
        {"unknown switch", kMachine, "/S /frob", unattended::kExitBadArguments, "/frob"},
        {"port with path characters", kMachine, "/S /model=P-80 /port=..\\x", unattended::kExitBadArguments, "..\\x"},
        {"catalogue missing", "package\n", "/S /model=P-80", 1, "错误代码 1"},
    };
    for (const auto& c : cases) {
        World w(c.scenario);
        w.machine.ClearEvents();
        EXPECT_EQ(w.Run(c.line), c.code) << c.what << "\n" << w.Stderr();
        EXPECT_NE(w.Stderr().find(c.says), std::string::npos) << c.what << "\n" << w.Stderr();
        EXPECT_TRUE(w.machine.spooler.printers.empty() && w.machine.spooler.drivers.empty()) << c.what;
        EXPECT_TRUE(w.machine.devices.stagedInfs.empty()) << c.what;
        auto events = w.machine.Events();
        for (const auto& e : events) EXPECT_NE(e.rfind("copy ", 0), 0u) << c.what << ": " << e;
        EXPECT_EQ(w.BoxCount(), 0u) << c.what;
    }
}

TEST(UnattendedInstall, BadArgumentsWithoutSilentShowABox) {
    World w;
    EXPECT_EQ(w.Run("/frob"), unattended::kExitBadArguments);
    EXPECT_EQ(w.BoxCount(), 1u);
    EXPECT_EQ(w.Run("/?"), 0);
    EXPECT_EQ(w.BoxCount(), 2u);
}

TEST(UnattendedInstall, LogFileHasEachStepInUtf8) {
    World w;
    EXPECT_EQ(w.Run("/S /model=P-80 /port=LPT1: \"/log=C:\\logs here\\setup.txt\""), unattended::kExitBadArguments)
        << "a log in a missing folder is refused before anything is done";
    EXPECT_TRUE(w.machine.spooler.printers.empty());
    w.machine.AddDirectory(u"C:\\logs here");
    EXPECT_EQ(w.Run("/S /model=P-80 /port=LPT1: \"/log=C:\\logs here\\setup.txt\""), 0);
    auto bytes = w.machine.FileBytes(u"C:\\logs here\\setup.txt");
    ASSERT_TRUE(bytes);
    for (const char* line : {"开始无人值守安装\r\n", "型号: P-80\r\n", "端口: LPT1:\r\n", "安装成功: Halvorin P-80 在 LPT1:\r\n"})
        EXPECT_NE(bytes->find(line), std::string::npos) << line << "\n" << *bytes;
}

TEST(UnattendedInstall, FailureCodeGoesToLogAndStderr) {
    World w;
    w.machine.FailCall("AddPrinterW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 6);
    EXPECT_NE(w.Stderr().find("错误代码 6"), std::string::npos) << w.Stderr();
    std::string log = w.sim.LogBytes();
    EXPECT_NE(AnsiToText(w.machine, log.data(), log.size()).find(u"错误代码 6"), std::u16string::npos);
}

TEST(QueueNames, SetupsOwnNamesOnly) {
    struct Case {
        const char16_t* name;
        bool ours;
    } cases[] = {
        {u"Halvorin P-80", true},          {u"halvorin p-80", true},
        {u"Halvorin P-80 (副本 1)", true},  {u"Halvorin P-80 (副本 9999)", true},
        {u"Halvorin P-80 (副本 0)", false}, {u"Halvorin P-80 (副本 01)", false},
        {u"Halvorin P-80 (副本 )", false},  {u"Halvorin P-80 (副本 1", false},
        {u"Halvorin P-80 (copy 1)", false}, {u"Halvorin P-800", false},
        {u"Halvorin P-8", false},           {u"P-80", false},
        {u"Halvorin P-80 (副本 12345)", false},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::IsSetupQueueName(c.name, u"P-80"), c.ours) << ToUtf8(c.name);
}

TEST(Uninstall, InstallThenUninstallLeavesTheSpoolerAsItWas) {
    World w(std::string(kMachine) + "printer \"Office\" port=LPT2: driver=\"Other Driver\"\n");
    auto queues = w.Queues(), drivers = w.Drivers();
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0) << w.Stderr();
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0) << w.Stderr();   // a copy: "(副本 1)"
    ASSERT_EQ(w.machine.spooler.printers.size(), 3u);
    ASSERT_EQ(w.machine.devices.stagedInfs.size(), 1u);
    std::u16string driverDir = w.machine.spooler.DriverDirectoryOf(sim::kEnvX64);
    ASSERT_TRUE(w.machine.Exists(driverDir + u"\\P-80.GPD"));

    EXPECT_EQ(w.Run("/uninstall /model=P-80 /S"), 0) << w.Stderr();
    EXPECT_EQ(w.Queues(), queues);
    EXPECT_EQ(w.Drivers(), drivers);
    EXPECT_TRUE(w.machine.devices.stagedInfs.empty());
    EXPECT_FALSE(w.machine.Exists(driverDir + u"\\P-80.GPD")) << "the driver's unused files go with it";
    EXPECT_NE(w.Stderr().find("已删除打印机: Halvorin P-80 (副本 1)"), std::string::npos) << w.Stderr();

    w.stderrLines.clear();
    w.machine.ClearEvents();
    EXPECT_EQ(w.Run("/uninstall /model=P-80 /S"), 0);
    EXPECT_NE(w.Stderr().find("没有需要卸载的内容"), std::string::npos) << w.Stderr();
    for (const auto& e : w.machine.Events())
        EXPECT_EQ(e.find("deleted"), std::string::npos) << "a second uninstall removes nothing: " << e;
}

// Wine's spooler refuses DeletePrinterDriverExW's flags (87): the driver goes without them and
// Setup deletes the files no remaining driver names.
TEST(Uninstall, SpoolerWithoutDeletionFlags) {
    World w(std::string(kMachine) + "printer \"Office\" port=LPT2: driver=\"Office Driver\"\n");
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    std::u16string dir = w.machine.spooler.DriverDirectoryOf(sim::kEnvX64);
    // The foreign driver names UNIDRV.DLL and unidrvui.dll, and here unires.dll too: those stay.
    w.machine.spooler.FindDriver(u"Office Driver")->dependentFiles = std::vector<std::u16string>{u"unires.dll"};
    int base = w.machine.CallCount("DeletePrinterDriverExW");
    w.machine.FailCall("DeletePrinterDriverExW", ERROR_INVALID_PARAMETER, base + 1);
    w.machine.FailCall("DeletePrinterDriverExW", ERROR_INVALID_PARAMETER, base + 3);
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_EQ(w.Drivers(), std::vector<std::string>{"Office Driver for Windows x64"});
    for (const char16_t* gone : {u"P-80.GPD", u"VT39.dll", u"VT39Set.ini", u"VT39Res.dll", u"unidrv.hlp"})
        EXPECT_FALSE(w.machine.Exists(dir + u"\\" + gone)) << ToUtf8(gone);
    for (const char16_t* kept : {u"unires.dll", u"unidrv.dll", u"unidrvui.dll"})
        EXPECT_TRUE(w.machine.Exists(dir + u"\\" + kept)) << ToUtf8(kept);
    EXPECT_TRUE(w.machine.devices.stagedInfs.empty());
}

// Wine's driver store says yes to an unforced removal and keeps the INF: it is removed forced.
// It also stages an INF under its own name while that is free.
TEST(Uninstall, DriverStoreAsWinesKeepsTheInfAndItsName) {
    World w;
    w.machine.devices.uninstallKeepsUnforced = true;
    w.machine.devices.stagesUnderOwnName = true;
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    ASSERT_TRUE(w.machine.Exists(u"C:\\Windows\\INF\\VT39.inf"));
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_TRUE(w.machine.devices.stagedInfs.empty());
    EXPECT_FALSE(w.machine.Exists(u"C:\\Windows\\INF\\VT39.inf"));
}

// A queue plug and play made (the class installer's, named after the INF's model) is Setup's too.
TEST(Uninstall, QueueMadeByPlugAndPlay) {
    World w(std::string("process 64\n") + kMachine +
            "usb-printer vid_6b1f&pid_0001 port-number=1 id=\"MFG:Halvorin;MDL:P-80;\" hwid=USBPRINT\\HalvorinP-80D3B4\n"
            "port USB001\n");
    ASSERT_EQ(w.Run("/S"), 0) << w.Stderr();
    ASSERT_EQ(w.Queues(), std::vector<std::string>{"Halvorin P-80 on USB001 with Halvorin P-80"});
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_TRUE(w.machine.spooler.printers.empty());
    EXPECT_TRUE(w.machine.spooler.drivers.empty());
}

// An INF a device got its driver from stays, and that is no failure.
TEST(Uninstall, InfInUseByADeviceStays) {
    World w;
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    sim::SimDevice device;
    device.instanceId = u"USB\\VID_6B1F&PID_0080\\1";
    device.driverInf = w.machine.devices.stagedInfs.at(0).published;
    w.machine.devices.AddDevice(device);
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_TRUE(w.machine.spooler.printers.empty());
    EXPECT_EQ(w.machine.devices.stagedInfs.size(), 1u);
    EXPECT_NE(w.Stderr().find("驱动程序包仍被设备使用, 已保留: oem0.inf"), std::string::npos) << w.Stderr();
}

TEST(Uninstall, NeverTouchesWhatSetupDidNotMake) {
    World w(std::string(kMachine) +
            // Setup's names on someone else's drivers, and Setup's driver name with other files.
            "printer \"Halvorin P-80\" port=LPT2: driver=\"Vendor X\"\n"
            "printer \"Halvorin P-58\" port=LPT3:\n");
    auto queues = w.Queues(), drivers = w.Drivers();
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_EQ(w.Queues(), queues);
    EXPECT_EQ(w.Drivers(), drivers);
}

TEST(Uninstall, OneModelLeavesTheOthersAndTheirInf) {
    World w;
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    ASSERT_EQ(w.Run("/S /model=P-58 /port=LPT2:"), 0);
    EXPECT_EQ(w.Run("/uninstall /model=P-80 /S"), 0) << w.Stderr();
    EXPECT_EQ(w.Queues(), std::vector<std::string>{"Halvorin P-58 on LPT2: with Halvorin P-58"});
    EXPECT_EQ(w.machine.devices.stagedInfs.size(), 1u) << "P-58's driver still comes from the package";
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_TRUE(w.machine.spooler.printers.empty());
    EXPECT_TRUE(w.machine.spooler.drivers.empty());
    EXPECT_TRUE(w.machine.devices.stagedInfs.empty());
}

TEST(Uninstall, LeftOverDriverOfAFailedInstallGoesToo) {
    World w;
    w.machine.FailCall("AddPrinterW", ERROR_ACCESS_DENIED);
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 6);
    ASSERT_EQ(w.machine.spooler.drivers.size(), 1u);
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << w.Stderr();
    EXPECT_TRUE(w.machine.spooler.drivers.empty());
    EXPECT_TRUE(w.machine.devices.stagedInfs.empty());
}

TEST(Uninstall, ReportsWhatItCouldNotDoAndKeepsTheInf) {
    World w;
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    w.machine.FailCall("DeletePrinter", ERROR_ACCESS_DENIED);
    EXPECT_EQ(w.Run("/uninstall /S"), unattended::kExitUninstallIncomplete);
    EXPECT_NE(w.Stderr().find("DeletePrinter Halvorin P-80 (5)"), std::string::npos) << w.Stderr();
    EXPECT_EQ(w.machine.spooler.printers.size(), 1u);
    EXPECT_EQ(w.machine.spooler.drivers.size(), 1u) << "its queue still uses it";
    EXPECT_EQ(w.machine.devices.stagedInfs.size(), 1u);
    EXPECT_EQ(w.Run("/uninstall /S"), 0) << "a later run finishes the job";
    EXPECT_TRUE(w.machine.spooler.printers.empty() && w.machine.spooler.drivers.empty());
}

TEST(Uninstall, WithoutSilentABoxSaysWhatWasRemoved) {
    World w;
    ASSERT_EQ(w.Run("/S /model=P-80 /port=LPT1:"), 0);
    w.machine.ClearEvents();
    EXPECT_EQ(w.Run("/uninstall /model=P-80"), 0);
    auto events = w.machine.Events();
    auto box = std::find_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("message box", 0) == 0; });
    ASSERT_NE(box, events.end());
    EXPECT_NE(box->find("已删除打印机: Halvorin P-80"), std::string::npos) << *box;
    EXPECT_EQ(w.Run("/uninstall /model=NOPE /S"), unattended::kExitUnknownModel);
}

// Each call of an uninstall failing in turn: the run ends with 0 or 14, what is not Setup's
// stays, and a run without faults afterwards finishes the job.
TEST(UninstallFaultSweep, EveryCallFailingInTurn) {
    const std::string machine = std::string(kMachine) + "printer \"Office\" port=LPT2: driver=\"Office Driver\"\n";
    auto prepared = [&] {
        auto w = std::make_unique<World>(machine);
        EXPECT_EQ(w->Run("/S /model=P-80 /port=LPT1:"), 0);
        EXPECT_EQ(w->Run("/S /model=P-80 /port=LPT1:"), 0);
        return w;
    };
    const char* ops[] = {"EnumPrintersW", "EnumPrinterDriversW", "OpenPrinterW", "GetPrinterW", "ClosePrinter",
                         "DeletePrinter", "DeletePrinterDriverExW", "DeleteFileW", "GetFileAttributesW", "SHGetSpecialFolderPathW", "FindFirstFileW",
                         "FindNextFileW", "CreateFileW", "ReadFile", "GetFileSize", "SetupUninstallOEMInfW",
                         "GetModuleFileNameW", "GetPrinterDriverDirectoryW"};
    std::map<std::string, int> counts;
    {
        auto w = prepared();
        std::map<std::string, int> before;
        for (const char* op : ops) before[op] = w->machine.CallCount(op);
        ASSERT_EQ(w->Run("/uninstall /S"), 0) << w->Stderr();
        for (const char* op : ops) counts[op] = w->machine.CallCount(op) - before[op];
    }
    for (const char* op : ops) {
        for (int k = 1; k <= counts[op]; ++k) {
            auto w = prepared();
            w->machine.FailCall(op, ERROR_ACCESS_DENIED, w->machine.CallCount(op) + k);
            int code = w->Run("/uninstall /S");
            const std::string what = std::string(op) + " call " + std::to_string(k);
            // 1: the catalogue could not be opened, and nothing was touched.
            EXPECT_TRUE(code == 0 || code == 1 || code == unattended::kExitUninstallIncomplete) << what << ": " << code;
            EXPECT_NE(w->machine.spooler.FindPrinter(u"Office"), nullptr) << what;
            EXPECT_NE(w->machine.spooler.FindDriver(u"Office Driver"), nullptr) << what;
            if (code == 1) EXPECT_EQ(w->machine.spooler.printers.size(), 3u) << what;
            if (code == unattended::kExitUninstallIncomplete) EXPECT_NE(w->Stderr().find("未能完成"), std::string::npos) << what;
            if (code == 0) {
                EXPECT_EQ(w->machine.spooler.printers.size(), 1u) << what << ": 0 is only for a finished job";
                EXPECT_TRUE(w->machine.devices.stagedInfs.empty()) << what << ": 0 is only for a finished job";
            }
            EXPECT_EQ(w->Run("/uninstall /S"), 0) << what << "\n" << w->Stderr();
            EXPECT_EQ(w->Queues(), std::vector<std::string>{"Office on LPT2: with Office Driver"}) << what;
            EXPECT_EQ(w->Drivers(), std::vector<std::string>{"Office Driver for Windows x64"}) << what;
        }
    }
}

// The unattended install's exit code for each failing call of the install is the first code
// the wizard's dialog shows for the same failure (0 when it shows none and installs), on the
// registration path and on plug and play (succeeding, and failing over to registration).
struct SweepMachine {
    const char* name;
    std::string scenario;
    const char* commandLine;
    const char16_t* port;       // the request the wizard's pages make on that machine
    const char16_t* detected;
};

const SweepMachine kSweepMachines[] = {
    {"registration", kMachine, "/S /model=P-80 /port=LPT1:", u"LPT1:", u""},
    {"plug and play", std::string("process 64\n") + kMachine +
         "usb-printer vid_6b1f&pid_0001 port-number=1 id=\"MFG:Halvorin;MDL:P-80;\" hwid=USBPRINT\\HalvorinP-80D3B4\n"
         "port USB001\n",
     "/S", u"USB001", u"P-80"},
    {"plug and play failing over", std::string("process 64\n") + kMachine +
         "usb-printer vid_6b1f&pid_0001 port-number=1 id=\"MFG:Halvorin;MDL:P-80;\" hwid=USBPRINT\\HalvorinP-80D3B4\n"
         "port USB001\n"
         "device USB\\VID_6B1F&PID_0080\\1 hwid=USBPRINT\\HalvorinP-80D3B4 update-error=0xE0000219\n",
     "/S", u"USB001", u"P-80"},
};

class UnattendedFaultSweep : public testing::TestWithParam<SweepMachine> {};

TEST_P(UnattendedFaultSweep, ExitCodeIsTheWizardsDialogCode) {
    const SweepMachine& m = GetParam();
    const char* kOps[] = {"AddPrinterDriverW", "AddPrinterW", "ClosePrinter", "CopyFileW", "CreateFileW",
                          "DocumentPropertiesW", "FindFirstFileW", "GetFileAttributesW", "GetModuleFileNameW",
                          "GetPrinterDriverDirectoryW", "GetPrinterW", "MoveFileExW", "OpenPrinterW", "ReadFile",
                          "SetPrinterW", "SetupCopyOEMInfW", "SetDefaultPrinterW", "OpenSCManagerW",
                          "ControlService", "StartServiceW", "QueryServiceStatus", "GetFileSize",
                          "SetupDiGetClassDevsW", "SetupDiEnumDeviceInfo", "SetupDiGetDeviceRegistryPropertyW",
                          "SetupDiGetINFClassW", "UpdateDriverForPlugAndPlayDevicesW", "SetupDiCreateDeviceInfoList",
                          "SetupDiCreateDeviceInfoW", "SetupDiCallClassInstaller"};
    auto wizard = [&](const std::string& op, int k, DWORD error, int& calls) {
        World w(m.scenario);
        engine::PrepareServicesThreadProc(w.sim.env);
        int base = w.machine.CallCount(op);
        // k: that call of the install; -1: every call from the first on.
        if (k != 0) w.machine.FailCall(op, error, base + (k > 0 ? k : 1), k > 0 ? 1 : 0);
        LPARAM result = -1;
        w.machine.windowProc = [&](HWND, DWORD msg, WPARAM, LPARAM lp) -> LRESULT {
            if (msg == engine::WM_INSTALL_RESULT) result = lp;
            return 0;
        };
        auto r = std::make_unique<engine::CInstallRequest>();
        r->hwndNotify = reinterpret_cast<HWND>(1);
        r->modelName = u"P-80";
        r->portName = m.port;
        r->dataFileName = r->detectedDataFile = u"P-80.GPD";
        r->detectedModel = m.detected;
        engine::InstallThreadProc(w.sim.env, std::move(r));
        calls = w.machine.CallCount(op) - base;
        auto codes = w.sim.errors.codes();
        if (!codes.empty()) return std::stoi(ToUtf8(codes[0]));
        return result == 1 ? 0 : -1;
    };
    auto unattendedRun = [&](const std::string& op, int k, DWORD error) {
        World w(m.scenario);
        w.beforeInstall = [&] { w.machine.FailCall(op, error, w.machine.CallCount(op) + (k > 0 ? k : 1), k > 0 ? 1 : 0); };
        return w.Run(m.commandLine);
    };
    {
        World w(m.scenario);
        ASSERT_EQ(w.Run(m.commandLine), 0) << w.Stderr();
        ASSERT_EQ(w.machine.spooler.printers.size(), 1u);
        EXPECT_EQ(w.machine.spooler.printers[0].portName, m.port) << "the run makes the request the pages would";
    }
    int compared = 0;
    for (const char* op : kOps) {
        int calls = 0;
        ASSERT_EQ(wizard(op, 0, 0, calls), 0) << op;
        for (DWORD error : {ERROR_ACCESS_DENIED, ERROR_GEN_FAILURE}) {
            for (int k = calls > 0 ? -1 : 1; k <= calls; k += k == -1 ? 2 : 1) {
                int ignored = 0;
                int expected = wizard(op, k, error, ignored);
                ASSERT_NE(expected, -1) << op << " call " << k << ": the wizard showed nothing for a failure";
                EXPECT_EQ(unattendedRun(op, k, error), expected) << op << " call " << k << " error " << error;
                ++compared;
            }
        }
    }
    RecordProperty("compared", compared);
    std::cout << m.name << ": " << compared << " failures compared\n";
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Installs, UnattendedFaultSweep, testing::ValuesIn(kSweepMachines), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

}  // namespace
