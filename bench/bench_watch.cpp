// What --watch costs a frame: the driver's whole frame on the shipped demo world (scripted LL
// backend, headless GL, finished like a swap) without and with the watch, and the watch's own
// per-frame step alone. The clock moves 16 ms a frame, so the notification is asked every third
// or fourth frame, as at 60 frames a second.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/world_watch.h"
#include "ll/headless_gl.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"
#include "render/renderer.h"

#ifndef QV_RUN_DIR
#error "QV_RUN_DIR must name the run folder holding the demo world"
#endif

namespace {

constexpr uint32_t kFrameMs = 16;

struct BenchFolder {
    std::string path;
};
BenchFolder folder{};

void removeFolder() {
    if (!folder.path.empty()) std::system(("rm -rf " + folder.path).c_str());
}

// Starts the demo in a folder holding the demo world on the scripted backend, with or without the watch.
void startDemoHere(bool watch) {
    static bool ready = false;
    if (!ready) {
        std::string error;
        if (!processHeadlessGL({}, error)) {
            std::fprintf(stderr, "no headless GL: %s\n", error.c_str());
            std::exit(1);
        }
        // The demo world linked into a folder of its own, where the frame-rate log goes too.
        char pattern[] = "/tmp/qv-bench-watch-XXXXXX";
        if (!mkdtemp(pattern)) std::exit(1);
        folder.path = pattern;
        std::atexit(removeFolder);
        for (const char* name : {"demo.kbw", "demo.ktl", "textures"})
            if (symlink((std::string(QV_RUN_DIR) + "/" + name).c_str(), (folder.path + "/" + name).c_str()) != 0)
                std::exit(1);
        if (chdir(folder.path.c_str()) != 0) std::exit(1);
        ready = true;
    }
    testReset();
    testSetTimeStep(0);
    resetLLWindowState();
    resetLLInputState();
    resetRenderer();
    resetDriver();
    resetWorldWatch();
    driverState().watch = watch;
    startDemo();
}

void BM_DemoFrame(benchmark::State& state) {
    startDemoHere(state.range(0) != 0);
    for (auto _ : state) {
        testSetTime(testTime() + kFrameMs);
        demoFrame();
        glFinish();  // the scripted swap presents nothing; a real one waits for the frame
    }
    state.counters["notified"] = worldWatchState().watch != nullptr;
    stopDemo();
    resetWorldWatch();
}
// The fastest repetition: other work on a shared machine only ever adds to a frame's time.
double fastest(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_DemoFrame)->ArgName("watch")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Repetitions(7)->ComputeStatistics("min", fastest)->ReportAggregatesOnly(true);

void BM_WatchStep(benchmark::State& state) {
    startDemoHere(state.range(0) != 0);
    uint32_t now = testTime();
    for (auto _ : state) {
        now += kFrameMs;
        benchmark::DoNotOptimize(worldWatchFrame(now, false));
    }
    stopDemo();
    resetWorldWatch();
}
BENCHMARK(BM_WatchStep)->ArgName("watch")->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
