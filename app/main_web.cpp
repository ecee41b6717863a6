// The page's program (quorvel.js and quorvel.wasm): the demo driver on the web backend, one pass
// of its frame loop per browser frame. The page (web/index.html) fetches the files its URL names,
// then calls main with the options (app/web_options.h) and talks to the program through the
// exported quorvel_* functions below and the Module.quorvel* hooks the program calls.
//
// Escape ends the demo as on the desktop; the page says so and may start it again
// (quorvel_restart), as it does with a world dropped onto it. A scripted flight (?script=) stops
// after its frames with the last frame left on the canvas; the timedemo (?timedemo) flies the
// demo's flight as fast as the browser allows and reports as quorvel-capture --timedemo --json.
#include <emscripten.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/driver.h"
#include "app/overlay.h"
#include "app/web_options.h"
#include "ll/ll_internal.h"
#include "ll/platform_web.h"
#include "render/renderer.h"
#include "tools/capture/plot.h"
#include "tools/capture/report.h"
#include "tools/capture/script.h"
#include "world/textures.h"
#include "world/file_bytes.h"

namespace {

struct PageRun {
    WebOptions options;
    uint32_t frameLimit;    // 0: run until Escape
    bool running;           // the main loop is set
    bool live;              // the demo started and was not shut down (a finished flight stays live)
    std::vector<FrameSample> samples;
    std::map<uint32_t, std::vector<uint8_t>> shots; // frame -> RGBA, bottom row first
    int width, height;      // of the kept pictures
    bool grabWanted;        // the page asked for the next frame's pixels
    std::vector<uint8_t> grab;
    uint32_t grabFrame;
    std::string names;      // quorvel_texture_names' answer
    std::string lastNotice; // the screenshot notice already offered for download
};

PageRun run{};

EM_JS(void, tellPage, (const char* state, const char* detail), {
    if (Module.quorvelState) Module.quorvelState(UTF8ToString(state), UTF8ToString(detail));
});

EM_JS(void, showChart, (const char* svg), {
    if (Module.quorvelChart) Module.quorvelChart(UTF8ToString(svg));
});

EM_JS(void, offerDownload, (const char* path), {
    if (Module.quorvelDownload) Module.quorvelDownload(UTF8ToString(path));
});

void stopLoop() {
    if (run.running) emscripten_cancel_main_loop();
    run.running = false;
}

// A start-up failure: the message box has told the page and the console; the program stays
// loaded so that the page can start again.
void fatalExit(int code) {
    stopLoop();
    tellPage("failed", std::to_string(code).c_str());
    emscripten_exit_with_live_runtime();
}

FrameSample sampleOf(const DriverState& driver) {
    const OverlayFacts facts = overlayFacts(driver);
    FrameSample sample{};
    sample.roomsDrawn = facts.roomsDrawn;
    sample.cameraRoom = facts.cameraRoom;
    for (int i = 0; i < 3; ++i) sample.cameraPosition[i] = facts.position[i];
    sample.cameraAngles[0] = driver.camera.angles.x;
    sample.cameraAngles[1] = driver.camera.angles.y;
    sample.cameraAngles[2] = driver.camera.angles.z;
    return sample;
}

// Runs at each swap, while the frame's pixels can still be read.
void afterFrame(uint32_t frame) {
    static bool firstTold = false;
    if (frame == 0 && !firstTold) {
        firstTold = true;
        // performance.now() counts from the start of the page's navigation.
        std::printf("first frame: %.0f ms after the page began loading\n", emscripten_get_now());
        std::fflush(stdout);
    }
    if (run.options.timedemo) run.samples.push_back(sampleOf(driverState()));
    const bool shot = std::find(run.options.shots.begin(), run.options.shots.end(), frame) != run.options.shots.end();
    if (shot) webReadPixels(run.shots[frame], run.width, run.height);
    if (run.grabWanted && webReadPixels(run.grab, run.width, run.height)) {
        run.grabWanted = false;
        run.grabFrame = frame;
    }
}

void reportTimedemo() {
    const FrameStats stats = frameStats(webFrameTimes());
    std::string json = timedemoJson(webRenderer(), stats, webFrameTimes(), run.samples, -1);
    if (!json.empty() && json.back() == '\n') json.pop_back();
    std::printf("%s\n", json.c_str()); // one line on the console
    std::fflush(stdout);
    // The chart goes first: the page's state then ends at "timedemo" with everything shown.
    showChart(frameTimeSvg(webRenderer(), stats, webFrameTimes(), run.samples).c_str());
    tellPage("timedemo", json.c_str());
}

// The driver writes a line to FPSlog.txt whenever its count starts again from 0.
void echoFpsLine() {
    const DriverState& driver = driverState();
    if (driver.fpsLogged && driver.fpsFrames == 0) {
        std::printf("FPS: %d\n", driver.lastFps);
        std::fflush(stdout);
    }
}

// A screenshot (F12) or a flight recording (F7) lands in the in-memory files: the page offers it
// as a download.
void offerScreenshot() {
    const std::string& notice = desktopState().notice;
    if (notice == run.lastNotice) return;
    run.lastNotice = notice;
    const std::string saved = "saved ";
    if (notice.rfind(saved, 0) == 0) offerDownload(notice.substr(saved.size()).c_str());
}

// A scripted flight ends after its frames, or earlier on its own quit: the last frame stays on
// the canvas and the demo is left as it is. A demo flown by hand ends with Escape and shuts down.
void frame() {
    const bool going = demoFrame();
    if (going) {
        echoFpsLine();
        offerScreenshot();
    }
    const bool limitReached = run.frameLimit && webFrames() >= run.frameLimit;
    if (going && !limitReached) return;
    stopLoop();
    if (!webScripted()) {
        stopDemo();
        offerScreenshot(); // a recording that Escape ended
        run.live = false;
        tellPage("ended", "");
        return;
    }
    std::printf("frames done: %u\n", webFrames());
    std::fflush(stdout);
    if (run.options.timedemo) reportTimedemo();
    tellPage("done", std::to_string(webFrames()).c_str());
}

// Every module back to its start, so that a new start is like the page's first.
void resetModules() {
    resetDriver();
    resetDesktop();
    resetOverlay();
    resetRenderer();
    resetLLWindowState();
    resetLLInputState();
    webReset();
    run.samples.clear();
    run.shots.clear();
    run.grab.clear();
    run.grabWanted = false;
    run.lastNotice.clear();
}

void start() {
    resetModules();
    driverState().exitHandler = fatalExit;
    run.frameLimit = run.options.frames;
    if (!run.options.script.empty()) {
        OffscreenScript script;
        std::string error;
        if (!loadCaptureScript(run.options.script, script, error)) {
            std::fprintf(stderr, "quorvel: %s\n", error.c_str());
            platMessageBox(nullptr, ("Could not read the flight: " + error).c_str(), kFatalCaption, MB_OK);
            tellPage("failed", "2");
            return;
        }
        webSetScript(script);
        driverState().start = script.start; // a recorded flight starts where it was recorded
        if (!run.frameLimit) run.frameLimit = std::max<uint32_t>(1, scriptLength(script));
    }
    webSetTimed(run.options.timedemo);
    webSetFrameHook(afterFrame);
    // The overlay's font: the world's own, else the demo's.
    setOverlayFontPaths({"font.kbf", std::string(kWebDemoDir) + "/font.kbf"});
    if (chdir(run.options.dir.c_str()) != 0) {
        fatalError(1, "Could not load world!"); // no such folder: nothing of a world was found
    }
    startDemo();
    run.live = true;
    tellPage("running", run.options.dir.c_str());
    run.running = true;
    // The timedemo is not held to the display's rate; everything else draws once per display frame.
    emscripten_set_main_loop(frame, 0, 0);
    if (run.options.timedemo) emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
}

} // namespace

extern "C" {

// Starts the demo again in `dir` (the page's own world, one from ?world= or one dropped onto the
// page), with the same options otherwise. A demo still running, or a finished flight's, is shut
// down first.
EMSCRIPTEN_KEEPALIVE void quorvel_restart(const char* dir) {
    stopLoop();
    if (run.live) stopDemo();
    run.live = false;
    run.options.dir = dir;
    start();
}

// The names a texture list holds, one a line; empty when the file is not a texture list.
EMSCRIPTEN_KEEPALIVE const char* quorvel_texture_names(const char* path) {
    run.names.clear();
    std::vector<unsigned char> bytes;
    TextureList list;
    std::string error;
    if (readFileBytes(path, bytes) && parseTextureList(bytes.data(), bytes.size(), list, error))
        for (const std::string& name : list.names) run.names += name + "\n";
    return run.names.c_str();
}

// The page asks for the pixels of the next frame drawn; quorvel_grab_frame says which frame it
// was once they are there (-1 until then).
EMSCRIPTEN_KEEPALIVE void quorvel_request_grab() {
    run.grabWanted = true;
    run.grab.clear();
}
EMSCRIPTEN_KEEPALIVE int quorvel_grab_frame() { return run.grab.empty() ? -1 : int(run.grabFrame); }
EMSCRIPTEN_KEEPALIVE const uint8_t* quorvel_grab_pixels() { return run.grab.empty() ? nullptr : run.grab.data(); }
// The kept pixels of a frame named in --shots; null when that frame has not been drawn.
EMSCRIPTEN_KEEPALIVE const uint8_t* quorvel_shot_pixels(int frame) {
    auto it = run.shots.find(uint32_t(frame));
    return it == run.shots.end() ? nullptr : it->second.data();
}
EMSCRIPTEN_KEEPALIVE int quorvel_picture_width() { return run.width; }
EMSCRIPTEN_KEEPALIVE int quorvel_picture_height() { return run.height; }
EMSCRIPTEN_KEEPALIVE int quorvel_frames() { return int(webFrames()); }
// The camera as the latest frame left it: position x, y, z, then pitch, yaw, roll in degrees.
EMSCRIPTEN_KEEPALIVE const float* quorvel_camera() {
    static float camera[6];
    const Entity& c = driverState().camera;
    const float values[6] = {c.position.x, c.position.y, c.position.z, c.angles.x, c.angles.y, c.angles.z};
    std::copy(values, values + 6, camera);
    return camera;
}

} // extern "C"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (!parseWebOptions(args, run.options, error)) {
        std::fprintf(stderr, "quorvel: %s\n", error.c_str());
        platMessageBox(nullptr, error.c_str(), kFatalCaption, MB_OK);
        tellPage("failed", "2");
        return 2;
    }
    start();
    return 0;
}
