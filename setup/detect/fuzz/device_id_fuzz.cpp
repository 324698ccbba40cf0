// Raw device-ID replies: the text step, the field reader, and both queries on a simulated
// device that sends the bytes. Nothing may read past the reply.
#include <cstddef>
#include <cstdint>
#include <string>

#include "detect/device_id.h"
#include "detect_testing/machine_builders.h"
#include "sim/temp_dir.h"

namespace {
struct World {
    sim::TempDir dir;
    sim::Machine machine{dir.path()};
    int usb = detect_testing::AddUsbPrinter(machine, detect_testing::UsbPrinter{});
    int port = detect_testing::AddPort(machine, detect_testing::Port{});
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* w = new World;
    // The first byte picks a count the driver reports (0: the true one), the rest is the reply.
    if (size == 0) return 0;
    uint8_t mode = data[0];
    std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    if (reply.size() > detect::kReplyBytes) reply.resize(detect::kReplyBytes);

    std::u16string text = detect::DeviceIdBytesToText(w->machine, reply.data(), reply.size());
    std::u16string keys[] = {u"MFG:", u"MDL:", u";", u"", text.substr(0, 5)};
    for (const auto& key : keys) {
        std::u16string value = detect::GetDeviceIdField(text, key);
        if (value.size() > text.size()) __builtin_trap();
    }

    plat::DWORD count = mode < 0x80 ? 0 : static_cast<plat::DWORD>(mode - 0x80) * 8;
    auto& usb = w->machine.devices.devices[static_cast<size_t>(w->usb)];
    auto& port = w->machine.devices.devices[static_cast<size_t>(w->port)];
    usb.usbReply = reply;
    usb.replyCountOverride = count;
    port.parallelReply = reply;
    port.replyCountOverride = count;
    plat::Platform p = w->machine.platform();
    std::u16string model, maker;
    detect::ReadUsbPrinterModel(p, model, maker);
    plat::HANDLE h = p.files.CreateFileW(u"\\\\.\\LPT1", plat::GENERIC_READ | plat::GENERIC_WRITE, 0, plat::OPEN_EXISTING, 0);
    detect::ReadParallelPrinterModel(p, h, model, maker);
    p.files.CloseHandle(h);
    w->machine.ClearEvents();
    return 0;
}
