// The INF reader on arbitrary bytes (ANSI, UTF-8 or UTF-16 INFs from a delivery folder, up to a
// large vendor INF of 64 KiB): lists or false, never a crash; and the matching rule on what it read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
    // As Setup does, a few device IDs against the whole list: all of them against all would be
    // quadratic, and a large INF of short lines would time out.
    for (size_t i = 0; i < ids.size() && i < 8; ++i) engine::MatchHardwareId(ids, ids[i] + u"&REV_01");
    std::u16string line;
    inf.Rewind();
    for (int n = 0; n < 100000 && inf.ReadLine(line); ++n) {
    }
    return 0;
}
