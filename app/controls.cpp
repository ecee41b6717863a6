// Camera controls and the spinner's animation: keys, mouse and the analog axes of touch controls
// and pads; everything is scaled by the frame time.
#include "app/controls.h"

#include <algorithm>
#include <cmath>

#include "scene/entity.h"

float smoothMouse(int32_t delta, int32_t& acc) {
    acc += delta;
    const float q = float(acc) / float(kMouseDivisor);
    // Integer division truncates towards zero, so -100 decays exactly like +100.
    acc -= acc / kMouseDivisor;
    return q;
}

Vec3& directionVector(const Entity* camera, float speed, float seconds, int16_t code, Vec3& out) {
    const float p = camera->angles.x;
    const float yaw = camera->angles.y * kDegToRad;
    out = {0, 0, 0};
    switch (code) {
    case kDirBackward:
    case kDirForward: {
        float c = p - 90.0f;
        if (code == kDirBackward) {
            c += 180.0f;
            if (c > 359.0f) c -= 360.0f;
        }
        c *= kDegToRad;
        out = {std::sin(yaw) * std::sin(c), std::cos(c), std::sin(c) * std::cos(yaw)};
        break;
    }
    case kDirRight:
    case kDirLeft: {
        float h = camera->angles.y + (code == kDirRight ? 90.0f : 270.0f);
        if (h > 359.0f) h -= 360.0f;
        h *= kDegToRad;
        out = {std::sin(h), 0, std::cos(h)};
        break;
    }
    case kDirUp:
        out = {0, 1, 0};
        break;
    case kDirDown:
        out = {0, -1, 0};
        break;
    default:
        return out; // unknown code: stays zero (normalising it would be meaningless)
    }
    normalize(out);
    const float scale = speed * seconds;
    out.x *= scale;
    out.y *= scale;
    out.z *= scale;
    return out;
}

void addVelocity(Entity* entity, const Vec3& v) {
    entity->velocity.x += v.x;
    entity->velocity.y += v.y;
    entity->velocity.z += v.z;
}

namespace {

// A deflection limited to [-1, 1]; anything not a number counts as rest.
float deflection(float value) { return value == value ? std::min(1.0f, std::max(-1.0f, value)) : 0.0f; }

} // namespace

void applyControls(const uint8_t* keys, int16_t mouseX, int16_t mouseY, uint32_t dtMs,
                   Entity* camera, Entity* spinner, MouseAccumulators& acc, const AnalogAxes& analog) {
    const float dt = float(dtMs);
    const float seconds = dt / 1000.0f;

    // Mouse: both axes go through the accumulators every frame, moved or not.
    const float f = dt * kMouseTurnFactor;
    turnEntity(camera, -smoothMouse(mouseX, acc.horizontal) * f, 1);
    turnEntity(camera, smoothMouse(mouseY, acc.vertical) * f, 0);

    // Arrow keys; every turn comes before thrust so thrust follows this frame's view.
    if (keyHeld(keys, kKeyLeft)) turnEntity(camera, dt * -kKeyTurnRate, 1);
    if (keyHeld(keys, kKeyRight)) turnEntity(camera, dt * kKeyTurnRate, 1);
    if (keyHeld(keys, kKeyUp)) turnEntity(camera, dt * -kKeyTurnRate, 0);
    if (keyHeld(keys, kKeyDown)) turnEntity(camera, dt * kKeyTurnRate, 0);

    // The look stick at full deflection turns as fast as the arrow keys. An axis at rest makes no
    // call at all: turnEntity's wrap would otherwise be a step the keys-only frame never took.
    const float lookX = deflection(analog.lookX), lookY = deflection(analog.lookY);
    if (lookX != 0.0f) turnEntity(camera, dt * -kKeyTurnRate * lookX, 1);
    if (lookY != 0.0f) turnEntity(camera, dt * kKeyTurnRate * lookY, 0);

    static const struct {
        uint8_t key;
        int16_t code;
    } thrusts[] = {{kKeyA, kDirLeft},  {kKeyD, kDirRight},    {kKeyW, kDirForward},
                   {kKeyS, kDirBackward}, {kKeySpace, kDirUp}, {kKeyC, kDirDown}};
    for (const auto& t : thrusts) {
        if (!keyHeld(keys, t.key)) continue;
        Vec3 v;
        addVelocity(camera, directionVector(camera, kThrust, seconds, t.code, v));
    }

    // Analog thrust: the deflection scales the push of the key for that direction.
    const struct {
        float amount;
        int16_t positive, negative;
    } axes[] = {{deflection(analog.moveX), kDirRight, kDirLeft},
                {deflection(analog.moveY), kDirForward, kDirBackward},
                {deflection(analog.upDown), kDirUp, kDirDown}};
    for (const auto& a : axes) {
        if (a.amount == 0.0f) continue;
        Vec3 v;
        addVelocity(camera, directionVector(camera, kThrust * std::fabs(a.amount), seconds,
                                            a.amount > 0.0f ? a.positive : a.negative, v));
    }

    // Stop comes after thrust: while it is held nothing keeps any velocity.
    if (keyHeld(keys, kKeyB)) {
        addVelocity(camera, {-camera->velocity.x, -camera->velocity.y, -camera->velocity.z});
        acc.vertical = 0;
        acc.horizontal = 0;
    }

    if (!spinner) return;
    // The spinner is moved in place: it stays in its room's list wherever it goes.
    if (keyHeld(keys, kKeyQ)) spinner->position.y = spinner->position.y + dt * kSpinnerLift / 1000.0f;
    if (keyHeld(keys, kKeyZ)) spinner->position.y = spinner->position.y - dt * kSpinnerLift / 1000.0f;
    turnEntity(spinner, dt * kSpinnerSpin / 1000.0f, 1);
}
