// The two page flows on plain lists: the model list with its preselection and detectedModel,
// the port list with its preselection and flag, and the notices on the way.
#include <optional>

#include "detect/detection_flow.h"
#include "detect_fixture.h"

namespace {
using namespace plat;
using detect::PlainList;
using detect_test::DetectFixture;
using detect_testing::AddCatalog;
using detect_testing::AddParallelPrinter;
using detect_testing::AddPort;
using detect_testing::AddUsbPrinter;
using detect_testing::Catalog;
using detect_testing::UsbPrinter;

HWND const kWizard = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5E7));

struct Flow : DetectFixture {
    detect::DetectionState state;
    detect::CPrinterCatalog catalog{p};
    PlainList models, ports;
    std::u16string detectedModel = u"stale";
    std::vector<DWORD> messages;

    Flow() {
        m.windowProc = [this](HWND w, DWORD msg, WPARAM, LPARAM) {
            EXPECT_EQ(w, kWizard);
            messages.push_back(msg);
            return LRESULT{0};
        };
    }
    void Detect() { detect::DetectPrinterModel(env, state, catalog, kWizard, models, detectedModel); }
    bool FillPorts() { return detect::FillPortList(env, state, kWizard, ports); }
    std::u16string Selected(const PlainList& list) { return list.GetText(list.GetCurSel()); }
};

std::string Ours(const std::string& model) { return "MFG:Halvorin;MDL:" + model + ";CMD:TSPL;"; }

struct ModelRow {
    const char* name;
    std::vector<std::u16string> catalogue;
    std::optional<std::string> usbId;        // our USB printer's device ID; none: no USB printer
    std::optional<std::string> parallelId;   // a device on LPT1 found by the rescan
    std::u16string detected;
    std::vector<std::u16string> items;
    int selection;
};

class ModelPage : public Flow, public testing::WithParamInterface<ModelRow> {};

TEST_P(ModelPage, ListAndPreselection) {
    const ModelRow& r = GetParam();
    AddCatalog(m, Catalog{u"vid_6b1f", u"pid_0001", u"", r.catalogue});
    if (r.usbId) AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 1, *r.usbId});
    if (r.parallelId) {
        int port = AddPort(m, {});
        AddParallelPrinter(m, port, u"LPTENUM\\HalvorinP\\1&0&LPT1", *r.parallelId, true);
    }
    models.AddString(u"left over");
    Detect();
    EXPECT_EQ(ToUtf8(detectedModel), ToUtf8(r.detected));
    EXPECT_EQ(models.items, r.items);
    EXPECT_EQ(models.GetCurSel(), r.selection);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(s.errors.codes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Catalogues, ModelPage,
    testing::Values(
        ModelRow{"LaterContainedNameWins", {u"P-80", u"P-8"}, Ours("P-80"), {}, u"P-80",
                 {u"Halvorin P-80", u"Halvorin P-8"}, 1},
        ModelRow{"EmptyNameGetsNoItem", {u"P-1", u"", u"P-2"}, Ours("P-2"), {}, u"P-2",
                 {u"Halvorin P-1", u"Halvorin P-2"}, 1},
        ModelRow{"NoPrinterFirstSelected", {u"P-58", u"P-80"}, {}, {}, u"", {u"Halvorin P-58", u"Halvorin P-80"}, 0},
        ModelRow{"UnknownModelFirstSelected", {u"P-58", u"P-80"}, Ours("Q-1"), {}, u"Q-1",
                 {u"Halvorin P-58", u"Halvorin P-80"}, 0},
        ModelRow{"MatchIsCaseSensitive", {u"p-80", u"P-58"}, Ours("P-80"), {}, u"P-80", {u"Halvorin p-80", u"Halvorin P-58"}, 0},
        ModelRow{"UsbWithoutModelThenParallel", {u"P-58", u"P-80"}, "MFG:Halvorin;CMD:TSPL;", Ours("P-80"), u"P-80",
                 {u"Halvorin P-58", u"Halvorin P-80"}, 1},
        ModelRow{"UsbWithoutMakerThenParallel", {u"P-58"}, "MDL:P-80;", Ours("P-58"), u"P-58", {u"Halvorin P-58"}, 0},
        ModelRow{"UsbModelWinsOverParallel", {u"P-58", u"P-80"}, Ours("P-58"), Ours("P-80"), u"P-58",
                 {u"Halvorin P-58", u"Halvorin P-80"}, 0},
        ModelRow{"ParallelWithoutMakerIsNoModel", {u"P-58"}, {}, "MDL:P-58;", u"", {u"Halvorin P-58"}, 0},
        ModelRow{"EmptyCatalogue", {}, Ours("P-80"), {}, u"P-80", {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Flow, AnotherMakersPrinterEnumeratedLastGivesTheModelNotThePort) {
    AddCatalog(m, Catalog{u"vid_6b1f", u"pid_0001", u"", {u"P-58", u"P-80"}});
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 3, Ours("P-80")});
    AddUsbPrinter(m, UsbPrinter{u"vid_04b8&pid_0202", u"2", 1, std::string("MFG:Other;MDL:X-9;")});
    m.spooler.ports = {u"LPT1:", u"USB001", u"USB003", u"FILE:"};
    Detect();
    EXPECT_EQ(detectedModel, u"X-9");
    EXPECT_EQ(models.GetCurSel(), 0);
    EXPECT_TRUE(FillPorts());
    EXPECT_EQ(Selected(ports), u"USB003");
}

TEST_F(Flow, FilterFromTheCatalogue) {
    struct Row {
        std::optional<std::u16string> vid, pid;
        std::u16string filter;
    } rows[] = {
        {u"vid_1111", u"pid_2222", u"vid_1111&pid_2222"},
        {std::nullopt, u"pid_0002", u"&pid_0002"},
        {u"vid_0003", u"", u"vid_0003&"},
        {std::nullopt, std::nullopt, u"kept"},
        {u"", u"", u"kept"},
    };
    for (const Row& r : rows) {
        AddCatalog(m, Catalog{r.vid, r.pid, u"", {u"P-58"}});
        state.g_usbIdFilter = u"kept";
        Detect();
        EXPECT_EQ(ToUtf8(state.g_usbIdFilter), ToUtf8(r.filter));
    }
    // The port page then looks for that filter.
    AddCatalog(m, Catalog{u"vid_1111", u"pid_2222", u"", {u"P-58"}});
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 4, {}});
    AddUsbPrinter(m, UsbPrinter{u"vid_1111&pid_2222", u"2", 5, {}});
    m.spooler.ports = {u"USB004", u"USB005"};
    Detect();
    EXPECT_TRUE(FillPorts());
    EXPECT_EQ(Selected(ports), u"USB005");
}

TEST_F(Flow, MissingCatalogueShowsCodeOneAndClosesAfterTheQueries) {
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 1, Ours("P-80")});
    models.AddString(u"left over");
    Detect();
    EXPECT_EQ(detectedModel, u"P-80");
    EXPECT_TRUE(models.items.empty());
    EXPECT_EQ(s.errors.codes(), std::vector<std::u16string>{u"1"});
    EXPECT_EQ(messages, std::vector<DWORD>{WM_CLOSE});
    std::vector<std::string> order = EventsStarting({"ioctl", "error code", "message 16"});
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[0].rfind("ioctl", 0), 0u);
    EXPECT_EQ(order[1], "error code \"1\"");
    EXPECT_EQ(order[2], "message 16 0 0");
}

TEST_F(Flow, ModulePathThatDoesNotFitCountsAsNoCatalogue) {
    AddCatalog(m, Catalog{u"vid_6b1f", u"pid_0001", u"", {u"P-58"}});
    // A path cut at 260 characters would name another folder's PrinterInfo.ini.
    m.system.modulePath = u"C:\\Delivery\\" + std::u16string(250, u'd') + u"\\Setup.exe";
    detect::CPrinterCatalog longPath(p);
    EXPECT_EQ(longPath.path(), u"");
    detect::DetectPrinterModel(env, state, longPath, kWizard, models, detectedModel);
    EXPECT_EQ(s.errors.codes(), std::vector<std::u16string>{u"1"});
    EXPECT_EQ(messages, std::vector<DWORD>{WM_CLOSE});
}

TEST_F(Flow, CatalogueInUtf16AndLongTables) {
    std::u16string text = detect_testing::CatalogText(Catalog{u"vid_6b1f", u"pid_0001", u"", {u"P-80", u"标签机"}});
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    m.AddFile(detect_testing::CatalogPath(m), bytes);
    // The device answers in the system's code page.
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 1, Ours(TextToAnsi(m, u"标签机"))});
    Detect();
    EXPECT_EQ(detectedModel, u"标签机");
    EXPECT_EQ(models.items, (std::vector<std::u16string>{u"Halvorin P-80", u"Halvorin 标签机"}));
    EXPECT_EQ(models.GetCurSel(), 1);

    std::vector<std::u16string> many;
    for (int i = 0; i < 600; ++i) many.push_back(u"M" + ToDecimal(i) + u"-" + std::u16string(200, u'n'));
    AddCatalog(m, Catalog{u"vid_6b1f", u"pid_0001", u"", many});
    Detect();
    ASSERT_EQ(models.items.size(), 512u);
    EXPECT_EQ(models.items.back(), u"Halvorin " + many[511].substr(0, 127));
}

TEST_F(Flow, EachRunRebuildsAndPreselectsAgain) {
    AddCatalog(m, Catalog{u"vid_6b1f", u"pid_0001", u"", {u"P-58", u"P-80"}});
    int printer = AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 1, Ours("P-80")});
    Detect();
    models.SetCurSel(0);   // the user's choice
    Detect();
    EXPECT_EQ(models.items.size(), 2u);
    EXPECT_EQ(models.GetCurSel(), 1);
    m.devices.devices[static_cast<size_t>(printer)].present = false;   // unplugged meanwhile
    Detect();
    EXPECT_EQ(detectedModel, u"");
    EXPECT_EQ(models.GetCurSel(), 0);
}

struct PortRow {
    const char* name;
    std::vector<std::u16string> spooler;
    std::optional<DWORD> usbPort;   // our USB printer's port number; none: no USB printer
    bool flag;
    std::u16string selected;        // empty: nothing selected
};

class PortPage : public Flow, public testing::WithParamInterface<PortRow> {};

TEST_P(PortPage, ListPreselectionAndFlag) {
    const PortRow& r = GetParam();
    m.spooler.ports = r.spooler;
    if (r.usbPort) AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", *r.usbPort, {}});
    ports.AddString(u"left over");
    EXPECT_EQ(FillPorts(), r.flag);
    EXPECT_EQ(ports.items, r.spooler);   // in the spooler's order
    EXPECT_EQ(ToUtf8(Selected(ports)), ToUtf8(r.selected));
    EXPECT_TRUE(EventsStarting({"message box"}).empty());
}

const std::vector<std::u16string> kUsual = {u"LPT1:", u"LPT2:", u"COM1:", u"FILE:", u"USB001", u"USB003", u"USB012"};
INSTANTIATE_TEST_SUITE_P(
    Spooler, PortPage,
    testing::Values(PortRow{"UsbPortSelected", kUsual, 3, true, u"USB003"},
                    PortRow{"TwoDigitPortNumber", kUsual, 12, true, u"USB012"},
                    PortRow{"UsbPortNotListed", {u"LPT1:", u"USB001"}, 3, true, u""},
                    PortRow{"NoUsbPrinterTakesLpt", {u"COM1:", u"LPT2:", u"LPT1:", u"FILE:"}, std::nullopt, false, u"LPT2:"},
                    PortRow{"NoUsbPrinterNoLpt", {u"COM1:", u"FILE:"}, std::nullopt, true, u""},
                    PortRow{"PortNumberZeroCountsAsNone", {u"LPT1:", u"USB000"}, 0, false, u"LPT1:"},
                    PortRow{"LargePortNumber", {u"USB1000", u"LPT1:"}, 1000, true, u"USB1000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Flow, PortListThatCannotBeRead) {
    struct Row {
        const char* name;
        std::vector<std::u16string> ports;
        int occurrence;   // of EnumPortsW that fails; 0: none
        DWORD error;
        const char* notice;
    } rows[] = {
        {"size query fails otherwise", {u"LPT1:"}, 1, ERROR_ACCESS_DENIED, "无法查找当前设备端口列表!"},
        {"size query succeeds", {}, 0, 0, "无法查找当前设备端口列表!"},
        {"read fails", {u"LPT1:"}, 2, ERROR_INVALID_PARAMETER, "枚举当前设备端口失败!"},
    };
    for (const Row& r : rows) {
        engine_testing::SimEnv e;
        e.machine.spooler.ports = r.ports;
        if (r.occurrence) e.machine.FailCall("EnumPortsW", r.error, r.occurrence);
        PlainList list;
        list.AddString(u"left over");
        EXPECT_FALSE(detect::FillPortList(e.env, state, kWizard, list)) << r.name;
        EXPECT_TRUE(list.items.empty()) << r.name;
        std::vector<std::string> boxes;
        for (const auto& ev : e.machine.Events())
            if (ev.rfind("message box", 0) == 0) boxes.push_back(ev);
        EXPECT_EQ(boxes, std::vector<std::string>{std::string("message box \"安装提示\" type 64: ") + r.notice}) << r.name;
    }
}

TEST(PlainList, BehavesLikeAListBox) {
    PlainList l;
    EXPECT_EQ(l.AddString(u"a"), 0);
    EXPECT_EQ(l.InsertString(0, u"b"), 0);
    EXPECT_EQ(l.InsertString(-1, u"c"), 2);
    EXPECT_EQ(l.items, (std::vector<std::u16string>{u"b", u"a", u"c"}));
    l.SetCurSel(1);
    l.InsertString(0, u"d");
    EXPECT_EQ(l.GetText(l.GetCurSel()), u"a");
    l.SetCurSel(9);
    EXPECT_EQ(l.GetCurSel(), -1);
    EXPECT_EQ(l.GetText(-1), u"");
    l.ResetContent();
    EXPECT_EQ(l.GetCount(), 0);
}

}  // namespace
