// The standard pad layout onto LL's analog axes (pad.h).
#include "ll/pad.h"

#include <algorithm>
#include <cmath>

namespace {

float clampUnit(float v) { return v == v ? std::min(1.0f, std::max(-1.0f, v)) : 0.0f; }

float trigger(float v) {
    v = clampUnit(v);
    return v < kPadTriggerDeadZone ? 0.0f : (v - kPadTriggerDeadZone) / (1.0f - kPadTriggerDeadZone);
}

} // namespace

void padStick(float x, float y, float& outX, float& outY) {
    x = clampUnit(x);
    y = clampUnit(y);
    const float length = std::sqrt(x * x + y * y);
    if (length < kPadDeadZone) {
        outX = 0;
        outY = 0;
        return;
    }
    // A corner of a square stick reaches a length above 1: it counts as full deflection.
    const float scaled = std::min(1.0f, (length - kPadDeadZone) / (1.0f - kPadDeadZone));
    outX = clampUnit(x / length * scaled);
    outY = clampUnit(y / length * scaled);
}

PlatAnalog padAnalog(const PadState& pad) {
    PlatAnalog a{};
    float x = 0, y = 0;
    padStick(pad.leftX, pad.leftY, x, y);
    a.moveX = x;
    a.moveY = y == 0 ? 0 : -y;
    padStick(pad.rightX, pad.rightY, x, y);
    a.lookX = x;
    a.lookY = y == 0 ? 0 : -y;
    a.upDown = trigger(pad.rightTrigger) - trigger(pad.leftTrigger);
    return a;
}

bool padAnyButton(const PadState& pad) {
    return std::any_of(pad.buttons, pad.buttons + kPadButtonCount, [](bool b) { return b; });
}
