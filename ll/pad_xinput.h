// XInput pads on Windows (platform_win32.cpp), with XInput loaded at run time from the system's
// DLL (xinput1_4, else xinput1_3, else xinput9_1_0), so that the program imports only the DLLs
// every Windows has and runs where none of them is there.
#pragma once

#include "ll/pad.h"

// The first connected XInput pad in the standard layout; false when there is none, or no XInput.
bool xinputSample(PadState& pad);
// Whether an XInput DLL was loaded (the first sample tries).
bool xinputLoaded();
// Tests: the DLL names tried, in order, from the next sample on (null: the system's own), and
// nothing loaded yet.
void xinputResetForTests(const char* const* dlls, int count);
