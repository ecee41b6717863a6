// Silhouette finding cost: findSilhouettes over a room whose entities carry 1k, 10k and 100k
// model triangles in all (a model holds at most 32767 triangles, so 100k is four entities of
// 25.6k-triangle tori); the figure is nanoseconds per model triangle.
#include <benchmark/benchmark.h>

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
    state.counters["ns_per_triangle"] =
        benchmark::Counter(double(triangles) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    freeWorld(world);
}
BENCHMARK(BM_FindSilhouettes)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
