// The USB port number: which interfaces count, the registry key they are read from, and the
// rule that a matching interface without its number drops what was found before.
#include <optional>

#include "detect/usb_port.h"
#include "detect_fixture.h"

namespace {
using namespace plat;
using detect_test::DetectFixture;
using detect_testing::AddUsbPrinter;
using detect_testing::UsbPrinter;

TEST(UsbParametersKey, RegistryFormOfDevicePaths) {
    const std::u16string nt =
        u"\\\\?\\usb#vid_0000&pid_0000#5&1a2b3c&0&1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    EXPECT_EQ(detect::UsbParametersKey(nt, false),
              u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
              u"\\##?#usb#vid_0000&pid_0000#5&1a2b3c&0&1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters");
    // Windows 9x writes its paths with "\.\"; each form replaces only its own pair.
    const std::u16string old = u"\\\\.\\usb#vid_0000&pid_0000#1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    EXPECT_EQ(detect::UsbParametersKey(old, true),
              u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
              u"\\##.#usb#vid_0000&pid_0000#1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters");
    EXPECT_NE(detect::UsbParametersKey(old, false).find(u"}\\\\.\\usb#"), std::u16string::npos);
    EXPECT_NE(detect::UsbParametersKey(nt, true).find(u"}\\\\?\\usb#"), std::u16string::npos);
    // Every occurrence, not only the first.
    EXPECT_NE(detect::UsbParametersKey(u"\\\\?\\a\\?\\b", false).find(u"\\##?#a##?#b\\#"), std::u16string::npos);
}

struct PortRow {
    const char* name;
    std::u16string filter;
    std::vector<UsbPrinter> printers;   // in enumeration order
    DWORD port;
};

class UsbPortNumber : public DetectFixture, public testing::WithParamInterface<PortRow> {};

TEST_P(UsbPortNumber, Table) {
    const PortRow& r = GetParam();
    for (const auto& printer : r.printers) AddUsbPrinter(m, printer);
    detect::DetectionState state;
    state.g_usbIdFilter = r.filter;
    EXPECT_EQ(detect::GetUsbPortNumber(p, state), r.port);
    EXPECT_TRUE(EventsStarting({"message box"}).empty());
}

const std::u16string kOurs = u"vid_6b1f&pid_0001", kTheirs = u"vid_04b8&pid_0202";
INSTANTIATE_TEST_SUITE_P(
    Printers, UsbPortNumber,
    testing::Values(
        PortRow{"TwoOfOursTheLaterWins", kOurs, {{kOurs, u"a", 2, {}}, {kOurs, u"b", 5, {}}}, 5},
        PortRow{"UpperCaseFilterMatchesNothing", u"VID_6B1F&PID_0001", {{kOurs, u"a", 2, {}}}, 0},
        PortRow{"EmptyFilterTakesTheLast", u"", {{kOurs, u"a", 2, {}}, {kTheirs, u"b", 7, {}}}, 7},
        PortRow{"OthersAreSkipped", kOurs, {{kOurs, u"a", 3, {}}, {kTheirs, u"b", 7, {}}}, 3},
        PortRow{"MissingKeyAfterAFoundOne", kOurs, {{kOurs, u"a", 3, {}}, {kOurs, u"b", std::nullopt, {}}}, 0},
        PortRow{"MissingKeyOfAnotherMakerIsNotLooked", kOurs, {{kOurs, u"a", 3, {}}, {kTheirs, u"b", std::nullopt, {}}}, 3},
        PortRow{"MissingKeyStopsTheWalk", kOurs, {{kOurs, u"a", std::nullopt, {}}, {kOurs, u"b", 4, {}}}, 0},
        PortRow{"StoredZero", kOurs, {{kOurs, u"a", 0, {}}}, 0},
        PortRow{"CatalogueFilterWithEmptyVid", u"&pid_0002", {{u"vid_1234&pid_0002", u"a", 9, {}}}, 9},
        PortRow{"NoPrinter", kOurs, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetectFixture, UsbPortValueMustBeFourBytes) {
    int d = AddUsbPrinter(m, UsbPrinter{kOurs, u"a", std::nullopt, {}});
    std::u16string key = detect_testing::UsbParametersKeyOf(m.devices.devices[static_cast<size_t>(d)].interfaces[0].path);
    detect::DetectionState state;
    m.registry.AddKey(key);   // the key without the value
    EXPECT_EQ(detect::GetUsbPortNumber(p, state), 0u);
    m.registry.keys[ToUpper(key)][u"PORT NUMBER"] = sim::RegistryValue{REG_BINARY, std::string("\x03\x00", 2)};
    EXPECT_EQ(detect::GetUsbPortNumber(p, state), 0u);
    m.registry.SetDword(key, u"Port Number", 6);
    EXPECT_EQ(detect::GetUsbPortNumber(p, state), 6u);
}

TEST_F(DetectFixture, UsbPortOnWindows9xUsesItsKeyForm) {
    m.system.platformId = VER_PLATFORM_WIN32_WINDOWS;
    sim::SimDevice d;
    d.instanceId = u"USB\\VID_6B1F&PID_0001\\1";
    std::u16string path = u"\\\\.\\usb#vid_6b1f&pid_0001#1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    d.interfaces.push_back({GUID_DEVINTERFACE_USBPRINT, path});
    m.devices.AddDevice(d);
    m.registry.SetDword(std::u16string(detect_testing::kUsbClassKey) + u"\\##.#" + path.substr(4) +
                            u"\\#\\Device Parameters",
                        u"Port Number", 8);
    EXPECT_EQ(detect::GetUsbPortNumber(p, detect::DetectionState{}), 8u);
}

TEST_F(DetectFixture, UsbPortSetUnavailableIsShown) {
    AddUsbPrinter(m, UsbPrinter{kOurs, u"a", 2, {}});
    m.FailCall("SetupDiGetClassDevsW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(detect::GetUsbPortNumber(p, detect::DetectionState{}), 0u);
    EXPECT_EQ(EventsStarting({"message box"}),
              std::vector<std::string>{"message box \"Setup\" type 16: 无法获取指定设备信息集!"});
}

TEST(DetectionState, StartsWithTheMakersId) { EXPECT_EQ(detect::DetectionState{}.g_usbIdFilter, u"vid_6b1f&pid_0001"); }

}  // namespace
