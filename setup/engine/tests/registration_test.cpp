// The registration path on the simulated machine: printer names, INF staging, the driver and
// queue records, bidirectional support and the path's failure table.
#include <cstring>
#include <functional>

#include "engine/registration.h"
#include "engine_fixture.h"

namespace {
using namespace plat;
using engine_tests::EngineTest;

class Registration : public EngineTest {
protected:
    void SetUp() override {
        setupsim::AddPackage(m, {});
        m.spooler.ports.push_back(u"USB001");
    }
    bool Install(const std::u16string& model = u"P-80") {
        return engine::InstallByRegistration(env, u"", model, u"USB001", model + u".GPD", 0);
    }
};

TEST_F(Registration, UniqueNames) {
    struct Case {
        std::vector<std::u16string> present;
        std::u16string model;
        std::u16string expected;
    } cases[] = {
        {{}, u"M1", u"Halvorin M1"},
        {{u"Halvorin M1", u"Halvorin M1 (副本 1)"}, u"M1", u"Halvorin M1 (副本 2)"},
        {{u"Halvorin M1", u"Halvorin M1 (副本 2)"}, u"M1", u"Halvorin M1 (副本 1)"},   // the first gap
        {{u"Halvorin M1 (副本 1)"}, u"M1", u"Halvorin M1"},
        {{}, u"Halvorin M1", u"Halvorin M1"},
        {{u"Old Halvorin M1"}, u"Old Halvorin M1", u"Old Halvorin M1 (副本 1)"},   // the prefix anywhere
        {{}, u"halvorin M1", u"Halvorin halvorin M1"},                            // case-sensitive
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        for (const auto& name : c.present) fresh.machine.spooler.AddPrinter(name);
        EXPECT_EQ(engine::MakeUniquePrinterName(fresh.env, c.model), c.expected) << ToUtf8(c.model);
        EXPECT_TRUE(fresh.machine.spooler.handles.empty()) << "every probe is closed again";
    }
}

TEST_F(Registration, OnlyNoSuchPrinterMakesANameFree) {
    m.spooler.AddPrinter(u"Halvorin M1");
    m.FailCall("OpenPrinterW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(engine::MakeUniquePrinterName(env, u"M1"), std::nullopt);
    m.FailCall("OpenPrinterW", ERROR_INVALID_PRINTER_NAME, 2);
    EXPECT_EQ(engine::MakeUniquePrinterName(env, u"M1"), u"Halvorin M1") << "the open said no such printer";

    // The install ends there, without touching the existing queue's driver.
    m.FailCall("OpenPrinterW", ERROR_ACCESS_DENIED, 3);
    setupsim::AddPackage(m, {});
    EXPECT_FALSE(engine::InstallByRegistration(env, u"", u"M1", u"USB001", u"P-80.GPD", 0));
    EXPECT_EQ(m.CallCount("AddPrinterDriverW"), 0);
}

// A spooler that finds every name taken.
class EveryNameTaken : public ISpooler {
public:
    int opens = 0;
    BOOL GetPrinterDriverDirectoryW(const char16_t*, const char16_t*, DWORD, BYTE*, DWORD, DWORD*) override { return 0; }
    BOOL OpenPrinterW(const char16_t*, HANDLE* h, const PRINTER_DEFAULTSW*) override {
        ++opens;
        *h = reinterpret_cast<HANDLE>(0x10);
        return 1;
    }
    BOOL ClosePrinter(HANDLE) override { return 1; }
    BOOL AddPrinterDriverW(const char16_t*, DWORD, BYTE*) override { return 0; }
    HANDLE AddPrinterW(const char16_t*, DWORD, BYTE*) override { return nullptr; }
    BOOL GetPrinterW(HANDLE, DWORD, BYTE*, DWORD, DWORD*) override { return 0; }
    BOOL SetPrinterW(HANDLE, DWORD, BYTE*, DWORD) override { return 0; }
    LONG DocumentPropertiesW(HWND, HANDLE, const char16_t*, DEVMODEW*, DEVMODEW*, DWORD) override { return -1; }
    BOOL EnumPortsW(const char16_t*, DWORD, BYTE*, DWORD, DWORD*, DWORD*) override { return 0; }
    BOOL SetDefaultPrinterW(const char16_t*) override { return 0; }
    BOOL EnumPrintersW(DWORD, const char16_t*, DWORD, BYTE*, DWORD, DWORD*, DWORD*) override { return 0; }
    BOOL EnumPrinterDriversW(const char16_t*, const char16_t*, DWORD, BYTE*, DWORD, DWORD*, DWORD*) override { return 0; }
    BOOL DeletePrinter(HANDLE) override { return 0; }
    BOOL DeletePrinterDriverExW(const char16_t*, const char16_t*, const char16_t*, DWORD, DWORD) override { return 0; }
};

TEST_F(Registration, NameSearchHasAnEnd) {
    EveryNameTaken spooler;
    Platform p = m.platform();
    engine::Env taken{{p.sys, p.files, spooler, p.services, p.registry, p.devsetup, p.devices, p.user}, s.errors, s.log};
    EXPECT_EQ(engine::MakeUniquePrinterName(taken, u"M1"), u"Halvorin M1 (副本 9999)");
    EXPECT_EQ(spooler.opens, engine::kMaxCopySuffix);
}

TEST_F(Registration, StagingRetriesOnceOnNotFound) {
    struct Case {
        const char* name;
        std::vector<DWORD> failures;   // successive SetupCopyOEMInfW results, 0 = staged
        bool ok;
        DWORD error;
        int calls;
        std::vector<std::string> codes;
    } cases[] = {
        {"staged", {}, true, 0, 1, {}},
        {"1168 then staged", {ERROR_NOT_FOUND}, true, 0, 2, {}},
        {"1168 twice", {ERROR_NOT_FOUND, ERROR_NOT_FOUND}, false, ERROR_NOT_FOUND, 2, {"3"}},
        {"1168 then another error", {ERROR_NOT_FOUND, ERROR_ACCESS_DENIED}, false, ERROR_ACCESS_DENIED, 2, {"3"}},
        {"INF syntax error: no retry", {ERROR_GENERAL_SYNTAX}, false, ERROR_GENERAL_SYNTAX, 1, {"3"}},
        {"access denied: no retry", {ERROR_ACCESS_DENIED}, false, ERROR_ACCESS_DENIED, 1, {"3"}},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        setupsim::AddPackage(fresh.machine, {});
        for (size_t i = 0; i < c.failures.size(); ++i)
            fresh.machine.FailCall("SetupCopyOEMInfW", c.failures[i], static_cast<int>(i + 1));
        auto r = engine::StageInf(fresh.env, PackageDir() + u"VT39.inf", PackageDir());
        EXPECT_EQ(r.ok, c.ok) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
        EXPECT_EQ(fresh.machine.CallCount("SetupCopyOEMInfW"), c.calls) << c.name;
        std::vector<std::string> codes;
        for (const auto& code : fresh.errors.codes()) codes.push_back(ToUtf8(code));
        EXPECT_EQ(codes, c.codes) << c.name;
    }
}

TEST_F(Registration, DriverAndQueueRecordsCarryEveryField) {
    ASSERT_TRUE(Install());
    const sim::SimDriver* d = m.spooler.FindDriver(u"Halvorin P-80");
    ASSERT_NE(d, nullptr);
    std::u16string dir = DriverDir() + u"\\";
    EXPECT_EQ(d->cVersion, 3u);
    EXPECT_EQ(d->name, u"Halvorin P-80");
    EXPECT_EQ(d->environment, std::u16string(u"Windows x64")) << "the 64-bit package, named as such";
    EXPECT_EQ(d->driverPath, dir + u"UNIDRV.DLL");
    EXPECT_EQ(d->dataFile, dir + u"P-80.GPD");
    EXPECT_EQ(d->configFile, dir + u"unidrvui.dll");
    EXPECT_EQ(d->helpFile, dir + u"unidrv.hlp");
    EXPECT_EQ(d->dependentFiles,
              (std::vector<std::u16string>{u"VT39Res.dll", u"STDNAMES.GPD", u"unires.dll", u"VT39Set.ini", u"VT39.dll"}))
        << "bare names, no folder";
    EXPECT_EQ(d->monitorName, std::nullopt);
    EXPECT_EQ(d->defaultDataType, u"RAW");
    EXPECT_EQ(d->previousNames, std::nullopt);
    EXPECT_EQ(d->driverDate.dwLowDateTime | d->driverDate.dwHighDateTime, 0u);
    EXPECT_EQ(d->driverVersion, 0u);
    EXPECT_EQ(d->mfgName, u"Halvorin");
    EXPECT_EQ(d->oemUrl, std::nullopt);
    EXPECT_EQ(d->hardwareId, std::nullopt);
    EXPECT_EQ(d->provider, std::nullopt);

    const sim::SimPrinter* q = m.spooler.FindPrinter(u"Halvorin P-80");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->serverName, std::nullopt);
    EXPECT_EQ(q->shareName, std::nullopt);
    EXPECT_EQ(q->portName, u"USB001");
    EXPECT_EQ(q->driverName, u"Halvorin P-80");
    EXPECT_EQ(q->comment, std::nullopt);
    EXPECT_EQ(q->location, std::nullopt);
    EXPECT_EQ(q->sepFile, std::nullopt);
    EXPECT_EQ(q->printProcessor, u"winprint");
    EXPECT_EQ(q->datatype, u"RAW");
    EXPECT_EQ(q->parameters, std::nullopt);
    EXPECT_EQ(q->attributes, PRINTER_ATTRIBUTE_LOCAL);
    EXPECT_EQ(q->priority + q->defaultPriority + q->startTime + q->untilTime + q->status + q->cJobs + q->averagePPM, 0u);
    // What the queue was created with, as the spooler saw it.
    std::vector<std::string> added;
    bool in = false;
    for (const auto& e : Events()) {
        if (e.rfind("printer added", 0) == 0) in = true;
        else if (in && e.rfind("  ", 0) != 0) in = false;
        if (in) added.push_back(e);
    }
    EXPECT_EQ(added, (std::vector<std::string>{
                         "printer added \"Halvorin P-80\"", "  pServerName null", "  pPrinterName \"Halvorin P-80\"",
                         "  pShareName null", "  pPortName \"USB001\"", "  pDriverName \"Halvorin P-80\"",
                         "  pComment null", "  pLocation null", "  pDevMode null", "  pSepFile null",
                         "  pPrintProcessor \"winprint\"", "  pDatatype \"RAW\"", "  pParameters null",
                         "  pSecurityDescriptor null", "  Attributes 0x40",
                         "  Priority 0, DefaultPriority 0, StartTime 0, UntilTime 0, Status 0, cJobs 0, AveragePPM 0"}));
    EXPECT_EQ(m.spooler.defaultPrinter, u"Halvorin P-80");
    EXPECT_TRUE(m.spooler.handles.empty());
}

struct PathCase {
    const char* name;
    std::function<void(sim::Machine&)> setUp;
    bool result;
    std::vector<std::string> codes;
    bool driver, queue;
};

TEST_F(Registration, FailureTable) {
    PathCase cases[] = {
        {"all goes well", [](sim::Machine&) {}, true, {}, true, true},
        {"driver directory unknown in the package step",
         [](sim::Machine& m) { m.FailCall("GetPrinterDriverDirectoryW", ERROR_ACCESS_DENIED); }, false, {}, false, false},
        {"copy pass fails", [](sim::Machine& m) { m.FailCall("CopyFileW", ERROR_ACCESS_DENIED); }, false, {"2"}, false, false},
        {"INF staging fails", [](sim::Machine& m) { m.FailCall("SetupCopyOEMInfW", ERROR_ACCESS_DENIED); }, false, {"3"},
         false, false},
        {"INF staging fails with a syntax error: success without registration",
         [](sim::Machine& m) { m.FailCall("SetupCopyOEMInfW", ERROR_GENERAL_SYNTAX); }, true, {"3"}, false, false},
        {"driver directory unknown before registration",
         [](sim::Machine& m) { m.FailCall("GetPrinterDriverDirectoryW", ERROR_ACCESS_DENIED, 2); }, false, {}, false, false},
        {"driver registration fails", [](sim::Machine& m) { m.FailCall("AddPrinterDriverW", ERROR_ACCESS_DENIED); }, false,
         {"4"}, false, false},
        {"printer creation fails: the driver stays",
         [](sim::Machine& m) { m.FailCall("AddPrinterW", ERROR_ACCESS_DENIED); }, false, {"6"}, true, false},
        {"printer of the name made meanwhile", [](sim::Machine& m) { m.FailCall("AddPrinterW", ERROR_PRINTER_ALREADY_EXISTS); },
         false, {"6"}, true, false},
        {"unknown port", [](sim::Machine& m) { m.spooler.ports = {u"LPT1:"}; }, false, {"6"}, true, false},
        {"bidirectional switch-off fails", [](sim::Machine& m) { m.FailCall("SetPrinterW", ERROR_ACCESS_DENIED); }, true, {},
         true, true},
        {"default printer fails", [](sim::Machine& m) { m.FailCall("SetDefaultPrinterW", ERROR_INVALID_PRINTER_NAME); },
         true, {}, true, true},
        {"a driver whose device mode has no orientation", [](sim::Machine& m) { m.spooler.newDriverModel.devModeFields = 0x2; },
         true, {}, true, true},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        sim::Machine& mm = fresh.machine;
        setupsim::AddPackage(mm, {});
        mm.spooler.ports.push_back(u"USB001");
        c.setUp(mm);
        EXPECT_EQ(engine::InstallByRegistration(fresh.env, u"", u"P-80", u"USB001", u"P-80.GPD", 0), c.result) << c.name;
        std::vector<std::string> codes;
        for (const auto& code : fresh.errors.codes()) codes.push_back(ToUtf8(code));
        EXPECT_EQ(codes, c.codes) << c.name;
        EXPECT_EQ(mm.spooler.FindDriver(u"Halvorin P-80") != nullptr, c.driver) << c.name;
        EXPECT_EQ(mm.spooler.FindPrinter(u"Halvorin P-80") != nullptr, c.queue) << c.name;
        EXPECT_TRUE(mm.spooler.handles.empty()) << c.name;
    }
}

// An error dialog that leaves its own last error behind, as a modal dialog does.
class DialogThatTouchesTheLastError : public engine::IErrorReporter {
public:
    DialogThatTouchesTheLastError(ISystem& sys, DWORD leaves) : sys_(sys), leaves_(leaves) {}
    void ShowErrorCode(const std::u16string& code) override {
        codes.push_back(ToUtf8(code));
        sys_.SetLastError(leaves_);
    }
    std::vector<std::string> codes;

private:
    ISystem& sys_;
    DWORD leaves_;
};

TEST_F(Registration, SyntaxErrorRuleReadsTheStagingErrorNotTheDialogs) {
    {   // The dialog clears the last error: the syntax error still counts.
        engine_testing::SimEnv fresh;
        setupsim::AddPackage(fresh.machine, {});
        fresh.machine.FailCall("SetupCopyOEMInfW", ERROR_GENERAL_SYNTAX);
        DialogThatTouchesTheLastError dialog(fresh.machine, 0);
        engine::Env e{fresh.machine.platform(), dialog, fresh.log};
        EXPECT_TRUE(engine::InstallByRegistration(e, u"", u"P-80", u"USB001", u"P-80.GPD", 0));
        EXPECT_EQ(dialog.codes, std::vector<std::string>{"3"});
    }
    {   // A copy failure whose dialog happens to leave 0xE0000003 is still a failure.
        engine_testing::SimEnv fresh;
        setupsim::AddPackage(fresh.machine, {});
        fresh.machine.FailCall("CopyFileW", ERROR_ACCESS_DENIED);
        DialogThatTouchesTheLastError dialog(fresh.machine, ERROR_GENERAL_SYNTAX);
        engine::Env e{fresh.machine.platform(), dialog, fresh.log};
        EXPECT_FALSE(engine::InstallByRegistration(e, u"", u"P-80", u"USB001", u"P-80.GPD", 0));
        EXPECT_EQ(dialog.codes, std::vector<std::string>{"2"});
    }
}

// ---- bidirectional support

class Bidi : public EngineTest {
protected:
    sim::SimPrinter& Queue() {
        sim::SimPrinter& q = m.spooler.AddPrinter(u"Halvorin P-80");
        return q;
    }
    DWORD Attributes() { return m.spooler.FindPrinter(u"Halvorin P-80")->attributes; }
};

TEST_F(Bidi, SwitchedOffWithoutRewritingSecurityAndAnnounced) {
    Queue();
    ASSERT_TRUE(Attributes() & PRINTER_ATTRIBUTE_ENABLE_BIDI);
    EXPECT_TRUE(engine::DisablePrinterBidi(env, u"Halvorin P-80"));
    EXPECT_EQ(Attributes(), PRINTER_ATTRIBUTE_LOCAL);
    EXPECT_EQ(EventsStarting("printer set"),
              std::vector<std::string>{"printer set \"Halvorin P-80\" Attributes 0x40 (bidi off), devmode fields 0x103, security kept"});
    EXPECT_EQ(EventsStarting("broadcast"), std::vector<std::string>{"broadcast 27 \"Halvorin P-80\" flags 0 timeout 1000"});
    EXPECT_TRUE(m.spooler.handles.empty());
}

TEST_F(Bidi, QueueWithoutDeviceModeGetsTheDriversDefault) {
    Queue().devMode.reset();
    EXPECT_TRUE(engine::DisablePrinterBidi(env, u"Halvorin P-80"));
    EXPECT_EQ(Attributes(), PRINTER_ATTRIBUTE_LOCAL);
    ASSERT_TRUE(m.spooler.FindPrinter(u"Halvorin P-80")->devMode);
}

TEST_F(Bidi, DriverWithALargerPrivatePartThanTheStoredModeIsMergedSafely) {
    Queue();   // stored with no private part
    m.spooler.FindDriver(u"Halvorin P-80")->model.driverExtra = 4096;
    EXPECT_TRUE(engine::DisablePrinterBidi(env, u"Halvorin P-80"));
    EXPECT_EQ(m.spooler.FindPrinter(u"Halvorin P-80")->devMode->size(), sizeof(DEVMODEW) + 4096);
}

TEST_F(Bidi, StoredDeviceModeClaimingMoreThanItHoldsIsRefused) {
    sim::SimPrinter& q = Queue();
    DEVMODEW dm{};
    std::memcpy(&dm, q.devMode->data(), sizeof dm);
    dm.dmDriverExtra = 60000;
    std::memcpy(q.devMode->data(), &dm, sizeof dm);
    EXPECT_FALSE(engine::DisablePrinterBidi(env, u"Halvorin P-80"));
    EXPECT_TRUE(Attributes() & PRINTER_ATTRIBUTE_ENABLE_BIDI);
}

TEST_F(Bidi, FailuresLeaveTheQueueAsItWas) {
    struct Case {
        const char* name;
        std::function<void(sim::Machine&)> setUp;
    } cases[] = {
        {"no orientation in the device mode",
         [](sim::Machine& m) { m.spooler.FindDriver(u"Halvorin P-80")->model.devModeFields = 0x2; m.spooler.FindPrinter(u"Halvorin P-80")->devMode.reset(); }},
        {"open fails", [](sim::Machine& m) { m.FailCall("OpenPrinterW", ERROR_ACCESS_DENIED); }},
        {"size query fails", [](sim::Machine& m) { m.FailCall("GetPrinterW", ERROR_ACCESS_DENIED); }},
        {"read fails", [](sim::Machine& m) { m.FailCall("GetPrinterW", ERROR_ACCESS_DENIED, 2); }},
        {"driver size fails", [](sim::Machine& m) { m.FailCall("DocumentPropertiesW", ERROR_ACCESS_DENIED); }},
        {"merge fails", [](sim::Machine& m) { m.FailCall("DocumentPropertiesW", ERROR_ACCESS_DENIED, 2); }},
        {"write-back fails", [](sim::Machine& m) { m.FailCall("SetPrinterW", ERROR_ACCESS_DENIED); }},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        fresh.machine.spooler.AddPrinter(u"Halvorin P-80");
        c.setUp(fresh.machine);
        EXPECT_FALSE(engine::DisablePrinterBidi(fresh.env, u"Halvorin P-80")) << c.name;
        EXPECT_TRUE(fresh.machine.spooler.FindPrinter(u"Halvorin P-80")->attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI) << c.name;
        bool broadcast = false;
        for (const auto& e : fresh.machine.Events()) broadcast |= e.rfind("broadcast", 0) == 0;
        EXPECT_FALSE(broadcast) << c.name;
        EXPECT_TRUE(fresh.machine.spooler.handles.empty()) << c.name;
    }
}

TEST_F(Bidi, MissingQueueIsFalse) { EXPECT_FALSE(engine::DisablePrinterBidi(env, u"Nobody")); }

}  // namespace
