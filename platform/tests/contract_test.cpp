// The same cases on every backend: the simulation is only worth what it agrees with Windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/text.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"
#ifdef _WIN32
#include "win32/win32_platform.h"
#endif

namespace {
using namespace plat;

struct Backend {
    virtual ~Backend() = default;
    virtual Platform platform() = 0;
    virtual std::u16string scratch() = 0;   // an empty folder, Windows path, no trailing backslash
    virtual bool wine() { return false; }
};

struct SimBackend : Backend {
    sim::TempDir dir;
    sim::Machine machine{dir.path()};
    SimBackend() {
        // The simulated program is of this test program's bitness, on 64-bit Windows.
        machine.SetArchitecture(PROCESSOR_ARCHITECTURE_AMD64,
                                sizeof(void*) == 8 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL);
        machine.AddDirectory(u"C:\\scratch");
        for (const char16_t* d : {u"C:\\Windows\\System32\\spool", u"C:\\Windows\\SysWOW64"}) machine.AddDirectory(d);
    }
    Platform platform() override { return machine.platform(); }
    std::u16string scratch() override { return u"C:\\scratch"; }
};

#ifdef _WIN32
struct RealBackend : Backend {
    std::u16string folder;
    RealBackend() {
        // A folder of our own under the Wine prefix's temp folder.
        char16_t module[MAX_PATH] = {};
        Platform p = win32::RealPlatform();
        p.sys.GetModuleFileNameW(module, MAX_PATH);
        std::u16string path = FromBuffer(module, MAX_PATH);
        folder = path.substr(0, path.rfind(u'\\')) + u"\\contract-scratch-" + ToDecimal(p.sys.GetTickCount());
        p.files.CreateDirectoryW(folder.c_str());
    }
    Platform platform() override { return win32::RealPlatform(); }
    std::u16string scratch() override { return folder; }
    bool wine() override { return win32::RunningOnWine(); }
};
#endif

std::unique_ptr<Backend> Make(const std::string& name) {
#ifdef _WIN32
    if (name == "win32") return std::make_unique<RealBackend>();
#endif
    (void)name;
    return std::make_unique<SimBackend>();
}

class Contract : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        backend = Make(GetParam());
        dir = backend->scratch();
    }
    Platform p() { return backend->platform(); }
    void Write(const std::u16string& path, const std::string& bytes) {
        HANDLE h = p().files.CreateFileW(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << ToUtf8(path);
        DWORD n = 0;
        ASSERT_TRUE(p().files.WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n));
        p().files.CloseHandle(h);
    }
    std::string Read(const std::u16string& path) {
        HANDLE h = p().files.CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string out;
        char buf[256];
        DWORD n = 0;
        while (p().files.ReadFile(h, buf, sizeof buf, &n) && n) out.append(buf, n);
        p().files.CloseHandle(h);
        return out;
    }
    // The error of a failed call, with a sentinel set before it so that a call that does not set
    // the last error is seen.
    template <typename F> DWORD ErrorOf(F call) {
        p().sys.SetLastError(0xDEADBEEF);
        EXPECT_FALSE(call());
        return p().sys.GetLastError();
    }

    std::unique_ptr<Backend> backend;
    std::u16string dir;
};

TEST_P(Contract, CopyFileErrorCodes) {
    std::u16string a = dir + u"\\a.dll", b = dir + u"\\b.dll";
    Write(a, "new");
    EXPECT_EQ(ErrorOf([&] { return p().files.CopyFileW((dir + u"\\missing.dll").c_str(), b.c_str(), 1); }),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorOf([&] { return p().files.CopyFileW(a.c_str(), (dir + u"\\no\\b.dll").c_str(), 1); }),
              ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(p().files.CopyFileW(a.c_str(), b.c_str(), 1));
    EXPECT_EQ(ErrorOf([&] { return p().files.CopyFileW(a.c_str(), b.c_str(), 1); }), ERROR_FILE_EXISTS);

    Write(a, "newer");
    ASSERT_TRUE(p().files.CopyFileW(a.c_str(), b.c_str(), 0));
    EXPECT_EQ(Read(b), "newer");

    // A target held open without write sharing refuses the overwrite with 32.
    HANDLE held = p().files.CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { return p().files.CopyFileW(a.c_str(), b.c_str(), 0); }), ERROR_SHARING_VIOLATION);
    p().files.CloseHandle(held);

    // A read-only target refuses it with 5 on Windows.
    ASSERT_TRUE(p().files.SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_READONLY));
    if (backend->wine()) {
        EXPECT_TRUE(p().files.CopyFileW(a.c_str(), b.c_str(), 0)) << "Wine now refuses read-only targets: drop this gap";
    } else {
        EXPECT_EQ(ErrorOf([&] { return p().files.CopyFileW(a.c_str(), b.c_str(), 0); }), ERROR_ACCESS_DENIED);
    }
    ASSERT_TRUE(p().files.SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST_P(Contract, NamesIgnoreCaseAndAttributesRoundTrip) {
    Write(dir + u"\\Mixed.TXT", "x");
    DWORD a = p().files.GetFileAttributesW((dir + u"\\mixed.txt").c_str());
    ASSERT_NE(a, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(a & FILE_ATTRIBUTE_DIRECTORY, 0u);
    ASSERT_TRUE(p().files.SetFileAttributesW((dir + u"\\MIXED.txt").c_str(), a | FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(p().files.GetFileAttributesW((dir + u"\\mixed.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    p().files.SetFileAttributesW((dir + u"\\mixed.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(p().files.GetFileAttributesW(dir.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(p().files.GetFileAttributesW((dir + u"\\nothing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(p().sys.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_P(Contract, FindListsDotsThenEntries) {
    ASSERT_TRUE(p().files.CreateDirectoryW((dir + u"\\sub").c_str()));
    Write(dir + u"\\one.gpd", "1");
    EXPECT_EQ(ErrorOf([&] { return p().files.CreateDirectoryW((dir + u"\\sub").c_str()); }), ERROR_ALREADY_EXISTS);
    WIN32_FIND_DATAW d{};
    HANDLE f = p().files.FindFirstFileW((dir + u"\\*.*").c_str(), &d);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    std::vector<std::string> names;
    do {
        names.push_back(ToUtf8(FromBuffer(d.cFileName, MAX_PATH)) +
                        ((d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "/" : ""));
    } while (p().files.FindNextFileW(f, &d));
    EXPECT_EQ(p().sys.GetLastError(), ERROR_NO_MORE_FILES);
    p().files.FindClose(f);
    std::sort(names.begin() + 2, names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"./", "../", "one.gpd", "sub/"}));
    EXPECT_EQ(p().files.FindFirstFileW((dir + u"\\nowhere\\*.*").c_str(), &d), INVALID_HANDLE_VALUE);
    EXPECT_EQ(p().sys.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_P(Contract, OpenAlwaysAndSharing) {
    std::u16string f = dir + u"\\log.txt";
    Write(f, "abc");
    HANDLE h = p().files.CreateFileW(f.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(p().sys.GetLastError(), ERROR_ALREADY_EXISTS);
    DWORD high = 1;
    EXPECT_EQ(p().files.GetFileSize(h, &high), 3u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(p().files.SetFilePointer(h, 0, nullptr, FILE_END), 3u);
    DWORD n = 0;
    ASSERT_TRUE(p().files.WriteFile(h, "de", 2, &n));
    // A second writer is refused while the first shares only reading.
    EXPECT_EQ(p().files.CreateFileW(f.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(p().sys.GetLastError(), ERROR_SHARING_VIOLATION);
    p().files.CloseHandle(h);
    EXPECT_EQ(Read(f), "abcde");
}

TEST_P(Contract, AnsiCodePageIsGbk) {
    ISystem& sys = p().sys;
    EXPECT_EQ(TextToAnsi(sys, u"墨川 Log"), "\xC4\xAB\xB4\xA8 Log");
    EXPECT_EQ(AnsiToText(sys, "\xC4\xAB\xB4\xA8", 4), u"墨川");
    EXPECT_EQ(TextToAnsi(sys, u"\u0E01"), "?");   // Thai: no GBK character, the default one
}

TEST_P(Contract, SystemMessagesAndArchitecture) {
    char16_t text[512] = {};
    DWORD n = p().sys.FormatSystemMessageW(ERROR_FILE_NOT_FOUND, 0x0400, text, 512);
    ASSERT_GT(n, 2u);
    EXPECT_EQ(std::u16string(text + n - 2, 2), u"\r\n");
    SYSTEM_INFO info{};
    ASSERT_TRUE(p().sys.Kernel32HasExport("GetNativeSystemInfo"));
    p().sys.GetNativeSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(p().sys.GetVersionExW(&v));
    EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);
}

constexpr bool k32BitProgram = sizeof(void*) == 4;

// A font's value under the Fonts key, written in the 64-bit view from either program and read back.
TEST_P(Contract, FontsKeyTakesAValue) {
    HKEY key = nullptr;
    ASSERT_EQ(p().registry.RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0,
                                         KEY_READ | KEY_SET_VALUE | KEY_WOW64_64KEY, &key),
              static_cast<LONG>(ERROR_SUCCESS));
    const std::u16string file = u"lp-contract.ttf";
    ASSERT_EQ(p().registry.RegSetValueExW(key, u"LP Contract (TrueType)", REG_SZ,
                                          reinterpret_cast<const BYTE*>(file.c_str()), static_cast<DWORD>((file.size() + 1) * 2)),
              static_cast<LONG>(ERROR_SUCCESS));
    char16_t back[64] = {};
    DWORD type = 0, size = sizeof back;
    ASSERT_EQ(p().registry.RegQueryValueExW(key, u"LP Contract (TrueType)", &type, reinterpret_cast<BYTE*>(back), &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(back), file);
    p().registry.RegCloseKey(key);
}

// What the replacement of a changed driver file relies on: a move over a file replaces it, and is
// refused for a read-only or an open one, as is a delete.
TEST_P(Contract, MoveOverAndDelete) {
    const std::u16string a = dir + u"\\new.lp~", b = dir + u"\\installed.dll";
    Write(a, "new");
    Write(b, "old");
    ASSERT_TRUE(p().files.MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read(b), "new");
    EXPECT_EQ(Read(a), "<missing>");

    Write(a, "newer");
    EXPECT_EQ(ErrorOf([&] { return p().files.MoveFileExW(a.c_str(), b.c_str(), 0); }), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(p().files.SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_READONLY));
    if (backend->wine()) {
        EXPECT_TRUE(p().files.MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING))
            << "Wine now refuses to move over a read-only file: drop this gap";
        Write(a, "newer");
        ASSERT_TRUE(p().files.SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_READONLY));
    } else {
        EXPECT_EQ(ErrorOf([&] { return p().files.MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING); }),
                  ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(ErrorOf([&] { return p().files.DeleteFileW(b.c_str()); }), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(p().files.SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_NORMAL));

    HANDLE open = p().files.CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { return p().files.MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING); }),
              ERROR_ACCESS_DENIED);
    p().files.CloseHandle(open);
    EXPECT_EQ(Read(b), backend->wine() ? "newer" : "new");
    EXPECT_TRUE(p().files.DeleteFileW(a.c_str()));
    EXPECT_EQ(ErrorOf([&] { return p().files.DeleteFileW(a.c_str()); }), ERROR_FILE_NOT_FOUND);
}

bool EndsWithNoCase(const std::u16string& text, const std::u16string& tail) {
    return text.size() >= tail.size() && ToUpper(text.substr(text.size() - tail.size())) == ToUpper(tail);
}

// A null environment is the calling program's own: a 32-bit program on 64-bit Windows is told
// the 32-bit drivers' folder, and must name "Windows x64" for the machine's own.
TEST_P(Contract, DriverDirectoryOfEachEnvironment) {
    struct Case {
        const char16_t* environment;
        const char16_t* folder;   // nullptr: refused as an unknown environment
    } cases[] = {
        {nullptr, k32BitProgram ? u"\\W32X86" : u"\\x64"},
        {u"Windows x64", u"\\x64"},
        {u"windows nt x86", u"\\W32X86"},
        {u"Windows Nowhere", nullptr},
    };
    for (const auto& c : cases) {
        const std::string name = c.environment ? ToUtf8(c.environment) : "null";
        char16_t dir[256] = {};
        DWORD needed = 0;
        p().sys.SetLastError(0xDEADBEEF);
        BOOL ok = p().spooler.GetPrinterDriverDirectoryW(nullptr, c.environment, 1, reinterpret_cast<BYTE*>(dir),
                                                         sizeof dir, &needed);
        if (!c.folder) {
            EXPECT_FALSE(ok) << name;
            EXPECT_EQ(p().sys.GetLastError(), ERROR_INVALID_ENVIRONMENT) << name;
            continue;
        }
        ASSERT_TRUE(ok) << name << " error " << p().sys.GetLastError();
        std::u16string got = FromBuffer(dir, 256);
        EXPECT_TRUE(EndsWithNoCase(got, std::u16string(u"\\spool\\drivers") + c.folder)) << name << ": " << ToUtf8(got);
    }
}

// System32 is SysWOW64 to a 32-bit program, but for a few folders, spool among them; Sysnative
// names the real one.
TEST_P(Contract, System32AsEachProgramSeesIt) {
    std::u16string name = u"lp-contract-" + ToDecimal(p().sys.GetTickCount()) + u".txt";
    const std::u16string windows = u"C:\\Windows\\";
    Write(windows + u"System32\\" + name, "ours");
    Write(windows + u"System32\\spool\\" + name, "spool");
    if (k32BitProgram) {
        EXPECT_EQ(Read(windows + u"SysWOW64\\" + name), "ours");
        EXPECT_EQ(Read(windows + u"Sysnative\\" + name), "<missing>");
        EXPECT_EQ(Read(windows + u"Sysnative\\spool\\" + name), "spool");
    } else {
        EXPECT_EQ(Read(windows + u"SysWOW64\\" + name), "<missing>");
    }
}

// Windows refuses device installation to a 32-bit program on 64-bit Windows.
TEST_P(Contract, DriverUpdateRefusedTo32BitPrograms) {
    std::u16string inf = dir + u"\\none.inf";
    Write(inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n");
    BOOL reboot = 0;
    p().sys.SetLastError(0xDEADBEEF);
    BOOL ok = p().devsetup.UpdateDriverForPlugAndPlayDevicesW(nullptr, u"LP\\NoSuchDevice", inf.c_str(), 1, &reboot);
    DWORD error = ok ? 0 : p().sys.GetLastError();
    if (k32BitProgram && backend->wine()) {
        EXPECT_NE(error, ERROR_IN_WOW64) << "Wine now refuses 32-bit callers: drop this gap";
    } else if (k32BitProgram) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, ERROR_IN_WOW64);
    } else {
        // Wine's answer for a device that is not there is success; no refusal either way.
        EXPECT_NE(error, ERROR_IN_WOW64);
    }
}

std::vector<std::string> Backends() {
#ifdef _WIN32
    return {"sim", "win32"};
#else
    return {"sim"};
#endif
}

INSTANTIATE_TEST_SUITE_P(Backends, Contract, testing::ValuesIn(Backends()),
                         [](const auto& info) { return info.param; });

}  // namespace
