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
};

struct OffscreenEvent {
    uint32_t frame;
    OffscreenEventKind kind;
    uint8_t key;    // DIK code, for keyDown and keyUp
    int32_t dx, dy; // for mouse
};

struct OffscreenScript {
    uint32_t stepMs = 16;               // virtual milliseconds per frame
    std::vector<OffscreenEvent> events; // any order; applied by frame, ties in list order
};

struct ScriptPlayer {
    OffscreenScript script; // events sorted by frame, ties in their list order
    size_t next;            // the first event not yet delivered
};

// Starts playing `script` from its first event.
void scriptPlayerLoad(ScriptPlayer& player, const OffscreenScript& script);
// Delivers every event stamped at or before `frame` that was not delivered yet: keys to the
// emulated key state, motion to `cursor` and the mouse buffers (stamped `timeStamp`), a close
// request to `window` (dropped without one), a quit to the thread's queue.
void scriptPlayerApply(ScriptPlayer& player, uint32_t frame, uint32_t timeStamp, PlatWindow* window,
                       PlatPoint& cursor);
