// World load speed: a generated world file of more than 100 MB read by loadWorld, in MB/s, and
// one bulk read of the same file in the same run for comparison (the ratio is printed last).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_worlds.h"
#include "world/world_file.h"

namespace {

std::string worldPath;
double fileBytes = 0;
double loadSeconds = 0, readSeconds = 0;

void BM_LoadWorld(benchmark::State& state) {
    for (auto _ : state) {
        World* world = loadWorld(worldPath.c_str());
        if (!world) {
            state.SkipWithError(worldLoadError());
            return;
        }
        state.PauseTiming();
        freeWorld(world);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * fileBytes));
}
BENCHMARK(BM_LoadWorld)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_BulkRead(benchmark::State& state) {
    std::vector<unsigned char> buffer(static_cast<size_t>(fileBytes));
    for (auto _ : state) {
        FILE* f = std::fopen(worldPath.c_str(), "rb");
        const size_t got = f ? std::fread(buffer.data(), 1, buffer.size(), f) : 0;
        if (f) std::fclose(f);
        benchmark::DoNotOptimize(got);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * fileBytes));
}
BENCHMARK(BM_BulkRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// Plain text (no colours), so scripts/bench.sh can read the figures.
class LoadReporter : public benchmark::ConsoleReporter {
public:
    LoadReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.iterations == 0) continue;
            const double seconds = r.real_accumulated_time / double(r.iterations);
            (r.run_name.function_name == "BM_LoadWorld" ? loadSeconds : readSeconds) = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    worldPath = "/tmp/quorvel-bench-load-" + std::to_string(getpid()) + ".kbw";
    // 110 rooms of 19,602 triangles: about 2.16 million triangles, 52 bytes each on disk.
    World* world = makeLoadWorld(110, 100);
    std::string error;
    const bool saved = saveWorld(*world, worldPath.c_str(), error);
    freeWorld(world);
    if (!saved) {
        std::fprintf(stderr, "cannot write %s: %s\n", worldPath.c_str(), error.c_str());
        return 1;
    }
    if (FILE* f = std::fopen(worldPath.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        fileBytes = double(std::ftell(f));
        std::fclose(f);
    }
    std::printf("world file: %.1f MB\n", fileBytes / 1e6);
    LoadReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::remove(worldPath.c_str());
    if (loadSeconds > 0 && readSeconds > 0)
        std::printf("world load: %.0f MB/s; bulk read: %.0f MB/s; load / bulk read: %.3f (target >= 200 MB/s)\n",
                    fileBytes / 1e6 / loadSeconds, fileBytes / 1e6 / readSeconds, readSeconds / loadSeconds);
    return 0;
}
