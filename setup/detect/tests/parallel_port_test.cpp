// The parallel port: which "Ports" device is taken, the port name from the friendly name or
// from the maker's child device, the rescan attempts, and every log entry of a failure.
#include <functional>
#include <optional>

#include "detect/parallel_port.h"
#include "detect_fixture.h"

namespace {
using namespace plat;
using detect_test::DetectFixture;
using detect_testing::AddParallelPrinter;
using detect_testing::AddPort;
using detect_testing::Port;

const Port kCom1{u"Communications Port (COM1)", u"COM1", u"ACPI\\PNP0501\\1", false};
const Port kLpt1{};

struct Child {
    std::u16string instanceId;
    bool appearsOnRescan = false;
    std::optional<DWORD> sizeOverride = std::nullopt;
};
struct NameRow {
    const char* name;
    std::vector<Port> ports;
    std::vector<Child> children;   // below the last port
    std::u16string result;
    int rescans;                   // re-enumerations of the port's node
};

class ParallelPortName : public DetectFixture, public testing::WithParamInterface<NameRow> {};

TEST_P(ParallelPortName, Table) {
    const NameRow& r = GetParam();
    int last = -1;
    for (const auto& port : r.ports) last = AddPort(m, port);
    for (const auto& child : r.children) {
        int c = AddParallelPrinter(m, last, child.instanceId, std::nullopt, child.appearsOnRescan);
        m.devices.devices[static_cast<size_t>(c)].instanceIdSizeOverride = child.sizeOverride;
    }
    EXPECT_EQ(ToUtf8(detect::FindParallelPortName(env, u"LPT")), ToUtf8(r.result));
    EXPECT_EQ(EventsStarting({"rescan"}).size(), static_cast<size_t>(r.rescans));
    EXPECT_EQ(EventsStarting({"sleep"}).size(), static_cast<size_t>(r.rescans == 3 ? 3 : 0));
    EXPECT_TRUE(LogEntries().empty());
}

const std::u16string kOursOnLpt2 = u"LPTENUM\\HalvorinP-80\\5&2f&0&LPT2";
INSTANTIATE_TEST_SUITE_P(
    Ports, ParallelPortName,
    testing::Values(
        NameRow{"OnlyTheLptPortNoDevice", {kCom1, kLpt1}, {}, u"LPT1", 3},
        NameRow{"TailOfTheMakersInstanceId", {kLpt1}, {{kOursOnLpt2}}, u"LPT2", 1},
        NameRow{"BrandInUpperCaseOnly", {kLpt1}, {{u"LPTENUM\\HALVORINP-80\\5&2f&0&LPT2"}}, u"LPT1", 3},
        NameRow{"InstanceIdWithoutAmpersand", {kLpt1}, {{u"LPTENUM\\HalvorinP-80\\LPT2"}}, u"", 1},
        NameRow{"TailWithASeparator", {kLpt1}, {{u"LPTENUM\\Halvorin&P\\LPT2"}}, u"", 1},
        NameRow{"NameWithoutParenthesis", {Port{u"LPT1 port", u"LPT1", u"ACPI\\PNP0401\\2"}}, {}, u"LPT1", 3},
        NameRow{"ParenthesisAtTheEnd", {Port{u"Printer Port (LPT", u"LPT", u"ACPI\\PNP0401\\3"}}, {}, u"LPT", 3},
        NameRow{"NoLptPort", {kCom1}, {}, u"", 0},
        NameRow{"FoundAfterTheRescan", {kLpt1}, {{kOursOnLpt2, true}}, u"LPT2", 1},
        NameRow{"SecondSiblingIsOurs", {kLpt1}, {{u"LPTENUM\\Other\\1&0&LPT1"}, {kOursOnLpt2}}, u"LPT2", 1},
        NameRow{"UnreadableSiblingPassedOver", {kLpt1},
                {{u"LPTENUM\\Other\\1&0&LPT1"}, {u"LPTENUM\\Odd\\1&0&LPT1", false, 5}, {kOursOnLpt2}}, u"LPT2", 1},
        NameRow{"UnreadableFirstChildEndsEachAttempt", {kLpt1}, {{u"LPTENUM\\Odd\\1&0&LPT1", false, 5}, {kOursOnLpt2}},
                u"LPT1", 3},
        NameRow{"InstanceIdLengthBeyondAnyId", {kLpt1}, {{kOursOnLpt2, false, 0xFFFFFFFFu}}, u"LPT1", 3},
        NameRow{"InstanceIdLengthLongerThanTheId", {kLpt1}, {{kOursOnLpt2, false, 150}}, u"LPT2", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetectFixture, FriendlyNamesOfOddLengthsAreReadOnlyAsFarAsTheyGo) {
    auto bytes = [](std::u16string_view text) {
        std::string out;
        for (char16_t c : text) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        return out;
    };
    // No terminator and a stray odd byte; a name too long for the 260-byte buffer is passed over.
    int tooLong = AddPort(m, Port{u"Printer Port (LPT9) " + std::u16string(130, u'x'), u"LPT9", u"ACPI\\PNP0401\\9"});
    int odd = AddPort(m, kLpt1);
    m.devices.devices[static_cast<size_t>(odd)].friendlyNameBytes = bytes(u"Printer Port (LPT1)") + "L";
    (void)tooLong;
    EXPECT_EQ(detect::FindParallelPortName(env, u"LPT"), u"LPT1");
    EXPECT_EQ(EventsStarting({"rescan"}), (std::vector<std::string>(3, "rescan ACPI\\PNP0401\\1")));
}

TEST_F(DetectFixture, OpenParallelPortOpensTheNamedPort) {
    int port = AddPort(m, kLpt1);
    AddParallelPrinter(m, port, u"LPTENUM\\HalvorinP-80\\5&2f&0&LPT1", std::string("MFG:Halvorin;MDL:P-80;"));
    HANDLE h = detect::OpenParallelPort(env, u"LPT");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(EventsStarting({"open device"}), std::vector<std::string>{"open device \\\\.\\LPT1"});
    m.CloseHandle(h);

    engine_testing::SimEnv none;
    EXPECT_EQ(detect::OpenParallelPort(none.env, u"LPT"), INVALID_HANDLE_VALUE);
    for (const auto& e : none.machine.Events()) EXPECT_EQ(e.rfind("open device", 0), std::string::npos) << e;
}

TEST_F(DetectFixture, RescanStopsAtTheInterfaceThatFindsTheDevice) {
    // Two parallel ports named LPT1 in their friendly names: the later one's device is kept.
    int a = AddPort(m, Port{u"Printer Port (LPT1)", u"", u"ACPI\\PNP0401\\A"});
    AddParallelPrinter(m, a, u"LPTENUM\\HalvorinA\\1&0&LPT1", std::nullopt);
    int b = AddPort(m, Port{u"Printer Port (LPT1)", u"LPT1", u"ACPI\\PNP0401\\B"});
    AddParallelPrinter(m, b, u"LPTENUM\\HalvorinB\\1&0&LPT3", std::nullopt);
    std::u16string deviceId;
    detect::RescanParallelPort(env, u"LPT1", deviceId);
    EXPECT_EQ(deviceId, u"LPTENUM\\HalvorinB\\1&0&LPT3");
    EXPECT_EQ(EventsStarting({"rescan", "sleep"}),
              (std::vector<std::string>{"rescan ACPI\\PNP0401\\A", "rescan ACPI\\PNP0401\\B"}));

    // A childless port after one that gave the device: one rescan, no further attempts.
    engine_testing::SimEnv e;
    int first = AddPort(e.machine, Port{u"Printer Port (LPT1)", u"", u"ACPI\\PNP0401\\A"});
    AddParallelPrinter(e.machine, first, u"LPTENUM\\HalvorinA\\1&0&LPT1", std::nullopt);
    AddPort(e.machine, Port{u"Printer Port (LPT1)", u"LPT1", u"ACPI\\PNP0401\\B"});
    deviceId.clear();
    detect::RescanParallelPort(e.env, u"LPT1", deviceId);
    EXPECT_EQ(deviceId, u"LPTENUM\\HalvorinA\\1&0&LPT1");
    std::vector<std::string> walk;
    for (const auto& ev : e.machine.Events())
        if (ev.rfind("rescan", 0) == 0 || ev.rfind("sleep", 0) == 0) walk.push_back(ev);
    EXPECT_EQ(walk, (std::vector<std::string>{"rescan ACPI\\PNP0401\\A", "rescan ACPI\\PNP0401\\B"}));
}

// Every failure of the walk, with the entries it writes and the name that results.
struct FailureRow {
    const char* name;
    std::function<void(sim::Machine&, int port)> inject;
    std::vector<std::string> entries;   // message parts; "<E>" stands for " failed with error N: text"
    std::u16string result;
};

class ParallelFailures : public DetectFixture, public testing::WithParamInterface<FailureRow> {};

TEST_P(ParallelFailures, LogEntries) {
    const FailureRow& r = GetParam();
    int port = AddPort(m, kLpt1);
    AddParallelPrinter(m, port, u"LPTENUM\\HalvorinP-80\\5&2f&0&LPT2", std::nullopt);
    r.inject(m, port);
    EXPECT_EQ(ToUtf8(detect::FindParallelPortName(env, u"LPT")), ToUtf8(r.result));
    // Entries with the system error end in one shared error and its text; both entries of one
    // failure carry the same.
    std::vector<std::string> got = LogEntries();
    std::string error;
    for (auto& entry : got) {
        size_t at = entry.find(" failed with error ");
        if (at == std::string::npos) at = entry.find(" succeed:  ");
        if (at == std::string::npos) continue;
        if (error.empty()) error = entry.substr(at);
        EXPECT_EQ(entry.substr(at), error) << entry;
        entry = entry.substr(0, at) + "<E>";
    }
    EXPECT_EQ(got, r.entries);
}

void Fail(sim::Machine& m, const char* op, DWORD error, int occurrence = 1, int times = 1) {
    m.FailCall(op, error, occurrence, times);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParallelFailures,
    testing::Values(
        FailureRow{"PortsClassUnknown", [](sim::Machine& m, int) { Fail(m, "SetupDiClassGuidsFromNameW", 13); },
                   {"获取端口GUID失败！"}, u""},
        FailureRow{"PortsSetUnavailable", [](sim::Machine& m, int) { Fail(m, "SetupDiGetClassDevsW", 5); },
                   {"无法获取指定设备信息集!"}, u""},
        FailureRow{"ParallelSetUnavailable", [](sim::Machine& m, int) { Fail(m, "SetupDiGetClassDevsW", 5, 2); },
                   {"SetupDiGetClassDevs!<E>"}, u"LPT1"},
        FailureRow{"DetailUnreadable",
                   [](sim::Machine& m, int) { Fail(m, "SetupDiGetDeviceInterfaceDetailW", 87, 1, 0); },
                   {"SetupDiGetDeviceInterfaceDetail<E>"}, u"LPT1"},
        FailureRow{"FriendlyNameOfTheInterfaceUnreadable",
                   [](sim::Machine& m, int) { Fail(m, "SetupDiGetDeviceRegistryPropertyW", 13, 2); },
                   {"SetupDiGetDeviceRegistryProperty<E>"}, u"LPT1"},
        FailureRow{"NodeNotLocated",
                   [](sim::Machine& m, int port) {
                       m.devices.devices[static_cast<size_t>(port)].locateResult = CR_NO_SUCH_DEVNODE;
                   },
                   {"CM_Locate_DevNode   failed:   d\n <E>", "ScanForHardwareChanges Failure<E>"}, u"LPT1"},
        FailureRow{"NodeNotReenumerated",
                   [](sim::Machine& m, int port) {
                       m.devices.devices[static_cast<size_t>(port)].reenumerateResult = CR_FAILURE;
                   },
                   {"CM_Reenumerate_DevNode   failed:   13\n <E>", "ScanForHardwareChanges Failure<E>"}, u"LPT1"},
        FailureRow{"NodeNotReenumeratedOnTheSecondAttempt",
                   [](sim::Machine& m, int port) {
                       m.devices.devices[static_cast<size_t>(port) + 1].instanceId = u"LPTENUM\\Other\\1&0&LPT1";
                       Fail(m, "CM_Reenumerate_DevNode", 0x1F, 2);
                   },
                   {"CM_Reenumerate_DevNode   failed:   1f\n <E>", "ScanForHardwareChanges Failure<E>"}, u"LPT1"},
        // Without the port node's instance ID the attempts go on without a rescan.
        FailureRow{"PortInstanceIdUnreadable",
                   [](sim::Machine& m, int port) {
                       m.devices.devices[static_cast<size_t>(port)].instanceIdSizeOverride = 0xFFFFFFFFu;
                   },
                   {}, u"LPT2"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
