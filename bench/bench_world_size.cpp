// Frame cost against world size: one driver frame (clear, renderWorld, finish) in worlds of 10,
// 100, 1,000 and 10,000 rooms in which the camera sees the same two rooms. The cost should not
// grow with rooms the camera cannot see; the last line prints the 10,000 / 10 ratio of medians.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "bench/bench_worlds.h"
#include "render/renderer.h"
#include "scene/entity.h"

namespace {

std::map<int, double> frameNs;

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
BENCHMARK(BM_FrameByWorldSize)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Repetitions(5)->ReportAggregatesOnly(true);

// Keeps each size's median time per frame over the repetitions (the machine may be busy with
// other work), for the ratio line.
// Plain text (no colours), so scripts/bench.sh can read the figures.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                frameNs[std::atoi(r.run_name.args.c_str())] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (frameNs.count(10) && frameNs.count(10000) && frameNs[10] > 0)
        std::printf("frame time ratio 10000 rooms / 10 rooms: %.3f (target <= 1.10)\n",
                    frameNs[10000] / frameNs[10]);
    return 0;
}
