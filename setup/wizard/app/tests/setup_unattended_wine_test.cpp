// The real Setup.exe under Wine without its wizard (both builds; the shipped 32-bit one hands
// the command line to its 64-bit twin): an unknown model changes nothing, an unattended install
// makes the queue, and the uninstall takes queue and driver away again, a second time nothing.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../e2e/gui_driver.h"

namespace {

const wchar_t kQueue[] = L"Halvorin P-80";

bool PrinterExists(const std::wstring& name) {
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &h, nullptr)) return false;
    ClosePrinter(h);
    return true;
}

// The names of the drivers registered for 64-bit Windows, where Setup registers the package.
std::vector<std::wstring> X64Drivers() {
    DWORD needed = 0, count = 0;
    EnumPrinterDriversW(nullptr, const_cast<wchar_t*>(L"Windows x64"), 2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    std::vector<std::wstring> names;
    if (!EnumPrinterDriversW(nullptr, const_cast<wchar_t*>(L"Windows x64"), 2, reinterpret_cast<BYTE*>(buffer.data()),
                             needed, &needed, &count))
        return names;
    auto* drivers = reinterpret_cast<DRIVER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) names.push_back(drivers[i].pName);
    return names;
}

bool HasX64Driver(const std::wstring& name) {
    for (const auto& d : X64Drivers())
        if (d == name) return true;
    return false;
}

// Setup.exe with a file as its standard error, as a script's redirect gives it one; the
// file's text in stderrText.
DWORD RunSetupWithStderr(const std::wstring& arguments, std::string& stderrText) {
    const std::wstring folder = e2e::WinePath(LP_E2E_FOLDER);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring errPath = std::wstring(temp) + L"setup-stderr.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (err == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "no file for standard error: " << GetLastError();
        return 0xFFFFFFFF;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + folder + L"\\Setup.exe\" " + arguments;
    BOOL started = CreateProcessW((folder + L"\\Setup.exe").c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  folder.c_str(), &si, &pi);
    CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "Setup.exe did not start: " << GetLastError();
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::ifstream in(std::filesystem::path(errPath), std::ios::binary);
    stderrText.assign(std::istreambuf_iterator<char>(in), {});
    return code;
}

DWORD RunSetup(const std::wstring& arguments) {
    const std::wstring folder = e2e::WinePath(LP_E2E_FOLDER);
    // The command line begins with the program's name, which wWinMain's argument leaves out.
    e2e::Process setup(folder + L"\\Setup.exe", L"\"" + folder + L"\\Setup.exe\" " + arguments, folder);
    if (!setup.started()) {
        ADD_FAILURE() << "Setup.exe did not start: " << setup.error();
        return 0xFFFFFFFF;
    }
    // No window may wait for anyone: the run ends on its own.
    if (!setup.Ended(120000)) {
        ADD_FAILURE() << "Setup.exe " << std::string(arguments.begin(), arguments.end()) << " did not end";
        return 0xFFFFFFFF;
    }
    return setup.ExitCode();
}

std::string FileText(const std::wstring& windowsPath) {
    std::ifstream in(std::filesystem::path(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SetupUnattendedOnWine, InstallThenUninstall) {
    // Left over from an interrupted earlier run in the same prefix.
    {
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (OpenPrinterW(const_cast<wchar_t*>(kQueue), &h, &all)) {
            DeletePrinter(h);
            ClosePrinter(h);
        }
        DeletePrinterDriverExW(nullptr, const_cast<wchar_t*>(L"Windows x64"), const_cast<wchar_t*>(kQueue), 0, 0);
    }
    const auto driversBefore = X64Drivers();

    std::string said;
    EXPECT_EQ(RunSetupWithStderr(L"/S /model=NOPE", said), 12u);
    EXPECT_NE(said.find("目录中没有型号: NOPE"), std::string::npos) << "standard error, also through the hand-over: " << said;
    EXPECT_FALSE(PrinterExists(kQueue));
    EXPECT_EQ(X64Drivers(), driversBefore) << "an unknown model changes nothing";

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring log = std::wstring(temp) + L"setup-unattended.txt";
    DeleteFileW(log.c_str());
    EXPECT_EQ(RunSetup(L"/S /model=P-80 /port=LPT1: \"/log=" + log + L"\""), 0u);
    EXPECT_TRUE(PrinterExists(kQueue));
    EXPECT_TRUE(HasX64Driver(kQueue));
    std::string account = FileText(log);
    EXPECT_NE(account.find("安装成功: Halvorin P-80 在 LPT1:"), std::string::npos) << account;

    EXPECT_EQ(RunSetup(L"/uninstall /S /model=P-80"), 0u);
    EXPECT_FALSE(PrinterExists(kQueue));
    EXPECT_FALSE(HasX64Driver(kQueue));

    const std::wstring again = std::wstring(temp) + L"setup-uninstall-again.txt";
    EXPECT_EQ(RunSetup(L"/uninstall /S /model=P-80 \"/log=" + again + L"\""), 0u);
    std::string second = FileText(again);
    EXPECT_NE(second.find("没有需要卸载的内容"), std::string::npos) << second;
    EXPECT_EQ(X64Drivers(), driversBefore);
}

TEST(SetupUnattendedOnWine, BadArgumentsEndWithTheirCodeSilently) {
    struct Case {
        const wchar_t* arguments;
        DWORD code;
    } cases[] = {
        {L"/S /frobnicate", 10},
        {L"/S /model=", 10},
        {L"/S /model=P-80 /port=..\\..\\x", 10},
        {L"/S /model=P-80 /port=LPT9:", 13},
        {L"/S", 11},   // Wine has no printer to detect
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunSetup(c.arguments), c.code) << std::string(c.arguments, c.arguments + wcslen(c.arguments));
        EXPECT_FALSE(PrinterExists(kQueue));
    }
}

}  // namespace
