// Catalogue files of any bytes through the simulated INI reader and the catalogue object.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "detect/catalog.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"

namespace {
struct World {
    sim::TempDir dir;
    sim::Machine machine{dir.path()};
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World* w = new World;
    const std::u16string path = u"C:\\Delivery\\PrinterInfo.ini";
    w->machine.AddFile(path, std::string(reinterpret_cast<const char*>(data), size));
    plat::Platform p = w->machine.platform();

    detect::CIniReader ini(p);
    ini.SetPath(path);
    if (ini.ReadString(u"VID_PID", u"VID").size() >= detect::kValueUnits) __builtin_trap();
    ini.ReadString(u" vid_pid ", u"PID");
    for (plat::DWORD units : {1u, 2u, 3u, 5u}) {
        std::vector<char16_t> buffer(units, u'#');
        plat::DWORD n = p.files.GetPrivateProfileStringW(u"s", u"0", u"\"d\" ", buffer.data(), units, path.c_str());
        if (n >= units || buffer[n] != 0) __builtin_trap();
    }
    p.files.GetPrivateProfileIntW(u"热敏打印机", u"Counts", 7, path.c_str());

    detect::CPrinterCatalog catalog(p, path);
    std::vector<std::u16string> table;
    size_t n = catalog.ReadModels(detect::kModelSection, table);
    if (n > detect::kMaxModels || n != table.size()) __builtin_trap();
    for (const auto& name : table)
        if (name.size() >= detect::kModelNameUnits) __builtin_trap();
    return 0;
}
