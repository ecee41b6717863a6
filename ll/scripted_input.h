// Scripted input: a list of keyboard, mouse, close and quit events stamped with frame numbers
// (the capture's script format parses into it), and the player that feeds them into the platform
// emulation as the frames go by. The offscreen backend and the web page's scripted flights play
// scripts the same way, so one script gives the same frames on both.
//
// Frames are numbered from 0 by the swaps before them: frame n is the pass of the frame loop that
// follows n swaps. Events stamped n are seen by that pass's updateLL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ll/platform.h"

enum class OffscreenEventKind : uint8_t {
    keyDown, // key held from this frame on
    keyUp,   // key released
    mouse,   // cursor moved by (dx, dy) pixels: mouse motion events and a new cursor position
    close,   // the window's close request: WM_CLOSE to the window
    quit,    // WM_QUIT to the thread, which ends the demo's loop
    analog,  // the touch stick or pad axes from this frame on (move x, y, look x, y, up-down)
};

struct OffscreenEvent {
    uint32_t frame;
    OffscreenEventKind kind;
    uint8_t key;    // DIK code, for keyDown and keyUp
    int32_t dx, dy; // for mouse
    PlatAnalog axes; // for analog
};

// A frame-stamped step: frame `frame` and the frames after it last `ms` virtual milliseconds each
// (until the next one), so a recorded flight's frame times come back exactly.
struct ScriptStep {
    uint32_t frame;
    uint32_t ms;
};

// Where a recorded flight begins: the program puts its camera and the spinning object there before
// the first frame, the backend its pointer when the window opens. Each part is optional; the
// player itself does not use any of it.
struct FlightStart {
    bool cameraGiven;
    float position[3]; // x, y, z
    float angles[3];   // pitch, yaw, roll in degrees
    bool velocityGiven;
    float velocity[3]; // units per second
    bool mouseGiven;
    int32_t mouse[2];  // the mouse smoothing's horizontal and vertical accumulators
    bool spinnerGiven;
    float spinner[2];  // the spinning object's height (y) and yaw
    bool cursorGiven;  // the backend puts the pointer here when the window opens (else: at the
    int32_t cursor[2]; // screen's corner, as scripts always had it), in pixels from its centre
};

struct OffscreenScript {
    uint32_t stepMs = 16;               // virtual milliseconds per frame
    std::vector<OffscreenEvent> events; // any order; applied by frame, ties in list order
    std::vector<ScriptStep> steps;      // any order; a later one for the same frame wins
    FlightStart start{};
};

struct ScriptPlayer {
    OffscreenScript script; // events and steps sorted by frame, ties in their list order
    size_t next;            // the first event not yet delivered
    // the virtual clock
    size_t nextStep;        // the first frame-stamped step not yet in force
    uint32_t stepMs;        // the step in force
    uint32_t clockFrames;   // frames whose time the clock holds
    uint32_t elapsedMs;     // virtual milliseconds since the start
};

// Starts playing `script` from its first event, with the clock at 0.
void scriptPlayerLoad(ScriptPlayer& player, const OffscreenScript& script);
// The virtual clock in frame `frame`'s pass: milliseconds since the start. The first frame lasts
// 0 ms unless a step is stamped at frame 0; every later frame lasts the step in force (the
// script's `stepMs` until a frame-stamped step says otherwise). Frames may only go forwards.
uint32_t scriptPlayerClock(ScriptPlayer& player, uint32_t frame);
// Delivers every event stamped at or before `frame` that was not delivered yet: keys to the
// emulated key state, motion to `cursor` and the mouse buffers (stamped `timeStamp`), a close
// request to `window` (dropped without one), a quit to the thread's queue.
void scriptPlayerApply(ScriptPlayer& player, uint32_t frame, uint32_t timeStamp, PlatWindow* window,
                       PlatPoint& cursor);
