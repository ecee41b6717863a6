// LL's module state, shared between its window half (ll_window.cpp) and its input half
// (ll_input.cpp), and the resets tests call between cases. Not for the rest of the program.
#pragma once

#include <cstdint>

#include "ll/platform.h"

// The window side: zero at process start; geometry recorded only when initLL succeeds.
struct LLWindowState {
    PlatInstance* instance;
    PlatWindow* window;
    PlatDC* deviceContext;
    PlatGLContext* renderContext;
    int32_t windowX, windowY;         // outer top-left corner given to initLL
    int32_t windowWidth, windowHeight; // client size given to initLL
    int32_t fullscreen;               // 1 once initLL changed the display mode
    int32_t resizedWidth, resizedHeight; // client size from the latest WM_SIZE
    int32_t resizePending;            // 1 from a WM_SIZE until windowResizedLL reports it
};

// The input side: zero at process start.
struct LLInputState {
    PlatDirectInput* directInput;
    PlatDevice* keyboardDevice;
    PlatDevice* mouseDevice;
    uint8_t* keys;               // 256 bytes, what keysLL() returns
    int16_t cursorX, cursorY;    // screen pixels as last read, or the anchor copied in
    int16_t anchorX, anchorY;    // from (windowX, windowY); both -1 when there is no anchor
    uint8_t buttons;             // 0x01 button 0, 0x02 button 1
    uint8_t previousButtons;     // buttons when the latest update began
    uint32_t limiterTime;        // clock at limitFrameLL's latest return; 0 = none yet
    PlatAnalog analog;           // the analog axes as the latest update sampled them
};

extern LLWindowState llWindow;
extern LLInputState llInput;

// Zero the state as at process start (tests only; frees nothing).
void resetLLWindowState();
void resetLLInputState();
