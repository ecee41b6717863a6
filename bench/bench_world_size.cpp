// Frame cost against world size: one driver frame (clear, renderWorld, finish) in worlds of 10,
// 100, 1,000 and 10,000 rooms in which the camera sees the same two rooms. The cost should not
// grow with rooms the camera cannot see; the last lines print the 10,000 / 10 ratio of medians and
// the largest over the smallest median.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "bench/bench_worlds.h"
#include "render/renderer.h"
#include "scene/entity.h"

namespace {

std::map<int, double> frameNs;    // median per size
std::map<int, double> fastestNs;  // fastest repetition per size
std::map<int, double> cpuNs;      // median CPU time per size

void drawFrame(Entity* camera, World* world) {
    drawWorldFrame(camera, world);
    glFinish();
}

void BM_FrameByWorldSize(benchmark::State& state) {
    ensureBenchGL();
    const int rooms = int(state.range(0));
    World* world = makeSizeWorld(rooms);
    giveWhiteTexture(world);
    Entity camera = makeBenchCamera(kSizeCamera, kSizeCameraAngles);
    for (int i = 0; i < 20; ++i) drawFrame(&camera, world); // warm-up: shaders compiled, camera placed
    for (auto _ : state) drawFrame(&camera, world);
    state.counters["rooms_drawn"] = roomsDrawn(world);
    unlinkEntity(&camera);
    releaseBenchWorld(world);
}
// The fastest repetition: other work on a shared machine only ever adds to a frame's time.
double fastest(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_FrameByWorldSize)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Repetitions(11)->ComputeStatistics("min", fastest)->ReportAggregatesOnly(true);

// Keeps each size's median and fastest time per frame over the repetitions (the machine may be
// busy with other work), for the ratio lines.
// Plain text (no colours), so scripts/bench.sh can read the figures.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Aggregate) continue;
            const int rooms = std::atoi(r.run_name.args.c_str());
            if (r.aggregate_name == "median") frameNs[rooms] = r.GetAdjustedRealTime();
            if (r.aggregate_name == "median") cpuNs[rooms] = r.GetAdjustedCPUTime();
            if (r.aggregate_name == "min") fastestNs[rooms] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

// Largest over smallest of the figures, 0 with fewer than two.
double spread(const std::map<int, double>& ns) {
    double lo = 0, hi = 0;
    for (const auto& size : ns) {
        if (lo == 0 || size.second < lo) lo = size.second;
        hi = std::max(hi, size.second);
    }
    return ns.size() > 1 && lo > 0 ? hi / lo : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // llvmpipe rasterizes on this thread instead of helper threads, so that a frame's time is its
    // own work and not how a busy scheduler treats the helpers. An explicit setting wins.
    setenv("LP_NUM_THREADS", "0", 0);
    // The sizes' repetitions are interleaved at random, so that a stretch of load on the machine
    // spreads over all sizes instead of landing on one. --benchmark_enable_random_interleaving=false
    // after this turns it off.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (frameNs.count(10) && frameNs.count(10000) && frameNs[10] > 0)
        std::printf("frame time ratio 10000 rooms / 10 rooms: %.3f (target <= 1.05)\n",
                    frameNs[10000] / frameNs[10]);
    // No size may cost more than the cheapest, by medians and by fastest repetitions.
    if (const double r = spread(frameNs)) std::printf("frame time ratio largest / smallest median: %.3f (target <= 1.05)\n", r);
    if (const double r = spread(fastestNs)) std::printf("frame time ratio largest / smallest fastest: %.3f (target <= 1.05)\n", r);
    // With llvmpipe on this thread, CPU time is the frame's whole cost, and time spent waiting for
    // a core the machine gave to other work is not in it.
    if (const double r = spread(cpuNs)) std::printf("frame CPU time ratio largest / smallest median: %.3f (target <= 1.05)\n", r);
    return 0;
}
