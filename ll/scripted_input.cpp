// The script player (scripted_input.h): scripted events into the platform emulation, by frame.
#include "ll/scripted_input.h"

#include <algorithm>

#include "ll/platform_emulation.h"

void scriptPlayerLoad(ScriptPlayer& player, const OffscreenScript& script) {
    player.script = script;
    std::stable_sort(player.script.events.begin(), player.script.events.end(),
                     [](const OffscreenEvent& a, const OffscreenEvent& b) { return a.frame < b.frame; });
    std::stable_sort(player.script.steps.begin(), player.script.steps.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.frame < b.frame; });
    player.next = 0;
    player.nextStep = 0;
    player.stepMs = player.script.stepMs;
    player.clockFrames = 0;
    player.elapsedMs = 0;
}

uint32_t scriptPlayerClock(ScriptPlayer& player, uint32_t frame) {
    const std::vector<ScriptStep>& steps = player.script.steps;
    // Each frame's time is added once, the first time the clock is asked in or after its pass.
    while (player.clockFrames <= frame) {
        const uint32_t f = player.clockFrames++;
        bool stamped = false;
        while (player.nextStep < steps.size() && steps[player.nextStep].frame <= f) {
            player.stepMs = steps[player.nextStep++].ms;
            stamped = true;
        }
        if (f > 0 || stamped) player.elapsedMs += player.stepMs;
    }
    return player.elapsedMs;
}

void scriptPlayerApply(ScriptPlayer& player, uint32_t frame, uint32_t timeStamp, PlatWindow* window,
                       PlatPoint& cursor) {
    const std::vector<OffscreenEvent>& events = player.script.events;
    while (player.next < events.size() && events[player.next].frame <= frame) {
        const OffscreenEvent& e = events[player.next++];
        switch (e.kind) {
        case OffscreenEventKind::keyDown: emuSetKey(e.key, true); break;
        case OffscreenEventKind::keyUp: emuSetKey(e.key, false); break;
        case OffscreenEventKind::mouse:
            cursor.x += e.dx;
            cursor.y += e.dy;
            if (e.dx) emuPushMouse(DIMOFS_X, uint32_t(e.dx), timeStamp);
            if (e.dy) emuPushMouse(DIMOFS_Y, uint32_t(e.dy), timeStamp);
            break;
        case OffscreenEventKind::close:
            if (window) emuPostMessage(window, WM_CLOSE, 0);
            break;
        case OffscreenEventKind::quit: emuPostMessage(nullptr, WM_QUIT, 0); break;
        case OffscreenEventKind::analog: emuSetScriptAnalog(e.axes); break;
        }
    }
}
