// The platform interface under LL: one operation for each windowing, pixel-format, GL-context,
// input-device, cursor and clock call LL makes, named after the Win32/GDI/WGL/DirectInput/winmm
// call it stands for, plus one read of the analog axes of touch controls and pads, which no
// Win32 call above covers. LL reaches the system only through these. Exactly one backend is linked
// into a program: platform_win32.cpp (the Windows calls themselves), platform_sdl.cpp (SDL2 on
// Linux), platform_offscreen.cpp (no display, for captures) or platform_test.cpp (scripted,
// tests); the SDL and offscreen backends share platform_emulation.
// Handles are pointers to backend-defined records; null means "none" or "failed".
#pragma once

#include <cstdint>

struct PlatInstance;    // the module instance
struct PlatIcon;        // a loaded icon
struct PlatCursor;      // a loaded cursor shape
struct PlatWindow;      // a top-level window
struct PlatDC;          // a window's device context
struct PlatGLContext;   // an OpenGL rendering context
struct PlatDirectInput; // the input-device factory
struct PlatDevice;      // a keyboard or mouse device

// Window messages LL knows by number.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;

// Window class and window styles.
constexpr uint32_t CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_OWNDC = 0x0020;
constexpr uint32_t WS_POPUP = 0x80000000u, WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000;
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000; // caption, system menu, sizing frame, min/max
constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100, WS_EX_APPWINDOW = 0x00040000;
constexpr uint32_t SW_SHOW = 5;
constexpr uint32_t MB_OK = 0;
constexpr uintptr_t IDI_WINLOGO = 0x7F05, IDC_ARROW = 0x7F00;

// Pixel format flags and display-mode fields.
constexpr uint32_t PFD_DOUBLEBUFFER = 0x01, PFD_DRAW_TO_WINDOW = 0x04, PFD_SUPPORT_OPENGL = 0x20;
constexpr uint8_t PFD_TYPE_RGBA = 0, PFD_MAIN_PLANE = 0;
constexpr uint32_t DM_BITSPERPEL = 0x00040000, DM_PELSWIDTH = 0x00080000, DM_PELSHEIGHT = 0x00100000;
constexpr uint32_t CDS_FULLSCREEN = 4;
constexpr int32_t DISP_CHANGE_SUCCESSFUL = 0, DISP_CHANGE_FAILED = -1, DISP_CHANGE_BADMODE = -2;

// Input-device results, version, cooperative levels and mouse event offsets.
constexpr int32_t DI_OK = 0;
constexpr int32_t DI_BUFFEROVERFLOW = 1;                          // success code: events were lost
constexpr int32_t DI_NOEFFECT = 1;                                // success code: nothing to do (same value)
constexpr int32_t DIERR_INPUTLOST = int32_t(0x8007001Eu);         // device must be re-acquired
constexpr int32_t DIERR_NOTACQUIRED = int32_t(0x8007000Cu);
constexpr int32_t DIERR_ACQUIRED = int32_t(0x800700AAu);          // not while the device is acquired
constexpr int32_t DIERR_INVALIDPARAM = int32_t(0x80070057u);
constexpr int32_t DIERR_GENERIC = int32_t(0x80004005u);
constexpr uint32_t DIRECTINPUT_VERSION = 0x0500;
constexpr uint32_t DISCL_NONEXCLUSIVE = 0x02, DISCL_FOREGROUND = 0x04, DISCL_BACKGROUND = 0x08;
constexpr uint32_t DIPH_DEVICE = 0;
constexpr uint32_t DIMOFS_X = 0, DIMOFS_Y = 4, DIMOFS_Z = 8;
constexpr uint32_t DIMOFS_BUTTON0 = 12, DIMOFS_BUTTON1 = 13, DIMOFS_BUTTON2 = 14, DIMOFS_BUTTON3 = 15;

using PlatWndProc = intptr_t (*)(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct PlatWindowClass {
    uint32_t style;
    PlatWndProc windowProc;
    int32_t classExtra, windowExtra;
    PlatInstance* instance;
    PlatIcon* icon;
    PlatCursor* cursor;
    const char* className; // copied by platRegisterClass
};

struct PlatPixelFormat { // PIXELFORMATDESCRIPTOR, the fields LL fills in
    uint16_t size, version;
    uint32_t flags;
    uint8_t pixelType, colorBits, accumBits, depthBits, stencilBits, auxBuffers, layerType;
};

struct PlatDisplayMode { // DEVMODEA, the fields LL fills in
    uint32_t size, fields, bitsPerPel, pelsWidth, pelsHeight;
};

struct PlatRect { int32_t left, top, right, bottom; };
struct PlatPoint { int32_t x, y; };

struct PlatMessage {
    PlatWindow* window; // null for thread messages such as WM_QUIT
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

enum class PlatDeviceKind { keyboard, mouse };        // GUID_SysKeyboard, GUID_SysMouse
enum class PlatDataFormat { keyboard, mouse };        // c_dfDIKeyboard, c_dfDIMouse
enum class PlatProperty { bufferSize };               // DIPROP_BUFFERSIZE

struct PlatPropDword { uint32_t size, headerSize, object, how, data; }; // DIPROPDWORD
struct PlatDeviceEvent { uint32_t offset, data, timeStamp, sequence; }; // DIDEVICEOBJECTDATA

// --- kernel32 / user32 ---
// GetModuleHandleA(NULL): this program's instance handle; null on failure.
PlatInstance* platGetModuleHandle();
// LoadIconA(NULL, id): a stock icon for IDI_* ids; null for an unknown id.
PlatIcon* platLoadIcon(uintptr_t id);
// LoadCursorA(NULL, id): a stock cursor for IDC_* ids; null for an unknown id.
PlatCursor* platLoadCursor(uintptr_t id);
// RegisterClassA: a non-zero class atom (low 16 bits non-zero); 0 when refused (e.g. name taken).
uint32_t platRegisterClass(const PlatWindowClass* windowClass);
// UnregisterClassA: true when the class existed and had no windows left.
bool platUnregisterClass(const char* className, PlatInstance* instance);
// ChangeDisplaySettingsA: mode null restores the stored desktop mode; returns DISP_CHANGE_*.
int32_t platChangeDisplaySettings(const PlatDisplayMode* mode, uint32_t flags);
// AdjustWindowRectEx: grows the client rectangle (pixels) to the outer window rectangle of style.
bool platAdjustWindowRect(PlatRect* rect, uint32_t style, bool menu, uint32_t exStyle);
// CreateWindowExA: a hidden window at screen (x, y) of outer size width x height (pixels) of a
// registered class; sends WM_CREATE to the class procedure; null on failure.
PlatWindow* platCreateWindow(uint32_t exStyle, const char* className, const char* title, uint32_t style,
                             int32_t x, int32_t y, int32_t width, int32_t height, PlatInstance* instance);
// DestroyWindow: sends WM_DESTROY to the procedure, then removes the window.
bool platDestroyWindow(PlatWindow* window);
// ShowWindow: shows (SW_SHOW) the window; returns whether it was visible before.
bool platShowWindow(PlatWindow* window, uint32_t command);
// SetForegroundWindow: raises the window above others.
bool platSetForegroundWindow(PlatWindow* window);
// SetFocus: gives the window the keyboard focus; returns the previously focused window.
PlatWindow* platSetFocus(PlatWindow* window);
// DefWindowProcA: the default handling of a message; its result.
intptr_t platDefWindowProc(PlatWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// PeekMessageA(PM_REMOVE), any window, no range: takes one pending message without waiting;
// false when none is pending.
bool platPeekMessage(PlatMessage* message);
// GetMessageA, any window, no range: waits for one message; 0 for WM_QUIT, -1 on error, else >0.
int32_t platGetMessage(PlatMessage* message);
// DispatchMessageA: calls the procedure of the message's window; its result (0 with no window).
intptr_t platDispatchMessage(const PlatMessage* message);
// GetDC: the window's own device context, valid for the window's life; null on failure.
PlatDC* platGetDC(PlatWindow* window);
// ReleaseDC: gives the device context back; true when it was the window's.
bool platReleaseDC(PlatWindow* window, PlatDC* dc);
// MessageBoxA(owner, text, caption, type): writes "caption: text" to stderr, then shows the text and
// waits for OK (the scripted backend only records it); returns the button, 0 when none was shown.
int32_t platMessageBox(PlatWindow* owner, const char* text, const char* caption, uint32_t type);
// GetCursorPos: the system cursor position in screen pixels.
bool platGetCursorPos(PlatPoint* point);
// SetCursorPos: moves the system cursor to screen pixel (x, y).
bool platSetCursorPos(int32_t x, int32_t y);
// ShowCursor: moves the display counter by +1 (show) or -1 (hide); visible while it is >= 0;
// returns the new counter.
int32_t platShowCursor(bool show);

// --- gdi32 ---
// ChoosePixelFormat: the 1-based index of the closest supported format; 0 when none fits.
int32_t platChoosePixelFormat(PlatDC* dc, const PlatPixelFormat* request);
// SetPixelFormat: gives the window of dc that format (once per window); the GL surface exists
// afterwards. False on failure.
bool platSetPixelFormat(PlatDC* dc, int32_t index, const PlatPixelFormat* request);
// SwapBuffers: presents the back buffer of dc's window.
bool platSwapBuffers(PlatDC* dc);

// --- opengl32 (WGL) ---
// wglCreateContext: a rendering context for dc's pixel format; null on failure.
PlatGLContext* platCreateContext(PlatDC* dc);
// wglMakeCurrent: makes context current on this thread against dc; (null, null) releases it.
bool platMakeCurrent(PlatDC* dc, PlatGLContext* context);
// wglDeleteContext: destroys the context.
bool platDeleteContext(PlatGLContext* context);

// --- dinput (DirectInput 5); all return DI_OK, a DI_ success code or a DIERR_ code ---
// DirectInputCreateA(instance, version, out, no aggregation): the device factory.
int32_t platDirectInputCreate(PlatInstance* instance, uint32_t version, PlatDirectInput** out);
// IDirectInputA::Release.
uint32_t platReleaseDirectInput(PlatDirectInput* directInput);
// IDirectInputA::CreateDevice(GUID_SysKeyboard or GUID_SysMouse, out, no aggregation).
int32_t platCreateDevice(PlatDirectInput* directInput, PlatDeviceKind kind, PlatDevice** out);
// IDirectInputDeviceA::SetDataFormat(c_dfDIKeyboard or c_dfDIMouse).
int32_t platSetDataFormat(PlatDevice* device, PlatDataFormat format);
// IDirectInputDeviceA::SetCooperativeLevel(window, DISCL_* flags).
int32_t platSetCooperativeLevel(PlatDevice* device, PlatWindow* window, uint32_t flags);
// IDirectInputDeviceA::SetProperty(DIPROP_BUFFERSIZE, events the device buffers).
int32_t platSetProperty(PlatDevice* device, PlatProperty property, const PlatPropDword* value);
// IDirectInputDeviceA::Acquire: starts delivering input.
int32_t platAcquire(PlatDevice* device);
// IDirectInputDeviceA::Unacquire: stops delivering input.
int32_t platUnacquire(PlatDevice* device);
// IDirectInputDeviceA::Release.
uint32_t platReleaseDevice(PlatDevice* device);
// IDirectInputDeviceA::GetDeviceState: the keyboard's 256 bytes, byte k for DIK code k, bit 7
// set while down.
int32_t platGetDeviceState(PlatDevice* device, uint32_t size, void* data);
// IDirectInputDeviceA::GetDeviceData(recordSize, events, inOut count, flags): takes up to *count
// buffered events out, oldest first; *count becomes the number taken. DI_BUFFEROVERFLOW when
// events were lost since the previous read (the events returned are still valid).
int32_t platGetDeviceData(PlatDevice* device, uint32_t recordSize, PlatDeviceEvent* events,
                          uint32_t* count, uint32_t flags);

// --- analog input: touch sticks and gamepads, beside the keyboard and mouse ---
// Deflections in [-1, 1]: moveX > 0 to the right, moveY > 0 forward, lookX > 0 turns the view to
// the right, lookY > 0 tilts it up, upDown > 0 rises. Dead zones are the backend's: a stick at
// rest reads exactly 0.
struct PlatAnalog { float moveX, moveY, lookX, lookY, upDown; };
// The analog axes as of the latest keyboard read: a backend samples its pads when GetDeviceState
// reads the keyboard, so that a pad's buttons hold their keys in that same read (B, Q, Z, F1:
// ll/pad.h). Fills every field of *out. Every backend gives all zeros while no touch control or
// pad is in use, and a backend without such devices always does.
void platGetAnalog(PlatAnalog* out);

// --- winmm ---
// timeGetTime: milliseconds from a monotonic clock, wrapping at 2^32.
uint32_t platTimeGetTime();
