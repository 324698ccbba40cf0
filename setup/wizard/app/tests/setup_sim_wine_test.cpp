// The wizard's own windows on scenarios' simulated machines (SetupSim.exe): an attached USB
// printer preselected with its port, the install through its pages, Back, Cancel, Alt+B, a failed
// install and a missing catalogue; and with real mouse and keyboard input, a double-click on
// Next, the keyboard's focus and the wizard under the error dialog. Screenshots go to the test
// output.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "../../e2e/gui_driver.h"

namespace {

const std::wstring kWizardTitle = L"墨川科技驱动安装程序";
constexpr int kExplainClose = 1020, kModelList = 1031, kPortList = 1010, kBack = 1007, kNext = 1008,
              kCancel = 1009, kFinish = 1027, kYes = 1023, kNo = 1022, kErrorOk = 1025, kProgress = 1013;

class SimRun {
public:
    explicit SimRun(const std::wstring& scenario) {
        transcript_ = e2e::WinePath(LP_OUTPUT) + L"\\" + scenario + L".transcript";
        std::wstring folder = e2e::WinePath(scenario.rfind(L"wizard-", 0) == 0 ? LP_OWN_SCENARIOS : LP_SCENARIOS);
        SetEnvironmentVariableW(L"LP_SCENARIO", (folder + L"\\" + scenario + L".scn").c_str());
        SetEnvironmentVariableW(L"LP_SCENARIO_TRANSCRIPT", transcript_.c_str());
        CreateDirectoryW(e2e::WinePath(LP_OUTPUT).c_str(), nullptr);
        process_.emplace(e2e::WinePath(LP_SETUPSIM));
    }
    bool started() const { return process_->started(); }
    DWORD pid() const { return process_->pid(); }
    bool Ended(DWORD ms = 20000) { return process_->Ended(ms); }
    HWND Wait(const std::wstring& title, int childId = 0) {
        HWND w = nullptr;
        e2e::WaitUntil([&] { return (w = e2e::FindTopWindow(pid(), title, childId)) != nullptr; });
        return w;
    }
    // Closes the instructions and returns the wizard, on its model page.
    HWND Wizard() {
        HWND explain = Wait(L"", kExplainClose);
        if (!explain) return nullptr;
        e2e::Click(explain, kExplainClose);
        HWND wizard = Wait(kWizardTitle);
        if (wizard) e2e::WaitUntil([&] { return IsWindowVisible(GetDlgItem(wizard, kModelList)) != FALSE; });
        return wizard;
    }
    std::string Transcript() {
        std::ifstream in{std::filesystem::path(transcript_)};
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::wstring transcript_;
    std::optional<e2e::Process> process_;   // started once the scenario is in the environment
};

bool Visible(HWND wizard, int id) { return IsWindowVisible(GetDlgItem(wizard, id)) != FALSE; }
void Picture(HWND window, const std::wstring& name) {
    Sleep(200);
    e2e::SaveWindowPicture(window, e2e::OutputPath(L"sim-" + name));
}
bool Answer(SimRun& run, const std::wstring& title) {
    HWND box = run.Wait(title);
    if (!box) return false;
    Picture(box, title == L"墨川科技有限公司" ? L"success-box" : L"notice-box");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return true;
}

TEST(SetupSim, AttachedPrinterPreselectedThroughToTheSuccessBox) {
    SimRun run(L"detect-usb-printer");
    ASSERT_TRUE(run.started());
    HWND wizard = run.Wizard();
    ASSERT_TRUE(wizard);
    auto models = e2e::ListItems(wizard, kModelList);
    ASSERT_EQ(models.size(), 3u);
    EXPECT_EQ(e2e::ListSelection(wizard, kModelList), 1);   // Halvorin P-80, the attached model
    EXPECT_FALSE(Visible(wizard, kBack));
    Picture(wizard, L"model-page");

    e2e::Click(wizard, kNext);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kPortList); }));
    auto ports = e2e::ListItems(wizard, kPortList);
    int sel = e2e::ListSelection(wizard, kPortList);
    ASSERT_GE(sel, 0);
    EXPECT_EQ(ports[static_cast<size_t>(sel)], L"USB003");
    Picture(wizard, L"port-page");

    // Back runs detection again, then forward again.
    e2e::Click(wizard, kBack);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kModelList); }));
    EXPECT_EQ(e2e::ListSelection(wizard, kModelList), 1);
    e2e::PostKey(wizard, 'N', true);   // Alt+N: Next
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kPortList); }));
    e2e::Click(wizard, kNext);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kFinish); }));
    Picture(wizard, L"summary-page");

    e2e::Click(wizard, kFinish);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, 1013); }));
    Picture(wizard, L"install-page");
    ASSERT_TRUE(Answer(run, L"墨川科技有限公司"));
    ASSERT_TRUE(run.Ended()) << "the wizard did not close";
    std::string t = run.Transcript();
    EXPECT_NE(t.find("driver installed on USB\\VID_6B1F&PID_0001"), std::string::npos) << t;
    EXPECT_NE(t.find("service PcaSvc running"), std::string::npos) << "PcaSvc started again\n" << t;
}

TEST(SetupSim, CancelAsksAndAltBDoesNothingOnTheModelPage) {
    SimRun run(L"detect-usb-printer");
    HWND wizard = run.Wizard();
    ASSERT_TRUE(wizard);
    e2e::PostKey(wizard, 'B', true);   // Alt+B on the model page: nothing
    Sleep(300);
    EXPECT_TRUE(Visible(wizard, kModelList));

    e2e::Click(wizard, kCancel);
    HWND ask = run.Wait(L"", kYes);
    ASSERT_TRUE(ask);
    Picture(ask, L"quit-question");
    e2e::Click(ask, kNo);   // 否: the wizard stays
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(ask); }));
    EXPECT_TRUE(IsWindowVisible(wizard));

    e2e::Click(wizard, kCancel);
    ask = run.Wait(L"", kYes);
    ASSERT_TRUE(ask);
    e2e::Click(ask, kYes);   // 是: it closes, and PcaSvc is started again
    ASSERT_TRUE(run.Ended());
    EXPECT_NE(run.Transcript().find("service PcaSvc running"), std::string::npos);
}

// At 100 % and at 150 %: the error dialog's size and button scaled alike.
TEST(SetupSim, MissingCatalogueShowsCodeOneAndCloses) {
    for (int dpi : {96, 144}) {
        e2e::ScreenScale scale(static_cast<DWORD>(dpi));
        SimRun run(L"detect-missing-catalog");
        HWND explain = run.Wait(L"", kExplainClose);
        ASSERT_TRUE(explain);
        e2e::Click(explain, kExplainClose);
        HWND error = run.Wait(L"", kErrorOk);
        ASSERT_TRUE(error);
        RECT r{}, ok{};
        GetWindowRect(error, &r);
        GetWindowRect(GetDlgItem(error, kErrorOk), &ok);
        EXPECT_EQ(r.right - r.left, MulDiv(407, dpi, 96)) << dpi;
        EXPECT_EQ(r.bottom - r.top, MulDiv(299, dpi, 96)) << dpi;
        EXPECT_EQ(ok.right - ok.left, MulDiv(107, dpi, 96)) << dpi;
        EXPECT_EQ(ok.bottom - ok.top, MulDiv(36, dpi, 96)) << dpi;
        Picture(error, dpi == 96 ? L"error-code-1" : L"error-code-1-at-150");
        e2e::Click(error, kErrorOk);
        EXPECT_TRUE(run.Ended()) << "the wizard did not close itself";
    }
}

// From the model page to Finish pressed, on a machine without a USB printer: the notice, then
// the port page with LPT1: chosen, then the summary.
void FinishWithoutAUsbPrinter(SimRun& run, HWND wizard) {
    e2e::Click(wizard, kNext);
    ASSERT_TRUE(Answer(run, L"安装提示"));
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kPortList); }));
    e2e::Click(wizard, kNext);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kFinish); }));
    e2e::Click(wizard, kFinish);
}

TEST(SetupSim, FailedInstallShowsTheErrorDialogAndNoSuccessBox) {
    SimRun run(L"wizard-install-fails");
    HWND wizard = run.Wizard();
    ASSERT_TRUE(wizard);
    ASSERT_NO_FATAL_FAILURE(FinishWithoutAUsbPrinter(run, wizard));
    HWND error = run.Wait(L"", kErrorOk);
    ASSERT_TRUE(error);
    // The worker waits in its error dialog; the bar moves on the wizard's own timer meanwhile.
    HWND bar = GetDlgItem(wizard, 1013);
    LRESULT before = SendMessageW(bar, PBM_GETPOS, 0, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) != before; }, 3000)) << "the bar stands";
    Picture(error, L"install-failed-code-4");
    e2e::Click(error, kErrorOk);
    ASSERT_TRUE(run.Ended()) << "the wizard did not close after the failure";
    EXPECT_EQ(e2e::FindTopWindow(0, L"墨川科技有限公司"), nullptr);
    EXPECT_NE(run.Transcript().find("fault AddPrinterDriverW 5"), std::string::npos) << run.Transcript();
}

RECT ScreenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// A double-click on the port page's Next: its second click lands on the summary's Finish, which
// must not start the install.
TEST(SetupSim, DoubleClickOnNextShowsTheSummaryAndInstallsNothing) {
    SimRun run(L"detect-usb-printer");
    HWND wizard = run.Wizard();
    ASSERT_TRUE(wizard);
    ASSERT_TRUE(e2e::BringToFront(wizard));
    e2e::MouseClick(GetDlgItem(wizard, kNext));
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kPortList); }));
    RECT next = ScreenRect(GetDlgItem(wizard, kNext)), finish{};
    // Past the double-click time of the last page change, which lay on the same spot.
    Sleep(GetDoubleClickTime() + 200);
    e2e::MouseClick(GetDlgItem(wizard, kNext), true);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kFinish); }));
    finish = ScreenRect(GetDlgItem(wizard, kFinish));
    RECT both{};
    EXPECT_TRUE(IntersectRect(&both, &next, &finish)) << "Finish lies under Next";
    Sleep(800);
    EXPECT_TRUE(Visible(wizard, kFinish)) << "the summary page";
    EXPECT_FALSE(Visible(wizard, kProgress)) << "the install page";
    Picture(wizard, L"summary-after-double-click");

    e2e::Click(wizard, kCancel);
    HWND ask = run.Wait(L"", kYes);
    ASSERT_TRUE(ask);
    e2e::Click(ask, kYes);
    ASSERT_TRUE(run.Ended());
    const std::string t = run.Transcript();
    EXPECT_EQ(t.find("driver installed"), std::string::npos) << t;
    EXPECT_EQ(t.find("AddPrinter"), std::string::npos) << t;
}

// Tab goes through the page as it lies, a page shown puts the focus on its list, the focused
// button shows it, and in the quit question Enter presses the focused button.
TEST(SetupSim, KeyboardFocusAndTabOrder) {
    SimRun run(L"detect-usb-printer");
    HWND wizard = run.Wizard();
    ASSERT_TRUE(wizard);
    ASSERT_TRUE(e2e::BringToFront(wizard));
    HWND list = GetDlgItem(wizard, kModelList), next = GetDlgItem(wizard, kNext);
    HWND cancel = GetDlgItem(wizard, kCancel);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(wizard) == list; }, 3000)) << "model page: the list";
    const std::vector<DWORD> unfocused = e2e::ScreenPixels(ScreenRect(next));
    e2e::PressKey(VK_TAB);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(wizard) == next; }, 3000)) << "then Next";
    Sleep(200);
    EXPECT_NE(e2e::ScreenPixels(ScreenRect(next)), unfocused) << "no focus rectangle on Next";
    Picture(wizard, L"focus-on-next");
    e2e::PressKey(VK_TAB);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(wizard) == cancel; }, 3000)) << "then Cancel";
    e2e::PressKey(VK_TAB);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(wizard) == list; }, 3000)) << "and round to the list";

    e2e::PressKey('N', true);
    ASSERT_TRUE(e2e::WaitUntil([&] { return Visible(wizard, kPortList); }));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(wizard) == GetDlgItem(wizard, kPortList); }, 3000))
        << "port page: its list";
    e2e::PressKey(VK_TAB);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(wizard) == GetDlgItem(wizard, kBack); }, 3000))
        << "then Back, left of Next";

    // The quit question: Tab to 否, Enter keeps the wizard; Enter alone quits.
    e2e::Click(wizard, kCancel);
    HWND ask = run.Wait(L"", kYes);
    ASSERT_TRUE(ask);
    ASSERT_TRUE(e2e::BringToFront(ask));
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(ask) == GetDlgItem(ask, kYes); }, 3000));
    e2e::PressKey(VK_TAB);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::FocusOf(ask) == GetDlgItem(ask, kNo); }, 3000));
    Sleep(200);
    Picture(ask, L"quit-question-focus-on-no");
    e2e::PressKey(VK_RETURN);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(ask); }));
    EXPECT_FALSE(run.Ended(500)) << "Enter on 否 quit";
    e2e::Click(wizard, kCancel);
    ask = run.Wait(L"", kYes);
    ASSERT_TRUE(ask);
    ASSERT_TRUE(e2e::BringToFront(ask));
    e2e::PressKey(VK_RETURN);
    EXPECT_TRUE(run.Ended()) << "Enter on 是 did not quit";
}

// While the install runs and its error dialog is up, the dialog is the wizard's, above it, and
// the wizard takes no page change; a close asked for is shown as pending and happens at the result.
TEST(SetupSim, ErrorDialogAboveTheWizardAndNoPageChangeDuringTheInstall) {
    SimRun run(L"wizard-install-fails");
    HWND wizard = run.Wizard();
    ASSERT_TRUE(wizard);
    ASSERT_NO_FATAL_FAILURE(FinishWithoutAUsbPrinter(run, wizard));
    HWND error = run.Wait(L"", kErrorOk);
    ASSERT_TRUE(error);
    EXPECT_EQ(GetWindow(error, GW_OWNER), wizard);
    EXPECT_FALSE(IsWindowEnabled(wizard)) << "the wizard takes input under its error dialog";

    // Keys that reach the wizard's loop all the same change no page.
    e2e::PostKey(wizard, 'N', true);
    e2e::PostKey(wizard, 'B', true);
    Sleep(400);
    EXPECT_TRUE(Visible(wizard, kProgress));
    for (int id : {kFinish, kBack, kModelList, kPortList}) EXPECT_FALSE(Visible(wizard, id)) << id;
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    Sleep(400);
    EXPECT_TRUE(IsWindow(wizard));
    EXPECT_EQ(e2e::FindTopWindow(run.pid(), L"", kYes), nullptr) << "the quit question while installing";
    RECT area = ScreenRect(wizard), errorRect = ScreenRect(error);
    UnionRect(&area, &area, &errorRect);
    e2e::SaveScreenPicture(area, e2e::OutputPath(L"sim-error-dialog-above-the-wizard"));

    ASSERT_TRUE(e2e::BringToFront(error));
    e2e::MouseClick(GetDlgItem(error, kErrorOk));
    ASSERT_TRUE(run.Ended()) << "the wizard did not close at the result";
}

}  // namespace

