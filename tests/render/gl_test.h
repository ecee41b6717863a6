// One headless OpenGL context per test process, set up with the driver's projection and state,
// plus frame and pixel helpers for the rendering tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "world/world.h"

namespace gltest {

using Rgb = std::array<int, 3>;
// Colour of window pixel (x, y), origin at the bottom left, after finishing the frame.
Rgb pixel(int x, int y);
// Window pixel of an eye-space point in front of a camera at the origin looking down -z.
std::array<int, 2> project(const Vec3& eye);
// Clears colour, depth and stencil and draws one frame the way the driver does.
void drawFrame(Entity* camera, World* world);

// Resets the renderer and shadow modules and restores the standing state before each test.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// A RenderTest with an empty in-memory world and a camera at the origin looking down -z, both
// released after each test.
class WorldTest : public RenderTest {
protected:
    WorldTest();
    void TearDown() override;
    World* world;
    Entity* camera;
};

}  // namespace gltest
