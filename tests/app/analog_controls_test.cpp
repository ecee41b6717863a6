// The camera controls' analog axes (touch sticks and gamepads): each axis behaves like its keys,
// scaled by its deflection; axes at rest leave the keys' and mouse's frames bit for bit as they
// are; larger deflections are held to full.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "app/controls.h"

namespace {

struct Rig {
    uint8_t keys[256] = {};
    Entity camera{};
    Entity spinner{};
    MouseAccumulators acc{};
    void step(uint32_t dt, const AnalogAxes& analog, int16_t mx = 0, int16_t my = 0) {
        applyControls(keys, mx, my, dt, &camera, &spinner, acc, analog);
    }
};

void expectSameVec(const Vec3& a, const Vec3& b, float tolerance, const char* what) {
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

// One second of a key held against one second of the axis at full deflection, from a camera
// already turned so that every component counts.
void expectAxisActsLikeKey(uint8_t key, const AnalogAxes& analog, const char* what) {
    Rig byKey, byAxis;
    for (Rig* r : {&byKey, &byAxis}) r->camera.angles = {20, 35, 0};
    byKey.keys[key] = 0x80;
    for (int i = 0; i < 10; ++i) {
        byKey.step(100, AnalogAxes{});
        byAxis.step(100, analog);
    }
    expectSameVec(byAxis.camera.velocity, byKey.camera.velocity, 1e-5f, what);
    expectSameVec(byAxis.camera.angles, byKey.camera.angles, 1e-3f, what);
    const float speed = std::sqrt(byAxis.camera.velocity.x * byAxis.camera.velocity.x +
                                  byAxis.camera.velocity.y * byAxis.camera.velocity.y +
                                  byAxis.camera.velocity.z * byAxis.camera.velocity.z);
    const bool turns = key == kKeyLeft || key == kKeyRight || key == kKeyUp || key == kKeyDown;
    EXPECT_NEAR(speed, turns ? 0.0f : 2.0f, 1e-4f) << what;
}

TEST(AnalogControls, FullDeflectionOfEachAxisActsLikeItsKey) {
    expectAxisActsLikeKey(kKeyW, {0, 1, 0, 0, 0}, "stick forward = W");
    expectAxisActsLikeKey(kKeyS, {0, -1, 0, 0, 0}, "stick back = S");
    expectAxisActsLikeKey(kKeyD, {1, 0, 0, 0, 0}, "stick right = D");
    expectAxisActsLikeKey(kKeyA, {-1, 0, 0, 0, 0}, "stick left = A");
    expectAxisActsLikeKey(kKeySpace, {0, 0, 0, 0, 1}, "up = Space");
    expectAxisActsLikeKey(kKeyC, {0, 0, 0, 0, -1}, "down = C");
    // Looking right is what the left arrow does (yaw decreases); looking up what the down arrow does.
    expectAxisActsLikeKey(kKeyLeft, {0, 0, 1, 0, 0}, "look right = left arrow");
    expectAxisActsLikeKey(kKeyRight, {0, 0, -1, 0, 0}, "look left = right arrow");
    expectAxisActsLikeKey(kKeyDown, {0, 0, 0, 1, 0}, "look up = down arrow");
    expectAxisActsLikeKey(kKeyUp, {0, 0, 0, -1, 0}, "look down = up arrow");
}

TEST(AnalogControls, DeflectionScalesThePushAndTheTurn) {
    Rig r;
    for (int i = 0; i < 4; ++i) r.step(250, {0, 0.25f, 0, 0, 0});
    EXPECT_NEAR(r.camera.velocity.z, -0.5f, 1e-5f); // a quarter of 2 units per second per second
    EXPECT_NEAR(r.camera.velocity.x, 0.0f, 1e-6f);

    Rig t;
    t.step(1000, {0, 0, -0.5f, 0, 0}); // half of 36 degrees per second, to the left: yaw grows
    EXPECT_NEAR(t.camera.angles.y, 18.0f, 1e-3f);
    t.step(1000, {0, 0, 0, 0.1f, 0});
    EXPECT_NEAR(t.camera.angles.x, 3.6f, 1e-3f);

    Rig lift;
    lift.step(500, {0, 0, 0, 0, 0.6f});
    EXPECT_NEAR(lift.camera.velocity.y, 0.6f, 1e-5f);
}

TEST(AnalogControls, DeflectionBeyondFullCountsAsFullAndNotANumberAsRest) {
    Rig over, full;
    over.step(1000, {0, 5, -3, 0, 0});
    full.step(1000, {0, 1, -1, 0, 0});
    expectSameVec(over.camera.velocity, full.camera.velocity, 0, "held to full");
    EXPECT_EQ(over.camera.angles.y, full.camera.angles.y);

    Rig nan;
    const float q = std::numeric_limits<float>::quiet_NaN();
    nan.step(1000, {q, q, q, q, q});
    EXPECT_EQ(nan.camera.velocity.x, 0.0f);
    EXPECT_EQ(nan.camera.velocity.y, 0.0f);
    EXPECT_EQ(nan.camera.velocity.z, 0.0f);
    EXPECT_EQ(nan.camera.angles.x, 0.0f);
    EXPECT_EQ(nan.camera.angles.y, 0.0f);
}

TEST(AnalogControls, AxesAtRestLeaveKeysAndMouseFramesBitForBit) {
    // A flight of keys and mouse with the default argument, and the same with explicit zeros.
    Rig plain, zeros;
    const uint8_t pattern[] = {kKeyW, kKeyLeft, kKeyD, kKeyDown, kKeySpace, kKeyQ};
    for (int frame = 0; frame < 300; ++frame) {
        const uint8_t key = pattern[(frame / 20) % 6];
        for (Rig* r : {&plain, &zeros}) {
            std::memset(r->keys, 0, sizeof r->keys);
            r->keys[key] = 0x80;
        }
        const int16_t mx = int16_t((frame * 37) % 23 - 11), my = int16_t((frame * 13) % 9 - 4);
        const uint32_t dt = 10 + uint32_t(frame % 7);
        applyControls(plain.keys, mx, my, dt, &plain.camera, &plain.spinner, plain.acc);
        zeros.step(dt, AnalogAxes{0, -0.0f, 0, -0.0f, 0}, mx, my);
    }
    EXPECT_EQ(std::memcmp(&plain.camera.angles, &zeros.camera.angles, sizeof(Vec3)), 0);
    EXPECT_EQ(std::memcmp(&plain.camera.velocity, &zeros.camera.velocity, sizeof(Vec3)), 0);
    EXPECT_EQ(std::memcmp(&plain.spinner.position, &zeros.spinner.position, sizeof(Vec3)), 0);
    EXPECT_EQ(plain.acc.horizontal, zeros.acc.horizontal);
    EXPECT_EQ(plain.acc.vertical, zeros.acc.vertical);
    EXPECT_NE(plain.camera.velocity.z, 0.0f); // the flight did fly
}

TEST(AnalogControls, StopStillWinsAndTheSpinnerIgnoresTheAxes) {
    Rig r;
    r.keys[kKeyB] = 0x80;
    r.step(200, {1, 1, 0.5f, 0.5f, 1});
    EXPECT_EQ(r.camera.velocity.x, 0.0f);
    EXPECT_EQ(r.camera.velocity.y, 0.0f);
    EXPECT_EQ(r.camera.velocity.z, 0.0f);
    EXPECT_NE(r.camera.angles.y, 0.0f); // the view still turns while stopped
    EXPECT_EQ(r.spinner.position.y, 0.0f);

    // Thrust follows this frame's analog turn, as it follows the arrow keys'.
    Rig turned;
    turned.step(2500, {0, 1, -1, 0, 0}); // 90 degrees to the left, then forward: down -x
    EXPECT_NEAR(turned.camera.velocity.x, -5.0f, 1e-4f);
    EXPECT_NEAR(turned.camera.velocity.z, 0.0f, 1e-4f);
}

}  // namespace
