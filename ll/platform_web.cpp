// The web platform backend: the platform operations in a browser, on Emscripten's html5.h. The
// window is the page's 800 x 600 canvas (the page scales it to fit at 4:3), its GL context a WebGL
// 1 context with depth and stencil; keys come by physical key (KeyboardEvent.code) through the
// one key table, the mouse through pointer lock (a click on the canvas takes it, the browser's
// Escape gives it back); the clock is performance.now(). Message boxes become a panel of the page
// and a line on the console. Events feed the emulation shared with the desktop backends
// (platform_emulation.h); a scripted flight replaces them with a script and a virtual clock. The
// window operations are the ones shared with the offscreen backend (platform_emulation_window.h).
#include "ll/platform_web.h"

#include <emscripten.h>
#include <emscripten/html5.h>
#include <emscripten/html5_webgl.h>
#include <webgl/webgl1.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "glcompat/glcompat.h"
#include "ll/keymap.h"
#include "ll/platform_emulation.h"
#include "ll/web_touch_pad.h"
#include "ll/platform_emulation_window.h"

struct PlatGLContext { EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle; };

namespace {

struct WebState {
    // what the page's program set
    bool scripted;
    ScriptPlayer player;
    bool timed;
    WebFrameHook frameHook;
    // the system (the window and the virtual cursor: platform_emulation_window.cpp)
    PlatGLContext* context;
    bool canvasUsed;     // a context was made on the canvas before: the next one needs a fresh canvas
    bool inputHooked;    // the page's events are routed here
    bool dragging;       // button 0 held over the canvas without pointer lock
    uint32_t now;        // scripted: virtual milliseconds since the start
    bool clockRead;      // the browser's clock: whether it was read yet,
    double lastReading;  // its latest reading (performance.now(), ms)
    double skippedMs;    // and the time it left out (see browserClock)
    uint32_t frame;      // frames swapped so far
    // results
    std::vector<double> frameTimes;
    std::string renderer;
    bool frameStarted;
    double frameStart;
};

WebState web{};
constexpr uint32_t kClockStart = 1000;
// The longest step the browser's clock takes between two readings. A page in a background tab
// gets no frames at all, and a busy machine can hold one frame for seconds: the time beyond this
// is skipped, so that a camera with speed does not fly through the walls in one frame.
constexpr double kLongestStepMs = 250;

uint32_t browserClock() {
    const double now = emscripten_get_now();
    if (web.clockRead && now - web.lastReading > kLongestStepMs) web.skippedMs += now - web.lastReading - kLongestStepMs;
    web.clockRead = true;
    web.lastReading = now;
    return uint32_t(int64_t(now - web.skippedMs));
}

uint32_t stamp() { return web.scripted ? kClockStart + web.now : browserClock(); }

void applyDueEvents() {
    if (!web.frameStarted) {
        web.frameStarted = true;
        web.frameStart = emscripten_get_now();
    }
    if (!web.scripted) return;
    web.now = scriptPlayerClock(web.player, web.frame);
    scriptPlayerApply(web.player, web.frame, kClockStart + web.now, emuWindow(), emuCursor());
}

void releaseAllKeys() {
    for (int k = 0; k < 256; ++k) emuSetKey(uint8_t(k), false);
}

// --- the page's events ---

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void*) {
    if (web.scripted) return EM_FALSE;
    const uint8_t dik = dikFromKeyCode(e->code);
    if (!dik) return EM_FALSE;
    // With the pointer locked, Escape belongs to the browser: it gives the pointer back and the
    // demo goes on, as the page tells the user.
    if (dik == 0x01 && webPointerLocked()) return EM_FALSE;
    // Browser shortcuts stay the browser's.
    if (e->ctrlKey || e->altKey || e->metaKey) return EM_FALSE;
    emuSetKey(dik, type == EMSCRIPTEN_EVENT_KEYDOWN);
    return EM_TRUE; // the demo's keys (arrows, space, F1-F12) must not scroll or reload the page
}

// A window that loses the focus gets no key-up for what was held: nothing stays held.
EM_BOOL onBlur(int, const EmscriptenFocusEvent*, void*) {
    releaseAllKeys();
    web.dragging = false;
    return EM_FALSE;
}

void pushButton(unsigned short button, bool down) {
    static const uint32_t kOffsets[] = {DIMOFS_BUTTON0, DIMOFS_BUTTON2, DIMOFS_BUTTON1, DIMOFS_BUTTON3};
    if (button < 4) emuPushMouse(kOffsets[button], down ? 0x80 : 0, stamp());
}

EM_BOOL onMouseDown(int, const EmscriptenMouseEvent* e, void*) {
    if (web.scripted) return EM_FALSE;
    if (webTouchUsed()) return EM_FALSE; // a touch device: touches steer, the pointer is never locked
    if (!webPointerLocked()) {
        // The click that takes the pointer; until the browser grants it, a drag turns the view.
        emscripten_request_pointerlock(kWebCanvas, EM_TRUE);
        if (e->button == 0) web.dragging = true;
        return EM_TRUE;
    }
    pushButton(e->button, true);
    return EM_TRUE;
}

EM_BOOL onMouseUp(int, const EmscriptenMouseEvent* e, void*) {
    if (web.scripted) return EM_FALSE;
    if (e->button == 0) web.dragging = false;
    if (webPointerLocked()) pushButton(e->button, false);
    return EM_FALSE;
}

EM_BOOL onMouseMove(int, const EmscriptenMouseEvent* e, void*) {
    if (web.scripted || !(webPointerLocked() || web.dragging)) return EM_FALSE;
    const int32_t dx = int32_t(e->movementX), dy = int32_t(e->movementY);
    // A virtual cursor: the pointer is locked, so the page has none to read.
    emuCursor().x += dx;
    emuCursor().y += dy;
    if (dx) emuPushMouse(DIMOFS_X, uint32_t(dx), stamp());
    if (dy) emuPushMouse(DIMOFS_Y, uint32_t(dy), stamp());
    return EM_FALSE;
}

EM_BOOL onPointerLock(int, const EmscriptenPointerlockChangeEvent* e, void*) {
    if (e->isActive) web.dragging = false;
    EM_ASM({ if (Module.quorvelPointerLock) Module.quorvelPointerLock($0); }, e->isActive);
    return EM_FALSE;
}

void hookInput(bool on) {
    if (on == web.inputHooked) return;
    web.inputHooked = on;
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    const char* document = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
    emscripten_set_keydown_callback(window, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_keyup_callback(window, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_blur_callback(window, nullptr, EM_TRUE, on ? onBlur : nullptr);
    emscripten_set_mousedown_callback(kWebCanvas, nullptr, EM_TRUE, on ? onMouseDown : nullptr);
    emscripten_set_mouseup_callback(document, nullptr, EM_TRUE, on ? onMouseUp : nullptr);
    emscripten_set_mousemove_callback(document, nullptr, EM_TRUE, on ? onMouseMove : nullptr);
    emscripten_set_pointerlockchange_callback(document, nullptr, EM_TRUE, on ? onPointerLock : nullptr);
}

// A canvas keeps the WebGL context it first gave out, with all its state; a new context for a
// new start of the demo needs a new canvas in its place.
EM_JS(void, freshCanvas, (const char* selector), {
    var old = document.querySelector(UTF8ToString(selector));
    if (!old) return;
    var canvas = old.cloneNode(false);
    old.parentNode.replaceChild(canvas, old);
    if (Module.quorvelCanvasReplaced) Module.quorvelCanvasReplaced(canvas);
});

// The renderer's own name where the browser tells it, else WebGL's generic one.
EM_JS(char*, rendererName, (), {
    var gl = GLctx;
    var name = gl.getParameter(gl.RENDERER);
    var info = gl.getExtension("WEBGL_debug_renderer_info");
    if (info) name = gl.getParameter(info.UNMASKED_RENDERER_WEBGL) || name;
    var size = lengthBytesUTF8(name) + 1;
    var text = _malloc(size);
    stringToUTF8(name, text, size);
    return text;
});

EM_JS(void, showMessageBox, (const char* caption, const char* text), {
    if (Module.quorvelMessageBox) Module.quorvelMessageBox(UTF8ToString(caption), UTF8ToString(text));
});

} // namespace

// --- control ---

void webReset() {
    const bool canvasUsed = web.canvasUsed;
    hookInput(false);
    web = WebState{};
    web.canvasUsed = canvasUsed;
    emuReset();
    emuWindowReset();
    webTouchPadReset();
}

void webSetScript(const OffscreenScript& script) {
    web.scripted = true;
    scriptPlayerLoad(web.player, script);
}
bool webScripted() { return web.scripted; }
void webSetTimed(bool timed) { web.timed = timed; }
void webSetFrameHook(WebFrameHook hook) { web.frameHook = hook; }
uint32_t webFrames() { return web.frame; }
const std::vector<double>& webFrameTimes() { return web.frameTimes; }
const std::string& webRenderer() { return web.renderer; }

bool webReadPixels(std::vector<uint8_t>& rgba, int& width, int& height) {
    if (!web.context) return false;
    int w = 0, h = 0;
    emscripten_webgl_get_drawing_buffer_size(web.context->handle, &w, &h);
    if (w <= 0 || h <= 0) return false;
    rgba.resize(size_t(w) * h * 4);
    emscripten_glPixelStorei(GL_PACK_ALIGNMENT, 1);
    emscripten_glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    width = w;
    height = h;
    return true;
}

void webLookBy(int32_t dx, int32_t dy) {
    if (web.scripted) return;
    emuCursor().x += dx;
    emuCursor().y += dy;
    if (dx) emuPushMouse(DIMOFS_X, uint32_t(dx), stamp());
    if (dy) emuPushMouse(DIMOFS_Y, uint32_t(dy), stamp());
}

bool webPointerLocked() {
    EmscriptenPointerlockChangeEvent status;
    return emscripten_get_pointerlock_status(&status) == EMSCRIPTEN_RESULT_SUCCESS && status.isActive;
}

// --- user32: the window, messages and cursor are platform_emulation_window.cpp's ---

void emuWindowUpdate() { applyDueEvents(); }

void emuWindowCreated(PlatWindow* w, int32_t x, int32_t y) {
    const FlightStart& start = web.player.script.start;
    if (web.scripted && start.cursorGiven)
        emuCursor() = {x + w->width / 2 + start.cursor[0], y + w->height / 2 + start.cursor[1]};
}

// Touch controls and pads are sampled with the keyboard (a scripted flight has neither).
void emuWindowDeviceRead(bool after) {
    if (web.scripted) return;
    if (after)
        webTouchPadAfterRead();
    else
        webTouchPadSample();
}

void emuWindowDestroyed(PlatWindow*) {
    hookInput(false);
    if (webPointerLocked()) emscripten_exit_pointerlock();
    releaseAllKeys();
}

// The page shows the box as a panel over the canvas; the console gets the same line. A page
// cannot wait for OK inside a frame, so the box "returns" at once.
int32_t platMessageBox(PlatWindow*, const char* text, const char* caption, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    showMessageBox(caption ? caption : "", text ? text : "");
    return 1; // IDOK
}

// --- gdi32 ---

// The browser shows what was drawn when the frame's callback returns; the swap only finishes
// the frame's bookkeeping: the timed wait, the frame time and the hook.
bool platSwapBuffers(PlatDC* dc) {
    if (!dc || !web.context) return false;
    glcompatEndFrame();  // the layer draws what it holds and starts its next frame's buffer afresh
    if (web.timed) {
        // WebGL's finish does not wait; reading a pixel back does, for all the work before it.
        uint8_t pixel[4];
        emscripten_glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    }
    const double end = emscripten_get_now();
    web.frameTimes.push_back(end - web.frameStart);
    if (web.frameHook) web.frameHook(web.frame);
    web.frame += 1; // a script's clock moves on when the next frame's pass first asks for input
    web.frameStart = emscripten_get_now();
    return true;
}

// --- opengl32 (WGL) ---

// A WebGL 1 context on the canvas, sized to the window, with the format's depth and stencil;
// refused when the browser grants fewer bits than asked for.
PlatGLContext* platCreateContext(PlatDC* dc) {
    if (!dc || !dc->window->formatSet || web.context) return nullptr;
    const PlatPixelFormat& r = dc->window->format;
    if (web.canvasUsed) freshCanvas(kWebCanvas);
    emscripten_set_canvas_element_size(kWebCanvas, dc->window->width, dc->window->height);
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = r.depthBits > 0;
    attributes.stencil = r.stencilBits > 0;
    attributes.antialias = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle = emscripten_webgl_create_context(kWebCanvas, &attributes);
    if (handle <= 0) {
        std::fprintf(stderr, "web: no WebGL context on %s (%d)\n", kWebCanvas, int(handle));
        return nullptr;
    }
    web.canvasUsed = true;
    emscripten_webgl_make_context_current(handle);
    GLint depth = 0, stencil = 0;
    emscripten_glGetIntegerv(GL_DEPTH_BITS, &depth);
    emscripten_glGetIntegerv(GL_STENCIL_BITS, &stencil);
    if (depth < r.depthBits || stencil < r.stencilBits) {
        std::fprintf(stderr, "web: WebGL granted depth %d and stencil %d, asked %d and %d\n", depth, stencil,
                     r.depthBits, r.stencilBits);
        emscripten_webgl_make_context_current(0);
        emscripten_webgl_destroy_context(handle);
        return nullptr;
    }
    // The GL 1.1 layer starts on the new context, so that a context it cannot use is refused here.
    std::string error;
    if (!glcompatInit(error)) {
        std::fprintf(stderr, "web: %s\n", error.c_str());
        emscripten_webgl_make_context_current(0);
        emscripten_webgl_destroy_context(handle);
        return nullptr;
    }
    char* name = rendererName();
    web.renderer = name;
    free(name);
    web.context = new PlatGLContext{handle};
    hookInput(true);
    return web.context;
}

bool platMakeCurrent(PlatDC* dc, PlatGLContext* context) {
    if (!context) {
        emscripten_webgl_make_context_current(0);
        return true;
    }
    if (!dc || context != web.context) return false;
    return emscripten_webgl_make_context_current(context->handle) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool platDeleteContext(PlatGLContext* context) {
    if (!context || context != web.context) return false;
    emscripten_webgl_make_context_current(context->handle);
    glcompatShutdown(); // the layer's ES objects go while their context is still current
    emscripten_webgl_destroy_context(context->handle);
    delete context;
    web.context = nullptr;
    return true;
}

// --- analog input ---

void platGetAnalog(PlatAnalog* out) { *out = emuAnalog(); }

// --- winmm ---

uint32_t platTimeGetTime() { return stamp(); }
