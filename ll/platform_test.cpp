// The scripted platform backend for LL's tests: every operation records its call and gives the
// result a test set (success by default), messages and mouse reads come from queues, and the
// cursor, keyboard and clock are plain values the test controls. No system call is made.
#include "ll/platform_test.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

struct PlatInstance { int id; };
struct PlatIcon { int id; };
struct PlatCursor { int id; };
struct PlatWindow { int id; };
struct PlatDC { int id; };
struct PlatGLContext { int id; };
struct PlatDirectInput { int id; };
struct PlatDevice { PlatDeviceKind kind; };

namespace {

PlatInstance theInstance{1};
PlatIcon theIcon{1};
PlatCursor theCursor{1};
PlatWindow theWindow{1};
PlatDC theDC{1};
PlatGLContext theContext{1};
PlatDirectInput theDirectInput{1};
PlatDevice theKeyboard{PlatDeviceKind::keyboard};
PlatDevice theMouse{PlatDeviceKind::mouse};

struct MouseRead {
    int32_t result;
    PlatDeviceEvent event;
    bool withEvent;
    bool moves; // the cursor goes to (x, y) when this read is taken
    int32_t x, y;
};

struct TestState {
    std::vector<TestCall> calls;
    std::map<std::string, int64_t> results;
    std::deque<PlatMessage> messages;
    std::vector<uint32_t> defaultMessages;
    std::deque<MouseRead> mouseReads;
    PlatPoint cursor;
    int32_t cursorCounter;
    uint8_t keys[256];
    uint32_t time, timeStep;
    bool displayChanged;
    bool classRegistered;
    PlatWndProc windowProc;
    bool windowLive, contextLive, directInputLive;
    int devicesLive;
    PlatAnalog analog;
};

TestState test;

void record(const char* op, const char* format = "", ...) {
    char args[512];
    va_list list;
    va_start(list, format);
    std::vsnprintf(args, sizeof args, format, list);
    va_end(list);
    test.calls.push_back({op, args});
}

int64_t resultOf(const std::string& op, int64_t fallback) {
    auto it = test.results.find(op);
    return it == test.results.end() ? fallback : it->second;
}

const char* kindName(PlatDeviceKind kind) { return kind == PlatDeviceKind::keyboard ? "keyboard" : "mouse"; }

int32_t deviceResult(const std::string& op, PlatDevice* device) {
    if (device) {
        auto it = test.results.find(op + ":" + kindName(device->kind));
        if (it != test.results.end()) return int32_t(it->second);
    }
    return int32_t(resultOf(op, DI_OK));
}

template <typename T> T* handleOr(const char* op, T* handle) { return resultOf(op, 1) ? handle : nullptr; }

} // namespace

// --- control ---

void testReset() {
    test = TestState{};
    test.time = 1000;
    test.timeStep = 1;
}

void testSetResult(const std::string& op, int64_t value) { test.results[op] = value; }
const std::vector<TestCall>& testCalls() { return test.calls; }

std::vector<std::string> testCallNames() {
    std::vector<std::string> names;
    for (const TestCall& call : test.calls) names.push_back(call.op);
    return names;
}

int testFindCall(const std::string& op, int from) {
    for (size_t i = size_t(from < 0 ? 0 : from); i < test.calls.size(); ++i)
        if (test.calls[i].op == op) return int(i);
    return -1;
}

int testCountCalls(const std::string& op) {
    int n = 0;
    for (const TestCall& call : test.calls) n += call.op == op;
    return n;
}

void testPostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, bool toWindow) {
    test.messages.push_back({toWindow ? &theWindow : nullptr, message, wParam, lParam});
}
size_t testPendingMessages() { return test.messages.size(); }
const std::vector<uint32_t>& testDefaultMessages() { return test.defaultMessages; }

void testQueueMouseRead(int32_t result, uint32_t offset, uint32_t data, bool withEvent) {
    test.mouseReads.push_back({result, {offset, data, 0, 0}, withEvent, false, 0, 0});
}
void testQueueMouseEvent(uint32_t offset, uint32_t data) { testQueueMouseRead(DI_OK, offset, data, true); }
void testQueueMouseMotion(int32_t x, int32_t y) {
    test.mouseReads.push_back({DI_OK, {DIMOFS_X, 1, 0, 0}, true, true, x, y});
}
size_t testPendingMouseReads() { return test.mouseReads.size(); }

void testSetCursor(int32_t x, int32_t y) { test.cursor = {x, y}; }
PlatPoint testCursor() { return test.cursor; }
int32_t testCursorCounter() { return test.cursorCounter; }
void testSetKey(uint8_t dik, bool down) { test.keys[dik] = down ? 0x80 : 0; }
void testSetAnalog(const PlatAnalog& analog) { test.analog = analog; }
void testSetTime(uint32_t ms) { test.time = ms; }
void testSetTimeStep(uint32_t ms) { test.timeStep = ms; }
uint32_t testTime() { return test.time; }
PlatWindow* testWindow() { return test.windowLive ? &theWindow : nullptr; }
bool testDisplayModeChanged() { return test.displayChanged; }

int testLiveObjects() {
    return test.windowLive + test.contextLive + test.directInputLive + test.devicesLive + test.classRegistered;
}

// --- the platform operations ---

PlatInstance* platGetModuleHandle() {
    record("GetModuleHandle");
    return handleOr("GetModuleHandle", &theInstance);
}

PlatIcon* platLoadIcon(uintptr_t id) {
    record("LoadIcon", "id=0x%lX", (unsigned long)id);
    return handleOr("LoadIcon", &theIcon);
}

PlatCursor* platLoadCursor(uintptr_t id) {
    record("LoadCursor", "id=0x%lX", (unsigned long)id);
    return handleOr("LoadCursor", &theCursor);
}

uint32_t platRegisterClass(const PlatWindowClass* c) {
    record("RegisterClass", "name=%s style=0x%X proc=%d extra=%d,%d instance=%d icon=%d cursor=%d", c->className,
           c->style, c->windowProc != nullptr, c->classExtra, c->windowExtra, c->instance != nullptr,
           c->icon != nullptr, c->cursor != nullptr);
    uint32_t atom = uint32_t(resultOf("RegisterClass", 0xC001));
    if (atom & 0xFFFF) {
        test.classRegistered = true;
        test.windowProc = c->windowProc;
    }
    return atom;
}

bool platUnregisterClass(const char* className, PlatInstance* instance) {
    record("UnregisterClass", "name=%s instance=%d", className, instance != nullptr);
    bool ok = test.classRegistered && !test.windowLive;
    if (ok) test.classRegistered = false;
    return ok;
}

int32_t platChangeDisplaySettings(const PlatDisplayMode* mode, uint32_t flags) {
    if (!mode) {
        record("ChangeDisplaySettings", "mode=null flags=%u", flags);
        test.displayChanged = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    record("ChangeDisplaySettings", "fields=0x%X bpp=%u width=%u height=%u flags=%u", mode->fields, mode->bitsPerPel,
           mode->pelsWidth, mode->pelsHeight, flags);
    int32_t result = int32_t(resultOf("ChangeDisplaySettings", DISP_CHANGE_SUCCESSFUL));
    if (result == DISP_CHANGE_SUCCESSFUL) test.displayChanged = true;
    return result;
}

// A nominal frame: 4 pixels each side and a 20-pixel caption for overlapped windows, none for
// popups, so tests can tell the adjusted size from the client size.
bool platAdjustWindowRect(PlatRect* rect, uint32_t style, bool menu, uint32_t exStyle) {
    record("AdjustWindowRect", "rect=%d,%d,%d,%d style=0x%X menu=%d ex=0x%X", rect->left, rect->top, rect->right,
           rect->bottom, style, menu, exStyle);
    if (!resultOf("AdjustWindowRect", 1)) return false;
    if (!(style & WS_POPUP)) {
        rect->left -= 4;
        rect->right += 4;
        rect->top -= 24;
        rect->bottom += 4;
    }
    return true;
}

PlatWindow* platCreateWindow(uint32_t exStyle, const char* className, const char* title, uint32_t style, int32_t x,
                             int32_t y, int32_t width, int32_t height, PlatInstance* instance) {
    record("CreateWindow", "ex=0x%X class=%s title=%s style=0x%X x=%d y=%d w=%d h=%d instance=%d", exStyle, className,
           title, style, x, y, width, height, instance != nullptr);
    if (!resultOf("CreateWindow", 1) || !test.classRegistered) return nullptr;
    test.windowLive = true;
    if (test.windowProc && test.windowProc(&theWindow, WM_CREATE, 0, 0) == -1) {
        test.windowLive = false;
        return nullptr;
    }
    return &theWindow;
}

bool platDestroyWindow(PlatWindow* window) {
    record("DestroyWindow", "window=%d", window != nullptr);
    if (window != &theWindow || !test.windowLive) return false;
    if (test.windowProc) test.windowProc(window, WM_DESTROY, 0, 0);
    test.windowLive = false;
    return true;
}

bool platShowWindow(PlatWindow* window, uint32_t command) {
    record("ShowWindow", "window=%d command=%u", window != nullptr, command);
    return false;
}

bool platSetForegroundWindow(PlatWindow* window) {
    record("SetForegroundWindow", "window=%d", window != nullptr);
    return resultOf("SetForegroundWindow", 1) != 0;
}

PlatWindow* platSetFocus(PlatWindow* window) {
    record("SetFocus", "window=%d", window != nullptr);
    return nullptr;
}

intptr_t platDefWindowProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    record("DefWindowProc", "window=%d message=0x%X wParam=%lu lParam=%ld", window != nullptr, message,
           (unsigned long)wParam, (long)lParam);
    test.defaultMessages.push_back(message);
    return intptr_t(resultOf("DefWindowProc", 0));
}

bool platPeekMessage(PlatMessage* message) {
    record("PeekMessage");
    if (test.messages.empty()) return false;
    *message = test.messages.front();
    test.messages.pop_front();
    return true;
}

// With nothing queued a real GetMessage would wait for ever; here it hands out WM_NULL instead.
int32_t platGetMessage(PlatMessage* message) {
    record("GetMessage");
    if (test.messages.empty()) {
        *message = {nullptr, WM_NULL, 0, 0};
        return int32_t(resultOf("GetMessage", 1));
    }
    *message = test.messages.front();
    test.messages.pop_front();
    return message->message == WM_QUIT ? 0 : 1;
}

intptr_t platDispatchMessage(const PlatMessage* m) {
    record("DispatchMessage", "message=0x%X", m->message);
    if (m->window == &theWindow && test.windowLive && test.windowProc)
        return test.windowProc(m->window, m->message, m->wParam, m->lParam);
    return 0;
}

PlatDC* platGetDC(PlatWindow* window) {
    record("GetDC", "window=%d", window != nullptr);
    return window ? handleOr("GetDC", &theDC) : nullptr;
}

bool platReleaseDC(PlatWindow* window, PlatDC* dc) {
    record("ReleaseDC", "window=%d dc=%d", window != nullptr, dc != nullptr);
    return window && dc;
}

int32_t platMessageBox(PlatWindow* owner, const char* text, const char* caption, uint32_t type) {
    record("MessageBox", "owner=%d text=%s caption=%s type=%u", owner != nullptr, text, caption, type);
    return 1; // IDOK
}

bool platGetCursorPos(PlatPoint* point) {
    record("GetCursorPos");
    *point = test.cursor;
    return true;
}

bool platSetCursorPos(int32_t x, int32_t y) {
    record("SetCursorPos", "x=%d y=%d", x, y);
    test.cursor = {x, y};
    return true;
}

int32_t platShowCursor(bool show) {
    record("ShowCursor", "show=%d", show);
    test.cursorCounter += show ? 1 : -1;
    return test.cursorCounter;
}

int32_t platChoosePixelFormat(PlatDC* dc, const PlatPixelFormat* f) {
    record("ChoosePixelFormat", "dc=%d size=%u version=%u flags=0x%X type=%u color=%u accum=%u depth=%u stencil=%u "
           "aux=%u layer=%u", dc != nullptr, f->size, f->version, f->flags, f->pixelType, f->colorBits, f->accumBits,
           f->depthBits, f->stencilBits, f->auxBuffers, f->layerType);
    return int32_t(resultOf("ChoosePixelFormat", 1));
}

bool platSetPixelFormat(PlatDC* dc, int32_t index, const PlatPixelFormat* f) {
    record("SetPixelFormat", "dc=%d index=%d flags=0x%X", dc != nullptr, index, f->flags);
    return resultOf("SetPixelFormat", 1) != 0;
}

bool platSwapBuffers(PlatDC* dc) {
    record("SwapBuffers", "dc=%d", dc != nullptr);
    return dc != nullptr;
}

PlatGLContext* platCreateContext(PlatDC* dc) {
    record("CreateContext", "dc=%d", dc != nullptr);
    PlatGLContext* context = handleOr("CreateContext", &theContext);
    if (context) test.contextLive = true;
    return context;
}

bool platMakeCurrent(PlatDC* dc, PlatGLContext* context) {
    record("MakeCurrent", "dc=%d context=%d", dc != nullptr, context != nullptr);
    return context ? resultOf("MakeCurrent", 1) != 0 : true;
}

bool platDeleteContext(PlatGLContext* context) {
    record("DeleteContext", "context=%d", context != nullptr);
    test.contextLive = false;
    return context != nullptr;
}

int32_t platDirectInputCreate(PlatInstance* instance, uint32_t version, PlatDirectInput** out) {
    record("DirectInputCreate", "instance=%d version=0x%X", instance != nullptr, version);
    int32_t result = int32_t(resultOf("DirectInputCreate", DI_OK));
    *out = result == DI_OK ? &theDirectInput : nullptr;
    test.directInputLive = *out != nullptr;
    return result;
}

uint32_t platReleaseDirectInput(PlatDirectInput* directInput) {
    record("ReleaseDirectInput", "object=%d", directInput != nullptr);
    test.directInputLive = false;
    return 0;
}

int32_t platCreateDevice(PlatDirectInput* directInput, PlatDeviceKind kind, PlatDevice** out) {
    record("CreateDevice", "object=%d kind=%s", directInput != nullptr, kindName(kind));
    PlatDevice* device = kind == PlatDeviceKind::keyboard ? &theKeyboard : &theMouse;
    int32_t result = deviceResult("CreateDevice", device);
    *out = result == DI_OK ? device : nullptr;
    test.devicesLive += *out != nullptr;
    return result;
}

int32_t platSetDataFormat(PlatDevice* device, PlatDataFormat format) {
    record("SetDataFormat", "device=%s format=%s", kindName(device->kind),
           format == PlatDataFormat::keyboard ? "keyboard" : "mouse");
    return deviceResult("SetDataFormat", device);
}

int32_t platSetCooperativeLevel(PlatDevice* device, PlatWindow* window, uint32_t flags) {
    record("SetCooperativeLevel", "device=%s window=%d flags=0x%X", kindName(device->kind), window != nullptr, flags);
    return deviceResult("SetCooperativeLevel", device);
}

int32_t platSetProperty(PlatDevice* device, PlatProperty, const PlatPropDword* v) {
    record("SetProperty", "device=%s size=%u header=%u object=%u how=%u data=%u", kindName(device->kind), v->size,
           v->headerSize, v->object, v->how, v->data);
    return deviceResult("SetProperty", device);
}

int32_t platAcquire(PlatDevice* device) {
    record("Acquire", "device=%s", kindName(device->kind));
    return deviceResult("Acquire", device);
}

int32_t platUnacquire(PlatDevice* device) {
    record("Unacquire", "device=%s", kindName(device->kind));
    return DI_OK;
}

uint32_t platReleaseDevice(PlatDevice* device) {
    record("ReleaseDevice", "device=%s", kindName(device->kind));
    test.devicesLive -= 1;
    return 0;
}

int32_t platGetDeviceState(PlatDevice* device, uint32_t size, void* data) {
    record("GetDeviceState", "device=%s size=%u", kindName(device->kind), size);
    std::memcpy(data, test.keys, size < 256 ? size : 256);
    return deviceResult("GetDeviceState", device);
}

int32_t platGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events, uint32_t* count,
                          uint32_t flags) {
    record("GetDeviceData", "device=%s record=%u count=%u flags=%u", kindName(device->kind), recordSize, *count, flags);
    if (test.mouseReads.empty() || *count == 0) {
        *count = 0;
        return DI_OK;
    }
    MouseRead read = test.mouseReads.front();
    test.mouseReads.pop_front();
    if (read.moves) test.cursor = {read.x, read.y};
    *count = read.withEvent ? 1 : 0;
    if (read.withEvent) events[0] = read.event;
    return read.result;
}

void platGetAnalog(PlatAnalog* out) {
    record("GetAnalog");
    *out = test.analog;
}

uint32_t platTimeGetTime() {
    record("TimeGetTime");
    uint32_t now = test.time;
    test.time += test.timeStep;
    return now;
}
