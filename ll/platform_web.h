// Control of the web platform backend (platform_web.cpp): the window is the page's canvas with a
// WebGL context, keys and the mouse come from the page's events (or from a script), the clock is
// the browser's (or a virtual one that moves the script's step from frame to frame, for scripted
// flights). The page's program (app/main_web.cpp) sets it up through this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ll/scripted_input.h"

// The canvas the window draws on, as a CSS selector.
constexpr const char* kWebCanvas = "#canvas";

// Called at each swap with the frame just drawn, while its pixels can still be read.
using WebFrameHook = void (*)(uint32_t frame);

// Back to the start: page input, the browser's clock, no hook, not timed, no frames. Forgets the
// emulated window classes, messages and devices too, so a new initLL can follow a closeLL.
void webReset();
// Plays `script` instead of the page's keys and mouse, with a virtual clock that starts at
// 1000 ms and moves the script's step from frame to frame: every run of a script draws the same
// frames.
void webSetScript(const OffscreenScript& script);
bool webScripted();
// Timed runs wait at each swap until the frame's GL work is done, so that the recorded frame
// times are what the frames cost.
void webSetTimed(bool timed);
void webSetFrameHook(WebFrameHook hook);

// Frames swapped so far.
uint32_t webFrames();
// Real-clock duration of each swapped frame in milliseconds, from the end of the previous swap
// (or the first message pump) to the end of its own, the hook left out.
const std::vector<double>& webFrameTimes();
// The WebGL renderer's name (the unmasked one where the browser tells it); empty before a context.
const std::string& webRenderer();
// The drawing buffer as RGBA rows, bottom row first. Only inside the frame hook does it hold the
// frame just drawn: the browser clears it once the frame is shown. False without a context.
bool webReadPixels(std::vector<uint8_t>& rgba, int& width, int& height);
// Turns the view as a mouse motion of (dx, dy) pixels would (a touch drag); ignored when scripted.
void webLookBy(int32_t dx, int32_t dy);
// True while the pointer is locked to the canvas.
bool webPointerLocked();
