// Control of the offscreen platform backend (platform_offscreen.cpp): the window is an EGL pbuffer,
// input comes from a script of events stamped with frame numbers, and the clock is virtual — it
// advances the script's step from one frame to the next — so every run of a script gives the same
// frames. LL, the driver and the renderer run on it unchanged; quorvel-capture sets it up through
// this header.
// Frames are numbered as in ll/scripted_input.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ll/platform.h"
#include "ll/scripted_input.h"

// Called at each swap with the frame just finished, after its screenshots.
using OffscreenFrameHook = void (*)(uint32_t frame);
// Writes one screenshot: width x height RGB pixels, bottom row first as OpenGL reads them.
// False with a reason on failure.
using OffscreenShotWriter = bool (*)(const std::string& path, int width, int height,
                                     const std::vector<uint8_t>& rgb, std::string& error);

// Back to the start: no script, 16 ms step, clock at 1000 ms, no frame limit, no shots, window
// size, no hook, not timed, no frames. Does not release a live GL context.
void offscreenReset();
void offscreenSetScript(const OffscreenScript& script);
// After this many frames WM_QUIT is posted, so the loop ends as on a quit; 0 = no limit.
void offscreenSetFrameLimit(uint32_t frames);
// The pbuffer's size in pixels; 0 x 0 = the window's client size. LL's geometry is unchanged.
void offscreenSetSize(int width, int height);
// A screenshot of `frame` written through the shot writer when that frame is swapped.
void offscreenAddShot(uint32_t frame, const std::string& path);
void offscreenSetShotWriter(OffscreenShotWriter writer);
void offscreenSetFrameHook(OffscreenFrameHook hook);
// Timed runs finish the GL work of every frame at its swap (glFinish), so that the recorded
// frame times are what the frame cost; the simulation keeps the virtual step either way.
void offscreenSetTimedemo(bool timed);

// Frames swapped so far.
uint32_t offscreenFrames();
// Real-clock duration of each swapped frame in milliseconds, from the end of the previous swap
// (or the first message pump) to the end of its own, hooks and screenshots left out.
const std::vector<double>& offscreenFrameTimes();
// Shots that could not be read or written, one line each.
const std::vector<std::string>& offscreenShotErrors();
// GL_RENDERER of the context, once one was made; empty before.
const std::string& offscreenRenderer();
// The pbuffer's pixels as RGB, bottom row first. False without a context.
bool offscreenReadPixels(std::vector<uint8_t>& rgb, int& width, int& height);
