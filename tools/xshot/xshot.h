// Screenshots of an X server's screen or of one top-level window, read back with XGetImage (the
// X server's own copy of the pixels, so the program being captured does nothing to help).
#pragma once

#include <string>

#include "image/image_files.h"

using XDisplay = struct _XDisplay;

// The first window (searching the whole tree) whose name is exactly `name`; 0 when none.
unsigned long findWindowByName(XDisplay* display, const std::string& name);
// Grabs `window` (0: the root window) as an RGB image, rows bottom-up as Image holds them.
// False with a reason when the window is gone or cannot be read.
bool grabWindow(XDisplay* display, unsigned long window, Image& out, std::string& error);
