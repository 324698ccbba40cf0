// The INF reader, the matching rule and the plug-and-play path on the simulated machine.
#include <filesystem>
#include <functional>

#include "engine/pnp.h"
#include "engine_fixture.h"

namespace {
using namespace plat;
using engine_tests::EngineTest;

const std::u16string kInf = u"C:\\Delivery\\VT39\\X64\\VT39.inf";
const std::u16string kP80 = u"USBPRINT\\HalvorinP-80D3B4";

class InfReader : public EngineTest {
protected:
    std::vector<std::u16string> Manufacturers(const std::string& bytes) {
        engine::CInfFileHelper inf(m.platform());
        inf.OpenBytes(bytes);
        std::vector<std::u16string> list = {u"stale"};
        found = inf.GetManufacturerEntries(list);
        return list;
    }
    std::vector<std::u16string> Models(const std::string& bytes) {
        engine::CInfFileHelper inf(m.platform());
        inf.OpenBytes(bytes);
        std::vector<std::u16string> list = {u"stale"};
        found = inf.GetModelHardwareIds(list);
        return list;
    }
    bool found = false;
};

TEST_F(InfReader, DeliveredInfGivesTheModelsOfTheArchitecture) {
    engine::CInfFileHelper inf(m.platform());
    m.AddFile(kInf, setupsim::StandardVt39Inf());
    ASSERT_TRUE(inf.Open(kInf));
    std::vector<std::u16string> list;
    EXPECT_TRUE(inf.GetManufacturerEntries(list));
    EXPECT_EQ(list, std::vector<std::u16string>{u"Halvorin_Tech,NTamd64"});
    EXPECT_TRUE(inf.GetModelHardwareIds(list));
    EXPECT_EQ(list, (std::vector<std::u16string>{u"USBPRINT\\HalvorinP-58C1A2", u"USBPRINT\\HalvorinP-80D3B4",
                                                 u"USBPRINT\\HalvorinT-108E5C6", u"USBPRINT\\HalvorinLP-420F7D8"}));
    EXPECT_TRUE(inf.GetModelHardwareIds(list)) << "each read rewinds";
    EXPECT_EQ(list.size(), 4u);
}

TEST_F(InfReader, SectionRules) {
    const std::string x64 =
        "[Version]\n"
        "[Manufacturer]\n"
        "  ; a comment\n"
        "\n"
        "\t%Mfg% =  Halvorin_Tech , NTamd64  \n"
        "no equals sign here\n"
        "Second=Other=More\n"
        "[Halvorin_Tech]\n"
        "\"32-bit\" = A.Install, USBPRINT\\ThirtyTwo\n"
        "[Halvorin_Tech.NTamd64]\n"
        "\"Two IDs\" = B.Install, ID1, ID2\n"
        "\"No ID\" = C.Install\n"
        ";\"Commented\" = D.Install, ID3\n"
        "\"Tail\"=E.Install,   ID4\t\r\n"
        "[Next]\n"
        "\"After\" = F.Install, ID5\n";
    EXPECT_EQ(Manufacturers(x64), (std::vector<std::u16string>{u"Halvorin_Tech , NTamd64", u"Other=More"}));
    EXPECT_TRUE(found);
    EXPECT_EQ(Models(x64), (std::vector<std::u16string>{u"ID1, ID2", u"ID4"}));
    m.system.nativeArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    EXPECT_EQ(Models(x64), std::vector<std::u16string>{u"USBPRINT\\ThirtyTwo"});
}

TEST_F(InfReader, MissingSectionsGiveEmptyListsAndFalse) {
    EXPECT_TRUE(Manufacturers("[Version]\n[Halvorin_Tech.NTamd64]\nx=y,z\n").empty());
    EXPECT_FALSE(found);
    EXPECT_TRUE(Models("[Manufacturer]\nx=y\n[Halvorin_Tech]\nx=y,ID\n").empty());
    EXPECT_FALSE(found) << "only the running architecture's section counts";
    EXPECT_TRUE(Manufacturers("").empty());
}

TEST_F(InfReader, EncodingsAndLineEnds) {
    const std::string ascii = "[Manufacturer]\r\nA=B\r\n[Halvorin_Tech.NTamd64]\r\nx = i, ID\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : ascii) utf16 += std::string{c, '\0'};
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"ANSI with CR LF", ascii},
        {"LF only, no final line end", "[Manufacturer]\nA=B\n[Halvorin_Tech.NTamd64]\nx = i, ID"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + ascii},
        {"UTF-16LE with a byte-order mark", utf16},
        {"GBK comment", "; \xC4\xAB\xB4\xA8\r\n" + ascii},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Manufacturers(c.bytes), std::vector<std::u16string>{u"B"}) << c.name;
        EXPECT_EQ(Models(c.bytes), std::vector<std::u16string>{u"ID"}) << c.name;
    }
}

TEST_F(InfReader, LongLinesCrossTheReadChunks) {
    std::string id(9000, 'Q');
    EXPECT_EQ(Models(std::string(5000, ';') + "\n[Halvorin_Tech.NTamd64]\nx=i," + id + "\n"),
              std::vector<std::u16string>{FromUtf8(id)});
}

TEST_F(InfReader, OpensAFileOthersHoldForWriting) {
    m.AddFile(kInf, setupsim::StandardVt39Inf());
    HANDLE writer = m.CreateFileW(kInf.c_str(), GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    engine::CInfFileHelper inf(m.platform());
    EXPECT_TRUE(inf.Open(kInf));
    m.CloseHandle(writer);
    EXPECT_FALSE(inf.Open(u"C:\\nowhere.inf"));
}

TEST(MatchHardwareId, Rule) {
    struct Case {
        std::vector<std::u16string> inf;
        std::u16string device;
        bool match;
    } cases[] = {
        {{u"USBPRINT\\ABC"}, u"USBPRINT\\ABC", true},
        {{u"USBPRINT\\ABC"}, u"usbprint\\abc&rev01", true},
        {{u"USBPRINT\\ABC"}, u"USBPRINT\\ABC_2", true},
        {{u"USBPRINT\\ABC"}, u"USBPRINT\\ABC-2", true},
        {{u"USBPRINT\\ABC"}, u"USBPRINT\\ABC#2", true},
        {{u"USBPRINT\\ABC"}, u"USBPRINT\\ABCD", false},
        {{u"USBPRINT\\ABC"}, u"USBPRINT\\AB", false},
        {{u"ID1, ID2"}, u"ID1", false},
        {{u"ID1, ID2"}, u"ID1, ID2", true},
        {{u"XYZ", u"USBPRINT\\ABC"}, u"USBPRINT\\ABC&1", true},
        {{}, u"USBPRINT\\ABC", false},
    };
    for (const auto& c : cases) EXPECT_EQ(engine::MatchHardwareId(c.inf, c.device), c.match) << ToUtf8(c.device);
}

// The plug-and-play path as the native program on 64-bit Windows runs it.
class Pnp : public EngineTest {
protected:
    void SetUp() override {
        m.SetArchitecture(PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64);
        setupsim::AddPackage(m, {});
    }
    int Device(const std::u16string& id, std::vector<std::u16string> ids, DWORD updateError = 0) {
        sim::SimDevice d;
        d.instanceId = id;
        d.className = u"Printer";
        d.classGuid = GUID_DEVCLASS_PRINTER;
        d.hardwareIds = std::move(ids);
        d.driverUpdateError = updateError;
        return m.devices.AddDevice(d);
    }
};

TEST_F(Pnp, LaterOfTwoMatchingDevicesWins) {
    Device(u"USB\\VID_1\\1", {u"USBPRINT\\HalvorinP-80D3B4&REV1"});
    Device(u"USB\\VID_2\\1", {});   // no hardware-ID property
    Device(u"USB\\VID_3\\1", {u"USBPRINT\\HALVORINT-108E5C6", u"USBPRINT\\OTHER"});
    Device(u"USB\\VID_4\\1", {u"USBPRINT\\Unrelated"});
    engine::CPnpInstaller pnp(env);
    ASSERT_TRUE(pnp.FindMatchingDevice(kInf));
    EXPECT_EQ(pnp.matchedHardwareId(), u"USBPRINT\\HALVORINT-108E5C6");
    EXPECT_EQ(pnp.infPath(), kInf);
}

TEST_F(Pnp, NoMatchWithoutTheSectionsOrTheClass) {
    Device(u"USB\\VID_1\\1", {kP80});
    struct Case {
        const char* name;
        std::function<void(sim::Machine&)> setUp;
    } cases[] = {
        {"no [Manufacturer]", [](sim::Machine& m) { m.AddFile(kInf, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n[Halvorin_Tech.NTamd64]\r\nx=i,USBPRINT\\HalvorinP-80D3B4\r\n"); }},
        {"no models for this architecture", [](sim::Machine& m) { m.system.nativeArchitecture = PROCESSOR_ARCHITECTURE_INTEL; m.AddFile(kInf, "[Version]\r\nClass=Printer\r\n[Manufacturer]\r\nA=B\r\n[Halvorin_Tech.NTamd64]\r\nx=i,USBPRINT\\HalvorinP-80D3B4\r\n"); }},
        {"INF missing", [](sim::Machine& m) { std::filesystem::remove(m.HostPath(kInf)); }},
        {"class unreadable", [](sim::Machine& m) { m.FailCall("SetupDiGetINFClassW", 0xE0000206); }},
        {"no device set", [](sim::Machine& m) { m.FailCall("SetupDiGetClassDevsW", ERROR_ACCESS_DENIED); }},
    };
    for (const auto& c : cases) {
        engine_testing::SimEnv fresh;
        setupsim::AddPackage(fresh.machine, {});
        sim::SimDevice d;
        d.instanceId = u"USB\\VID_1\\1";
        d.hardwareIds = {kP80};
        fresh.machine.devices.AddDevice(d);
        c.setUp(fresh.machine);
        engine::CPnpInstaller pnp(fresh.env);
        EXPECT_FALSE(pnp.FindMatchingDevice(kInf)) << c.name;
    }
}

TEST_F(Pnp, DriverUpdateOnThePresentDevice) {
    int d = Device(u"USB\\VID_6B1F&PID_0080\\1", {kP80});
    m.devices.devices[d].queuePort = u"USB001";
    EXPECT_TRUE(engine::InstallByPlugAndPlay(env, 0));
    EXPECT_EQ(m.devices.devices[d].driverInf, kInf);
    EXPECT_NE(m.spooler.FindPrinter(u"Halvorin P-80"), nullptr) << "the class installer made the queue";
    EXPECT_EQ(EventsStarting("cursor"), (std::vector<std::string>{"cursor 32514", "cursor 0"}));
    EXPECT_TRUE(EventsStarting("device created").empty());
}

TEST_F(Pnp, TheShippedProgramIsRefusedOn64BitWindowsAndLeavesNoDevice) {
    m.SetArchitecture(PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL);
    Device(u"USB\\VID_6B1F&PID_0080\\1", {kP80});
    EXPECT_FALSE(engine::InstallByPlugAndPlay(env, 0));
    EXPECT_EQ(EventsStarting("driver update refused"),
              std::vector<std::string>{"driver update refused " + ToUtf8(kP80) + " error e0000235"});

    Device(u"USB\\VID_1\\2", {u"usbprint\\halvorinp-80d3b4"});   // no exact ID: the root-device branch
    m.devices.devices[0].present = false;
    engine::CDriverSetupHelper helper(env);
    EXPECT_FALSE(helper.UpdateDriverForHardwareId(kInf, kP80));
    EXPECT_EQ(m.GetLastError(), ERROR_IN_WOW64);
    for (const auto& d : m.devices.devices) EXPECT_FALSE(d.rootEnumerated && d.registered) << ToUtf8(d.instanceId);
}

TEST_F(Pnp, FailedUpdateOnAPresentDeviceMakesNoRootDevice) {
    Device(u"USB\\VID_6B1F&PID_0080\\1", {kP80}, 0xE0000219);
    EXPECT_FALSE(engine::InstallByPlugAndPlay(env, 0));
    EXPECT_TRUE(EventsStarting("device created").empty());
}

TEST_F(Pnp, RootDeviceWhenNoDeviceListsTheIdExactly) {
    Device(u"USB\\VID_1\\1", {u"usbprint\\halvorinp-80d3b4"});   // the same ID but for case
    engine::CDriverSetupHelper helper(env);
    EXPECT_TRUE(helper.UpdateDriverForHardwareId(kInf, kP80));
    EXPECT_EQ(EventsStarting("device"),
              (std::vector<std::string>{"device created ROOT\\PRINTER\\0000",
                                        "device registered ROOT\\PRINTER\\0000 hardware IDs [" + ToUtf8(kP80) + "]"}));
    const sim::SimDevice& root = m.devices.devices.back();
    EXPECT_TRUE(root.rootEnumerated && root.registered && root.present);
    EXPECT_EQ(root.driverInf, kInf);
}

TEST_F(Pnp, RootDeviceRemovedAgainWhenTheInstallFails) {
    m.FailCall("UpdateDriverForPlugAndPlayDevicesW", ERROR_NO_DRIVER_SELECTED);
    engine::CDriverSetupHelper helper(env);
    EXPECT_FALSE(helper.InstallRootDevice(kInf, kP80));
    EXPECT_EQ(m.GetLastError(), ERROR_NO_DRIVER_SELECTED) << "the update's error stays the last error";
    EXPECT_EQ(EventsStarting("device"),
              (std::vector<std::string>{"device created ROOT\\PRINTER\\0000",
                                        "device registered ROOT\\PRINTER\\0000 hardware IDs [" + ToUtf8(kP80) + "]",
                                        "device removed ROOT\\PRINTER\\0000"}));
    EXPECT_FALSE(m.devices.devices.back().present);
}

TEST_F(Pnp, RootDeviceStepsThatFailLeaveNoDeviceBehind) {
    for (const char* op : {"SetupDiGetINFClassW", "SetupDiCreateDeviceInfoList", "SetupDiCreateDeviceInfoW",
                           "SetupDiSetDeviceRegistryPropertyW", "SetupDiCallClassInstaller"}) {
        engine_testing::SimEnv fresh;
        setupsim::AddPackage(fresh.machine, {});
        fresh.machine.FailCall(op, ERROR_ACCESS_DENIED);
        engine::CDriverSetupHelper helper(fresh.env);
        EXPECT_FALSE(helper.InstallRootDevice(kInf, kP80)) << op;
        for (const auto& d : fresh.machine.devices.devices) EXPECT_FALSE(d.registered) << op;
        EXPECT_EQ(fresh.machine.CallCount("UpdateDriverForPlugAndPlayDevicesW"), 0) << op;
    }
    engine::CDriverSetupHelper helper(env);
    EXPECT_FALSE(helper.InstallRootDevice(kInf, std::u16string(2000, u'X'))) << "an ID that does not fit";
}

TEST_F(Pnp, PresenceIsExactAndSkipsDevicesWithoutIds) {
    Device(u"A", {});
    Device(u"B", {u"OTHER", kP80});
    engine::CDriverSetupHelper helper(env);
    EXPECT_TRUE(helper.IsHardwareIdPresent(kP80));
    EXPECT_EQ(m.GetLastError(), 0u);
    EXPECT_FALSE(helper.IsHardwareIdPresent(u"usbprint\\halvorinp-80d3b4"));
    // Device A's size query finds no property; device B's fails otherwise.
    m.FailCall("SetupDiGetDeviceRegistryPropertyW", ERROR_ACCESS_DENIED, m.CallCount("SetupDiGetDeviceRegistryPropertyW") + 2);
    EXPECT_FALSE(helper.IsHardwareIdPresent(kP80)) << "another error ends the search";
    EXPECT_EQ(m.GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Pnp, InstallOnDeviceWithoutAMatchTakesTheInfsFirstId) {
    engine::CPnpInstaller pnp(env);
    EXPECT_FALSE(pnp.FindMatchingDevice(kInf));
    EXPECT_TRUE(pnp.InstallOnDevice()) << "a root device for the first model";
    EXPECT_EQ(pnp.matchedHardwareId(), u"USBPRINT\\HalvorinP-58C1A2");
}

TEST_F(Pnp, MissingInfFailsBeforeAnyDeviceWork) {
    engine::CDriverSetupHelper helper(env);
    EXPECT_FALSE(helper.UpdateDriverForHardwareId(u"C:\\nowhere.inf", kP80));
    EXPECT_FALSE(helper.UpdateDriverForHardwareId(u"C:\\Delivery", kP80)) << "a folder is no INF";
    EXPECT_EQ(m.CallCount("SetupDiGetClassDevsW"), 0);
}

}  // namespace
