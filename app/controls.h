// The viewer's controls: mouse smoothing, thrust directions from the camera's angles, and the
// per-frame step that turns keyboard and mouse state into camera turns, camera acceleration and
// the spinning object's animation.
#pragma once

#include <cstdint>

#include "world/world.h"

// Keyboard scan codes (DirectInput numbering, as LL's keysLL() indexes them).
enum : uint8_t {
    kKeyEscape = 0x01,
    kKeyQ = 0x10,
    kKeyW = 0x11,
    kKeyA = 0x1E,
    kKeyS = 0x1F,
    kKeyD = 0x20,
    kKeyZ = 0x2C,
    kKeyC = 0x2E,
    kKeyB = 0x30,
    kKeySpace = 0x39,
    kKeyF1 = 0x3B,   // the desktop keys (app/desktop.h): overlay
    kKeyF2 = 0x3C,   // portal outlines
    kKeyF3 = 0x3D,   // silhouettes and shadow volumes
    kKeyF4 = 0x3E,   // stencil heat map
    kKeyF5 = 0x3F,   // complete-depth shadows
    kKeyF6 = 0x40,   // reload the world
    kKeyF7 = 0x41,   // start and end a flight recording (app/flight_record.h)
    kKeyF12 = 0x58,  // screenshot
    kKeyUp = 0xC8,
    kKeyLeft = 0xCB,
    kKeyRight = 0xCD,
    kKeyDown = 0xD0,
};

// Direction codes for directionVector.
enum : int16_t {
    kDirBackward = 1,
    kDirForward = 2,
    kDirRight = 3,
    kDirLeft = 4,
    kDirUp = 5,
    kDirDown = 6,
};

constexpr float kKeyTurnRate = 0.036f;     // degrees per millisecond, arrow keys
constexpr float kMouseTurnFactor = 0.0036f; // degrees per millisecond per unit of smoothed output
constexpr int32_t kMouseDivisor = 50;
constexpr float kThrust = 2.0f;            // units per second gained per second held
constexpr float kSpinnerLift = 1.0f;       // units per second
constexpr float kSpinnerSpin = 90.0f;      // degrees per second about y
constexpr float kDegToRad = 3.141592f / 180.0f;

// Analog deflections from a touch stick or a gamepad, each in [-1, 1] (larger values count as 1):
// moveX > 0 right, moveY > 0 forward, lookX > 0 turns the view right, lookY > 0 tilts it up,
// upDown > 0 rises. All 0 when there is none.
struct AnalogAxes {
    float moveX, moveY;
    float lookX, lookY;
    float upDown;
};

// The two leaky mouse accumulators, carried from frame to frame.
struct MouseAccumulators {
    int32_t horizontal;
    int32_t vertical;
};

// Adds delta to acc and returns acc / 50; takes only the whole part of that fiftieth (truncated
// towards zero) back out of acc, so a remainder below 50 in magnitude stays for good.
float smoothMouse(int32_t delta, int32_t& acc);

// The unit direction for `code` (1 backward, 2 forward, 3 right, 4 left, 5 up, 6 down) from the
// camera's pitch and yaw, times speed * seconds, written to out and returned. Any other code
// gives the zero vector.
Vec3& directionVector(const Entity* camera, float speed, float seconds, int16_t code, Vec3& out);

// entity.velocity += v.
void addVelocity(Entity* entity, const Vec3& v);

// True when bit 7 of the key's byte is set.
inline bool keyHeld(const uint8_t* keys, uint8_t code) { return (keys[code] & 0x80) != 0; }

// One frame of controls: mouse and arrow turns, thrust keys, stop key, spinner lift and spin.
// keys: 256 bytes by scan code; mouseX/mouseY: the mouse motion since the previous frame;
// dtMs: the frame's duration. spinner may be null (a world with nothing in room 0).
// analog: the look axes turn the view as the arrow keys do, scaled by their deflection; the move
// and up-down axes push as the thrust keys do, scaled the same way. An axis at 0 does nothing at
// all, so frames without analog input are those of the keys and mouse alone.
void applyControls(const uint8_t* keys, int16_t mouseX, int16_t mouseY, uint32_t dtMs,
                   Entity* camera, Entity* spinner, MouseAccumulators& acc, const AnalogAxes& analog = AnalogAxes{});
