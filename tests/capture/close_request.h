// What a window manager sends when a window's close button is clicked, for the end-to-end tests
// of the program on Linux, of the SDL backend and of quorvel.exe under Wine.
#pragma once

#include <X11/Xlib.h>

// Sends WM_PROTOCOLS / WM_DELETE_WINDOW to `window` on `display` and flushes it.
void sendCloseRequest(Display* display, unsigned long window);
