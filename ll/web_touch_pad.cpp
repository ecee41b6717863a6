// Touch controls and gamepads in the browser (web_touch_pad.h).
#include "ll/web_touch_pad.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstring>

#include "ll/pad.h"
#include "ll/platform_emulation.h"
#include "ll/platform_web.h"

namespace {

constexpr int kMaxPads = 4;

struct TouchPadState {
    bool touchUsed;
    float stickX, stickY;     // the move stick as the page placed it, y down, before the dead zone
    bool fingerOn[256];       // a finger is on the touch button of that DIK code
    bool touchHeld[256];      // what the keyboard reads for it
    bool padPressed[kMaxPads]; // that pad had a button down once: it counts from then on
};

TouchPadState touchPad{};

EM_JS(void, tellPagePad, (const char* id), {
    if (Module.quorvelPad) Module.quorvelPad(UTF8ToString(id));
});

PadState fromStandard(const EmscriptenGamepadEvent& g) {
    PadState s{};
    auto axis = [&](int i) { return i < g.numAxes ? float(g.axis[i]) : 0.0f; };
    s.leftX = axis(0);
    s.leftY = axis(1);
    s.rightX = axis(2);
    s.rightY = axis(3);
    for (int i = 0; i < kPadButtonCount && i < g.numButtons; ++i) s.buttons[i] = g.digitalButton[i] != 0;
    if (g.numButtons > kPadRightTrigger) {
        s.leftTrigger = float(g.analogButton[kPadLeftTrigger]);
        s.rightTrigger = float(g.analogButton[kPadRightTrigger]);
    }
    return s;
}

// The first pad in the standard layout that has been pressed; false when there is none.
bool samplePads(PadState& pad) {
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return false;
    bool found = false;
    const int count = std::min(kMaxPads, emscripten_get_num_gamepads());
    for (int i = 0; i < count; ++i) {
        EmscriptenGamepadEvent g;
        if (emscripten_get_gamepad_status(i, &g) != EMSCRIPTEN_RESULT_SUCCESS || !g.connected) {
            touchPad.padPressed[i] = false; // unplugged: a new pad there starts unpressed
            continue;
        }
        if (std::strcmp(g.mapping, "standard") != 0) continue;
        const PadState state = fromStandard(g);
        if (!touchPad.padPressed[i] && padAnyButton(state)) {
            touchPad.padPressed[i] = true;
            tellPagePad(g.id);
        }
        if (touchPad.padPressed[i] && !found) {
            pad = state;
            found = true;
        }
    }
    return found;
}

float unit(float v) { return std::min(1.0f, std::max(-1.0f, v)); }

} // namespace

void webTouchPadReset() { touchPad = TouchPadState{}; }

bool webTouchUsed() { return touchPad.touchUsed; }

void webTouchPadSample() {
    PadState pad{};
    const bool havePad = samplePads(pad);
    PlatAnalog analog = havePad ? padAnalog(pad) : PlatAnalog{};
    float x = 0, y = 0;
    padStick(touchPad.stickX, touchPad.stickY, x, y);
    if (x != 0) analog.moveX = unit(analog.moveX + x);
    if (y != 0) analog.moveY = unit(analog.moveY - y);
    emuSetAnalog(analog);

    bool padHeld[256] = {};
    if (havePad)
        for (const PadKey& k : kPadKeys) padHeld[k.dik] = pad.buttons[k.button];
    for (int k = 1; k < 256; ++k)
        emuSetPadKey(uint8_t(k), padHeld[k] || touchPad.touchHeld[k] || touchPad.fingerOn[k]);
}

void webTouchPadAfterRead() {
    for (int k = 0; k < 256; ++k)
        if (!touchPad.fingerOn[k]) touchPad.touchHeld[k] = false;
}

extern "C" {

// The move stick: the finger's offset from where it landed, as a fraction of the stick's travel
// (x right, y down); the dead zone is applied here. (0, 0) when the finger lifts.
EMSCRIPTEN_KEEPALIVE void quorvel_touch_stick(float x, float y) {
    touchPad.touchUsed = true;
    touchPad.stickX = x == x ? x : 0;
    touchPad.stickY = y == y ? y : 0;
}

// A drag on the look side, in CSS pixels: it turns the view as the mouse does.
EMSCRIPTEN_KEEPALIVE void quorvel_touch_look(int dx, int dy) {
    touchPad.touchUsed = true;
    webLookBy(dx, dy);
}

// A touch button of DIK code dik pressed (down non-zero) or let go. A press is read at least once.
EMSCRIPTEN_KEEPALIVE void quorvel_touch_key(int dik, int down) {
    touchPad.touchUsed = true;
    if (dik <= 0 || dik > 255) return;
    touchPad.fingerOn[dik] = down != 0;
    if (down) touchPad.touchHeld[dik] = true;
}

// The page saw a touch: from now on the canvas never asks for pointer lock.
EMSCRIPTEN_KEEPALIVE void quorvel_touch_seen() { touchPad.touchUsed = true; }

} // extern "C"
