// The one-window backends' shared platform operations (see platform_emulation_window.h).
#include "ll/platform_emulation_window.h"

#include "ll/platform_emulation.h"

namespace {

struct WindowState {
    PlatWindow* window;
    PlatPoint cursor;
};

WindowState one = {};

}  // namespace

void emuWindowReset() { one = WindowState{}; }

PlatWindow* emuWindow() { return one.window; }
PlatPoint& emuCursor() { return one.cursor; }

// --- user32 ---

uint32_t platRegisterClass(const PlatWindowClass* c) { return emuRegisterClass(c, nullptr); }

bool platUnregisterClass(const char* className, PlatInstance*) {
    return emuUnregisterClass(className,
                              [](const std::string& name) { return one.window && one.window->className == name; });
}

// There is no display whose mode could change; the surface has the requested size anyway.
int32_t platChangeDisplaySettings(const PlatDisplayMode*, uint32_t) { return DISP_CHANGE_SUCCESSFUL; }

// The surface has no frame: the outer rectangle is the client rectangle.
bool platAdjustWindowRect(PlatRect* rect, uint32_t, bool, uint32_t) { return rect != nullptr; }

PlatWindow* platCreateWindow(uint32_t, const char* className, const char*, uint32_t, int32_t x, int32_t y,
                             int32_t width, int32_t height, PlatInstance*) {
    // One window: it is the one surface of the process.
    const EmuWindowClass* c = emuFindClass(className);
    if (one.window || !c) return nullptr;
    PlatWindow* w = new PlatWindow{c->name, c->windowProc, width, height, false, {}, false, {nullptr}};
    w->dc.window = w;
    one.window = w;
    emuWindowCreated(w, x, y);
    if (w->windowProc(w, WM_CREATE, 0, 0) == -1) {
        platDestroyWindow(w);
        return nullptr;
    }
    return w;
}

bool platDestroyWindow(PlatWindow* window) {
    if (!window || window != one.window) return false;
    if (window->windowProc) window->windowProc(window, WM_DESTROY, 0, 0);
    emuWindowDestroyed(window);
    emuDropMessages(window);
    one.window = nullptr;
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
    emuWindowUpdate();
    return emuTakeMessage(message);
}

// Nothing arrives while waiting here (a virtual system, or a page that cannot wait inside a
// frame), so an empty queue is an error, not a hang.
int32_t platGetMessage(PlatMessage* message) {
    if (!platPeekMessage(message)) return -1;
    return message->message == WM_QUIT ? 0 : 1;
}

intptr_t platDispatchMessage(const PlatMessage* m) {
    if (!m->window || m->window != one.window || !m->window->windowProc) return 0;
    return m->window->windowProc(m->window, m->message, m->wParam, m->lParam);
}

PlatDC* platGetDC(PlatWindow* window) { return window ? &window->dc : nullptr; }
bool platReleaseDC(PlatWindow* window, PlatDC* dc) { return window && dc == &window->dc; }

bool platGetCursorPos(PlatPoint* point) {
    *point = one.cursor;
    return true;
}
bool platSetCursorPos(int32_t x, int32_t y) {
    one.cursor = {x, y};
    return true;
}
// No arrow is drawn over the surface; the counter is kept as the system keeps it.
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

// --- dinput: the device rules are in platform_emulation.cpp ---

int32_t platSetCooperativeLevel(PlatDevice*, PlatWindow* window, uint32_t) {
    return window ? DI_OK : DIERR_INVALIDPARAM;
}

int32_t platGetDeviceState(PlatDevice* device, uint32_t size, void* data) {
    const int32_t result = emuGetDeviceState(device, size, data, [] {
        emuWindowUpdate();
        emuWindowDeviceRead(false);
    });
    emuWindowDeviceRead(true);
    return result;
}

int32_t platGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                          uint32_t) {
    return emuGetDeviceData(device, recordSize, events, count, emuWindowUpdate);
}
