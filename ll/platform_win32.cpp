// The Windows backend: every platform operation is the Win32, GDI, WGL, DirectInput 5 or winmm
// call it is named after, and the system gives every result. Handles are the system's handles
// cast to the platform's opaque types. The only addition is an optional trace: with the
// environment variable QUORVEL_TRACE naming a file, a few facts the system reports (the class
// atom, the window's client size, the pixel format granted, the keys down, display modes,
// message boxes) are appended to it, so that tests can see what the system did.
//
// platform.h comes first: it names the same constants that windows.h then defines as macros.
#include "ll/platform.h"
#include "ll/pad_xinput.h"

#define WIN32_LEAN_AND_MEAN
#define DIRECTINPUT_VERSION 0x0500
#include <windows.h>
#include <dinput.h>
#include <mmsystem.h>
#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static_assert(sizeof(PlatDeviceEvent) == sizeof(DIDEVICEOBJECTDATA_DX3), "one mouse event is a DirectInput 5 record");
static_assert(sizeof(PlatPropDword) == sizeof(DIPROPDWORD), "the buffer-size property is a DIPROPDWORD");

namespace {

struct RegisteredClass {
    std::string name;
    PlatWndProc windowProc;
};

struct Win32State {
    std::vector<RegisteredClass> classes; // LL's procedure for each class this backend registered
    MSG lastMessage;                      // the latest message taken, dispatched whole
    FILE* trace;                          // QUORVEL_TRACE, opened on first use
    bool traceChecked;
    bool firstSwapTraced;
    uint8_t tracedKeys[256];              // the key state last written to the trace
    bool padPressed;                      // the XInput pad had a button down: it counts from then on
    PlatAnalog analog;                    // the pad's axes as the latest keyboard read sampled them
};

Win32State win = {};

// True when a trace was asked for; opens its file on first use.
bool tracing() {
    if (!win.traceChecked) {
        win.traceChecked = true;
        const char* path = std::getenv("QUORVEL_TRACE");
        if (path && *path) win.trace = std::fopen(path, "ab"); // "\n" line ends on every platform
    }
    return win.trace != nullptr;
}

void trace(const char* format, ...) {
    if (!tracing()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(win.trace, format, args);
    va_end(args);
    std::fputc('\n', win.trace);
    std::fflush(win.trace);
}

HWND hwnd(PlatWindow* window) { return reinterpret_cast<HWND>(window); }
HDC hdc(PlatDC* dc) { return reinterpret_cast<HDC>(dc); }
IDirectInputA* directInput(PlatDirectInput* d) { return reinterpret_cast<IDirectInputA*>(d); }
IDirectInputDeviceA* device(PlatDevice* d) { return reinterpret_cast<IDirectInputDeviceA*>(d); }

// The window procedure of every class registered here: finds LL's procedure by the window's
// class name and hands it the message.
LRESULT CALLBACK classWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    for (const RegisteredClass& c : win.classes)
        if (c.name == name)
            return LRESULT(c.windowProc(reinterpret_cast<PlatWindow*>(window), message, wParam, lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

void fillPixelFormat(const PlatPixelFormat* request, PIXELFORMATDESCRIPTOR* pfd) {
    std::memset(pfd, 0, sizeof *pfd);
    pfd->nSize = request->size;
    pfd->nVersion = request->version;
    pfd->dwFlags = request->flags;
    pfd->iPixelType = request->pixelType;
    pfd->cColorBits = request->colorBits;
    pfd->cAccumBits = request->accumBits;
    pfd->cDepthBits = request->depthBits;
    pfd->cStencilBits = request->stencilBits;
    pfd->cAuxBuffers = request->auxBuffers;
    pfd->iLayerType = request->layerType;
}

void traceDisplayMode(const char* when) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        trace("display %s %lux%lux%lu", when, mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
}

} // namespace

// --- kernel32 / user32 ---

PlatInstance* platGetModuleHandle() { return reinterpret_cast<PlatInstance*>(GetModuleHandleA(nullptr)); }

PlatIcon* platLoadIcon(uintptr_t id) {
    return reinterpret_cast<PlatIcon*>(LoadIconA(nullptr, MAKEINTRESOURCEA(id)));
}

PlatCursor* platLoadCursor(uintptr_t id) {
    return reinterpret_cast<PlatCursor*>(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

uint32_t platRegisterClass(const PlatWindowClass* c) {
    if (!c || !c->className || !c->windowProc) return 0;
    WNDCLASSA wc = {};
    wc.style = c->style;
    wc.lpfnWndProc = classWindowProc;
    wc.cbClsExtra = c->classExtra;
    wc.cbWndExtra = c->windowExtra;
    wc.hInstance = reinterpret_cast<HINSTANCE>(c->instance);
    wc.hIcon = reinterpret_cast<HICON>(c->icon);
    wc.hCursor = reinterpret_cast<HCURSOR>(c->cursor);
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = c->className;
    // Known before the first message arrives: CreateWindowExA sends several.
    win.classes.push_back({c->className, c->windowProc});
    const ATOM atom = RegisterClassA(&wc);
    if (atom == 0) win.classes.pop_back();
    trace("RegisterClassA %s atom=0x%04x", c->className, unsigned(atom));
    return atom;
}

bool platUnregisterClass(const char* className, PlatInstance* instance) {
    const bool ok = UnregisterClassA(className, reinterpret_cast<HINSTANCE>(instance)) != 0;
    if (ok)
        for (size_t i = 0; i < win.classes.size(); ++i)
            if (win.classes[i].name == className) {
                win.classes.erase(win.classes.begin() + long(i));
                break;
            }
    return ok;
}

int32_t platChangeDisplaySettings(const PlatDisplayMode* mode, uint32_t flags) {
    if (!mode) {
        const LONG result = ChangeDisplaySettingsA(nullptr, flags);
        trace("ChangeDisplaySettingsA restore -> %ld", long(result));
        traceDisplayMode("after restore");
        return int32_t(result);
    }
    traceDisplayMode("before change");
    DEVMODEA devMode = {};
    devMode.dmSize = sizeof devMode;
    devMode.dmFields = mode->fields;
    devMode.dmBitsPerPel = mode->bitsPerPel;
    devMode.dmPelsWidth = mode->pelsWidth;
    devMode.dmPelsHeight = mode->pelsHeight;
    const LONG result = ChangeDisplaySettingsA(&devMode, flags);
    trace("ChangeDisplaySettingsA %lux%lux%lu -> %ld", devMode.dmPelsWidth, devMode.dmPelsHeight,
          devMode.dmBitsPerPel, long(result));
    traceDisplayMode("after change");
    return int32_t(result);
}

bool platAdjustWindowRect(PlatRect* rect, uint32_t style, bool menu, uint32_t exStyle) {
    RECT r = {rect->left, rect->top, rect->right, rect->bottom};
    if (!AdjustWindowRectEx(&r, style, menu, exStyle)) return false;
    *rect = {r.left, r.top, r.right, r.bottom};
    return true;
}

PlatWindow* platCreateWindow(uint32_t exStyle, const char* className, const char* title, uint32_t style, int32_t x,
                             int32_t y, int32_t width, int32_t height, PlatInstance* instance) {
    HWND window = CreateWindowExA(exStyle, className, title, style, x, y, width, height, nullptr, nullptr,
                                  reinterpret_cast<HINSTANCE>(instance), nullptr);
    if (window && tracing()) {
        char name[256] = {};
        GetClassNameA(window, name, sizeof name);
        RECT client = {};
        GetClientRect(window, &client);
        trace("CreateWindowExA class=%s client=%ldx%ld outer=%dx%d style=0x%08x", name, client.right - client.left,
              client.bottom - client.top, width, height, unsigned(style));
    }
    return reinterpret_cast<PlatWindow*>(window);
}

bool platDestroyWindow(PlatWindow* window) { return DestroyWindow(hwnd(window)) != 0; }

bool platShowWindow(PlatWindow* window, uint32_t command) { return ShowWindow(hwnd(window), int(command)) != 0; }

bool platSetForegroundWindow(PlatWindow* window) { return SetForegroundWindow(hwnd(window)) != 0; }

PlatWindow* platSetFocus(PlatWindow* window) { return reinterpret_cast<PlatWindow*>(SetFocus(hwnd(window))); }

intptr_t platDefWindowProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return intptr_t(DefWindowProcA(hwnd(window), message, wParam, lParam));
}

namespace {

void keepMessage(const MSG& msg, PlatMessage* message) {
    win.lastMessage = msg;
    message->window = reinterpret_cast<PlatWindow*>(msg.hwnd);
    message->message = msg.message;
    message->wParam = msg.wParam;
    message->lParam = msg.lParam;
}

} // namespace

bool platPeekMessage(PlatMessage* message) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    keepMessage(msg, message);
    return true;
}

int32_t platGetMessage(PlatMessage* message) {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got != -1) keepMessage(msg, message);
    return int32_t(got);
}

// The message as it was taken (with its time and cursor point) when it is the latest one;
// otherwise one made from the fields given.
intptr_t platDispatchMessage(const PlatMessage* m) {
    MSG msg = win.lastMessage;
    if (reinterpret_cast<PlatWindow*>(msg.hwnd) != m->window || msg.message != m->message || msg.wParam != m->wParam ||
        msg.lParam != m->lParam) {
        msg = MSG{};
        msg.hwnd = hwnd(m->window);
        msg.message = m->message;
        msg.wParam = m->wParam;
        msg.lParam = m->lParam;
    }
    return intptr_t(DispatchMessageA(&msg));
}

PlatDC* platGetDC(PlatWindow* window) { return reinterpret_cast<PlatDC*>(GetDC(hwnd(window))); }

bool platReleaseDC(PlatWindow* window, PlatDC* dc) { return ReleaseDC(hwnd(window), hdc(dc)) != 0; }

// A copy goes to stderr first, so that the reason can be read where no box can be seen.
int32_t platMessageBox(PlatWindow* owner, const char* text, const char* caption, uint32_t type) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    trace("MessageBoxA caption=\"%s\" text=\"%s\"", caption ? caption : "", text ? text : "");
    const int result = MessageBoxA(hwnd(owner), text, caption, type);
    trace("MessageBoxA dismissed -> %d", result);
    return result;
}

bool platGetCursorPos(PlatPoint* point) {
    POINT p = {};
    if (!GetCursorPos(&p)) return false;
    *point = {p.x, p.y};
    return true;
}

bool platSetCursorPos(int32_t x, int32_t y) { return SetCursorPos(x, y) != 0; }

int32_t platShowCursor(bool show) { return ShowCursor(show ? TRUE : FALSE); }

// --- gdi32 ---

int32_t platChoosePixelFormat(PlatDC* dc, const PlatPixelFormat* request) {
    PIXELFORMATDESCRIPTOR pfd;
    fillPixelFormat(request, &pfd);
    return ChoosePixelFormat(hdc(dc), &pfd);
}

bool platSetPixelFormat(PlatDC* dc, int32_t index, const PlatPixelFormat* request) {
    PIXELFORMATDESCRIPTOR pfd;
    fillPixelFormat(request, &pfd);
    const bool ok = SetPixelFormat(hdc(dc), index, &pfd) != 0;
    if (ok && tracing()) {
        PIXELFORMATDESCRIPTOR granted = {};
        DescribePixelFormat(hdc(dc), index, sizeof granted, &granted);
        trace("SetPixelFormat index=%d color=%u depth=%u stencil=%u accum=%u double=%d", int(index),
              unsigned(granted.cColorBits), unsigned(granted.cDepthBits), unsigned(granted.cStencilBits),
              unsigned(granted.cAccumBits), (granted.dwFlags & PFD_DOUBLEBUFFER) ? 1 : 0);
    }
    return ok;
}

bool platSwapBuffers(PlatDC* dc) {
    if (!win.firstSwapTraced && tracing()) {
        // What the context itself reports, read once, when the first frame is presented.
        win.firstSwapTraced = true;
        GLint stencil = 0, depth = 0;
        glGetIntegerv(GL_STENCIL_BITS, &stencil);
        glGetIntegerv(GL_DEPTH_BITS, &depth);
        RECT client = {};
        POINT origin = {0, 0};
        HWND window = WindowFromDC(hdc(dc));
        GetClientRect(window, &client);
        ClientToScreen(window, &origin);
        trace("first SwapBuffers client=%ldx%ld at=%ld,%ld stencil=%d depth=%d renderer=%s", client.right, client.bottom,
              origin.x, origin.y, int(stencil), int(depth), reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    }
    return SwapBuffers(hdc(dc)) != 0;
}

// --- opengl32 (WGL) ---

PlatGLContext* platCreateContext(PlatDC* dc) { return reinterpret_cast<PlatGLContext*>(wglCreateContext(hdc(dc))); }

bool platMakeCurrent(PlatDC* dc, PlatGLContext* context) {
    return wglMakeCurrent(hdc(dc), reinterpret_cast<HGLRC>(context)) != 0;
}

bool platDeleteContext(PlatGLContext* context) { return wglDeleteContext(reinterpret_cast<HGLRC>(context)) != 0; }

// --- dinput (DirectInput 5) ---

int32_t platDirectInputCreate(PlatInstance* instance, uint32_t version, PlatDirectInput** out) {
    IDirectInputA* created = nullptr;
    const HRESULT result = DirectInputCreateA(reinterpret_cast<HINSTANCE>(instance), version, &created, nullptr);
    *out = reinterpret_cast<PlatDirectInput*>(created);
    return int32_t(result);
}

uint32_t platReleaseDirectInput(PlatDirectInput* d) { return directInput(d)->Release(); }

int32_t platCreateDevice(PlatDirectInput* d, PlatDeviceKind kind, PlatDevice** out) {
    IDirectInputDeviceA* created = nullptr;
    const HRESULT result =
        directInput(d)->CreateDevice(kind == PlatDeviceKind::keyboard ? GUID_SysKeyboard : GUID_SysMouse, &created,
                                     nullptr);
    *out = reinterpret_cast<PlatDevice*>(created);
    return int32_t(result);
}

int32_t platSetDataFormat(PlatDevice* d, PlatDataFormat format) {
    return int32_t(device(d)->SetDataFormat(format == PlatDataFormat::keyboard ? &c_dfDIKeyboard : &c_dfDIMouse));
}

int32_t platSetCooperativeLevel(PlatDevice* d, PlatWindow* window, uint32_t flags) {
    return int32_t(device(d)->SetCooperativeLevel(hwnd(window), flags));
}

int32_t platSetProperty(PlatDevice* d, PlatProperty, const PlatPropDword* value) {
    DIPROPDWORD property = {};
    property.diph.dwSize = value->size;
    property.diph.dwHeaderSize = value->headerSize;
    property.diph.dwObj = value->object;
    property.diph.dwHow = value->how;
    property.dwData = value->data;
    return int32_t(device(d)->SetProperty(DIPROP_BUFFERSIZE, &property.diph));
}

int32_t platAcquire(PlatDevice* d) { return int32_t(device(d)->Acquire()); }

int32_t platUnacquire(PlatDevice* d) { return int32_t(device(d)->Unacquire()); }

uint32_t platReleaseDevice(PlatDevice* d) { return device(d)->Release(); }

// The XInput pad is sampled with the keyboard: its buttons are added to the keys read, and its
// axes kept for platGetAnalog. A pad counts from its first button press; none leaves all zeros.
namespace {

void samplePad(uint8_t* keys) {
    PadState pad = {};
    const bool present = xinputSample(pad);
    if (!present) win.padPressed = false;
    if (present && padAnyButton(pad)) win.padPressed = true;
    if (!win.padPressed) {
        win.analog = PlatAnalog{};
        return;
    }
    win.analog = padAnalog(pad);
    for (const PadKey& k : kPadKeys)
        if (pad.buttons[k.button]) keys[k.dik] |= 0x80;
}

} // namespace

int32_t platGetDeviceState(PlatDevice* d, uint32_t size, void* data) {
    const HRESULT result = device(d)->GetDeviceState(size, data);
    if (size == 256 && result == DI_OK) samplePad(static_cast<uint8_t*>(data));
    if (size == 256 && tracing() && std::memcmp(win.tracedKeys, data, 256) != 0) {
        // The DIK codes down, as the device reported them, whenever that set changes.
        std::memcpy(win.tracedKeys, data, 256);
        std::string line = "keys";
        for (int k = 0; k < 256; ++k)
            if (win.tracedKeys[k] & 0x80) {
                char code[8];
                std::snprintf(code, sizeof code, " %02x", k);
                line += code;
            }
        trace("%s", line.c_str());
    }
    return int32_t(result);
}

int32_t platGetDeviceData(PlatDevice* d, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                          uint32_t flags) {
    DWORD n = *count;
    const HRESULT result =
        device(d)->GetDeviceData(recordSize, reinterpret_cast<DIDEVICEOBJECTDATA*>(events), &n, flags);
    *count = uint32_t(n);
    return int32_t(result);
}

// --- analog input ---

void platGetAnalog(PlatAnalog* out) { *out = win.analog; }

// --- winmm ---

uint32_t platTimeGetTime() { return timeGetTime(); }
