// A 4 x 6 inch band at 8 dots per millimetre (812 x 1218 dots), side by side: memcpy of its bytes,
// the quarter and half turns, whole ImageProcessing calls into a memory sink, and a per-dot
// quarter turn as the naive reference. Every result carries its time as a multiple of memcpy's
// (x_memcpy); the end of the run prints those ratios against their goals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "drvuni/band.h"

namespace {

constexpr uint32_t kWidth = 812, kHeight = 1218, kRowBytes = (kWidth + 7) / 8;
constexpr size_t kBandBytes = size_t(kRowBytes) * kHeight;
constexpr uint32_t kTurnedRowBytes = (kHeight + 7) / 8;
constexpr size_t kTurnedBytes = size_t(kWidth) * kTurnedRowBytes;

std::vector<uint8_t> MakeBand() {
    std::mt19937 rng(1);
    std::vector<uint8_t> band(kBandBytes);
    for (auto& b : band) b = uint8_t(rng());
    return band;
}
const std::vector<uint8_t> band = MakeBand();

double memcpySeconds = 0;   // per call, measured before the benchmarks run

// CPU time per iteration over memcpy's, as a plain number.
struct Timed {
    explicit Timed(benchmark::State& s) : state(s), start(std::clock()) {}
    ~Timed() {
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        if (state.iterations() > 0)
            state.counters["x_memcpy"] = seconds / double(state.iterations()) / memcpySeconds;
    }
    benchmark::State& state;
    std::clock_t start;
};

// Straight from the definition: output row j, bit c takes source dot (j, 8B − 1 − c).
void NaiveQuarterTurn(const uint8_t* src, uint32_t W, uint32_t H, uint32_t S, uint8_t* dst) {
    const uint32_t B = (H + 7) / 8;
    for (uint32_t j = 0; j < W; ++j)
        for (uint32_t c = 0; c < 8 * B; ++c) {
            const uint32_t y = 8 * B - 1 - c;
            const unsigned bit = y < H ? (src[size_t(y) * S + j / 8] >> (7 - j % 8)) & 1 : 0;
            uint8_t& out = dst[size_t(j) * B + c / 8];
            out = uint8_t(bit ? out | (0x80 >> (c % 8)) : out & ~(0x80 >> (c % 8)));
        }
}

class MemorySink final : public drvuni::ByteSink {
public:
    MemorySink() : bytes_(kBandBytes + kTurnedBytes + 4096) {}
    void Write(const uint8_t* data, uint32_t size) override {
        std::memcpy(bytes_.data() + used_, data, size);
        used_ += size;
    }
    void Clear() { used_ = 0; }
    size_t used() const { return used_; }

private:
    std::vector<uint8_t> bytes_;
    size_t used_ = 0;
};

class Orientation final : public drvuni::FeatureSource {
public:
    explicit Orientation(const char* answer) : answer_(answer) {}
    bool Get(const char*, char* buffer, uint32_t size) override {
        std::strncpy(buffer, answer_, size);
        return true;
    }

private:
    const char* answer_;
};

// Zero-filled buffers, as the plug-in gets them; keeps the peak of what is held at once.
class CountingMemory final : public drvuni::WorkAllocator {
public:
    void* Allocate(size_t size) override {
        held_ += size;
        peak = std::max(peak, held_);
        auto* p = static_cast<size_t*>(std::calloc(1, size + sizeof(size_t)));
        *p = size;
        return p + 1;
    }
    void Release(void* block) override {
        size_t* p = static_cast<size_t*>(block) - 1;
        held_ -= *p;
        std::free(p);
    }
    size_t peak = 0;

private:
    size_t held_ = 0;
};

drvuni::LabelSettings Settings(uint32_t rotation) {
    drvuni::LabelSettings s;
    std::memset(&s, 0, sizeof s);
    drvuni::WriteDefaults(&s);
    s.rotation = rotation;
    return s;
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> dst(kBandBytes);
    const Timed timed(state);
    for (auto _ : state) {
        std::memcpy(dst.data(), band.data(), kBandBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBandBytes));
}

void BM_QuarterTurn(benchmark::State& state) {
    std::vector<uint8_t> dst(kTurnedBytes);
    const Timed timed(state);
    for (auto _ : state) {
        drvuni::RotateBand90(band.data(), kWidth, kHeight, kRowBytes, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

// The 32-bit build assumes SSE2 only; these are its turns on a processor without AVX2.
void BM_QuarterTurnSse2(benchmark::State& state) {
    std::vector<uint8_t> dst(kTurnedBytes);
    const Timed timed(state);
    for (auto _ : state) {
        drvuni::RotateBand90With(drvuni::Kernel::Sse2, band.data(), kWidth, kHeight, kRowBytes, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

void BM_HalfTurnSsse3(benchmark::State& state) {
    std::vector<uint8_t> dst(kBandBytes);
    const Timed timed(state);
    for (auto _ : state) {
        drvuni::RotateBand180With(drvuni::Kernel::Ssse3, band.data(), kBandBytes, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

void BM_HalfTurn(benchmark::State& state) {
    std::vector<uint8_t> dst(kBandBytes);
    const Timed timed(state);
    for (auto _ : state) {
        drvuni::RotateBand180(band.data(), kBandBytes, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

void ImageProcessing(benchmark::State& state, const char* orientation, uint32_t rotation) {
    const drvuni::LabelSettings s = Settings(rotation);
    Orientation features(orientation);
    CountingMemory memory;
    MemorySink sink;
    const drvuni::Band b{band.data(), int32_t(kWidth), int32_t(kHeight), uint32_t(kBandBytes), false};
    const Timed timed(state);
    for (auto _ : state) {
        sink.Clear();
        benchmark::DoNotOptimize(drvuni::ImageProcessing(s, features, b, sink, memory));
        benchmark::ClobberMemory();
    }
    state.counters["work_bytes"] = double(memory.peak);
    state.counters["job_bytes"] = double(sink.used());
}

void BM_ImageProcessingPortrait(benchmark::State& state) { ImageProcessing(state, "PORTRAIT", 0); }
void BM_ImageProcessingLandscape(benchmark::State& state) { ImageProcessing(state, "LANDSCAPE", 0); }
void BM_ImageProcessingLandscapeHalfTurn(benchmark::State& state) { ImageProcessing(state, "LANDSCAPE", 3); }

void BM_NaiveQuarterTurn(benchmark::State& state) {
    std::vector<uint8_t> dst(kTurnedBytes);
    const Timed timed(state);
    for (auto _ : state) {
        NaiveQuarterTurn(band.data(), kWidth, kHeight, kRowBytes, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_QuarterTurn);
BENCHMARK(BM_HalfTurn);
BENCHMARK(BM_QuarterTurnSse2);
BENCHMARK(BM_HalfTurnSsse3);
BENCHMARK(BM_ImageProcessingPortrait);
BENCHMARK(BM_ImageProcessingLandscape);
BENCHMARK(BM_ImageProcessingLandscapeHalfTurn);
BENCHMARK(BM_NaiveQuarterTurn);

// The best of several rounds of many copies: the cache-resident memcpy the ratios are taken of.
double MeasureMemcpy() {
    std::vector<uint8_t> dst(kBandBytes);
    double best = 1e9;
    for (int round = 0; round < 20; ++round) {
        constexpr int kCopies = 2000;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kCopies; ++i) {
            std::memcpy(dst.data(), band.data(), kBandBytes);
            benchmark::DoNotOptimize(dst.data());
            benchmark::ClobberMemory();
        }
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        best = std::min(best, d.count() / kCopies);
    }
    return best;
}

// Prints the ratios of the run against the goals once every benchmark has reported.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // The best of the repetitions, by CPU time: what is left when nothing else gets in the way.
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            const double t = r.GetAdjustedCPUTime() * 1e-9;
            auto [it, added] = seconds_.emplace(r.run_name.function_name, t);
            if (!added) it->second = std::min(it->second, t);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto it = seconds_.find("BM_Memcpy");
        if (it == seconds_.end()) return;
        const double base = it->second;
        std::printf("\nmemcpy of the band's %zu bytes: %.2f us\n", kBandBytes, base * 1e6);
        const struct {
            const char* name;
            const char* what;
            double goal;
        } rows[] = {{"BM_QuarterTurn", "quarter turn", 15},
                    {"BM_HalfTurn", "half turn", 6},
                    {"BM_ImageProcessingPortrait", "ImageProcessing, portrait", 10},
                    {"BM_QuarterTurnSse2", "quarter turn, SSE2 only", 0},
                    {"BM_HalfTurnSsse3", "half turn, SSSE3", 0},
                    {"BM_ImageProcessingLandscape", "ImageProcessing, landscape", 0},
                    {"BM_ImageProcessingLandscapeHalfTurn", "ImageProcessing, landscape, half turn", 0},
                    {"BM_NaiveQuarterTurn", "per-dot quarter turn", 0}};
        for (const auto& row : rows) {
            const auto r = seconds_.find(row.name);
            if (r == seconds_.end()) continue;
            const double ratio = r->second / base;
            if (row.goal > 0)
                std::printf("%-40s %8.1f x memcpy   (goal %.0f x: %s)\n", row.what, ratio, row.goal,
                            ratio <= row.goal ? "met" : "MISSED");
            else
                std::printf("%-40s %8.1f x memcpy\n", row.what, ratio);
        }
        std::printf("work buffers of a landscape half turn: %zu + %zu bytes\n", kTurnedBytes, kTurnedBytes);
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    memcpySeconds = MeasureMemcpy();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
