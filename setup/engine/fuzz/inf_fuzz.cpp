// The INF reader on arbitrary bytes (ANSI, UTF-8 or UTF-16 INFs from a delivery folder): lists
// or false, never a crash; and the matching rule on what it read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/pnp.h"
#include "sim/machine.h"
#include "sim/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static sim::TempDir dir;
    static sim::Machine machine(dir.path());
    engine::CInfFileHelper inf(machine.platform());
    inf.OpenBytes(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::u16string> manufacturers, ids;
    inf.GetManufacturerEntries(manufacturers);
    inf.GetModelHardwareIds(ids);
    for (const auto& id : ids) engine::MatchHardwareId(ids, id + u"&REV_01");
    std::u16string line;
    inf.Rewind();
    for (int n = 0; n < 100000 && inf.ReadLine(line); ++n) {
    }
    return 0;
}
