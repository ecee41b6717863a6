// The offscreen platform backend: the platform operations with no display. The window's GL
// surface is an EGL pbuffer from the headless context (ll/headless_gl), input comes from a script
// of frame-stamped events, the clock advances a fixed virtual step at each swap, and message boxes
// go to stderr. Every run of one script therefore sees the same input at the same virtual times.
// The script feeds the emulation shared with the SDL backend (platform_emulation.h).
#include "ll/platform_offscreen.h"

#include <EGL/egl.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ll/headless_gl.h"
#include "ll/platform_emulation.h"
#ifdef QV_GL_ES2
#include "glcompat/glcompat.h"
#endif

struct PlatDC { PlatWindow* window; };
struct PlatWindow {
    std::string className;
    PlatWndProc windowProc;
    int32_t width, height; // client size
    bool formatSet;
    PlatPixelFormat format;
    bool shown;
    PlatDC dc;
};
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
    // the virtual system (window classes, messages and input devices: platform_emulation.cpp)
    PlatWindow* window;
    PlatGLContext* context;
    bool contextKept;    // a deleted context whose EGL objects live on until exit
    PlatPoint cursor;
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
    scriptPlayerApply(off.player, off.frame, kClockStart + off.now, off.window, off.cursor);
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

// --- kernel32 / user32 (the module handle, stock icons and cursors: platform_emulation.cpp) ---

uint32_t platRegisterClass(const PlatWindowClass* c) { return emuRegisterClass(c, nullptr); }

bool platUnregisterClass(const char* className, PlatInstance*) {
    return emuUnregisterClass(className,
                              [](const std::string& name) { return off.window && off.window->className == name; });
}

// There is no display whose mode could change; the pbuffer has the requested size anyway.
int32_t platChangeDisplaySettings(const PlatDisplayMode*, uint32_t) { return DISP_CHANGE_SUCCESSFUL; }

// A pbuffer has no frame: the outer rectangle is the client rectangle.
bool platAdjustWindowRect(PlatRect* rect, uint32_t, bool, uint32_t) { return rect != nullptr; }

PlatWindow* platCreateWindow(uint32_t, const char* className, const char*, uint32_t, int32_t, int32_t,
                             int32_t width, int32_t height, PlatInstance*) {
    // One window: it is the one pbuffer of the process.
    const EmuWindowClass* c = emuFindClass(className);
    if (off.window || !c) return nullptr;
    PlatWindow* w = new PlatWindow{c->name, c->windowProc, width, height, false, {}, false, {nullptr}};
    w->dc.window = w;
    off.window = w;
    if (w->windowProc(w, WM_CREATE, 0, 0) == -1) {
        platDestroyWindow(w);
        return nullptr;
    }
    return w;
}

bool platDestroyWindow(PlatWindow* window) {
    if (!window || window != off.window) return false;
    if (window->windowProc) window->windowProc(window, WM_DESTROY, 0, 0);
    emuDropMessages(window);
    off.window = nullptr;
    delete window;
    return true;
}

bool platShowWindow(PlatWindow* window, uint32_t command) {
    bool was = window->shown;
    window->shown = command != 0;
    return was;
}
bool platSetForegroundWindow(PlatWindow* window) { return window != nullptr; }
PlatWindow* platSetFocus(PlatWindow*) { return nullptr; }

bool platPeekMessage(PlatMessage* message) {
    applyDueEvents();
    return emuTakeMessage(message);
}

// Nothing arrives while waiting on a virtual system, so an empty queue is an error, not a hang.
int32_t platGetMessage(PlatMessage* message) {
    if (!platPeekMessage(message)) return -1;
    return message->message == WM_QUIT ? 0 : 1;
}

intptr_t platDispatchMessage(const PlatMessage* m) {
    if (!m->window || m->window != off.window || !m->window->windowProc) return 0;
    return m->window->windowProc(m->window, m->message, m->wParam, m->lParam);
}

PlatDC* platGetDC(PlatWindow* window) { return window ? &window->dc : nullptr; }
bool platReleaseDC(PlatWindow* window, PlatDC* dc) { return window && dc == &window->dc; }

// No one could press OK: the text goes to stderr and the box "returns" at once.
int32_t platMessageBox(PlatWindow*, const char* text, const char* caption, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return 1; // IDOK
}

bool platGetCursorPos(PlatPoint* point) {
    *point = off.cursor;
    return true;
}
bool platSetCursorPos(int32_t x, int32_t y) {
    off.cursor = {x, y};
    return true;
}
int32_t platShowCursor(bool show) { return emuShowCursor(show); }

// --- gdi32 ---

int32_t platChoosePixelFormat(PlatDC* dc, const PlatPixelFormat* r) {
    const uint32_t needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (!dc || !r || (r->flags & needed) != needed || r->pixelType != PFD_TYPE_RGBA) return 0;
    return 1;
}

bool platSetPixelFormat(PlatDC* dc, int32_t index, const PlatPixelFormat* r) {
    if (!dc || index != 1 || !r || dc->window->formatSet) return false;
    dc->window->format = *r;
    dc->window->formatSet = true;
    return true;
}

// A pbuffer has a single colour buffer: the swap finishes the frame's drawing, takes the frame's
// screenshots, runs the hook and moves the virtual clock; a double-buffer request costs nothing.
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
    off.frame += 1;
    off.now += off.player.script.stepMs;
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

// --- dinput: the devices read the scripted keyboard and mouse; the device rules are in
// platform_emulation.cpp ---

int32_t platSetCooperativeLevel(PlatDevice*, PlatWindow* window, uint32_t) {
    return window ? DI_OK : DIERR_INVALIDPARAM;
}

int32_t platGetDeviceState(PlatDevice* device, uint32_t size, void* data) {
    return emuGetDeviceState(device, size, data, applyDueEvents);
}

int32_t platGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                          uint32_t) {
    return emuGetDeviceData(device, recordSize, events, count, applyDueEvents);
}

// --- winmm ---

uint32_t platTimeGetTime() { return kClockStart + off.now; }
