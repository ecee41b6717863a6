// The one window of a backend that has no window system of its own (the offscreen backend's
// pbuffer, the web backend's canvas): its record, and the platform operations on windows,
// messages, pixel formats, the cursor and the input devices that both backends do alike, on
// top of the shared emulation (platform_emulation.h). A backend defines the two functions below
// (how it brings its events up to date, and what more it undoes when the window goes) and keeps
// the context, the swap, the clock and the message box.
#pragma once

#include <string>

#include "ll/platform.h"

struct PlatDC { PlatWindow* window; };
struct PlatWindow {
    std::string className;
    PlatWndProc windowProc;
    int32_t width, height;  // client size: the pbuffer's or the canvas's drawing buffer
    bool formatSet;
    PlatPixelFormat format;
    bool shown;
    PlatDC dc;
};

// Defined by the backend: delivers the events due, before messages are taken and devices read.
void emuWindowUpdate();
// Defined by the backend: its own undoing when the window goes, after WM_DESTROY.
void emuWindowDestroyed(PlatWindow* window);
// Defined by the backend: the window (at x, y on the screen) is made, before its WM_CREATE; a
// scripted flight puts the cursor where the flight starts it.
void emuWindowCreated(PlatWindow* window, int32_t x, int32_t y);
// Defined by the backend: around each device state read, input sampled with the keyboard (touch
// controls, pads) is brought up to date after the due events (`after` false) and let go of once
// the state is read (`after` true).
void emuWindowDeviceRead(bool after);

// Back to the start: no window, the cursor at (0, 0). A window still open is forgotten.
void emuWindowReset();
// The window, null when none is open.
PlatWindow* emuWindow();
// The virtual cursor that platGetCursorPos reads and platSetCursorPos moves.
PlatPoint& emuCursor();
