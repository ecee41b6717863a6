// LL's window side: opening the window with its pixel format and current OpenGL context,
// presenting frames, the window procedure and the orderly teardown.
#include <cstdlib>

#include "ll/ll.h"
#include "ll/ll_internal.h"

LLWindowState llWindow = {};

void resetLLWindowState() { llWindow = LLWindowState{}; }

namespace {

const char* const kClassName = "OpenGL";

void reportError(const char* message) { platMessageBox(nullptr, message, "Error", MB_OK); }

// A failure after the window exists but before it is shown (the window itself, its device
// context, pixel format or rendering context): tell the user first, then tear down.
int32_t failThenClose(const char* message) {
    reportError(message);
    closeLL();
    return 1;
}

} // namespace

int32_t initLL(const char* title, uint8_t flags, int32_t x, int32_t y, int32_t width, int32_t height) {
    // The pixel format request and the fixed fields of the window class.
    PlatPixelFormat format = {};
    format.size = 40;
    format.version = 1;
    format.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | ((flags & kLLDoubleBuffer) ? PFD_DOUBLEBUFFER : 0);
    format.pixelType = PFD_TYPE_RGBA;
    format.colorBits = 24;
    format.accumBits = (flags & kLLAccum24) ? 24 : 0;
    format.depthBits = (flags & kLLDepth16) ? 16 : 0;
    format.stencilBits = (flags & kLLStencil8) ? 8 : 0;
    format.layerType = PFD_MAIN_PLANE;

    PlatWindowClass windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.windowProc = wndProcLL;
    windowClass.className = kClassName;

    // The module instance that owns the window class.
    llWindow.instance = platGetModuleHandle();
    if (!llWindow.instance) {
        reportError("Was not able to get instance handle.");
        return 1;
    }
    windowClass.instance = llWindow.instance;

    // The class's stock icon and arrow cursor: both are loaded before either is tested.
    windowClass.icon = platLoadIcon(IDI_WINLOGO);
    windowClass.cursor = platLoadCursor(IDC_ARROW);
    if (!windowClass.icon || !windowClass.cursor) {
        reportError("Cursor and/or Icon not loaded properly.");
        return 1;
    }

    // Registers the window class; only the atom's low 16 bits identify a class.
    if ((platRegisterClass(&windowClass) & 0xFFFF) == 0) {
        reportError("Wasn't able to regiser windowclass.");
        return 1;
    }

    // Fullscreen: switches the display to width x height at 32 bits and takes a popup style; once
    // the mode has changed, any later closeLL must restore it. Windowed: an overlapped window.
    uint32_t exStyle, style;
    if (flags & kLLFullscreen) {
        PlatDisplayMode mode = {};
        mode.size = sizeof(PlatDisplayMode);
        mode.fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        mode.bitsPerPel = 32;
        mode.pelsWidth = uint32_t(width);
        mode.pelsHeight = uint32_t(height);
        if (platChangeDisplaySettings(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
            reportError("Wasn't able to change screen mode.");
            return 1;
        }
        llWindow.fullscreen = 1;
        exStyle = WS_EX_APPWINDOW;
        style = WS_POPUP;
    } else {
        exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
        style = WS_OVERLAPPEDWINDOW;
    }

    // The outer rectangle for a client area of width x height.
    PlatRect rect = {0, 0, width, height};
    if (!platAdjustWindowRect(&rect, style, false, exStyle)) {
        reportError("Was not able to calculate proper size of window.");
        return 1;
    }

    // Creates the window, hidden; it is shown only once the context works.
    llWindow.window = platCreateWindow(exStyle, kClassName, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                       x, y, rect.right - rect.left, rect.bottom - rect.top, llWindow.instance);
    if (!llWindow.window) return failThenClose("Could not create window.");

    // The window's device context.
    llWindow.deviceContext = platGetDC(llWindow.window);
    if (!llWindow.deviceContext) return failThenClose("Could not get the device context for window.");

    // Chooses the closest pixel format to the request and sets it on the device context.
    int32_t index = platChoosePixelFormat(llWindow.deviceContext, &format);
    if (index == 0) return failThenClose("Could not find a good pixel format.");
    if (!platSetPixelFormat(llWindow.deviceContext, index, &format)) return failThenClose("Could not set pixel format.");

    // Creates the OpenGL rendering context and makes it current.
    llWindow.renderContext = platCreateContext(llWindow.deviceContext);
    if (!llWindow.renderContext) return failThenClose("Wasn't able to create rendering context.");
    if (!platMakeCurrent(llWindow.deviceContext, llWindow.renderContext))
        return failThenClose("Could not activate rendering context.");

    // Shows the window and gives it the foreground and the keyboard focus.
    platShowWindow(llWindow.window, SW_SHOW);
    platSetForegroundWindow(llWindow.window);
    platSetFocus(llWindow.window);

    // Sets up the keyboard and buffered mouse devices; the window is visible now, so it is taken down
    // before the user is told of a failure.
    if (setupLL() != 0) {
        closeLL();
        reportError("setupLL failed!!");
        return 1;
    }

    // Remembers the client size and position: the cursor readout and anchor are relative to them.
    llWindow.windowWidth = width;
    llWindow.windowHeight = height;
    llWindow.windowX = x;
    llWindow.windowY = y;
    return 0;
}

void closeLL() {
    if (llWindow.fullscreen) platChangeDisplaySettings(nullptr, 0);
    platMakeCurrent(nullptr, nullptr);
    if (llWindow.renderContext) platDeleteContext(llWindow.renderContext);
    if (llWindow.deviceContext) platReleaseDC(llWindow.window, llWindow.deviceContext);
    if (llWindow.window) platDestroyWindow(llWindow.window);
    platUnregisterClass(kClassName, llWindow.instance);
    releaseInputLL();
    // Released handles are forgotten so that nothing can be released twice.
    llWindow.fullscreen = 0;
    llWindow.renderContext = nullptr;
    llWindow.deviceContext = nullptr;
    llWindow.window = nullptr;
}

bool windowResizedLL(int32_t* width, int32_t* height) {
    if (!llWindow.resizePending) return false;
    llWindow.resizePending = 0;
    *width = llWindow.resizedWidth;
    *height = llWindow.resizedHeight;
    return true;
}

void swapLL() { platSwapBuffers(llWindow.deviceContext); }

intptr_t wndProcLL(PlatWindow* handle, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_CLOSE:
        // Closing the window ends the program here, from inside the message pump; exit() flushes
        // and closes the open files.
        closeLL();
        std::exit(0);
    case WM_SIZE:
        // Recorded for the driver, which fits its picture to the new size; handled by default too.
        llWindow.resizedWidth = int32_t(lParam & 0xFFFF);
        llWindow.resizedHeight = int32_t((lParam >> 16) & 0xFFFF);
        llWindow.resizePending = 1;
        return platDefWindowProc(handle, message, wParam, lParam);
    default:
        return platDefWindowProc(handle, message, wParam, lParam);
    }
}
