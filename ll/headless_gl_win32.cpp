// The off-screen OpenGL context of headless_gl.h on Windows: a window that is never shown, with
// a pixel format of the requested depth and stencil bits and a WGL context current on this
// thread. Used by the tests that need a context and run under Wine.
#include "ll/headless_gl.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <GL/gl.h>

namespace {

const char* const kClassName = "QuorvelHeadlessGL";

struct HeadlessState {
    HWND window;
    HDC dc;
    HGLRC context;
    bool classRegistered;
};

HeadlessState state = {};

bool fail(std::string& error, const char* what) {
    error = std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")";
    destroyHeadlessGL();
    return false;
}

} // namespace

bool createHeadlessGL(const HeadlessGLConfig& config, std::string& error) {
    if (state.context) {
        error = "a headless context already exists";
        return false;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return fail(error, "RegisterClassA");
    state.classRegistered = true;
    state.window = CreateWindowExA(0, kClassName, "headless", WS_POPUP, 0, 0, config.width, config.height, nullptr,
                                   nullptr, instance, nullptr);
    if (!state.window) return fail(error, "CreateWindowExA");
    state.dc = GetDC(state.window);
    if (!state.dc) return fail(error, "GetDC");
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = BYTE(config.depthBits);
    pfd.cStencilBits = BYTE(config.stencilBits);
    const int index = ChoosePixelFormat(state.dc, &pfd);
    if (index == 0) return fail(error, "ChoosePixelFormat");
    PIXELFORMATDESCRIPTOR granted = {};
    DescribePixelFormat(state.dc, index, sizeof granted, &granted);
    if (granted.cDepthBits < config.depthBits || granted.cStencilBits < config.stencilBits) {
        error = "no pixel format with " + std::to_string(config.depthBits) + " depth and " +
                std::to_string(config.stencilBits) + " stencil bits";
        destroyHeadlessGL();
        return false;
    }
    if (!SetPixelFormat(state.dc, index, &pfd)) return fail(error, "SetPixelFormat");
    state.context = wglCreateContext(state.dc);
    if (!state.context) return fail(error, "wglCreateContext");
    if (!wglMakeCurrent(state.dc, state.context)) return fail(error, "wglMakeCurrent");
    return true;
}

bool processHeadlessGL(const HeadlessGLConfig& config, std::string& error) {
    static const bool created = createHeadlessGL(config, error);
    return created;
}

void destroyHeadlessGL() {
    wglMakeCurrent(nullptr, nullptr);
    if (state.context) wglDeleteContext(state.context);
    if (state.dc) ReleaseDC(state.window, state.dc);
    if (state.window) DestroyWindow(state.window);
    if (state.classRegistered) UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
    state = HeadlessState{};
}

// Draws into the back buffer of a window nobody sees: presenting it is a flush.
void swapHeadlessGL() { glFlush(); }
