// The real 64-bit Setup.exe under Wine, driven through its windows like a person would: it
// installs the sample package into Wine's own spooler through the registration path (Wine has
// no USB printer to offer plug-and-play), the queue becomes the default printer, and a second
// run makes "Halvorin P-58 (副本 1)".
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <string>

#include "../../e2e/gui_driver.h"

namespace {

const std::wstring kWizardTitle = L"墨川科技驱动安装程序";
constexpr int kExplainClose = 1020, kModelList = 1031, kPortList = 1010, kNext = 1008, kFinish = 1027;

std::wstring Folder() {
    std::wstring f = LP_E2E_FOLDER;   // a host path, seen through Wine's Z: drive
    for (auto& c : f)
        if (c == L'/') c = L'\\';
    return L"Z:" + f;
}

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

// One run of Setup.exe from the model page to the success box; returns the process's end.
void InstallOnce(const std::wstring& picturePrefix) {
    std::wstring exe = Folder() + L"\\Setup.exe";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, Folder().c_str(), &si, &pi))
        << GetLastError();
    DWORD pid = pi.dwProcessId;

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
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0) << "the wizard did not close";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(SetupOnWine, InstallsIntoWinesSpoolerTwice) {
    for (const wchar_t* name : {L"Halvorin P-58", L"Halvorin P-58 (副本 1)"}) RemovePrinter(name);

    InstallOnce(L"setup");
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58"));
    EXPECT_EQ(DefaultPrinter(), L"Halvorin P-58");

    InstallOnce(L"");
    EXPECT_TRUE(PrinterExists(L"Halvorin P-58 (副本 1)"));
    EXPECT_EQ(DefaultPrinter(), L"Halvorin P-58 (副本 1)");

    for (const wchar_t* name : {L"Halvorin P-58", L"Halvorin P-58 (副本 1)"}) RemovePrinter(name);
}

}  // namespace
