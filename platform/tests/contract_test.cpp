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
    SimBackend() { machine.AddDirectory(u"C:\\scratch"); }
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
