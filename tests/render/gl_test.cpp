// Headless context and pixel helpers shared by the rendering tests.
#include "tests/render/gl_test.h"

#include <GL/gl.h>

#include <string>

#include "ll/headless_gl.h"
#include "render/gl_setup.h"
#include "render/renderer.h"
#include "render/shadows.h"
#include "tests/render/test_world.h"

namespace gltest {
namespace {

class HeadlessEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        HeadlessGLConfig config;
#ifdef QV_GL_ES2
        config.es2 = true;  // built against the GL 1.1 layer
#endif
        ASSERT_TRUE(createHeadlessGL(config, error)) << error;
    }
    // The context stays until the process ends: tearing it down unloads the driver, and the
    // allocations Mesa keeps for the life of its context would then read as leaks.
};

}  // namespace

// Registered before main runs, so the context exists before any test of the process.
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new HeadlessEnvironment);

Rgb pixel(int x, int y) {
    glFinish();
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

std::array<int, 2> project(const Vec3& eye) {
    // glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, ...): x_ndc = 2.5 * x / -z, likewise y; 800 x 600.
    const float xn = 2.5f * eye.x / -eye.z, yn = 2.5f * eye.y / -eye.z;
    return {static_cast<int>(400 + 400 * xn), static_cast<int>(300 + 300 * yn)};
}

void drawFrame(Entity* camera, World* world) {
    drawWorldFrame(camera, world);
    glFinish();
}

void RenderTest::SetUp() {
    resetRenderer();
    resetShadows();
    glViewport(0, 0, 800, 600);
    setupRenderState();
    glBindTexture(GL_TEXTURE_2D, 0);
}

WorldTest::WorldTest() : world(testworld::makeWorld()), camera(testworld::makeCamera({0, 0, 0})) {}

void WorldTest::TearDown() {
    testworld::freeCamera(camera);
    freeWorld(world);
}

}  // namespace gltest

