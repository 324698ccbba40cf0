// Driver file copy with spooler control, and the service routines, on the simulated machine.
#include <functional>
#include <random>

#include "engine/driver_copy.h"
#include "engine_fixture.h"

namespace {
using namespace plat;
using engine_tests::EngineTest;

struct ReplaceCase {
    const char* name;
    std::function<void(sim::Machine&, const std::u16string& target)> setUp;
    bool result;
    std::vector<std::string> codes;
    std::vector<std::string> logged;   // substrings of the log, in order
    std::string targetAfter;           // "" : the target is missing afterwards
    bool spoolerTouched;
};

class ReplaceDriverFile : public EngineTest {};

TEST_F(ReplaceDriverFile, FailureTableAndOutcomes) {
    const std::string kNew = "new driver", kOld = "old driver";
    auto existing = [&](sim::Machine& m, const std::u16string& t) { m.AddFile(t, kOld); };
    auto locked = [&](DWORD error) {
        return [=](sim::Machine& m, const std::u16string& t) {
            m.AddFile(t, kOld);
            m.LockWhileSpoolerRuns(t, error);
        };
    };
    ReplaceCase cases[] = {
        {"new file is copied", [](sim::Machine&, const std::u16string&) {}, true, {}, {}, kNew, false},
        {"identical file is left alone", [&](sim::Machine& m, const std::u16string& t) { m.AddFile(t, kNew); }, true,
         {}, {}, kNew, false},
        {"changed file not in use is overwritten", existing, true, {}, {}, kNew, false},
        {"changed file in use (32) is replaced with the Spooler stopped", locked(ERROR_SHARING_VIOLATION), true, {}, {},
         kNew, true},
        {"changed file in use (5) is replaced with the Spooler stopped", locked(ERROR_ACCESS_DENIED), true, {}, {}, kNew,
         true},
        {"read-only target loses the attribute and is replaced",
         [&](sim::Machine& m, const std::u16string& t) { m.AddFile(t, kOld, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE); },
         true, {}, {}, kNew, true},
        {"first copy failing with other than 80 shows 2",
         [](sim::Machine& m, const std::u16string&) { m.FailCall("CopyFileW", ERROR_ACCESS_DENIED); }, false, {"2"}, {},
         "", false},
        {"replacement's copy refused is silent",
         [&](sim::Machine& m, const std::u16string& t) {
             m.AddFile(t, kOld);
             m.FailCall("CopyFileW", ERROR_GEN_FAILURE, 2);
         },
         false, {}, {}, kOld, false},
        {"move over it refused with other than 5 or 32 is silent",
         [&](sim::Machine& m, const std::u16string& t) {
             m.AddFile(t, kOld);
             m.FailCall("MoveFileExW", ERROR_GEN_FAILURE);
         },
         false, {}, {}, kOld, false},
        {"Spooler that cannot be stopped: logged, file not copied",
         [&](sim::Machine& m, const std::u16string& t) {
             locked(ERROR_SHARING_VIOLATION)(m, t);
             m.services.Get(u"Spooler").stopError = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
         },
         false, {}, {"ControlService failed with error 1061: 服务此时无法接受控制信息。", "关闭Spooler服务失败"}, kOld, true},
        {"service manager that cannot be opened: logged",
         [&](sim::Machine& m, const std::u16string& t) {
             locked(ERROR_SHARING_VIOLATION)(m, t);
             m.FailCall("OpenSCManagerW", ERROR_ACCESS_DENIED);
         },
         false, {}, {"OpenSCManager failed with error 5: 拒绝访问。", "关闭Spooler服务失败"}, kOld, false},
        {"service that cannot be opened: logged",
         [&](sim::Machine& m, const std::u16string& t) {
             locked(ERROR_SHARING_VIOLATION)(m, t);
             m.FailCall("OpenServiceW", ERROR_SERVICE_DOES_NOT_EXIST);
         },
         false, {}, {"OpenService failed with error 1060: 指定的服务未安装。", "关闭Spooler服务失败"}, kOld, false},
        {"Spooler that cannot be started again: false although the copy succeeded",
         [&](sim::Machine& m, const std::u16string& t) {
             locked(ERROR_SHARING_VIOLATION)(m, t);
             m.services.Get(u"Spooler").startError = ERROR_SERVICE_REQUEST_TIMEOUT;
         },
         false, {}, {"StartService failed with error 1053: 服务没有及时响应启动或控制请求。", "开启Spooler服务失败"}, kNew,
         true},
        {"copy still refused with the Spooler stopped shows 2",
         [&](sim::Machine& m, const std::u16string& t) {
             locked(ERROR_SHARING_VIOLATION)(m, t);
             m.FailCall("MoveFileExW", ERROR_SHARING_VIOLATION, 2);
         },
         false, {"2"}, {}, kOld, true},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        sim::Machine& m = fresh.machine;
        std::u16string source = u"C:\\Pkg\\VT39.dll", target = m.spooler.driverDirectory + u"\\VT39.dll";
        m.AddFile(source, kNew);
        c.setUp(m, target);
        EXPECT_EQ(engine::ReplaceDriverFile(fresh.env, source, target), c.result) << c.name;
        std::vector<std::string> codes;
        for (const auto& code : fresh.errors.codes()) codes.push_back(ToUtf8(code));
        EXPECT_EQ(codes, c.codes) << c.name;
        std::string bytes = fresh.LogBytes();
        std::string log = bytes.empty() ? "" : ToUtf8(AnsiToText(m, bytes.data(), bytes.size()));
        size_t at = 0;
        for (const auto& part : c.logged) {
            at = log.find(part, at);
            EXPECT_NE(at, std::string::npos) << c.name << ": " << part << "\nin log: " << log;
        }
        if (c.logged.empty()) {
            EXPECT_EQ(log, "") << c.name;
        }
        EXPECT_EQ(m.FileBytes(target).value_or(""), c.targetAfter) << c.name;
        EXPECT_FALSE(m.Exists(target + engine::kReplacementSuffix)) << c.name << ": the replacement is not left behind";
        bool touched = false;
        for (const auto& e : m.Events()) touched |= e.rfind("service Spooler", 0) == 0;
        EXPECT_EQ(touched, c.spoolerTouched) << c.name;
        EXPECT_EQ(m.SpoolerRunning(), m.services.Get(u"Spooler").startError == 0) << c.name;
        EXPECT_TRUE(m.services.handles.empty()) << c.name << ": every service handle is closed";
    }
}

TEST_F(ReplaceDriverFile, LockedFileWaitsTwoSecondsStoppedAndOneSecondAfterTheStart) {
    std::u16string source = u"C:\\Pkg\\VT39.dll", target = InDriverDir(u"VT39.dll");
    m.AddFile(source, "new");
    m.AddFile(target, "old");
    m.LockWhileSpoolerRuns(target);
    ASSERT_TRUE(engine::ReplaceDriverFile(env, source, target));
    std::vector<std::string> relevant;
    for (const auto& e : Events())
        if (e.rfind("sleep", 0) == 0 || e.rfind("service", 0) == 0 || e.rfind("copy", 0) == 0 ||
            e.rfind("move", 0) == 0)
            relevant.push_back(e);
    std::string s = "C:\\Pkg\\VT39.dll -> " + ToUtf8(target);
    std::string temp = ToUtf8(target) + ".lp~";
    EXPECT_EQ(relevant, (std::vector<std::string>{
                            "copy refused " + s + " (fail if exists) error 80",
                            "copy C:\\Pkg\\VT39.dll -> " + temp + " (overwrite)",
                            "move refused " + temp + " -> " + ToUtf8(target) + " (replace) error 32",
                            "service Spooler stop pending, wait hint 1000",
                            "sleep 2000",
                            "service Spooler stopped",
                            "move " + temp + " -> " + ToUtf8(target) + " (replace)",
                            "service Spooler start pending, wait hint 1000",
                            "sleep 1000",
                            "service Spooler running",
                            "sleep 0",   // the wait for the hint of the running status
                            "sleep 1000",
                        }));
}

// A disk that fills up or media taken out while a changed file's replacement is copied: the
// installed file stays byte for byte as it was, with its attributes. (Overwritten in place, as the
// same failure shows, it would be left half-written.)
TEST_F(ReplaceDriverFile, ACopyThatBreaksOffLeavesTheInstalledFileAsItWas) {
    const std::string kOld(3000, 'o'), kNew(5000, 'n');
    std::u16string source = u"C:\\Pkg\\VT39.dll", target = InDriverDir(u"VT39.dll");
    m.AddFile(source, kNew);
    m.AddFile(target, kOld, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    m.failedCopyWrites = 1024;
    m.FailCall("CopyFileW", 112 /*ERROR_DISK_FULL*/, 2);
    EXPECT_FALSE(engine::ReplaceDriverFile(env, source, target));
    EXPECT_EQ(m.FileBytes(target), kOld);
    EXPECT_EQ(m.GetFileAttributesW(target.c_str()), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(m.Exists(target + engine::kReplacementSuffix));

    std::u16string inPlace = InDriverDir(u"other.dll");
    m.AddFile(inPlace, kOld);
    m.FailCall("CopyFileW", 112, m.CallCount("CopyFileW") + 1);
    EXPECT_FALSE(m.CopyFileW(source.c_str(), inPlace.c_str(), 0));
    EXPECT_EQ(m.FileBytes(inPlace), std::string(1024, 'n')) << "what an overwrite in place would leave";
}

TEST_F(ReplaceDriverFile, AReadOnlyFileStillRefusedGetsItsAttributeBack) {
    std::u16string source = u"C:\\Pkg\\VT39.dll", target = InDriverDir(u"VT39.dll");
    m.AddFile(source, "new");
    m.AddFile(target, "old", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    m.FailCall("MoveFileExW", ERROR_SHARING_VIOLATION, 2);   // with the Spooler stopped
    EXPECT_FALSE(engine::ReplaceDriverFile(env, source, target));
    EXPECT_EQ(m.FileBytes(target), "old");
    EXPECT_EQ(m.GetFileAttributesW(target.c_str()), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Codes(), std::vector<std::string>{"2"});
}

// ---- the copy pass

class CopyPass : public EngineTest {
protected:
    std::u16string src = u"C:\\Delivery\\VT39\\X64\\";
    std::u16string dst() { return DriverDir() + u"\\"; }
    void Package(std::initializer_list<std::u16string> names, const std::string& content = "v2") {
        for (const auto& n : names) m.AddFile(src + n, ToUtf8(n) + content);
    }
    bool Run(int family = 0) { return engine::CopyDriverFolder(env, src, dst(), u"P-80.GPD", family); }
    std::string Target(const std::u16string& n) { return m.FileBytes(dst() + n).value_or("<missing>"); }
};

TEST_F(CopyPass, ListsDecideWhatIsCopiedAndWhatIsReplaced) {
    Package({u"VT39.dll", u"unidrv.dll", u"P-80.GPD", u"T-108.GPD", u"README.TXT", u"Vt39res.DLL"});
    m.AddFile(dst() + u"unidrv.dll", "old unidrv");   // required, not replaced: kept
    m.AddFile(dst() + u"VT39.dll", "old vt39");       // replaced
    EXPECT_TRUE(Run());
    EXPECT_EQ(Target(u"VT39.dll"), "VT39.dllv2");
    EXPECT_EQ(Target(u"unidrv.dll"), "old unidrv");
    EXPECT_EQ(Target(u"P-80.GPD"), "P-80.GPDv2") << "the model's data file is always copied";
    EXPECT_EQ(Target(u"T-108.GPD"), "<missing>") << "another model's data file is not in the lists";
    EXPECT_EQ(Target(u"README.TXT"), "<missing>");
    EXPECT_EQ(Target(u"Vt39res.DLL"), "Vt39res.DLLv2") << "names are compared without regard to case";
}

TEST_F(CopyPass, TailOfAListedNameCountsAsListed) {
    Package({u"RES.DLL", u"P-80.GPD"});
    m.AddFile(dst() + u"RES.DLL", "old");
    EXPECT_TRUE(Run());
    EXPECT_EQ(Target(u"RES.DLL"), "RES.DLLv2") << "RES.DLL is the tail of VT39Res.dll, a replaced file";
}

TEST_F(CopyPass, ReplaceListNamesOutsideTheRequiredListAreNeverCopied) {
    m.system.modulePath = u"C:\\Delivery\\Setup.exe";
    Package({u"HVPrndll.ini", u"HVPrnUni.dll", u"Hv9res.dll", u"P-80.GPD"});
    EXPECT_TRUE(Run(1));
    EXPECT_EQ(Target(u"HVPrndll.ini"), "<missing>");
    EXPECT_EQ(Target(u"HVPrnUni.dll"), "<missing>");
    EXPECT_EQ(Target(u"Hv9res.dll"), "Hv9res.dllv2");
}

TEST_F(CopyPass, UnknownFamilyCopiesOnlyTheDataFile) {
    Package({u"VT39.dll", u"P-80.GPD", u"unidrv.dll"});
    EXPECT_TRUE(Run(7));
    EXPECT_EQ(Target(u"P-80.GPD"), "P-80.GPDv2");
    EXPECT_EQ(Target(u"VT39.dll"), "<missing>");
    EXPECT_EQ(Target(u"unidrv.dll"), "<missing>");
}

TEST_F(CopyPass, SubFoldersLandFlatInTheTarget) {
    Package({u"P-80.GPD"});
    m.AddFile(src + u"lang\\zh\\VT39Res.dll", "resources");
    EXPECT_TRUE(Run());
    EXPECT_EQ(Target(u"VT39Res.dll"), "resources");
    EXPECT_FALSE(m.Exists(dst() + u"lang"));
}

TEST_F(CopyPass, OutcomeOfThePass) {
    struct Case {
        const char* name;
        std::function<void(sim::Machine&, const std::u16string& src, const std::u16string& dst)> setUp;
        bool result;
    } cases[] = {
        {"no file replaced at all: false",
         [](sim::Machine& m, const std::u16string& s, const std::u16string&) { m.AddFile(s + u"unidrv.dll", "u"); }, false},
        {"an empty sub-folder last does not fail a good pass",
         [](sim::Machine& m, const std::u16string& s, const std::u16string&) {
             m.AddFile(s + u"P-80.GPD", "g");
             m.AddDirectory(s + u"zzz-empty");
         },
         true},
        {"a failed replacement is not hidden by a later good one",
         [](sim::Machine& m, const std::u16string& s, const std::u16string& d) {
             m.AddFile(s + u"P-80.GPD", "new");
             m.AddFile(d + u"P-80.GPD", "old");
             m.AddFile(s + u"VT39Set.ini", "new");
             m.FailCall("CopyFileW", ERROR_GEN_FAILURE, 2);   // P-80.GPD's overwrite
         },
         false},
        {"a failed replacement in a sub-folder fails the pass",
         [](sim::Machine& m, const std::u16string& s, const std::u16string&) {
             m.AddFile(s + u"P-80.GPD", "new");
             m.AddFile(s + u"sub\\VT39.dll", "new");
             m.FailCall("CopyFileW", ERROR_ACCESS_DENIED, 2);   // sub\VT39.dll, after P-80.GPD
         },
         false},
        {"a failed plain copy is ignored",
         [](sim::Machine& m, const std::u16string& s, const std::u16string&) {
             m.AddFile(s + u"P-80.GPD", "g");
             m.AddFile(s + u"unidrv.dll", "u");
             m.FailCall("CopyFileW", ERROR_ACCESS_DENIED, 2);   // unidrv.dll, after P-80.GPD
         },
         true},
        {"a missing package folder: false", [](sim::Machine&, const std::u16string&, const std::u16string&) {}, false},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        c.setUp(fresh.machine, src, fresh.machine.spooler.driverDirectory + u"\\");
        EXPECT_EQ(engine::CopyDriverFolder(fresh.env, src, fresh.machine.spooler.driverDirectory + u"\\", u"P-80.GPD", 0),
                  c.result)
            << c.name;
    }
}

TEST_F(CopyPass, ARefusedFileDoesNotStopThePass) {
    Package({u"P-80.GPD", u"VT39.dll", u"VT39Set.ini"});
    m.FailCall("CopyFileW", ERROR_ACCESS_DENIED, 2);   // VT39.dll's first copy
    EXPECT_FALSE(Run());
    EXPECT_EQ(Codes(), std::vector<std::string>{"2"});
    EXPECT_EQ(Target(u"VT39Set.ini"), "VT39Set.iniv2");
}

TEST_F(CopyPass, PathsThatDoNotFitAreRejectedNotCut) {
    std::u16string deep = u"C:\\" + std::u16string(250, u'd') + u"\\";
    m.AddFile(deep + u"P-80.GPD", "g");
    EXPECT_FALSE(engine::CopyDriverFolder(env, deep, dst(), u"P-80.GPD", 0));
    EXPECT_TRUE(EventsStarting("copy").empty());
}

TEST_F(CopyPass, FolderFlatReplacesEveryFileWhateverItsName) {
    m.AddFile(u"C:\\Fonts\\a.ttf", "a2");
    m.AddFile(u"C:\\Fonts\\sub\\b.ttf", "b2");
    m.AddFile(u"C:\\Target\\a.ttf", "a1");
    m.AddDirectory(u"C:\\Target");
    EXPECT_TRUE(engine::CopyFolderFlat(env, u"C:\\Fonts\\", u"C:\\Target\\"));
    EXPECT_EQ(m.FileBytes(u"C:\\Target\\a.ttf").value_or(""), "a2");
    EXPECT_EQ(m.FileBytes(u"C:\\Target\\b.ttf").value_or(""), "b2");
}

// ---- identical content

// Counts what the comparison asks of the files service.
class CountingFiles final : public IFiles {
public:
    explicit CountingFiles(IFiles& inner) : f(inner) {}
    IFiles& f;
    DWORD largestRead = 0;
    uint64_t bytesRequested = 0;
    int reads = 0;
    HANDLE CreateFileW(const char16_t* n, DWORD a, DWORD s, DWORD d, DWORD fl) override { return f.CreateFileW(n, a, s, d, fl); }
    BOOL ReadFile(HANDLE h, void* b, DWORD n, DWORD* r) override {
        ++reads;
        largestRead = std::max(largestRead, n);
        bytesRequested += n;
        return f.ReadFile(h, b, n, r);
    }
    BOOL WriteFile(HANDLE h, const void* b, DWORD n, DWORD* w) override { return f.WriteFile(h, b, n, w); }
    DWORD SetFilePointer(HANDLE h, LONG d, LONG* hi, DWORD m) override { return f.SetFilePointer(h, d, hi, m); }
    DWORD GetFileSize(HANDLE h, DWORD* hi) override { return f.GetFileSize(h, hi); }
    BOOL CloseHandle(HANDLE h) override { return f.CloseHandle(h); }
    BOOL CopyFileW(const char16_t* s, const char16_t* t, BOOL x) override { return f.CopyFileW(s, t, x); }
    BOOL MoveFileExW(const char16_t* s, const char16_t* t, DWORD x) override { return f.MoveFileExW(s, t, x); }
    BOOL DeleteFileW(const char16_t* n) override { return f.DeleteFileW(n); }
    DWORD GetFileAttributesW(const char16_t* n) override { return f.GetFileAttributesW(n); }
    BOOL SetFileAttributesW(const char16_t* n, DWORD a) override { return f.SetFileAttributesW(n, a); }
    HANDLE FindFirstFileW(const char16_t* p, WIN32_FIND_DATAW* d) override { return f.FindFirstFileW(p, d); }
    BOOL FindNextFileW(HANDLE h, WIN32_FIND_DATAW* d) override { return f.FindNextFileW(h, d); }
    BOOL FindClose(HANDLE h) override { return f.FindClose(h); }
    BOOL CreateDirectoryW(const char16_t* p) override { return f.CreateDirectoryW(p); }
    unsigned GetPrivateProfileIntW(const char16_t* s, const char16_t* k, int d, const char16_t* fl) override {
        return f.GetPrivateProfileIntW(s, k, d, fl);
    }
    DWORD GetPrivateProfileStringW(const char16_t* s, const char16_t* k, const char16_t* d, char16_t* b, DWORD n,
                                   const char16_t* fl) override {
        return f.GetPrivateProfileStringW(s, k, d, b, n, fl);
    }
};

class SameContent : public EngineTest {
protected:
    bool Same(const std::string& a, const std::string& b) {
        m.AddFile(u"C:\\a.bin", a);
        m.AddFile(u"C:\\b.bin", b);
        return engine::IsSameFileContent(env, u"C:\\a.bin", u"C:\\b.bin");
    }
};

TEST_F(SameContent, AgreesWithComparingWholeFiles) {
    const size_t chunk = engine::kCompareChunk;
    std::mt19937 rng(7);
    auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (auto& c : s) c = static_cast<char>(rng());
        return s;
    };
    std::vector<size_t> sizes = {0, 1, chunk - 1, chunk, chunk + 1, 3 * chunk + 17};
    for (size_t n : sizes) {
        std::string a = bytes(n);
        EXPECT_TRUE(Same(a, a)) << n;
        for (size_t at : {size_t(0), n / 2, n ? n - 1 : 0}) {
            if (n == 0) break;
            std::string b = a;
            b[at] = static_cast<char>(b[at] ^ 0x40);
            EXPECT_FALSE(Same(a, b)) << n << " differing at " << at;
        }
        EXPECT_FALSE(Same(a, a + "x")) << n;
    }
}

TEST_F(SameContent, SizesFirstThenFixedChunks) {
    CountingFiles counting(m);
    Platform p = m.platform();
    Platform watched{p.sys, counting, p.spooler, p.services, p.registry, p.devsetup, p.devices, p.user};
    engine::Env countingEnv{watched, s.errors, s.log};
    std::string big(20u << 20, 'f');
    m.AddFile(u"C:\\font.ttf", big);
    m.AddFile(u"C:\\Windows\\Fonts\\font.ttf", big + "x");
    EXPECT_FALSE(engine::IsSameFileContent(countingEnv, u"C:\\font.ttf", u"C:\\Windows\\Fonts\\font.ttf"));
    EXPECT_EQ(counting.reads, 0) << "different sizes need no reading";

    m.AddFile(u"C:\\Windows\\Fonts\\font.ttf", big);
    EXPECT_TRUE(engine::IsSameFileContent(countingEnv, u"C:\\font.ttf", u"C:\\Windows\\Fonts\\font.ttf"));
    EXPECT_LE(counting.largestRead, engine::kCompareChunk);
    EXPECT_EQ(counting.bytesRequested, 2 * big.size());
}

TEST_F(SameContent, FilesThatCannotBeOpenedAreNotTheSame) {
    m.AddFile(u"C:\\a.bin", "x");
    EXPECT_FALSE(engine::IsSameFileContent(env, u"C:\\a.bin", u"C:\\missing.bin"));
    EXPECT_FALSE(engine::IsSameFileContent(env, u"C:\\missing.bin", u"C:\\a.bin"));
    m.AddFile(u"C:\\b.bin", "x");
    // The source is opened without sharing: a writer elsewhere keeps it from being compared.
    HANDLE writer = m.CreateFileW(u"C:\\a.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(engine::IsSameFileContent(env, u"C:\\a.bin", u"C:\\b.bin"));
    m.CloseHandle(writer);
    // The target is opened sharing read and write: the spooler's own handle does not matter.
    HANDLE spooler = m.CreateFileW(u"C:\\b.bin", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    EXPECT_TRUE(engine::IsSameFileContent(env, u"C:\\a.bin", u"C:\\b.bin"));
    m.CloseHandle(spooler);
    EXPECT_FALSE(Same("abc", "abd"));
}

TEST_F(SameContent, ReadFailureMeansDifferent) {
    m.AddFile(u"C:\\a.bin", "same");
    m.AddFile(u"C:\\b.bin", "same");
    m.FailCall("ReadFile", ERROR_GEN_FAILURE);
    EXPECT_FALSE(engine::IsSameFileContent(env, u"C:\\a.bin", u"C:\\b.bin"));
}

// ---- service routines

class Services : public EngineTest {
protected:
    sim::SimService& spooler() { return m.services.Get(u"Spooler"); }
    sim::SimService& pca() { return m.services.Get(u"PcaSvc"); }
    uint64_t Slept() {
        uint64_t total = 0;
        for (const auto& e : Sleeps()) total += std::stoull(e.substr(6));
        return total;
    }
    void TearDown() override { EXPECT_TRUE(m.services.handles.empty()) << "every service handle is closed"; }
};

TEST_F(Services, StopSendsTheControlAndDoesNotWait) {
    EXPECT_TRUE(engine::StopServiceByName(env, u"Spooler"));
    EXPECT_EQ(spooler().state, SERVICE_STOP_PENDING);
    EXPECT_TRUE(Sleeps().empty());
}

TEST_F(Services, StopOfAStoppedOrStoppingServiceSendsNothing) {
    for (DWORD state : {SERVICE_STOPPED, SERVICE_STOP_PENDING}) {
        spooler().state = state;
        m.ClearEvents();
        EXPECT_TRUE(engine::StopServiceByName(env, u"Spooler")) << state;
        EXPECT_TRUE(EventsStarting("service").empty()) << state;
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(Services, FailingCallsAreLoggedWithTheirNames) {
    struct Case {
        const char* op;
        DWORD error;
        bool stop;
        const char* logged;
    } cases[] = {
        {"OpenSCManagerW", ERROR_ACCESS_DENIED, true, "OpenSCManager failed with error 5: 拒绝访问。"},
        {"OpenServiceW", ERROR_SERVICE_DOES_NOT_EXIST, true, "OpenService failed with error 1060: "},
        {"ControlService", ERROR_SERVICE_CANNOT_ACCEPT_CTRL, true, "ControlService failed with error 1061: "},
        {"QueryServiceStatus", ERROR_ACCESS_DENIED, true, "QueryServiceStatus failed with error 5: "},
        {"OpenSCManagerW", ERROR_ACCESS_DENIED, false, "OpenSCManager failed with error 5: "},
        {"OpenServiceW", ERROR_SERVICE_DOES_NOT_EXIST, false, "OpenService failed with error 1060: "},
        {"StartServiceW", ERROR_SERVICE_REQUEST_TIMEOUT, false, "StartService failed with error 1053: "},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        if (!c.stop) fresh.machine.services.Get(u"Spooler").state = SERVICE_STOPPED;
        fresh.machine.FailCall(c.op, c.error);
        bool ok = c.stop ? engine::StopServiceByName(fresh.env, u"Spooler") : engine::StartServiceByName(fresh.env, u"Spooler");
        EXPECT_FALSE(ok) << c.op;
        std::string bytes = fresh.LogBytes();
        std::string log = ToUtf8(AnsiToText(fresh.machine, bytes.data(), bytes.size()));
        EXPECT_EQ(log.rfind(c.logged, 0), 0u) << c.op << ": " << log;
        EXPECT_TRUE(fresh.machine.services.handles.empty()) << c.op;
    }
}

TEST_F(Services, StartLeavesARunningStartingOrPausedServiceAlone) {
    for (DWORD state : {SERVICE_RUNNING, SERVICE_START_PENDING, SERVICE_PAUSED}) {
        spooler().state = state;
        m.ClearEvents();
        EXPECT_TRUE(engine::StartServiceByName(env, u"Spooler")) << state;
        EXPECT_TRUE(EventsStarting("service").empty()) << state;
        EXPECT_TRUE(Sleeps().empty()) << state;
    }
}

TEST_F(Services, StartWaitsAtLeastOnceEvenWhenRunningAtOnce) {
    spooler().state = SERVICE_STOPPED;
    spooler().startTakesMs = 0;
    EXPECT_TRUE(engine::StartServiceByName(env, u"Spooler"));
    EXPECT_EQ(Sleeps(), std::vector<std::string>{"sleep 0"});
}

TEST_F(Services, StartFollowsTheWaitHints) {
    spooler().state = SERVICE_STOPPED;
    spooler().startTakesMs = 2500;
    spooler().waitHint = 1000;
    EXPECT_TRUE(engine::StartServiceByName(env, u"Spooler"));
    EXPECT_EQ(Sleeps(), (std::vector<std::string>{"sleep 1000", "sleep 1000", "sleep 1000", "sleep 0"}));
    EXPECT_TRUE(m.SpoolerRunning());
}

TEST_F(Services, StartOfAStoppingServiceWaitsForTheStopThenStartsIt) {
    // Returning at once would leave the Spooler stopped behind the caller's back.
    spooler().state = SERVICE_STOP_PENDING;
    spooler().pendingUntil = 1500;
    EXPECT_TRUE(engine::StartServiceByName(env, u"Spooler"));
    EXPECT_TRUE(m.SpoolerRunning());
    auto services = EventsStarting("service");
    ASSERT_GE(services.size(), 2u);
    EXPECT_EQ(services[0], "service Spooler stopped");
    EXPECT_EQ(services[1], "service Spooler start pending, wait hint 1000");
}

TEST_F(Services, WaitsEndAndAreLogged) {
    struct Case {
        const char* name;
        std::function<void(sim::SimService&)> setUp;
        bool result;
        const char* logged;
    } cases[] = {
        {"start never arrives", [](sim::SimService& s) { s.state = SERVICE_STOPPED; s.startTakesMs.reset(); }, false,
         "等待Spooler服务启动超时"},
        {"stop pending never ends", [](sim::SimService& s) { s.state = SERVICE_STOP_PENDING; s.stopTakesMs.reset(); },
         false, "等待Spooler服务停止超时"},
        {"no wait hint while pending is polled, not spun",
         [](sim::SimService& s) { s.state = SERVICE_STOPPED; s.startTakesMs.reset(); s.waitHint = 0; }, false,
         "等待Spooler服务启动超时"},
        {"a huge wait hint is cut",
         [](sim::SimService& s) { s.state = SERVICE_STOPPED; s.startTakesMs.reset(); s.waitHint = 3600000; }, false,
         "等待Spooler服务启动超时"},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        c.setUp(fresh.machine.services.Get(u"Spooler"));
        EXPECT_EQ(engine::StartServiceByName(fresh.env, u"Spooler"), c.result) << c.name;
        uint64_t now = fresh.machine.NowMs();
        EXPECT_GE(now, engine::kServiceWaitLimitMs) << c.name;
        EXPECT_LT(now, engine::kServiceWaitLimitMs + engine::kServiceWaitCeilingMs + 1) << c.name;
        EXPECT_LE(fresh.machine.CallCount("QueryServiceStatus"),
                  static_cast<int>(engine::kServiceWaitLimitMs / engine::kServicePollFloorMs) + 3)
            << c.name;
        std::string bytes = fresh.LogBytes();
        EXPECT_NE(ToUtf8(AnsiToText(fresh.machine, bytes.data(), bytes.size())).find(c.logged), std::string::npos) << c.name;
    }
}

TEST_F(Services, StatusUnreadableAfterTheStartEndsTheWaitWithTrue) {
    spooler().state = SERVICE_STOPPED;
    m.FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED, 2, 0);
    EXPECT_TRUE(engine::StartServiceByName(env, u"Spooler"));
}

TEST_F(Services, PcaServiceStoppedAtStartUpAndStartedAtExit) {
    engine::StopPcaService(env, m.OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
    EXPECT_EQ(pca().state, SERVICE_STOPPED);
    EXPECT_EQ(EventsStarting("debug"), std::vector<std::string>{"debug stop success。"});
    EXPECT_GT(Slept(), 0u);

    m.ClearEvents();
    engine::StopPcaService(env, m.OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
    EXPECT_TRUE(EventsStarting("service").empty()) << "only a running PcaSvc is stopped";

    engine::StartPcaService(env, m.OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
    EXPECT_EQ(pca().state, SERVICE_RUNNING);
    EXPECT_EQ(EventsStarting("debug"), std::vector<std::string>{"debug start success。"});

    m.ClearEvents();
    engine::RestorePcaService(env);
    EXPECT_TRUE(EventsStarting("service").empty()) << "only a stopped PcaSvc is started";
}

TEST_F(Services, PcaServiceFailuresEndQuietlyAndCloseTheManager) {
    struct Case {
        const char* op;
        bool starting;
    } cases[] = {{"OpenServiceW", false}, {"QueryServiceStatus", false}, {"ControlService", false},
                 {"OpenServiceW", true},  {"QueryServiceStatus", true},  {"StartServiceW", true}};
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        if (c.starting) fresh.machine.services.Get(u"PcaSvc").state = SERVICE_STOPPED;
        fresh.machine.FailCall(c.op, ERROR_ACCESS_DENIED);
        SC_HANDLE scm = fresh.machine.OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE);
        if (c.starting) engine::StartPcaService(fresh.env, scm);
        else engine::StopPcaService(fresh.env, scm);
        EXPECT_TRUE(fresh.machine.services.handles.empty()) << c.op;
        EXPECT_EQ(fresh.LogBytes(), "") << c.op;
    }
}

TEST_F(Services, PcaServiceThatNeverStopsIsLeftAfterTheLimit) {
    pca().stopTakesMs.reset();
    engine::StopPcaService(env, m.OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
    EXPECT_GE(m.NowMs(), engine::kServiceWaitLimitMs);
    EXPECT_NE(LogText().find("等待PcaSvc服务停止超时"), std::string::npos);
}

TEST_F(Services, PrepareStopsPcaAndStartsTheSpooler) {
    spooler().state = SERVICE_STOPPED;
    EXPECT_EQ(engine::PrepareServicesThreadProc(env), 0u);
    EXPECT_EQ(pca().state, SERVICE_STOPPED);
    EXPECT_TRUE(m.SpoolerRunning());
    EXPECT_EQ(LogText(), "");
}

TEST_F(Services, PrepareLogsASpoolerThatCannotBeStarted) {
    spooler().state = SERVICE_STOPPED;
    spooler().startError = ERROR_SERVICE_REQUEST_TIMEOUT;
    m.FailCall("OpenSCManagerW", ERROR_ACCESS_DENIED);   // the first: PcaSvc is left as it is
    EXPECT_EQ(engine::PrepareServicesThreadProc(env), 0u);
    EXPECT_EQ(pca().state, SERVICE_RUNNING);
    std::string log = LogText();
    EXPECT_NE(log.find("StartService failed with error 1053"), std::string::npos) << log;
    EXPECT_NE(log.find("开启服务失败"), std::string::npos) << log;
}

}  // namespace
