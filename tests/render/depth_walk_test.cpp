// The complete-depth shadow mode: the draw-order darkening of the default order is gone, real
// shadows stay, and a world without that artefact draws exactly the same pictures in both modes.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/renderer.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"

namespace tw = testworld;
using gltest::pixel;
using gltest::project;

namespace {

int grey(const Vec3& eye) {
    const auto p = project(eye);
    return pixel(p[0], p[1])[0];
}

class DepthWalkTest : public gltest::WorldTest {
protected:
    uint16_t white = tw::flatMaterial(world, 1, 1, 1);
    void TearDown() override {
        setShadowDepth(ShadowDepth::Default);
        gltest::WorldTest::TearDown();
    }
    // The camera's room A sees two rooms side by side through two doors: B on the left, followed
    // first, holds a caster whose light sends its volume away to the right, towards where C
    // appears on screen; C on the right is drawn after B's shadow pass.
    void siblings() {
        Room* a = tw::room(world, {-10, -10, -4}, {10, 10, 5});
        Room* b = tw::room(world, {-10, -10, -20}, {0, 10, -4});
        Room* c = tw::room(world, {0, -10, -20}, {10, 10, -4});
        tw::portalRect(world, a, b, -6, -3, -0.5f, 3, -4);
        tw::portalRect(world, a, c, 0.5f, -3, 6, 3, -4);
        tw::wall(world, b, -10, -6, 0, 6, -10, white);
        tw::wall(world, c, 0, -6, 10, 6, -10, white);
        tw::light(b, 0, {-3.3f, 0, -6});
        tw::entity(world, b, tw::modelIndex(world, tw::boxModel(world, 0.25f, white)), {-3, 0, -7});
    }
};

TEST_F(DepthWalkTest, CompleteDepthRemovesDrawOrderDarkeningAndKeepsRealShadows) {
    siblings();
    const Vec3 realShadow{-2.1f, 0, -10};  // on B's wall, straight along the light's ray
    const Vec3 farRoom{2, 0, -10};         // on C's wall, which no volume encloses

    gltest::drawFrame(camera, world);
    // Default order: at B's pass nothing is drawn where C will be, so the volume's far cap alone
    // counts there; C's pass and A's pass, run after C's wall is drawn, both darken it.
    EXPECT_NEAR(grey(farRoom), 255 * 0.04, 2);
    // The real shadow is darkened by all three passes, B's, C's and A's.
    EXPECT_NEAR(grey(realShadow), 255 * 0.008, 1);

    setShadowDepth(ShadowDepth::Complete);
    gltest::drawFrame(camera, world);
    EXPECT_EQ(grey(farRoom), 255);
    EXPECT_NEAR(grey(realShadow), 255 * 0.008, 1);
    const int frame = world->frame;
    gltest::drawFrame(camera, world);
    EXPECT_EQ(world->frame, frame + 2) << "the depth walk and the room walk each take a stamp";

    setShadowDepth(ShadowDepth::Default);
    gltest::drawFrame(camera, world);
    EXPECT_NEAR(grey(farRoom), 255 * 0.04, 2) << "switching back restores the default order";
}

// Reads the whole 800 x 600 frame.
std::vector<unsigned char> frame(Entity* camera, World* world) {
    gltest::drawFrame(camera, world);
    std::vector<unsigned char> rgb(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

TEST_F(DepthWalkTest, WithoutTheArtefactBothModesDrawTheSamePicture) {
    // One room with a wall, a lit caster and a translucent entity: the depth walk must give the
    // same depths the room walk does (or LEQUAL would fail), and skip what writes no depth.
    Room* r = tw::room(world, {-10, -10, -20}, {10, 10, 5});
    tw::wall(world, r, -6, -6, 6, 6, -5, white);
    tw::light(r, 0, {1.5f, 0.5f, -1.5f});
    const uint16_t cube = tw::modelIndex(world, tw::boxModel(world, 0.4f, tw::flatMaterial(world, 0.2f, 0.6f, 0.3f)));
    tw::entity(world, r, cube, {1, 0, -3});
    tw::entity(world, r, cube, {-0.8f, 0.3f, -2.5f}, kEntityTranslucent);
    const std::vector<unsigned char> plain = frame(camera, world);
    setShadowDepth(ShadowDepth::Complete);
    const std::vector<unsigned char> complete = frame(camera, world);
    ASSERT_EQ(plain.size(), complete.size());
    int differing = 0;
    for (size_t i = 0; i < plain.size(); ++i) differing += plain[i] != complete[i];
    EXPECT_EQ(differing, 0);
    // The picture is not empty: the wall and the shadow are there.
    EXPECT_NEAR(grey({0.33f, -0.67f, -5}), 255 * 0.2, 2);
    EXPECT_EQ(grey({1.5f, 1.5f, -5}), 255);
}

}  // namespace
