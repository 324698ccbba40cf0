// The install worker's choice of path and its one result message, and the font copy at start-up.
#include <thread>

#include "engine/driver_copy.h"
#include "engine/fonts.h"
#include "engine/install_worker.h"
#include "engine_fixture.h"

namespace {
using namespace plat;
using engine::CInstallRequest;
using engine_tests::EngineTest;

const HWND kWizard = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4242));

CInstallRequest Request(const std::u16string& model, const std::u16string& detected) {
    CInstallRequest r;
    r.hwndNotify = kWizard;
    r.modelName = model;
    r.portName = u"USB001";
    r.dataFileName = model + u".GPD";
    r.detectedModel = detected;
    r.detectedDataFile = model + u".GPD";
    return r;
}

TEST(InstallPath, PlugAndPlayOnlyForTheDetectedModel) {
    struct Case {
        const char* name;
        CInstallRequest r;
        bool pnp;
    } cases[] = {
        {"detected model chosen", Request(u"P-80", u"P-80"), true},
        {"nothing detected", Request(u"P-80", u""), false},
        {"another model chosen", Request(u"P-80", u"T-108"), false},
        {"comparison is exact", Request(u"P-80", u"p-80"), false},
        {"two empty texts are equal", Request(u"", u""), true},
    };
    for (auto& c : cases) EXPECT_EQ(engine::TakesPlugAndPlayPath(c.r), c.pnp) << c.name;
    CInstallRequest universal = Request(u"P-80", u"P-80");
    universal.driverKind = u"通用驱动程序";
    EXPECT_FALSE(engine::TakesPlugAndPlayPath(universal));
    CInstallRequest otherData = Request(u"P-80", u"P-80");
    otherData.detectedDataFile = u"T-108.GPD";
    EXPECT_FALSE(engine::TakesPlugAndPlayPath(otherData));
}

class Worker : public EngineTest {
public:
    std::vector<LPARAM> results;
    std::vector<std::thread::id> senders;
    void SetUp() override {
        setupsim::AddPackage(m, {});
        m.spooler.ports.push_back(u"USB001");
        m.windowProc = [this](HWND w, DWORD msg, WPARAM wp, LPARAM lp) -> LRESULT {
            if (w == kWizard && msg == engine::WM_INSTALL_RESULT) {
                EXPECT_EQ(wp, 0u);
                results.push_back(lp);
                senders.push_back(std::this_thread::get_id());
            }
            return 0;
        };
    }
    void TearDown() override { m.windowProc = nullptr; }
    // As the install page does: the request handed to a thread of its own.
    void Run(const CInstallRequest& r) {
        DWORD code = 99;
        std::thread worker([&] { code = engine::InstallThreadProc(env, std::make_unique<CInstallRequest>(r)); });
        std::thread::id id = worker.get_id();
        worker.join();
        EXPECT_EQ(code, 0u);
        ASSERT_EQ(senders.size(), 1u) << "exactly one result";
        EXPECT_EQ(senders[0], id) << "sent from the worker";
    }
    void AttachP80(DWORD updateError = 0) {
        sim::SimDevice d;
        d.instanceId = u"USB\\VID_6B1F&PID_0080\\1";
        d.hardwareIds = {u"USBPRINT\\HalvorinP-80D3B4"};
        d.driverUpdateError = updateError;
        m.devices.AddDevice(d);
    }
};

TEST_F(Worker, RegistrationPathWhenNothingWasDetected) {
    AttachP80();
    Run(Request(u"P-80", u""));
    EXPECT_EQ(results, std::vector<LPARAM>{1});
    EXPECT_EQ(m.CallCount("UpdateDriverForPlugAndPlayDevicesW"), 0);
    EXPECT_NE(m.spooler.FindDriver(u"Halvorin P-80"), nullptr);
}

TEST_F(Worker, UniversalDriverKindTakesTheRegistrationPath) {
    AttachP80();
    CInstallRequest r = Request(u"P-80", u"P-80");
    r.driverKind = u"通用驱动程序";
    Run(r);
    EXPECT_EQ(results, std::vector<LPARAM>{1});
    EXPECT_EQ(m.CallCount("SetupDiGetClassDevsW"), 0);
}

TEST_F(Worker, PlugAndPlayRefusedToThe32BitProgramFallsOverToRegistration) {
    AttachP80();
    Run(Request(u"P-80", u"P-80"));
    EXPECT_EQ(results, std::vector<LPARAM>{1});
    EXPECT_EQ(EventsStarting("driver update refused").size(), 1u);
    const sim::SimDriver* d = m.spooler.FindDriver(u"Halvorin P-80");
    ASSERT_NE(d, nullptr) << "registered for the machine's own environment";
    EXPECT_EQ(d->environment, std::u16string(u"Windows x64"));
    EXPECT_TRUE(Codes().empty());
}

TEST_F(Worker, PlugAndPlayDefaultPrinterHasNoCopySuffix) {
    m.SetArchitecture(PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64);
    AttachP80();
    m.spooler.AddPrinter(u"Halvorin P-80");   // an earlier queue of the same name
    Run(Request(u"P-80", u"P-80"));
    EXPECT_EQ(results, std::vector<LPARAM>{1});
    EXPECT_EQ(EventsStarting("default printer"), std::vector<std::string>{"default printer \"Halvorin P-80\""});
    EXPECT_EQ(m.CallCount("AddPrinterDriverW"), 0) << "no registration after a plug-and-play install";
}

TEST_F(Worker, PlugAndPlayDefaultPrinterFailureIsIgnored) {
    m.SetArchitecture(PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64);
    AttachP80();
    m.FailCall("SetDefaultPrinterW", ERROR_INVALID_PRINTER_NAME);
    Run(Request(u"P-80", u"P-80"));
    EXPECT_EQ(results, std::vector<LPARAM>{1});
    EXPECT_EQ(m.CallCount("AddPrinterDriverW"), 0);
}

TEST_F(Worker, PlugAndPlayFailureFallsBackSilently) {
    struct Case {
        const char* name;
        std::function<void(Worker&)> setUp;
        LPARAM result;
    } cases[] = {
        {"update refused, registration works", [](Worker& w) { w.AttachP80(0xE0000219); }, 1},
        {"no matching device", [](Worker& w) { w.m.FailCall("SetupDiCallClassInstaller", ERROR_ACCESS_DENIED); },
         1},
        {"update refused and registration fails",
         [](Worker& w) {
             w.AttachP80(0xE0000219);
             w.m.FailCall("AddPrinterW", ERROR_ACCESS_DENIED);
         },
         0},
    };
    struct Bench : Worker {
        void TestBody() override {}
    };
    for (const auto& c : cases) {
        Bench w;
        w.SetUp();
        c.setUp(w);
        size_t codesBefore = w.s.errors.codes().size();
        w.Run(Request(u"P-80", u"P-80"));
        EXPECT_EQ(w.results, std::vector<LPARAM>{c.result}) << c.name;
        EXPECT_EQ(w.m.CallCount("AddPrinterDriverW"), 1) << c.name << ": the registration path ran";
        EXPECT_EQ(w.LogText(), "") << c.name;
        EXPECT_EQ(w.s.errors.codes().size() - codesBefore, c.result ? 0u : 1u) << c.name;
        w.TearDown();
    }
}

TEST_F(Worker, OneResultAlsoAfterErrorDialogs) {
    m.FailCall("SetupCopyOEMInfW", ERROR_ACCESS_DENIED);
    m.FailCall("CopyFileW", ERROR_ACCESS_DENIED);
    Run(Request(u"P-80", u""));
    EXPECT_EQ(results, std::vector<LPARAM>{0});
    EXPECT_FALSE(Codes().empty());
}

TEST_F(Worker, StartUpThreadAndWorkerTogether) {
    // Nothing coordinates them: both act on the Spooler and both write the log.
    m.services.Get(u"Spooler").state = SERVICE_STOPPED;
    setupsim::PackageSpec older;
    older.version = "0.9";
    setupsim::AddInstalledFiles(m, older);
    m.LockWhileSpoolerRuns(InDriverDir(u"VT39.dll"));
    std::thread startUp([&] { engine::PrepareServicesThreadProc(env); });
    Run(Request(u"P-80", u""));
    startUp.join();
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(m.services.Get(u"PcaSvc").state, SERVICE_STOPPED);
    EXPECT_TRUE(m.SpoolerRunning() || LogText().find("开启") != std::string::npos) << LogText();
}

TEST_F(Worker, NoRequestNoMessage) {
    EXPECT_EQ(engine::InstallThreadProc(env, nullptr), 0u);
    EXPECT_TRUE(results.empty());
}

// ---- fonts

class Fonts : public EngineTest {
protected:
    std::u16string src = u"C:\\Delivery\\字体\\";
    std::u16string dst = u"C:\\Windows\\Fonts\\";
};

TEST_F(Fonts, CopiedFlatIntoTheSystemFontFolder) {
    m.AddFile(src + u"Label.ttf", "label font");
    m.AddFile(src + u"粗体\\Bold.ttf", "bold font");
    EXPECT_TRUE(engine::InstallFonts(env));
    EXPECT_EQ(m.FileBytes(dst + u"Label.ttf").value_or(""), "label font");
    EXPECT_EQ(m.FileBytes(dst + u"Bold.ttf").value_or(""), "bold font");
    EXPECT_FALSE(m.Exists(dst + u"粗体"));
}

TEST_F(Fonts, OnlyFontFilesAreCopied) {
    const std::vector<std::pair<std::u16string, bool>> files = {
        {u"a.ttf", true}, {u"b.TTC", true}, {u"c.otf", true}, {u"d.otc", true}, {u"e.fon", true},
        {u"f.FNT", true}, {u"g.pfb", true}, {u"g.pfm", true}, {u"desktop.ini", false}, {u"Thumbs.db", false},
        {u"readme.txt", false}, {u"ttf", false}, {u"font.ttf.bak", false},
    };
    for (const auto& [name, font] : files) m.AddFile(src + name, "x");
    m.AddFile(src + u"sub\desktop.ini", "x");
    EXPECT_TRUE(engine::InstallFonts(env));
    for (const auto& [name, font] : files) EXPECT_EQ(m.Exists(dst + name), font) << ToUtf8(name);
    EXPECT_TRUE(Codes().empty());
}

// Windows uses only registered fonts: each font copied is installed as Windows' own installation
// does, and an identical one already registered is left alone.
TEST_F(Fonts, CopiedFontsAreInstalledOnce) {
    const std::u16string key = u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTS";
    m.AddFile(src + u"Label.ttf", "label font");
    m.AddFile(src + u"Code.otf", "code font");
    EXPECT_TRUE(engine::InstallFonts(env));
    auto& values = m.registry.keys[key];
    ASSERT_EQ(values.count(u"LABEL (TRUETYPE)"), 1u);
    EXPECT_EQ(values[u"LABEL (TRUETYPE)"].data, std::string("L\0a\0b\0e\0l\0.\0t\0t\0f\0\0\0", 20));
    EXPECT_EQ(values.count(u"CODE (OPENTYPE)"), 1u);
    EXPECT_EQ(EventsStarting("font added"),
              (std::vector<std::string>{"font added C:\\Windows\\Fonts\\Code.otf", "font added C:\\Windows\\Fonts\\Label.ttf"}));
    EXPECT_EQ(EventsStarting("broadcast 29").size(), 1u) << "WM_FONTCHANGE to all windows, once";

    m.ClearEvents();
    EXPECT_TRUE(engine::InstallFonts(env));
    EXPECT_TRUE(EventsStarting("font added").empty());
    EXPECT_TRUE(EventsStarting("broadcast").empty());

    values.erase(u"CODE (OPENTYPE)");   // copied by an earlier Setup that did not install it
    m.AddFile(src + u"Label.ttf", "label font, new version");
    m.ClearEvents();
    EXPECT_TRUE(engine::InstallFonts(env));
    EXPECT_EQ(EventsStarting("font added").size(), 2u);
    EXPECT_EQ(values.count(u"CODE (OPENTYPE)"), 1u);
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(LogText(), "");
}

TEST_F(Fonts, SecondStartCopiesNothingAndShowsNothing) {
    m.AddFile(src + u"Label.ttf", "label font");
    engine::InstallFonts(env);
    m.ClearEvents();
    EXPECT_TRUE(engine::InstallFonts(env));
    for (const auto& e : EventsStarting("copy")) EXPECT_NE(e.find("(fail if exists) error 80"), std::string::npos) << e;
    EXPECT_TRUE(Codes().empty());
    EXPECT_FALSE(SpoolerTouched());
}

TEST_F(Fonts, MissingFontFolderCopiesNothing) {
    EXPECT_FALSE(engine::InstallFonts(env));
    EXPECT_TRUE(EventsStarting("copy").empty());
    EXPECT_TRUE(Codes().empty());
}

TEST_F(Fonts, FontInUseStopsTheSpoolerAndShowsTwoWhenStillRefused) {
    m.AddFile(src + u"Label.ttf", "new");
    m.AddFile(dst + u"Label.ttf", "old");
    // Held by something other than the spooler: still refused with the Spooler stopped.
    HANDLE user = m.CreateFileW((dst + u"Label.ttf").c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    ASSERT_NE(user, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(engine::InstallFonts(env));
    m.CloseHandle(user);
    EXPECT_EQ(Codes(), std::vector<std::string>{"2"});
    EXPECT_EQ(EventsStarting("service Spooler"),
              (std::vector<std::string>{"service Spooler stop pending, wait hint 1000", "service Spooler stopped",
                                        "service Spooler start pending, wait hint 1000", "service Spooler running"}));
    EXPECT_EQ(m.FileBytes(dst + u"Label.ttf").value_or(""), "old");
}

}  // namespace
