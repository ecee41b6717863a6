// quorvel-capture: runs the demo program's own loop on the offscreen backend — scripted input, a
// virtual clock, an EGL pbuffer — for screenshots, scripted flights and timedemos. Exit status
// and messages are the program's; the tool adds only its own option errors.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/driver.h"
#include "app/overlay.h"
#include "app/run_folders.h"
#include "ll/platform_offscreen.h"
#include "render/renderer.h"
#include "scene/entity.h"
#include "tools/capture/plot.h"
#include "tools/capture/report.h"
#include "tools/capture/script.h"
#include "image/png_io.h"
#include "quorvel_version.h"
#ifdef QV_GL_ES2
#include "glcompat/glcompat.h"
#endif

#ifndef QV_CAPTURE_RUN_DIR
#define QV_CAPTURE_RUN_DIR "."
#endif

namespace {

struct CaptureState {
    std::string dir;
    std::string scriptPath;
    std::string jsonPath;
    std::string plotPath;
    bool timedemo;
    bool framesGiven;
    long long frames;
    std::vector<FrameSample> samples;
    bool reported;
    std::vector<long long> shotFrames;
#ifdef QV_GL_ES2
    GlcompatCounters lastCounters;  // the layer's counts when the previous frame ended
    std::vector<uint64_t> esCalls, draws, bytes;  // each frame's
#endif
};
CaptureState capture{};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: quorvel-capture [options]\n"
                 "  --dir DIR          the folder with demo.kbw and demo.ktl (default: the working\n"
                 "                     folder when it holds demo.kbw, else %s)\n"
                 "  --script FILE      scripted input (see docs/capture.md)\n"
                 "  --frames N         stop after N frames (default: the script's length, else 1)\n"
                 "  --shot N:FILE.png  screenshot of frame N (from 0); any number of them\n"
                 "  --size WxH         picture size in pixels (default 800x600)\n"
                 "  --overlay          start with the F1 overlay on\n"
                 "  --version          print the version and exit\n"
                 "  --timedemo         print renderer, frames, time, mean FPS and frame-time percentiles\n"
                 "  --json FILE        the same as JSON, with per-frame times and rooms drawn\n"
                 "  --plot FILE.svg    every frame's time as an SVG chart, median and p99 marked\n"
                 "  --shortcuts on|off off draws every frame without the renderer's exact\n"
                 "                     shortcuts (the same pictures, for comparing timings)\n"
                 "  --shadows complete|default\n"
                 "                     complete counts every room's shadows against the frame's\n"
                 "                     complete depth (F5 in the demo)\n",
                 QV_CAPTURE_RUN_DIR);
}

[[noreturn]] void optionError(const std::string& message) {
    std::fprintf(stderr, "quorvel-capture: %s\n", message.c_str());
    usage(stderr);
    std::exit(2);
}

// Paths given on the command line mean the caller's folder, not the world folder.
std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

bool parseCount(const std::string& s, long long& out, long long max) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 12) return false;
    out = std::atoll(s.c_str());
    return out <= max;
}

bool writeShot(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
               std::string& error) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels = rgb; // bottom row first, as writePng expects
    return writePng(path, image, error);
}

// Rooms whose frame stamp is the world's current frame were drawn in the frame just finished; the
// camera has not moved since it was drawn from where it stands.
void afterFrame(uint32_t) {
    const std::vector<std::string>& errors = offscreenShotErrors();
    if (!errors.empty()) {
        for (const std::string& e : errors) std::fprintf(stderr, "quorvel-capture: shot %s\n", e.c_str());
        std::exit(1);
    }
    const DriverState& d = driverState();
    FrameSample sample{};
    sample.cameraRoom = -1;
    sample.roomsDrawn = roomsDrawn(d.world);
    if (const World* world = d.world)
        for (int16_t i = 0; world->rooms && i < world->roomCount; ++i)
            // The renderer draws from room 0 when the camera is outside every room; that is not
            // standing in room 0, so the camera's room counts only when its box holds the camera.
            if (world->rooms[i] == d.camera.room && pointInRoom(&d.camera, d.camera.room)) sample.cameraRoom = i;
    sample.cameraPosition[0] = d.camera.position.x;
    sample.cameraPosition[1] = d.camera.position.y;
    sample.cameraPosition[2] = d.camera.position.z;
    sample.cameraAngles[0] = d.camera.angles.x;
    sample.cameraAngles[1] = d.camera.angles.y;
    sample.cameraAngles[2] = d.camera.angles.z;
    capture.samples.push_back(sample);
#ifdef QV_GL_ES2
    const GlcompatCounters now = glcompatCounters();
    capture.esCalls.push_back(now.esCalls - capture.lastCounters.esCalls);
    capture.draws.push_back(now.draws - capture.lastCounters.draws);
    capture.bytes.push_back(now.bytesUploaded - capture.lastCounters.bytesUploaded);
    capture.lastCounters = now;
#endif
}

#ifdef QV_GL_ES2
LayerCounts layerCounts() {
    const GlcompatCounters c = glcompatCounters();
    LayerCounts l{c.frames, c.draws, c.esCalls, c.bufferUploads, c.bytesUploaded, c.uniformCalls, {}, {},
                  capture.esCalls, capture.draws, capture.bytes};
    for (int i = 0; i < int(GlcompatBatchEnd::Count); ++i)
        l.batchEnds.emplace_back(glcompatBatchEndName(GlcompatBatchEnd(i)), c.batchEnds[i]);
    for (int i = 0; glcompatEsFunctionName(i); ++i)
        if (c.calls[i]) l.esCallsByName.emplace_back(glcompatEsFunctionName(i), c.calls[i]);
    return l;
}
#endif

// Runs at process exit, so that a run ended by the close request (which exits from inside the
// message pump) reports too. A run that never drew a frame reports nothing.
void report() {
    if (capture.reported || offscreenFrames() == 0) return;
    capture.reported = true;
    const FrameStats stats = frameStats(offscreenFrameTimes());
    if (capture.timedemo) std::fputs(timedemoText(offscreenRenderer(), stats).c_str(), stdout);
    const LayerCounts* layer = nullptr;
#ifdef QV_GL_ES2
    // Through the GL 1.1 layer: what the frames cost in ES calls (the batching at work).
    const LayerCounts counts = layerCounts();
    layer = &counts;
    if (capture.timedemo) {
        const GlcompatStats gl = glcompatStats();
        std::fprintf(stderr, "glcompat: %llu draws, %llu vertices in %u frames\n", (unsigned long long)gl.draws,
                     (unsigned long long)gl.vertices, offscreenFrames());
        std::fputs(layerText(counts).c_str(), stderr);
    }
#endif
    if (!capture.jsonPath.empty()) {
        std::ofstream out(capture.jsonPath);
        out << timedemoJson(offscreenRenderer(), stats, offscreenFrameTimes(), capture.samples, 1, layer);
        if (!out) std::fprintf(stderr, "quorvel-capture: cannot write \"%s\"\n", capture.jsonPath.c_str());
    }
    if (!capture.plotPath.empty()) {
        std::ofstream out(capture.plotPath);
        out << frameTimeSvg(offscreenRenderer(), stats, offscreenFrameTimes(), capture.samples);
        if (!out) std::fprintf(stderr, "quorvel-capture: cannot write \"%s\"\n", capture.plotPath.c_str());
    }
    std::fflush(stdout);
}

// The working folder when it holds a world, so that a capture started in a world folder runs
// there like the program; else the installed demo world when the tool is installed (its log then
// goes to the per-user state folder, as the program's does); else the build's run folder.
std::string defaultDir() {
    if (access("demo.kbw", F_OK) == 0) return ".";
    const std::string installed = installedDataFolder(programFolder(nullptr));
    const std::string state = stateFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    std::string error;
    if (!installed.empty() && !state.empty() && makeFolders(state, error)) {
        driverState().outputFolder = state;
        return installed;
    }
    return QV_CAPTURE_RUN_DIR;
}

void parseOptions(int argc, char** argv) {
    capture.dir = defaultDir();
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            usage(stdout);
            std::exit(0);
        }
        if (opt == "--version") {
            std::printf("quorvel-capture %s\n", QV_VERSION);
            std::exit(0);
        }
        if (opt == "--timedemo") {
            capture.timedemo = true;
            continue;
        }
        if (opt == "--overlay") {
            desktopState().overlay = true;
            continue;
        }
        if (i + 1 >= argc) optionError("unknown option or missing value: " + opt);
        const std::string value = argv[++i];
        if (opt == "--dir") {
            capture.dir = value;
            driverState().outputFolder.clear();  // a folder given: its log goes there, as always
        } else if (opt == "--script") {
            capture.scriptPath = absolute(value);
        } else if (opt == "--json") {
            capture.jsonPath = absolute(value);
        } else if (opt == "--plot") {
            capture.plotPath = absolute(value);
        } else if (opt == "--frames") {
            if (!parseCount(value, capture.frames, 100000000) || capture.frames < 1)
                optionError("--frames takes a positive count");
            capture.framesGiven = true;
        } else if (opt == "--shot") {
            const size_t colon = value.find(':');
            long long frame = 0;
            if (colon == std::string::npos || !parseCount(value.substr(0, colon), frame, 100000000) ||
                colon + 1 == value.size())
                optionError("--shot takes FRAME:FILE.png");
            offscreenAddShot(uint32_t(frame), absolute(value.substr(colon + 1)));
            capture.shotFrames.push_back(frame);
        } else if (opt == "--shortcuts") {
            if (value != "on" && value != "off") optionError("--shortcuts takes on or off");
            setReferencePath(value == "off");
        } else if (opt == "--shadows") {
            if (value != "complete" && value != "default") optionError("--shadows takes complete or default");
            desktopState().completeDepth = value == "complete";
            setShadowDepth(value == "complete" ? ShadowDepth::Complete : ShadowDepth::Default);
        } else if (opt == "--size") {
            const size_t x = value.find('x');
            long long w = 0, h = 0;
            if (x == std::string::npos || !parseCount(value.substr(0, x), w, 8192) ||
                !parseCount(value.substr(x + 1), h, 8192) || w < 1 || h < 1)
                optionError("--size takes WxH, each 1 to 8192");
            offscreenSetSize(int(w), int(h));
        } else {
            optionError("unknown option " + opt);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    offscreenReset();
    parseOptions(argc, argv);

    OffscreenScript script;
    if (!capture.scriptPath.empty()) {
        std::string error;
        if (!loadCaptureScript(capture.scriptPath, script, error)) {
            std::fprintf(stderr, "quorvel-capture: %s\n", error.c_str());
            return 2;
        }
    }
    offscreenSetScript(script);
    driverState().start = script.start; // a recorded flight starts where it was recorded
    const uint32_t length = scriptLength(script);
    const uint32_t frames = capture.framesGiven ? uint32_t(capture.frames) : (length ? length : 1);
    // A shot the run will never reach would silently be missing: refuse it up front.
    for (long long shot : capture.shotFrames)
        if (shot >= frames)
            optionError("--shot frame " + std::to_string(shot) + " is past the run's " + std::to_string(frames) +
                        " frames (frames count from 0)");
    offscreenSetFrameLimit(frames);
    // The overlay's font: the world folder's own, else the build's.
    setOverlayFontPaths({"font.kbf", std::string(QV_CAPTURE_RUN_DIR) + "/font.kbf"});
    offscreenSetShotWriter(writeShot);
    offscreenSetFrameHook(afterFrame);
    offscreenSetTimedemo(capture.timedemo || !capture.jsonPath.empty() || !capture.plotPath.empty());

    if (chdir(capture.dir.c_str()) != 0) {
        std::fprintf(stderr, "quorvel-capture: cannot enter \"%s\": %s\n", capture.dir.c_str(), std::strerror(errno));
        return 1;
    }
    std::atexit(report);
    return demoMain();
}
