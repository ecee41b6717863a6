// The script player (scripted_input.h): scripted events into the platform emulation, by frame.
#include "ll/scripted_input.h"

#include <algorithm>

#include "ll/platform_emulation.h"

void scriptPlayerLoad(ScriptPlayer& player, const OffscreenScript& script) {
    player.script = script;
    std::stable_sort(player.script.events.begin(), player.script.events.end(),
                     [](const OffscreenEvent& a, const OffscreenEvent& b) { return a.frame < b.frame; });
    player.next = 0;
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
        }
    }
}
