// IsSameFileContent beside the whole-file comparison it replaces, on a 20 MiB font: the same
// answer, sizes first, fixed chunks instead of two whole copies in memory.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/driver_copy.h"
#include "engine_testing/sim_env.h"

namespace {
using namespace plat;

// The comparison as it used to be: both files read whole into memory.
bool WholeFiles(const engine::Env& env, const std::u16string& a, const std::u16string& b) {
    auto read = [&](const std::u16string& path, std::vector<char>& out) {
        HANDLE h = env.p.files.CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD size = env.p.files.GetFileSize(h, nullptr);
        out.resize(size);
        DWORD got = 0;
        bool ok = size == 0 || (env.p.files.ReadFile(h, out.data(), size, &got) && got == size);
        env.p.files.CloseHandle(h);
        return ok;
    };
    std::vector<char> x, y;
    return read(b, x) && read(a, y) && x == y;
}

const size_t kFont = 20u << 20;

void Run(benchmark::State& state, bool chunked, bool sameSize) {
    engine_testing::SimEnv s;
    std::string bytes(kFont, 'f');
    s.machine.AddFile(u"C:\\Delivery\\字体\\Label.ttf", bytes);
    s.machine.AddFile(u"C:\\Windows\\Fonts\\Label.ttf", sameSize ? bytes : bytes + "x");
    for (auto _ : state) {
        bool same = chunked ? engine::IsSameFileContent(s.env, u"C:\\Delivery\\字体\\Label.ttf", u"C:\\Windows\\Fonts\\Label.ttf")
                            : WholeFiles(s.env, u"C:\\Delivery\\字体\\Label.ttf", u"C:\\Windows\\Fonts\\Label.ttf");
        benchmark::DoNotOptimize(same);
    }
}

void BM_IdenticalFont_Chunked(benchmark::State& s) { Run(s, true, true); }
void BM_IdenticalFont_WholeFiles(benchmark::State& s) { Run(s, false, true); }
void BM_ChangedSizeFont_Chunked(benchmark::State& s) { Run(s, true, false); }
void BM_ChangedSizeFont_WholeFiles(benchmark::State& s) { Run(s, false, false); }
BENCHMARK(BM_IdenticalFont_Chunked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdenticalFont_WholeFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangedSizeFont_Chunked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangedSizeFont_WholeFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
