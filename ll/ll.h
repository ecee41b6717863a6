// LL, the platform layer: the one window with its OpenGL context, the keyboard and mouse, the
// cursor and the millisecond clock. The rest of the program meets windowing and input only here.
// All state is module-wide; no operation takes or returns a handle.
#pragma once

#include <cstdint>

#include "ll/platform.h"

// --- window and rendering context ---

// initLL flag bits.
constexpr uint8_t kLLFullscreen = 0x01;
constexpr uint8_t kLLDoubleBuffer = 0x02;
constexpr uint8_t kLLDepth16 = 0x04;   // 16 depth bits
constexpr uint8_t kLLAccum24 = 0x08;   // 24 accumulation bits
constexpr uint8_t kLLStencil8 = 0x10;  // 8 stencil bits
// What updateLL returns when WM_QUIT was retrieved.
constexpr int32_t kLLQuit = 2;

// Opens the window (flags: the kLL* bits above; bits 5-7 ignored) with its context current, then the input devices.
// (x, y): screen position of the outer window; width x height: client size. 0 on success; 1 on
// failure after a message box with caption "Error" was shown.
int32_t initLL(const char* title, uint8_t flags, int32_t x, int32_t y, int32_t width, int32_t height);
// Restores the display mode and releases context, device context, window, class, input devices.
void closeLL();
// Presents the back buffer.
void swapLL();
// True once after the window's client area changed size (a WM_SIZE), with the new size in pixels.
bool windowResizedLL(int32_t* width, int32_t* height);
// The window procedure: WM_SIZE -> recorded for windowResizedLL, then default; WM_CREATE -> 0; WM_CLOSE -> closeLL() and exit(0); others -> default.
intptr_t wndProcLL(PlatWindow* handle, uint32_t message, uintptr_t wParam, intptr_t lParam);

// --- input, cursor and timing ---

// Opens and acquires keyboard and mouse; 0 when ready, 1 at the first failing step. Run by initLL.
int32_t setupLL();
// Releases whatever setupLL created. Run by closeLL.
void releaseInputLL();
// Pumps messages (non-zero: drain pending ones; 0: wait for one), reads the keyboard, drains the
// mouse and applies the anchor. kLLQuit when WM_QUIT was retrieved, else 0.
int32_t updateLL(int32_t nonBlocking = 1);
// The 256-byte key state of the latest update: byte k for DIK code k, bit 7 set while down.
uint8_t* keysLL();
// The analog axes (touch sticks, gamepads) of the latest update, each in [-1, 1]; all 0 without
// such devices or before the first update.
const PlatAnalog& analogLL();
// Cursor readout in pixels from the window centre (with an anchor: the motion since last update).
int16_t mouseXLL();
int16_t mouseYLL();
// Places the system cursor at (x, y) pixels from the window's centre point.
void setCursorLL(int16_t x, int16_t y);
// Sets the anchor at (x, y) from the centre point, or clears it when that lies outside the window.
void anchorCursorLL(int16_t x, int16_t y);
// Mouse buttons (0x01 button 0, 0x02 button 1) held after the latest update, masked.
uint8_t buttonDownLL(uint8_t mask);
// 1 in the update in which all masked buttons that were held went up, else 0.
uint8_t buttonReleasedLL(uint8_t mask);
// Shows (non-zero) or hides the system cursor; calls nest like a counter.
void showCursorLL(uint8_t show);
// The system millisecond clock; take differences in unsigned 32-bit arithmetic.
uint32_t timeLL();
// Busy-waits until periodMs milliseconds have passed since this function last returned.
void limitFrameLL(uint32_t periodMs);
