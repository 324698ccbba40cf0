// The two page flows on Wine's own spooler, device setup and profile functions, through the
// Win32 adapter: the real records and buffers, not the simulation's.
#include <gtest/gtest.h>

#include <vector>

#include "detect/detection_flow.h"
#include "detect/usb_port.h"
#include "engine/env.h"
#include "platform/text.h"
#include "win32/win32_platform.h"

namespace {
using namespace plat;

struct Codes final : engine::IErrorReporter {
    std::vector<std::u16string> shown;
    void ShowErrorCode(const std::u16string& code) override { shown.push_back(code); }
};

struct WineFlow : testing::Test {
    Platform p = win32::RealPlatform();
    Codes codes;
    engine::InstallLog log{p};
    engine::Env env{p, codes, log};
    detect::DetectionState state;

    std::u16string Scratch(const std::u16string& name) {
        char16_t module[MAX_PATH] = {};
        p.sys.GetModuleFileNameW(module, MAX_PATH);
        std::u16string path = FromBuffer(module, MAX_PATH);
        return path.substr(0, path.rfind(u'\\') + 1) + name + ToDecimal(p.sys.GetTickCount()) + u".ini";
    }
};

TEST_F(WineFlow, PortListFromTheSpooler) {
    detect::PlainList ports;
    // No USB printer under Wine: the first LPT port is preselected and the page warns.
    EXPECT_FALSE(detect::FillPortList(env, state, nullptr, ports));
    ASSERT_GT(ports.GetCount(), 0);
    for (const auto& name : ports.items) EXPECT_FALSE(name.empty());
    ASSERT_GE(ports.GetCurSel(), 0);
    EXPECT_TRUE(Contains(ports.GetText(ports.GetCurSel()), u"LPT"));
    for (int i = 0; i < ports.GetCurSel(); ++i) EXPECT_FALSE(Contains(ports.items[static_cast<size_t>(i)], u"LPT"));
    EXPECT_EQ(detect::GetUsbPortNumber(p, state), 0u);
}

TEST_F(WineFlow, ModelListFromACatalogue) {
    std::u16string path = Scratch(u"catalogue-");
    // The catalogue in code page 936, as delivered.
    std::string bytes = "[VID_PID]\r\nPID=pid_0002\r\n[\xC8\xC8\xC3\xF4\xB4\xF2\xD3\xA1\xBB\xFA]\r\nCounts=3\r\n0=P-58\r\n2=P-80\r\n";
    HANDLE h = p.files.CreateFileW(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    p.files.WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n);
    p.files.CloseHandle(h);

    detect::CPrinterCatalog catalog(p, path);
    detect::PlainList models;
    std::u16string detected = u"stale";
    detect::DetectPrinterModel(env, state, catalog, nullptr, models, detected);
    EXPECT_EQ(detected, u"");
    EXPECT_EQ(models.items, (std::vector<std::u16string>{u"Halvorin P-58", u"Halvorin P-80"}));
    EXPECT_EQ(models.GetCurSel(), 0);
    EXPECT_EQ(state.g_usbIdFilter, u"&pid_0002");
    EXPECT_TRUE(codes.shown.empty());

    detect::CPrinterCatalog missing(p, Scratch(u"missing-"));
    detect::DetectPrinterModel(env, state, missing, nullptr, models, detected);
    EXPECT_EQ(codes.shown, std::vector<std::u16string>{u"1"});
    EXPECT_TRUE(models.items.empty());
}

TEST_F(WineFlow, CatalogueBesideTheProgram) {
    detect::CPrinterCatalog catalog(p);
    char16_t module[MAX_PATH] = {};
    p.sys.GetModuleFileNameW(module, MAX_PATH);
    std::u16string self = FromBuffer(module, MAX_PATH);
    EXPECT_EQ(catalog.path(), self.substr(0, self.rfind(u'\\') + 1) + u"PrinterInfo.ini");
}

}  // namespace
