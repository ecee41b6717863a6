// Silhouette finding cost: findSilhouettes over a room whose entities carry 1k, 10k and 100k
// model triangles in all (a model holds at most 32767 triangles, so 100k is four entities of
// 25.6k-triangle tori); the figure is nanoseconds per model triangle.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/bench_worlds.h"
#include "render/shadows.h"

namespace {

void BM_FindSilhouettes(benchmark::State& state) {
    ensureBenchGL(); // lightToLocal reads the modelview matrix back from OpenGL
    World* world = makeShadowRoom(int(state.range(0)));
    Room* room = world->rooms[0];
    int triangles = 0, entities = 0;
    for (Entity* e = room->entities; e; e = e->next, ++entities)
        triangles += world->models[e->model]->triangleCount;
    for (auto _ : state) findSilhouettes(room);
    uint64_t edges = 0;
    for (Entity* e = room->entities; e; e = e->next) edges += e->edgeCount[0];
    state.counters["triangles"] = triangles;
    state.counters["entities"] = entities;
    state.counters["silhouette_edges"] = double(edges);
    freeWorld(world);
}
BENCHMARK(BM_FindSilhouettes)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Prints nanoseconds per model triangle after each size's row.
// Plain text (no colours), so scripts/bench.sh can read the figures.
class PerTriangleReporter : public benchmark::ConsoleReporter {
public:
    PerTriangleReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            auto t = r.counters.find("triangles");
            if (r.run_type != Run::RT_Iteration || r.iterations == 0 || t == r.counters.end()) continue;
            const double ns = r.real_accumulated_time / double(r.iterations) * 1e9;
            std::printf("findSilhouettes %s triangles: %.2f ns per triangle\n", r.run_name.args.c_str(),
                        ns / t->second.value);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    PerTriangleReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
