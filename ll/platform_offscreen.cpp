// The offscreen platform backend: the platform operations with no display. The window's GL
// surface is an EGL pbuffer from the headless context (ll/headless_gl), input comes from a script
// of frame-stamped events, the clock advances a fixed virtual step at each swap, and message boxes
// go to stderr. Every run of one script therefore sees the same input at the same virtual times.
// The script feeds the emulation shared with the SDL backend (platform_emulation.h); the window
// operations are the ones shared with the web backend (platform_emulation_window.h).
#include "ll/platform_offscreen.h"

#include <EGL/egl.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ll/headless_gl.h"
#include "ll/platform_emulation.h"
#include "ll/platform_emulation_window.h"
#ifdef QV_GL_ES2
#include "glcompat/glcompat.h"
#endif

struct PlatGLContext { EGLDisplay display; EGLSurface surface; EGLContext context; };

namespace {

using Clock = std::chrono::steady_clock;

struct Shot {
    uint32_t frame;
    std::string path;
};

struct OffscreenState {
    // what quorvel-capture set
    ScriptPlayer player;
    uint32_t frameLimit;
    int width, height;
    std::vector<Shot> shots;
    OffscreenShotWriter shotWriter;
    OffscreenFrameHook frameHook;
    bool timed;
    // the virtual system (window classes, messages and input devices: platform_emulation.cpp;
    // the window and the cursor: platform_emulation_window.cpp)
    PlatGLContext* context;
    bool contextKept;    // a deleted context whose EGL objects live on until exit
    uint32_t now;        // virtual milliseconds since the start; the clock reads kClockStart + now
    uint32_t frame;      // frames swapped so far
    bool limitPosted;
    // results
    std::vector<double> frameTimes;
    std::vector<std::string> shotErrors;
    std::string renderer;
    bool frameStarted;
    Clock::time_point frameStart;
};

OffscreenState off{};
constexpr uint32_t kClockStart = 1000;

// Delivers every scripted event stamped at or before the current frame, once.
void applyDueEvents() {
    if (!off.frameStarted) {
        off.frameStarted = true;
        off.frameStart = Clock::now();
    }
    off.now = scriptPlayerClock(off.player, off.frame);
    scriptPlayerApply(off.player, off.frame, kClockStart + off.now, emuWindow(), emuCursor());
}

void takeShot(const Shot& shot) {
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    std::string error;
    if (!offscreenReadPixels(rgb, w, h))
        error = "no picture to read";
    else if (!off.shotWriter)
        error = "no shot writer";
    else if (!off.shotWriter(shot.path, w, h, rgb, error) && error.empty())
        error = "cannot write";
    if (!error.empty()) off.shotErrors.push_back(shot.path + ": " + error);
}

} // namespace

// --- control ---

void offscreenReset() {
    off = OffscreenState{};
    emuReset();
    emuWindowReset();
}

void offscreenSetScript(const OffscreenScript& script) { scriptPlayerLoad(off.player, script); }

void offscreenSetFrameLimit(uint32_t frames) { off.frameLimit = frames; }
void offscreenSetSize(int width, int height) {
    off.width = width;
    off.height = height;
}
void offscreenAddShot(uint32_t frame, const std::string& path) { off.shots.push_back({frame, path}); }
void offscreenSetShotWriter(OffscreenShotWriter writer) { off.shotWriter = writer; }
void offscreenSetFrameHook(OffscreenFrameHook hook) { off.frameHook = hook; }
void offscreenSetTimedemo(bool timed) { off.timed = timed; }
uint32_t offscreenFrames() { return off.frame; }
const std::vector<double>& offscreenFrameTimes() { return off.frameTimes; }
const std::vector<std::string>& offscreenShotErrors() { return off.shotErrors; }
const std::string& offscreenRenderer() { return off.renderer; }

bool offscreenReadPixels(std::vector<uint8_t>& rgb, int& width, int& height) {
    if (!off.context) return false;
    EGLint w = 0, h = 0;
    eglQuerySurface(off.context->display, off.context->surface, EGL_WIDTH, &w);
    eglQuerySurface(off.context->display, off.context->surface, EGL_HEIGHT, &h);
    if (w <= 0 || h <= 0) return false;
    rgb.resize(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    width = w;
    height = h;
    return true;
}

// --- user32: the window, messages and cursor are platform_emulation_window.cpp's ---

void emuWindowUpdate() { applyDueEvents(); }
void emuWindowDestroyed(PlatWindow*) {}
void emuWindowCreated(PlatWindow* w, int32_t x, int32_t y) {
    const FlightStart& start = off.player.script.start;
    if (start.cursorGiven) emuCursor() = {x + w->width / 2 + start.cursor[0], y + w->height / 2 + start.cursor[1]};
}
void emuWindowDeviceRead(bool) {}

// No one could press OK: the text goes to stderr and the box "returns" at once.
int32_t platMessageBox(PlatWindow*, const char* text, const char* caption, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return 1; // IDOK
}

// --- gdi32 ---

// A pbuffer has a single colour buffer: the swap finishes the frame's drawing, takes the frame's
// screenshots and runs the hook; a double-buffer request costs nothing.
bool platSwapBuffers(PlatDC* dc) {
    if (!dc || !off.context) return false;
#ifdef QV_GL_ES2
    glcompatEndFrame();  // the layer draws what it holds and starts its next frame's buffer afresh
#endif
    if (off.timed)
        glFinish();
    else
        glFlush();
    const Clock::time_point end = Clock::now();
    off.frameTimes.push_back(std::chrono::duration<double, std::milli>(end - off.frameStart).count());
    for (const Shot& shot : off.shots)
        if (shot.frame == off.frame) takeShot(shot);
    if (off.frameHook) off.frameHook(off.frame);
    off.frame += 1; // the clock moves on when the next frame's pass first asks for input
    if (off.frameLimit && off.frame >= off.frameLimit && !off.limitPosted) {
        emuPostMessage(nullptr, WM_QUIT, 0);
        off.limitPosted = true;
    }
    off.frameStart = Clock::now();
    return true;
}

// --- opengl32 (WGL) ---

// The headless context is made with the format's depth and stencil bits (at least those) and
// the pbuffer size; it is current once made, like the SDL backend's.
PlatGLContext* platCreateContext(PlatDC* dc) {
    if (!dc || !dc->window->formatSet || off.context) return nullptr;
    const PlatPixelFormat& r = dc->window->format;
    HeadlessGLConfig config;
    config.width = off.width > 0 ? off.width : std::max(1, dc->window->width);
    config.height = off.height > 0 ? off.height : std::max(1, dc->window->height);
    config.depthBits = r.depthBits;
    config.stencilBits = r.stencilBits;
#ifdef QV_GL_ES2
    // Built against the GL 1.1 layer: an ES 2.0 context, and the layer started on it.
    config.es2 = true;
#endif
    if (off.contextKept) destroyHeadlessGL();
    off.contextKept = false;
    std::string error;
    if (!createHeadlessGL(config, error)) {
        std::fprintf(stderr, "offscreen: %s\n", error.c_str());
        return nullptr;
    }
#ifdef QV_GL_ES2
    if (!glcompatInit(error)) {
        std::fprintf(stderr, "offscreen: %s\n", error.c_str());
        destroyHeadlessGL();
        return nullptr;
    }
#endif
    off.context = new PlatGLContext{eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), eglGetCurrentContext()};
    const GLubyte* name = glGetString(GL_RENDERER);
    off.renderer = name ? reinterpret_cast<const char*>(name) : "";
    return off.context;
}

bool platMakeCurrent(PlatDC* dc, PlatGLContext* context) {
    if (!context) {
        EGLDisplay display = eglGetCurrentDisplay();
        if (display != EGL_NO_DISPLAY) eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        return true;
    }
    if (!dc || context != off.context) return false;
    return eglMakeCurrent(context->display, context->surface, context->surface, context->context) == EGL_TRUE;
}

// The context is released from this thread but the EGL objects stay until the process ends (or
// the next context is made): tearing Mesa down with eglTerminate strands its driver-lifetime
// allocations, which LeakSanitizer then reports as leaks of ours.
bool platDeleteContext(PlatGLContext* context) {
    if (!context || context != off.context) return false;
#ifdef QV_GL_ES2
    glcompatShutdown();  // the layer's ES objects go while their context is still current
#endif
    eglMakeCurrent(context->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    delete context;
    off.context = nullptr;
    off.contextKept = true;
    return true;
}

// No touch and no pad: a scripted flight's axes, 0 unless it or a test sets them.
void platGetAnalog(PlatAnalog* out) { *out = emuAnalog(); }

// --- winmm ---

uint32_t platTimeGetTime() { return kClockStart + off.now; }
