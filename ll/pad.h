// Gamepads in the W3C "standard" layout, whatever reads them (the browser's Gamepad API, SDL's
// GameController, XInput): the radial dead zone, the mapping of sticks and triggers onto LL's
// analog axes, and the buttons that hold keys. Pure functions; the backends sample the pads.
#pragma once

#include <cstdint>

#include "ll/platform.h"

// Buttons by their index in the standard layout.
enum PadButton : uint8_t {
    kPadA = 0,
    kPadB = 1,
    kPadX = 2,
    kPadY = 3,
    kPadLeftShoulder = 4,  // LB
    kPadRightShoulder = 5, // RB
    kPadLeftTrigger = 6,   // LT, also read as an analog value
    kPadRightTrigger = 7,  // RT
    kPadBack = 8,
    kPadStart = 9,
    kPadButtonCount = 17,
};

// One pad as sampled: sticks in [-1, 1] with y growing downwards (as pads report it), triggers
// in [0, 1], and which buttons are down.
struct PadState {
    float leftX, leftY, rightX, rightY;
    float leftTrigger, rightTrigger;
    bool buttons[kPadButtonCount];
};

// A stick whose deflection is below this reads as rest.
constexpr float kPadDeadZone = 0.2f;
// A trigger pressed less than this reads as released.
constexpr float kPadTriggerDeadZone = 0.05f;

// The radial dead zone: inside it both outputs are 0; outside, the length is rescaled so that the
// zone's edge gives 0 and full deflection 1, the direction kept, and the result held to [-1, 1].
void padStick(float x, float y, float& outX, float& outY);
// The analog axes a pad gives: left stick moves (up the stick is forward), right stick looks (up
// the stick tilts the view up), RT rises and LT sinks, each by how far it is pressed.
PlatAnalog padAnalog(const PadState& pad);
// True when any button is down: a pad counts as present only after one of its buttons was.
bool padAnyButton(const PadState& pad);

// The keys pad buttons hold: B stops (B), LB and RB raise and lower the ring (Q, Z), Back toggles
// the overlay (F1).
struct PadKey {
    PadButton button;
    uint8_t dik;
};
constexpr PadKey kPadKeys[] = {{kPadB, 0x30}, {kPadLeftShoulder, 0x10}, {kPadRightShoulder, 0x2C}, {kPadBack, 0x3B}};
