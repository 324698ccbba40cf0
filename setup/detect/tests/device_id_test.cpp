// The 1284 device ID: field extraction, the byte-to-text step, and the USB and parallel queries
// on replies of every shape a device may send.
#include <optional>

#include "detect/device_id.h"
#include "detect_fixture.h"

namespace {
using namespace plat;
using detect::GetDeviceIdField;
using detect_test::DetectFixture;
using detect_testing::AddUsbPrinter;
using detect_testing::UsbPrinter;

TEST(GetDeviceIdField, Table) {
    struct Row {
        std::u16string text, key, value;
    } rows[] = {
        {u"MFG:M;MDL:  P-1 ;CMD:X;", u"MFG:", u"M"},
        {u"MFG:M;MDL:  P-1 ;CMD:X;", u"MDL:", u"P-1 "},   // leading blanks go, the trailing one stays
        {u"MFG:M;MDL:;", u"MDL:", u""},
        {u"MFG:M;MDL:P-1", u"MDL:", u""},                  // no ";" after the value
        {u"mfg:M;mdl:P-1;", u"MDL:", u""},                 // keys are upper case, as written
        {u"DES:see MDL:Q;MDL:P-1;", u"MDL:", u"Q"},        // the first occurrence, wherever it is
        {u"MANUFACTURER:M;MODEL:P-1;", u"MFG:", u""},      // the long key forms are not read
        {u"MDL:\t\u3000\u00A0 P-2;", u"MDL:", u"P-2"},     // every wide white space in front
        {u"MDL:   ;", u"MDL:", u""},
        {u"MDL:", u"MDL:", u""},
        {u"", u"MDL:", u""},
        {u"x;A:v;", u";A:", u"v"},                          // the ";" is looked for after the key
        {u"MDL:P-1;", u"", u""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ToUtf8(GetDeviceIdField(r.text, r.key)), ToUtf8(r.value)) << ToUtf8(r.text) << " / " << ToUtf8(r.key);
}

class DeviceIdText : public DetectFixture {};

TEST_F(DeviceIdText, StopsAtTheCountAndTheFirstNul) {
    struct Row {
        std::string bytes;
        size_t count;
        std::u16string text;
    } rows[] = {
        {std::string("MFG:M;\0MDL:X;", 13), 13, u"MFG:M;"},
        {std::string("\0MFG:M;", 7), 7, u""},
        {"MFG:A;MDL:B;", 6, u"MFG:A;"},                  // bytes after the count are not read
        {"MFG:\xC4\xAB\xB4\xA8;", 9, u"MFG:墨川;"},    // code page 936
        {"MFG:M;", 0, u""},
    };
    for (const Row& r : rows) {
        // A heap copy of exactly `count` bytes, so that any read past it is caught.
        std::vector<char> exact(r.bytes.begin(), r.bytes.begin() + static_cast<long>(r.count));
        EXPECT_EQ(ToUtf8(detect::DeviceIdBytesToText(m, exact.data(), exact.size())), ToUtf8(r.text));
    }
    // Bytes the code page cannot convert become default characters, never a read past the end.
    std::vector<char> bad = {'M', 'F', 'G', ':', '\x81', ';', '\xFF', '\x80'};
    std::u16string text = detect::DeviceIdBytesToText(m, bad.data(), bad.size());
    EXPECT_LE(text.size(), bad.size());
    EXPECT_EQ(text.substr(0, 4), u"MFG:");
}

// The USB query on one printer's reply. "keep" marks out-parameters the query must not touch.
struct UsbRow {
    const char* name;
    std::optional<std::string> reply;   // the whole reply, length bytes included; none: fails
    DWORD countOverride;
    std::u16string model, manufacturer;
};

class UsbQuery : public DetectFixture, public testing::WithParamInterface<UsbRow> {};

TEST_P(UsbQuery, Reply) {
    const UsbRow& r = GetParam();
    int d = AddUsbPrinter(m, UsbPrinter{});
    m.devices.devices[static_cast<size_t>(d)].usbReply = r.reply;
    m.devices.devices[static_cast<size_t>(d)].replyCountOverride = r.countOverride;
    std::u16string model = u"keep", manufacturer = u"keep";
    detect::ReadUsbPrinterModel(p, model, manufacturer);
    EXPECT_EQ(ToUtf8(model), ToUtf8(r.model));
    EXPECT_EQ(ToUtf8(manufacturer), ToUtf8(r.manufacturer));
    EXPECT_EQ(EventsStarting({"open device"}).size(), 1u);
}

const std::string kId = "MFG:M;MDL:P-1;CMD:X;CLS";
INSTANTIATE_TEST_SUITE_P(
    Replies, UsbQuery,
    testing::Values(UsbRow{"LengthBytesNotText", detect_testing::UsbReply(kId), 0, u"P-1", u"M"},
                    UsbRow{"WrongLengthPrefixIgnored", "\xFF\xFF" + kId, 0, u"P-1", u"M"},
                    UsbRow{"ZeroLengthPrefixIgnored", std::string(2, '\0') + kId, 0, u"P-1", u"M"},
                    UsbRow{"NoManufacturerNoModel", detect_testing::UsbReply("MDL:P-1;"), 0, u"", u""},
                    UsbRow{"OnlyLengthBytes", std::string("\x00\x02", 2), 0, u"", u""},
                    UsbRow{"OneByte", std::string(1, '\x01'), 0, u"", u""},
                    UsbRow{"FullReplyWithoutSeparator", detect_testing::UsbReply(std::string(510, 'A')), 0, u"", u""},
                    UsbRow{"FullReplyUnterminatedModel",
                           detect_testing::UsbReply("MFG:M;MDL:" + std::string(500, 'B')), 0, u"", u"M"},
                    UsbRow{"CountBeyondTheBuffer", detect_testing::UsbReply(kId), 600, u"keep", u"keep"},
                    UsbRow{"RequestFails", std::nullopt, 0, u"keep", u"keep"}),
    [](const auto& info) { return std::string(info.param.name); });

class UsbPrinters : public DetectFixture {};

TEST_F(UsbPrinters, TheLastEnumeratedIsAskedWhateverItsMaker) {
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 3, "MFG:Halvorin;MDL:P-80;"});
    AddUsbPrinter(m, UsbPrinter{u"vid_04b8&pid_0202", u"2", 4, "MFG:Other;MDL:X-9;"});
    std::u16string model, maker;
    detect::ReadUsbPrinterModel(p, model, maker);
    EXPECT_EQ(model, u"X-9");
    EXPECT_EQ(maker, u"Other");
}

TEST_F(UsbPrinters, NoHandleWithoutACleanEndOfTheWalk) {
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 3, "MFG:M;MDL:P-1;"});
    AddUsbPrinter(m, UsbPrinter{u"vid_6b1f&pid_0001", u"2", 4, "MFG:M;MDL:P-2;"});
    struct Row {
        const char* name;
        const char* op;
        DWORD error;
        int occurrence, times;
        const char16_t* model;
    } rows[] = {
        {"set unavailable", "SetupDiGetClassDevsW", ERROR_ACCESS_DENIED, 1, 1, u"keep"},
        {"walk ends with another error", "SetupDiEnumDeviceInterfaces", ERROR_GEN_FAILURE, 2, 1, u"keep"},
        // The last path unreadable (its size query and read): the one before is opened.
        {"last path unreadable", "SetupDiGetDeviceInterfaceDetailW", ERROR_GEN_FAILURE, 3, 2, u"P-1"},
        {"open fails", "CreateFileW", ERROR_ACCESS_DENIED, 1, 1, u"keep"},
    };
    for (const Row& r : rows) {
        engine_testing::SimEnv fresh;
        AddUsbPrinter(fresh.machine, UsbPrinter{u"vid_6b1f&pid_0001", u"1", 3, "MFG:M;MDL:P-1;"});
        AddUsbPrinter(fresh.machine, UsbPrinter{u"vid_6b1f&pid_0001", u"2", 4, "MFG:M;MDL:P-2;"});
        fresh.machine.FailCall(r.op, r.error, r.occurrence, r.times);
        std::u16string model = u"keep", maker;
        detect::ReadUsbPrinterModel(fresh.machine.platform(), model, maker);
        EXPECT_EQ(ToUtf8(model), ToUtf8(r.model)) << r.name;
    }
    std::u16string model = u"keep", maker;
    detect::ReadUsbPrinterModel(p, model, maker);
    EXPECT_EQ(model, u"P-2");
}

TEST_F(UsbPrinters, NoneAttachedLeavesTheOutParameters) {
    std::u16string model = u"keep", maker = u"keep";
    detect::ReadUsbPrinterModel(p, model, maker);
    EXPECT_EQ(model, u"keep");
    EXPECT_EQ(maker, u"keep");
    EXPECT_EQ(detect::OpenUsbPrinter(p), INVALID_HANDLE_VALUE);
}

// The parallel query on an opened port.
struct ParallelRow {
    const char* name;
    std::optional<std::string> reply;
    DWORD countOverride;
    int result;
    std::u16string model, manufacturer;
};

class ParallelQuery : public DetectFixture, public testing::WithParamInterface<ParallelRow> {};

TEST_P(ParallelQuery, Reply) {
    const ParallelRow& r = GetParam();
    int port = detect_testing::AddPort(m, {});
    m.devices.devices[static_cast<size_t>(port)].parallelReply = r.reply;
    m.devices.devices[static_cast<size_t>(port)].replyCountOverride = r.countOverride;
    HANDLE h = m.CreateFileW(u"\\\\.\\LPT1", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::u16string model = u"keep", manufacturer = u"keep";
    EXPECT_EQ(detect::ReadParallelPrinterModel(p, h, model, manufacturer), r.result);
    EXPECT_EQ(ToUtf8(model), ToUtf8(r.model));
    EXPECT_EQ(ToUtf8(manufacturer), ToUtf8(r.manufacturer));
    EXPECT_TRUE(m.CloseHandle(h)) << "the handle stays open for its owner";
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ParallelQuery,
    testing::Values(ParallelRow{"NoLengthBytes", std::string("MFG:M;MDL:P-1;"), 0, 0, u"P-1", u"M"},
                    ParallelRow{"FirstByteZero", std::string("\0MFG:M;MDL:P-1;", 15), 0, -1, u"keep", u"keep"},
                    ParallelRow{"NoManufacturer", std::string("MDL:P-1;"), 0, -1, u"keep", u"keep"},
                    ParallelRow{"ManufacturerWithoutModel", "MFG:M;MDL:" + std::string(502, 'x'), 0, 0, u"", u"M"},
                    ParallelRow{"FullReplyWithoutSeparator", std::string(512, 'A'), 0, -1, u"keep", u"keep"},
                    ParallelRow{"CountBeyondTheBuffer", std::string("MFG:M;MDL:P-1;"), 513, -1, u"keep", u"keep"},
                    ParallelRow{"RequestFails", std::nullopt, 0, -1, u"keep", u"keep"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceIdText, ParallelQueryOnNoHandle) {
    std::u16string model = u"keep", maker = u"keep";
    EXPECT_EQ(detect::ReadParallelPrinterModel(p, INVALID_HANDLE_VALUE, model, maker), -1);
    EXPECT_EQ(model, u"keep");
}

}  // namespace
