// The real platform backend: the platform operations on SDL2 (X11 or Wayland), OpenGL through
// SDL's GL functions and a monotonic clock. SDL events become window messages (window close ->
// WM_CLOSE, SDL_QUIT from SIGINT/SIGTERM -> WM_QUIT), DIK key states and buffered mouse events,
// fed into the emulation shared with the offscreen backend (platform_emulation.h). The first game
// controller SDL knows (standard layout, ll/pad.h) gives the analog axes and holds keys.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#ifdef QV_GL_ES2
#include "glcompat/glcompat.h"
#endif
#include "ll/platform.h"
#include "ll/pad.h"
#include "ll/platform_emulation.h"
#include "ll/sdl_keymap.h"

struct PlatDC { PlatWindow* window; };
struct PlatWindow {
    std::string className, title;
    PlatWndProc windowProc;
    uint32_t style;
    int32_t x, y, width, height; // screen position and client size
    SDL_Window* sdl;             // made by platSetPixelFormat, when the GL attributes are known
    PlatPixelFormat format;      // the request it was made with
    bool shown;
    PlatDC dc;
};
struct PlatGLContext { SDL_GLContext gl; };

namespace {

struct SdlState {
    std::vector<PlatWindow*> windows;
    bool modePending; // a fullscreen display mode is in force (or will be once the window shows)
    SDL_DisplayMode mode;
    std::string reason; // why the latest failing operation failed, for the message box's stderr copy
    bool padsUp;        // the game controller subsystem is initialised
    bool padLookup;     // a controller was added since the last look for one
    SDL_GameController* pad; // the controller in use; null when none
    bool padPressed;    // one of its buttons was down once: from then on it counts
};

SdlState sdl = {};

void failWith(const std::string& why) { sdl.reason = why; }
void failWithSdl(const char* what) { sdl.reason = std::string(what) + ": " + SDL_GetError(); }

// A busy X server now and then refuses a new connection for a moment (seen under parallel
// sanitizer test runs), so the steps that open one are tried a few times before they fail.
template <class Step> bool withRetries(int attempts, uint32_t pauseMs, Step step) {
    for (int attempt = 1;; ++attempt) {
        if (step()) return true;
        if (attempt == attempts) return false;
        SDL_Delay(pauseMs);
    }
}

// Every window and a changed display mode hold one reference on SDL's video subsystem.
bool videoUp(const char* what) {
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0"); // closing the window is WM_CLOSE only
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Only drivers with a screen a person looks at: without one SDL would fall back to its
    // offscreen driver and the window would open nowhere. SDL_VIDEODRIVER still overrides.
    if (!SDL_getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    if (!withRetries(3, 100, [] { return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0; })) {
        failWithSdl(what);
        return false;
    }
    return true;
}
void videoDown() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

PlatWindow* windowFromId(uint32_t id) {
    for (PlatWindow* w : sdl.windows)
        if (w->sdl && SDL_GetWindowID(w->sdl) == id) return w;
    return nullptr;
}

void translate(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        emuPostMessage(nullptr, WM_QUIT, 0);
        break;
    case SDL_WINDOWEVENT: {
        PlatWindow* w = windowFromId(e.window.windowID);
        if (!w) break;
        intptr_t packed = intptr_t((e.window.data2 & 0xFFFF) << 16 | (e.window.data1 & 0xFFFF));
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) emuPostMessage(w, WM_CLOSE, 0);
        if (e.window.event == SDL_WINDOWEVENT_MOVED) emuPostMessage(w, WM_MOVE, packed);
        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) emuPostMessage(w, WM_SIZE, packed);
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        // Scancodes outside the table's range map to 0 and are dropped.
        uint8_t dik = dikFromSdlScancode(int(e.key.keysym.scancode));
        if (dik) emuSetKey(dik, e.type == SDL_KEYDOWN);
        break;
    }
    case SDL_MOUSEMOTION:
        if (e.motion.xrel) emuPushMouse(DIMOFS_X, uint32_t(e.motion.xrel), e.motion.timestamp);
        if (e.motion.yrel) emuPushMouse(DIMOFS_Y, uint32_t(e.motion.yrel), e.motion.timestamp);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        uint32_t data = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
        switch (e.button.button) {
        case SDL_BUTTON_LEFT: emuPushMouse(DIMOFS_BUTTON0, data, e.button.timestamp); break;
        case SDL_BUTTON_RIGHT: emuPushMouse(DIMOFS_BUTTON1, data, e.button.timestamp); break;
        case SDL_BUTTON_MIDDLE: emuPushMouse(DIMOFS_BUTTON2, data, e.button.timestamp); break;
        case SDL_BUTTON_X1: emuPushMouse(DIMOFS_BUTTON3, data, e.button.timestamp); break;
        default: break;
        }
        break;
    }
    case SDL_CONTROLLERDEVICEADDED:
        sdl.padLookup = true;
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        if (sdl.pad && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(sdl.pad)) == e.cdevice.which) {
            SDL_GameControllerClose(sdl.pad);
            sdl.pad = nullptr;
            sdl.padPressed = false;
            sdl.padLookup = true; // another may be there
        }
        break;
    case SDL_MOUSEWHEEL:
        if (e.wheel.y) emuPushMouse(DIMOFS_Z, uint32_t(e.wheel.y * 120), e.wheel.timestamp); // 120 per notch
        break;
    default:
        break;
    }
}

void samplePad(); // with the analog input, below

void pump() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) translate(e);
}

} // namespace

// --- kernel32 / user32 (the module handle, stock icons and cursors: platform_emulation.cpp) ---

// A class's icon and cursor go unused: the SDL window keeps SDL's own arrow cursor.
uint32_t platRegisterClass(const PlatWindowClass* c) { return emuRegisterClass(c, &sdl.reason); }

bool platUnregisterClass(const char* className, PlatInstance*) {
    return emuUnregisterClass(className, [](const std::string& name) {
        return std::any_of(sdl.windows.begin(), sdl.windows.end(), [&](PlatWindow* w) { return w->className == name; });
    });
}

// SDL changes the display mode through a fullscreen window, so the mode is checked and recorded
// here and applied when the popup window is made; restoring takes the window out of fullscreen.
int32_t platChangeDisplaySettings(const PlatDisplayMode* mode, uint32_t) {
    if (!mode) {
        if (!sdl.modePending) return DISP_CHANGE_SUCCESSFUL;
        for (PlatWindow* w : sdl.windows)
            if (w->sdl && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN)) SDL_SetWindowFullscreen(w->sdl, 0);
        sdl.modePending = false;
        videoDown();
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!videoUp("no display")) return DISP_CHANGE_FAILED;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
        if (m.w == int(mode->pelsWidth) && m.h == int(mode->pelsHeight) && SDL_BITSPERPIXEL(m.format) >= 24) {
            if (sdl.modePending) videoDown(); // replacing an earlier mode
            sdl.mode = m;
            sdl.modePending = true;
            return DISP_CHANGE_SUCCESSFUL;
        }
    }
    failWith("the display offers no " + std::to_string(mode->pelsWidth) + "x" + std::to_string(mode->pelsHeight) +
             " mode");
    videoDown();
    return DISP_CHANGE_BADMODE;
}

// An X11 or Wayland window is the client area; any frame is drawn by the window manager outside
// it, so the outer rectangle equals the client rectangle for every style.
bool platAdjustWindowRect(PlatRect* rect, uint32_t, bool, uint32_t) { return rect != nullptr; }

PlatWindow* platCreateWindow(uint32_t, const char* className, const char* title, uint32_t style, int32_t x,
                             int32_t y, int32_t width, int32_t height, PlatInstance*) {
    const EmuWindowClass* c = emuFindClass(className);
    if (!c) {
        failWith(std::string("window class \"") + (className ? className : "") + "\" is not registered");
        return nullptr;
    }
    if (!videoUp("no display")) return nullptr;
    PlatWindow* w = new PlatWindow{c->name, title ? title : "", c->windowProc, style, x, y, width, height,
                                   nullptr, {}, false, {nullptr}};
    w->dc.window = w;
    sdl.windows.push_back(w);
    if (w->windowProc(w, WM_CREATE, 0, 0) == -1) {
        platDestroyWindow(w);
        failWith("the window refused WM_CREATE");
        return nullptr;
    }
    return w;
}

bool platDestroyWindow(PlatWindow* window) {
    auto it = std::find(sdl.windows.begin(), sdl.windows.end(), window);
    if (it == sdl.windows.end()) return false;
    window->windowProc(window, WM_DESTROY, 0, 0);
    sdl.windows.erase(it);
    if (window->sdl) SDL_DestroyWindow(window->sdl);
    emuDropMessages(window);
    delete window;
    videoDown();
    return true;
}

bool platShowWindow(PlatWindow* window, uint32_t command) {
    bool was = window->shown;
    window->shown = command != 0;
    if (window->sdl) {
        if (window->shown)
            SDL_ShowWindow(window->sdl); // waits for the X server to map it
        else
            SDL_HideWindow(window->sdl);
    }
    return was;
}

bool platSetForegroundWindow(PlatWindow* window) {
    if (!window->sdl) return false;
    SDL_RaiseWindow(window->sdl);
    return true;
}

PlatWindow* platSetFocus(PlatWindow* window) {
    if (window->sdl && window->shown) SDL_SetWindowInputFocus(window->sdl);
    return nullptr;
}

bool platPeekMessage(PlatMessage* message) {
    pump();
    return emuTakeMessage(message);
}

int32_t platGetMessage(PlatMessage* message) {
    for (;;) {
        pump();
        if (emuTakeMessage(message)) return message->message == WM_QUIT ? 0 : 1;
        SDL_Event e;
        if (!SDL_WasInit(SDL_INIT_VIDEO) || !SDL_WaitEvent(&e)) return -1;
        translate(e);
    }
}

intptr_t platDispatchMessage(const PlatMessage* m) {
    if (!m->window || std::find(sdl.windows.begin(), sdl.windows.end(), m->window) == sdl.windows.end()) return 0;
    return m->window->windowProc(m->window, m->message, m->wParam, m->lParam);
}

PlatDC* platGetDC(PlatWindow* window) { return window ? &window->dc : nullptr; }
bool platReleaseDC(PlatWindow* window, PlatDC* dc) { return window && dc == &window->dc; }

// The text goes to stderr as well, so that it is read where no box can be shown.
int32_t platMessageBox(PlatWindow* owner, const char* text, const char* caption, uint32_t) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    if (!sdl.reason.empty()) std::fprintf(stderr, "  (%s)\n", sdl.reason.c_str());
    std::fflush(stderr);
    sdl.reason.clear();
    // On X11, SDL draws the box in a forked child that opens its own display connection and
    // drops that child's reason when it fails, so the reason printed may be an earlier helper's.
    const bool shown = withRetries(3, 200, [&] {
        SDL_ClearError();
        return SDL_ShowSimpleMessageBox(0, caption, text, owner ? owner->sdl : nullptr) == 0;
    });
    if (!shown) {
        std::fprintf(stderr, "  (message box not shown: %s)\n", *SDL_GetError() ? SDL_GetError() : "no reason given");
        return 0;
    }
    return 1; // IDOK
}

bool platGetCursorPos(PlatPoint* point) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    *point = {x, y};
    return true;
}

bool platSetCursorPos(int32_t x, int32_t y) {
    return SDL_WasInit(SDL_INIT_VIDEO) && SDL_WarpMouseGlobal(x, y) == 0;
}

int32_t platShowCursor(bool show) {
    int32_t counter = emuShowCursor(show);
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return counter;
}

// --- gdi32 ---

// One format family: RGBA, OpenGL, on a window; its exact sizes are settled by SetPixelFormat.
int32_t platChoosePixelFormat(PlatDC* dc, const PlatPixelFormat* r) {
    if (!dc || !r) return 0;
    const uint32_t needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if ((r->flags & needed) != needed || r->pixelType != PFD_TYPE_RGBA) {
        failWith("only RGBA OpenGL window formats are offered");
        return 0;
    }
    return 1;
}

// SDL (GLX in particular) picks the visual when the window is made and gives no stencil buffer
// unless asked, so every attribute is set first and the SDL window is made here.
bool platSetPixelFormat(PlatDC* dc, int32_t index, const PlatPixelFormat* r) {
    if (!dc || index != 1 || !r) return false;
    PlatWindow* w = dc->window;
    if (w->sdl) return false; // a window's format is set once
    SDL_GL_ResetAttributes();
    int channel = r->colorBits / 3, accum = r->accumBits / 3;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, r->depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, r->stencilBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (r->flags & PFD_DOUBLEBUFFER) ? 1 : 0);
#ifdef QV_GL_ES2
    // Built against the GL 1.1 layer: an OpenGL ES 2.0 context, whose functions the layer takes
    // from SDL (which may have made it through GLX rather than EGL).
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    glcompatSetLoader(SDL_GL_GetProcAddress);
#endif

    bool popup = (w->style & WS_POPUP) != 0;
    uint32_t flags = SDL_WINDOW_OPENGL | (w->shown ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    if (popup) flags |= SDL_WINDOW_BORDERLESS;
    // WS_OVERLAPPEDWINDOW includes the sizing frame: the window manager may resize and maximize it.
    constexpr uint32_t kSizingFrame = 0x00040000; // WS_THICKFRAME
    if (!popup && (w->style & kSizingFrame)) flags |= SDL_WINDOW_RESIZABLE;
    if (popup && sdl.modePending) flags |= SDL_WINDOW_FULLSCREEN;
    w->sdl = SDL_CreateWindow(w->title.c_str(), w->x, w->y, std::max(1, w->width), std::max(1, w->height), flags);
    if (!w->sdl) {
        failWithSdl("no OpenGL visual for this format");
        return false;
    }
    if (popup && sdl.modePending) SDL_SetWindowDisplayMode(w->sdl, &sdl.mode);
    w->format = *r;
    return true;
}

bool platSwapBuffers(PlatDC* dc) {
    if (!dc || !dc->window->sdl) return false;
    SDL_GL_SwapWindow(dc->window->sdl);
    return true;
}

// --- opengl32 (WGL) ---

// Reads back what the driver granted and refuses a context short of the request.
PlatGLContext* platCreateContext(PlatDC* dc) {
    if (!dc || !dc->window->sdl) return nullptr;
    PlatWindow* w = dc->window;
    SDL_GLContext gl = SDL_GL_CreateContext(w->sdl); // also makes it current
    if (!gl) {
        failWithSdl("no OpenGL context");
        return nullptr;
    }
    int doubleBuffer = 0, depth = 0, stencil = 0, red = 0, green = 0, blue = 0;
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
    SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red);
    SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &green);
    SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &blue);
#ifdef QV_GL_ES2
    // SDL reads the flag with glGetIntegerv(GL_DOUBLEBUFFER), which ES does not have; an ES
    // window surface always has a back buffer.
    doubleBuffer = 1;
#endif
    SDL_GL_MakeCurrent(w->sdl, nullptr);
    const PlatPixelFormat& r = w->format;
    bool wantDouble = (r.flags & PFD_DOUBLEBUFFER) != 0;
    if ((wantDouble && !doubleBuffer) || depth < r.depthBits || stencil < r.stencilBits ||
        red + green + blue < r.colorBits) {
        char why[160];
        std::snprintf(why, sizeof why, "granted double=%d color=%d depth=%d stencil=%d, asked %d/%d/%d/%d",
                      doubleBuffer, red + green + blue, depth, stencil, wantDouble, r.colorBits, r.depthBits,
                      r.stencilBits);
        failWith(why);
        SDL_GL_DeleteContext(gl);
        return nullptr;
    }
    return new PlatGLContext{gl};
}

bool platMakeCurrent(PlatDC* dc, PlatGLContext* context) {
    if (!context) {
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_GL_MakeCurrent(nullptr, nullptr);
        return true;
    }
    if (!dc || !dc->window->sdl) return false;
    if (SDL_GL_MakeCurrent(dc->window->sdl, context->gl) != 0) {
        failWithSdl("cannot make the context current");
        return false;
    }
    return true;
}

bool platDeleteContext(PlatGLContext* context) {
    if (!context) return false;
#ifdef QV_GL_ES2
    glcompatForget();  // the layer's ES objects go with the context
#endif
    SDL_GL_DeleteContext(context->gl);
    delete context;
    return true;
}

// --- dinput: the devices are views of SDL's event stream; the device rules are in
// platform_emulation.cpp ---

int32_t platSetCooperativeLevel(PlatDevice*, PlatWindow* window, uint32_t flags) {
    bool oneAccess = ((flags & DISCL_NONEXCLUSIVE) != 0) != ((flags & 0x01) != 0);
    bool oneScope = ((flags & DISCL_FOREGROUND) != 0) != ((flags & DISCL_BACKGROUND) != 0);
    return window && oneAccess && oneScope ? DI_OK : DIERR_INVALIDPARAM;
}

// The pad is sampled with the keyboard, so that its buttons are in this read's keys.
int32_t platGetDeviceState(PlatDevice* device, uint32_t size, void* data) {
    return emuGetDeviceState(device, size, data, [] {
        pump();
        samplePad();
    });
}

// SDL is asked for more only once the buffered events are read.
int32_t platGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                          uint32_t) {
    return emuGetDeviceData(device, recordSize, events, count, [] {
        if (!emuMouseEventsPending()) pump();
    });
}

// --- analog input ---

namespace {

// The controller subsystem starts with the first sample after a window is up; like the keyboard,
// a pad is read whether or not the window has the focus.
void startPads() {
    if (sdl.padsUp || !SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    sdl.padsUp = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    sdl.padLookup = sdl.padsUp;
}

// A newly opened pad counts only once one of its buttons is pressed.
void openFirstPad() {
    sdl.padLookup = false;
    for (int i = 0; !sdl.pad && i < SDL_NumJoysticks(); ++i)
        if (SDL_IsGameController(i)) {
            sdl.pad = SDL_GameControllerOpen(i);
            sdl.padPressed = false;
        }
}

PadState readPad(SDL_GameController* pad) {
    auto axis = [&](SDL_GameControllerAxis a) { return float(SDL_GameControllerGetAxis(pad, a)) / 32767.0f; };
    PadState state{};
    state.leftX = axis(SDL_CONTROLLER_AXIS_LEFTX);
    state.leftY = axis(SDL_CONTROLLER_AXIS_LEFTY);
    state.rightX = axis(SDL_CONTROLLER_AXIS_RIGHTX);
    state.rightY = axis(SDL_CONTROLLER_AXIS_RIGHTY);
    state.leftTrigger = axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    state.rightTrigger = axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    // SDL names the buttons by position, as the standard layout numbers them.
    static const struct {
        PadButton pad;
        SDL_GameControllerButton sdl;
    } buttons[] = {{kPadA, SDL_CONTROLLER_BUTTON_A},
                   {kPadB, SDL_CONTROLLER_BUTTON_B},
                   {kPadX, SDL_CONTROLLER_BUTTON_X},
                   {kPadY, SDL_CONTROLLER_BUTTON_Y},
                   {kPadLeftShoulder, SDL_CONTROLLER_BUTTON_LEFTSHOULDER},
                   {kPadRightShoulder, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER},
                   {kPadBack, SDL_CONTROLLER_BUTTON_BACK},
                   {kPadStart, SDL_CONTROLLER_BUTTON_START}};
    for (const auto& b : buttons) state.buttons[b.pad] = SDL_GameControllerGetButton(pad, b.sdl) != 0;
    state.buttons[kPadLeftTrigger] = state.leftTrigger > 0.5f;
    state.buttons[kPadRightTrigger] = state.rightTrigger > 0.5f;
    return state;
}

// Samples the pad in use into the emulation's analog axes and pad keys.
void samplePad() {
    startPads();
    if (sdl.padLookup) openFirstPad();
    PadState pad{};
    if (sdl.pad) {
        SDL_GameControllerUpdate();
        pad = readPad(sdl.pad);
        if (padAnyButton(pad)) sdl.padPressed = true;
    }
    if (!sdl.padPressed) pad = PadState{}; // no pad, or one that has not been pressed yet
    emuSetAnalog(padAnalog(pad));
    for (const PadKey& k : kPadKeys) emuSetPadKey(k.dik, pad.buttons[k.button]);
}

} // namespace

void platGetAnalog(PlatAnalog* out) { *out = emuAnalog(); }

// --- winmm ---

uint32_t platTimeGetTime() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}
