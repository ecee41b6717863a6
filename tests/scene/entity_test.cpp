// Turning with wrapped angles, the cached rotation matrix, and the camera view transform.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

#include "ll/headless_gl.h"
#include "scene/entity.h"

namespace {

Entity entityAt(float pitch, float yaw, float roll) {
    Entity e{};
    e.angles = {pitch, yaw, roll};
    e.dirty = 0xFF;
    return e;
}

// The view direction is the camera's -z axis; in world terms that is the third row of R, negated.
Vec3 viewDirection(const float m[16]) { return {-m[2], -m[6], -m[10]}; }

TEST(TurnEntity, WrapsOnceEachWayWithTheBoundAt359) {
    struct Case { float from, delta, expected; } cases[] = {
        {0, -0.5f, -0.5f}, {359, 0.5f, -0.5f}, {358.5f, 0.5f, 359}, {10, -20, 350}, {0, -1, 359},
        {359.5f, 0, -0.5f}, {180, 180, 0},
    };
    for (const Case& c : cases) {
        Entity e{};
        e.angles.y = c.from;
        turnEntity(&e, c.delta, 1);
        EXPECT_FLOAT_EQ(e.angles.y, c.expected) << c.from << " + " << c.delta;
    }
}

TEST(TurnEntity, SetsOnlyTheDirtyBitOfItsAxis) {
    Entity e = entityAt(0, 0, 0);
    e.dirty = 0x80;
    turnEntity(&e, 5, 2);
    EXPECT_EQ(e.dirty, 0x84);
    turnEntity(&e, 5, 0);
    EXPECT_EQ(e.dirty, 0x85);
    EXPECT_FLOAT_EQ(e.angles.z, 5);
}

TEST(UpdateRotation, MatchesTheClosedForm) {
    const float deg = 3.14159265f / 180;
    Entity e = entityAt(20, 35, -50);
    updateRotation(&e);
    const float a = -20 * deg, b = -35 * deg, c = 50 * deg;
    const float expected[3][3] = {
        {std::cos(b) * std::cos(c), -std::cos(b) * std::sin(c), std::sin(b)},
        {std::sin(a) * std::sin(b) * std::cos(c) + std::cos(a) * std::sin(c),
         -std::sin(a) * std::sin(b) * std::sin(c) + std::cos(a) * std::cos(c), -std::sin(a) * std::cos(b)},
        {-std::cos(a) * std::sin(b) * std::cos(c) + std::sin(a) * std::sin(c),
         std::cos(a) * std::sin(b) * std::sin(c) + std::sin(a) * std::cos(c), std::cos(a) * std::cos(b)},
    };
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) EXPECT_NEAR(e.rotation[4 * col + row], expected[row][col], 1e-6);
    EXPECT_EQ(e.rotation[15], 1);
    EXPECT_EQ(e.rotation[12], 0);
    EXPECT_EQ(e.rotation[3], 0);
}

TEST(UpdateRotation, ViewDirectionsFollowTheConventions) {
    Entity yaw90 = entityAt(0, 90, 0);  // a positive yaw turns the view left: along -x
    updateRotation(&yaw90);
    Vec3 d = viewDirection(yaw90.rotation);
    EXPECT_NEAR(d.x, -1, 1e-6);
    EXPECT_NEAR(d.y, 0, 1e-6);
    EXPECT_NEAR(d.z, 0, 1e-6);

    Entity pitch30 = entityAt(30, 0, 0);  // a positive pitch tilts it up
    updateRotation(&pitch30);
    d = viewDirection(pitch30.rotation);
    EXPECT_NEAR(d.x, 0, 1e-6);
    EXPECT_NEAR(d.y, 0.5, 1e-6);
    EXPECT_NEAR(d.z, -0.866025, 1e-6);
}

TEST(UpdateRotation, RebuildsOnlyWhenDirtyAndKeepsTheHighBits) {
    Entity e = entityAt(0, 0, 0);
    e.dirty = 0xF8 | 0x02;
    updateRotation(&e);
    EXPECT_EQ(e.dirty, 0xF8);
    EXPECT_FLOAT_EQ(e.rotation[0], 1);
    e.angles.y = 90;  // written directly: no dirty bit, so the matrix stays
    updateRotation(&e);
    EXPECT_FLOAT_EQ(e.rotation[0], 1);
    turnEntity(&e, 0, 1);  // any turn rebuilds from all three angles
    updateRotation(&e);
    EXPECT_NEAR(e.rotation[0], 0, 1e-6);
}

TEST(ApplyView, MultipliesRotationThenTranslation) {
    std::string error;
    if (!createHeadlessGL({}, error)) GTEST_SKIP() << "no headless OpenGL: " << error;
    Entity cam = entityAt(0, 0, 0);
    cam.position = {1, 2, 3};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    applyView(&cam);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 1);
    EXPECT_FLOAT_EQ(m[12], -1);
    EXPECT_FLOAT_EQ(m[13], -2);
    EXPECT_FLOAT_EQ(m[14], -3);

    cam = entityAt(0, 90, 0);
    cam.position = {1, 2, 3};
    glLoadIdentity();
    applyView(&cam);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    // The world point one unit along -x from the camera lands straight ahead, on -z.
    const float p[3] = {0, 2, 3};
    const float eyeZ = m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14];
    const float eyeX = m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12];
    EXPECT_NEAR(eyeZ, -1, 1e-5);
    EXPECT_NEAR(eyeX, 0, 1e-5);
    EXPECT_EQ(cam.dirty & 7, 0);
    destroyHeadlessGL();
}

}  // namespace
