// The real Setup.exe under Wine (both builds; the 32-bit one in a WOW64 prefix), driven through
// its windows like a person would: it
// installs the sample package into Wine's own spooler through the registration path (Wine has
// no USB printer to offer plug-and-play), the queue becomes the default printer, and a second
// run makes "Halvorin P-58 (副本 1)". A Spooler that will not start is written to the log in
// the Wine user's documents folder, and DLLs planted beside the program are never loaded.
#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../e2e/gui_driver.h"

namespace {

const std::wstring kWizardTitle = L"墨川科技驱动安装程序";
constexpr int kExplainClose = 1020, kModelList = 1031, kPortList = 1010, kNext = 1008, kFinish = 1027,
              kCancel = 1009, kYes = 1023;

bool PrinterExists(const std::wstring& name) {
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) return false;
    ClosePrinter(h);
    return true;
}

void RemovePrinter(const std::wstring& name) {
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, &all)) {
        DeletePrinter(h);
        ClosePrinter(h);
    }
    DeletePrinterDriverW(nullptr, nullptr, const_cast<wchar_t*>(name.c_str()));
}

std::wstring DefaultPrinter() {
    wchar_t name[256] = {};
    DWORD n = 256;
    return GetDefaultPrinterW(name, &n) ? name : L"";
}

// A message box or a dialog of the program, by its title; answered with OK.
bool Answer(DWORD pid, const std::wstring& title, const std::wstring& picture) {
    HWND box = nullptr;
    if (!e2e::WaitUntil([&] { return (box = e2e::FindTopWindow(pid, title)) != nullptr; })) return false;
    if (!picture.empty()) e2e::SaveWindowPicture(box, e2e::OutputPath(picture));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return e2e::WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

// The folder of the 64-bit package's driver, if the driver is registered for "Windows x64".
std::wstring X64DriverFile(const std::wstring& name) {
    alignas(DRIVER_INFO_2W) BYTE buffer[4096];
    DWORD needed = 0, count = 0;
    if (!EnumPrinterDriversW(nullptr, const_cast<wchar_t*>(L"Windows x64"), 2, buffer, sizeof buffer, &needed, &count))
        return L"";
    auto* drivers = reinterpret_cast<DRIVER_INFO_2W*>(buffer);
    for (DWORD i = 0; i < count; ++i)
        if (name == drivers[i].pName) return drivers[i].pDataFile;
    return L"";
}

// One run of Setup.exe from the model page to the success box; returns the process's end.
// handOver: Setup.exe is expected to hand the run to Setup64.exe, whose windows are driven.
#ifdef LP_E2E_HANDOVER
constexpr bool kHandOver = true;   // the 32-bit program with its twin beside it, on 64-bit Windows
#else
constexpr bool kHandOver = false;
#endif

void InstallOnce(const std::wstring& picturePrefix, const std::wstring& folder = e2e::WinePath(LP_E2E_FOLDER),
                 bool handOver = kHandOver) {
    e2e::Process setup(folder + L"\\Setup.exe", L"", folder);
    ASSERT_TRUE(setup.started()) << setup.error();
    DWORD pid = setup.pid();
    if (handOver) {
        ASSERT_TRUE(e2e::WaitUntil([&] { return (pid = e2e::ChildProcess(setup.pid(), L"Setup64.exe")) != 0; }))
            << "Setup.exe started no Setup64.exe";
    }

    HWND explain = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (explain = e2e::FindTopWindow(pid, L"", kExplainClose)) != nullptr; }));
    if (!picturePrefix.empty()) e2e::SaveWindowPicture(explain, e2e::OutputPath(picturePrefix + L"-instructions"));
    e2e::Click(explain, kExplainClose);

    HWND wizard = nullptr;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (wizard = e2e::FindTopWindow(pid, kWizardTitle)) != nullptr; }));
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(wizard, kModelList)); }));
    auto models = e2e::ListItems(wizard, kModelList);
    ASSERT_EQ(models.size(), 4u);
    EXPECT_EQ(models[0], L"Halvorin P-58");
    EXPECT_EQ(e2e::ListSelection(wizard, kModelList), 0);   // nothing attached: the first model
    if (!picturePrefix.empty()) e2e::SaveWindowPicture(wizard, e2e::OutputPath(picturePrefix + L"-model-page"));

    e2e::Click(wizard, kNext);
    // No USB printer port: the notice box, then the port page with LPT1: chosen.
    ASSERT_TRUE(Answer(pid, L"安装提示", picturePrefix.empty() ? L"" : picturePrefix + L"-no-usb-notice"));
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(wizard, kPortList)); }));
    auto ports = e2e::ListItems(wizard, kPortList);
    int sel = e2e::ListSelection(wizard, kPortList);
    ASSERT_GE(sel, 0);
    EXPECT_EQ(ports[static_cast<size_t>(sel)].rfind(L"LPT", 0), 0u);
    if (!picturePrefix.empty()) e2e::SaveWindowPicture(wizard, e2e::OutputPath(picturePrefix + L"-port-page"));

    e2e::Click(wizard, kNext);
    ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(wizard, kFinish)); }));
    if (!picturePrefix.empty()) {
        Sleep(300);
        e2e::SaveWindowPicture(wizard, e2e::OutputPath(picturePrefix + L"-summary-page"));
    }
    e2e::Click(wizard, kFinish);
    ASSERT_TRUE(Answer(pid, L"墨川科技有限公司", picturePrefix.empty() ? L"" : picturePrefix + L"-success"));
    EXPECT_TRUE(setup.Ended()) << "the wizard did not close";
    EXPECT_EQ(setup.ExitCode(), 0u);
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// At 100, 125, 150 and 200 % the instructions, the wizard and the quit question are drawn at that
// scale: their sizes and places are the 100 % layout's, scaled, the instructions scroll to their
// end with the wheel and no text runs below their inner frame.
TEST(SetupOnWine, DrawnAtTheScreensScale) {
    const std::wstring folder = e2e::WinePath(LP_E2E_FOLDER);
    for (int dpi : {96, 120, 144, 192}) {
        const std::wstring name = L"scale-" + std::to_wstring(dpi * 100 / 96);
        auto px = [dpi](int length) { return MulDiv(length, dpi, 96); };
        e2e::ScreenScale scale(static_cast<DWORD>(dpi));
        e2e::Process setup(folder + L"\\Setup.exe", L"", folder);
        ASSERT_TRUE(setup.started()) << setup.error();
        DWORD pid = setup.pid();
        if (kHandOver)
            ASSERT_TRUE(e2e::WaitUntil([&] { return (pid = e2e::ChildProcess(setup.pid(), L"Setup64.exe")) != 0; }));

        HWND explain = nullptr;
        ASSERT_TRUE(e2e::WaitUntil([&] { return (explain = e2e::FindTopWindow(pid, L"", kExplainClose)) != nullptr; }));
        RECT r = WindowRect(explain);
        EXPECT_EQ(r.right - r.left, px(480)) << name;
        EXPECT_EQ(r.bottom - r.top, px(480)) << name;
        ASSERT_TRUE(e2e::BringToFront(explain));
        Sleep(300);
        const RECT text{r.left + px(30), r.top + px(30), r.right - px(30), r.bottom - px(30)};
        const std::vector<DWORD> top = e2e::ScreenPixels(text);
        e2e::MouseWheel(explain, -60);
        Sleep(500);
        EXPECT_NE(e2e::ScreenPixels(text), top) << name << ": the wheel did not scroll";
        // Between the inner frame and the outer one, inside the one-pixel border.
        EXPECT_EQ(e2e::ScreenInk({r.left + px(30), r.bottom - 1 - px(22), r.right - px(30), r.bottom - 1 - px(3)}), 0)
            << name << ": text below the inner frame";
        e2e::SaveWindowPicture(explain, e2e::OutputPath(name + L"-instructions-at-the-end"));
        e2e::MouseClick(GetDlgItem(explain, kExplainClose));

        HWND wizard = nullptr;
        ASSERT_TRUE(e2e::WaitUntil([&] { return (wizard = e2e::FindTopWindow(pid, kWizardTitle)) != nullptr; }));
        ASSERT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(wizard, kModelList)); }));
        r = WindowRect(wizard);
        EXPECT_EQ(r.right - r.left, px(500)) << name;
        EXPECT_EQ(r.bottom - r.top, px(400)) << name;
        POINT origin{0, 0};
        ClientToScreen(wizard, &origin);
        const RECT list = WindowRect(GetDlgItem(wizard, kModelList)), next = WindowRect(GetDlgItem(wizard, kNext));
        EXPECT_EQ(list.left - origin.x, px(58)) << name;
        EXPECT_EQ(list.top - origin.y, px(130)) << name;
        EXPECT_EQ(list.right - list.left, px(350)) << name;
        EXPECT_EQ(next.left - origin.x, px(241)) << name;
        EXPECT_EQ(next.bottom - next.top, px(28)) << name;
        Sleep(300);
        e2e::SaveWindowPicture(wizard, e2e::OutputPath(name + L"-model-page"));

        e2e::Click(wizard, kCancel);
        HWND ask = nullptr;
        ASSERT_TRUE(e2e::WaitUntil([&] { return (ask = e2e::FindTopWindow(pid, L"", kYes)) != nullptr; }));
        r = WindowRect(ask);
        EXPECT_EQ(r.right - r.left, px(160)) << name;
        EXPECT_EQ(r.bottom - r.top, px(105)) << name;
        Sleep(300);
        e2e::SaveWindowPicture(ask, e2e::OutputPath(name + L"-quit-question"));
        e2e::Click(ask, kYes);
        EXPECT_TRUE(setup.Ended()) << name;
    }
}

// An English or European Windows (ANSI code page 1252): the catalogue, in UTF-16, still lists its
// models and the instructions (GBK, read as such) still show. Run as setup_wine_test_cp1252.
TEST(SetupOnWine, UnderAWesternCodePage) {
    const char* page = std::getenv("LP_CODE_PAGE");
    if (!page || std::string(page) != "1252") GTEST_SKIP() << "the run under code page 1252 does this";
    ASSERT_EQ(GetACP(), 1252u);
    RemovePrinter(L"Halvorin P-58");
    InstallOnce(L"cp1252");
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58"));
    RemovePrinter(L"Halvorin P-58");
}

TEST(SetupOnWine, InstallsIntoWinesSpoolerTwice) {
    for (const wchar_t* name : {L"Halvorin P-58", L"Halvorin P-58 (副本 1)"}) RemovePrinter(name);

    InstallOnce(L"setup");
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58"));
    EXPECT_EQ(DefaultPrinter(), L"Halvorin P-58");
    // The 64-bit package is the 64-bit driver, in its own folder.
    std::wstring data = X64DriverFile(L"Halvorin P-58");
    EXPECT_NE(data.find(L"\\spool\\drivers\\x64\\"), std::wstring::npos) << "not registered for Windows x64: " << data;

    InstallOnce(L"");
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58 (副本 1)"));
    EXPECT_EQ(DefaultPrinter(), L"Halvorin P-58 (副本 1)");

    for (const wchar_t* name : {L"Halvorin P-58", L"Halvorin P-58 (副本 1)"}) RemovePrinter(name);
}

#ifdef LP_E2E_HANDOVER
// The shipped 32-bit Setup.exe on 64-bit Windows starts its 64-bit twin at once, which runs the
// whole wizard, and ends with its exit code.
TEST(SetupOnWine, The32BitProgramHandsTheRunToItsTwin) {
    RemovePrinter(L"Halvorin P-58");
    InstallOnce(L"handover", e2e::WinePath(LP_E2E_FOLDER), true);
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58"));
    EXPECT_NE(X64DriverFile(L"Halvorin P-58"), L"");
    RemovePrinter(L"Halvorin P-58");
}
#endif

// The Spooler stopped and disabled for a scope, as support staff sometimes find it; its start
// type is put back afterwards.
class DisabledSpooler {
public:
    DisabledSpooler() {
        manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        service_ = manager_ ? OpenServiceW(manager_, L"Spooler", SERVICE_ALL_ACCESS) : nullptr;
        alignas(QUERY_SERVICE_CONFIGW) BYTE buffer[8192];
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
        DWORD needed = 0;
        if (!service_ || !QueryServiceConfigW(service_, config, sizeof buffer, &needed)) return;
        startType_ = config->dwStartType;
        if (!ChangeServiceConfigW(service_, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr))
            return;
        changed_ = true;
        SERVICE_STATUS status{};
        ControlService(service_, SERVICE_CONTROL_STOP, &status);   // fails when it is not running
        stopped_ = e2e::WaitUntil([&] {
            return QueryServiceStatus(service_, &status) && status.dwCurrentState == SERVICE_STOPPED;
        });
    }
    ~DisabledSpooler() {
        if (changed_)
            ChangeServiceConfigW(service_, SERVICE_NO_CHANGE, startType_, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
        if (service_) CloseServiceHandle(service_);
        if (manager_) CloseServiceHandle(manager_);
    }
    bool Ready() const { return changed_ && stopped_; }

private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    DWORD startType_ = SERVICE_DEMAND_START;
    bool changed_ = false;
    bool stopped_ = false;
};

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SetupOnWine, ASpoolerThatWillNotStartIsLoggedInTheDocumentsFolder) {
    wchar_t docs[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, docs, CSIDL_PERSONAL, FALSE));
    std::wstring logFile = std::wstring(docs) + L"\\墨川科技有限公司\\Log(1).txt";
    size_t before = ReadAll(logFile).size();
    RemovePrinter(L"Halvorin P-58");
    {
        DisabledSpooler spooler;
        ASSERT_TRUE(spooler.Ready());
        InstallOnce(L"");   // the start-up thread cannot start it; Wine's spooler calls do not need it
    }
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58"));
    RemovePrinter(L"Halvorin P-58");

    std::string log = ReadAll(logFile);
    ASSERT_GT(log.size(), before) << "no entry in the log";
    std::string entries = log.substr(before);
    // "StartService failed with error 1058: " and Wine's text, then "开启服务失败" in GBK, each
    // with its stamp and ending CR LF NUL.
    EXPECT_EQ(entries.rfind("StartService failed with error 1058: ", 0), 0u) << entries;
    size_t second = entries.find(std::string("\r\n\0", 3));
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(entries.compare(second + 3, 12, "\xBF\xAA\xC6\xF4\xB7\xFE\xCE\xF1\xCA\xA7\xB0\xDC"), 0) << entries;
    EXPECT_EQ(std::count(entries.begin(), entries.end(), '\0'), 2);
}

// Wine prefers its own builtin DLLs even where Windows would take a copy from the program's
// folder; for the named programs and the scope of this object it searches like Windows does.
class NativeFirst {
public:
    NativeFirst(std::initializer_list<const wchar_t*> programs, const std::vector<std::wstring>& dllFiles) {
        for (const wchar_t* program : programs) {
            std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + program;
            HKEY overrides = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, (key + L"\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &overrides, nullptr) != ERROR_SUCCESS)
                continue;
            keys_.push_back(key);
            for (std::wstring dll : dllFiles) {   // Wine names a ".dll" without its extension
                if (dll.size() > 4 && dll.compare(dll.size() - 4, 4, L".dll") == 0) dll.resize(dll.size() - 4);
                RegSetValueExW(overrides, dll.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"native,builtin"),
                               sizeof L"native,builtin");
            }
            RegCloseKey(overrides);
        }
    }
    ~NativeFirst() {
        for (const auto& key : keys_) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }

private:
    std::vector<std::wstring> keys_;
};

// The DLLs Setup loads after its start, each planted beside it. A program that leaves the DLL
// search alone takes every one of them (the probe shows it); Setup takes none.
TEST(SetupOnWine, LoadsNoDllPlantedBesideIt) {
    const std::wstring folder = e2e::WinePath(LP_E2E_PLANTED_FOLDER);
    const std::vector<std::wstring> planted = {L"gdiplus.dll",  L"msimg32.dll",  L"winspool.drv",
                                               L"setupapi.dll", L"cfgmgr32.dll", L"newdev.dll"};
    NativeFirst windowsSearch({L"plant_probe.exe", L"Setup.exe", L"Setup64.exe"}, planted);
    std::wstring probeLine = L"plant_probe.exe";
    ASSERT_TRUE(CopyFileW(e2e::WinePath(LP_PLANT_PROBE).c_str(), (folder + L"\\plant_probe.exe").c_str(), FALSE));
    for (const auto& dll : planted) {
        ASSERT_TRUE(CopyFileW(e2e::WinePath(LP_PLANTED_DLL).c_str(), (folder + L"\\" + dll).c_str(), FALSE)) << dll;
        DeleteFileW((folder + L"\\" + dll + L".loaded").c_str());
        probeLine += L" " + dll;
    }
    auto loaded = [&](const std::wstring& dll) {
        return GetFileAttributesW((folder + L"\\" + dll + L".loaded").c_str()) != INVALID_FILE_ATTRIBUTES;
    };

    {
        e2e::Process probe(folder + L"\\plant_probe.exe", probeLine, folder);
        ASSERT_TRUE(probe.started()) << probe.error();
        ASSERT_TRUE(probe.Ended());
    }
    for (const auto& dll : planted) {
        EXPECT_TRUE(loaded(dll)) << dll << ": this system would not load a planted copy, so the check below proves nothing";
        DeleteFileW((folder + L"\\" + dll + L".loaded").c_str());
    }

    RemovePrinter(L"Halvorin P-58");
    InstallOnce(L"", folder);
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58"));
    RemovePrinter(L"Halvorin P-58");
    for (const auto& dll : planted) EXPECT_FALSE(loaded(dll)) << dll << " planted beside Setup.exe was loaded";
}

}  // namespace
