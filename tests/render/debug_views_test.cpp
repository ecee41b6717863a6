// The debug views on real frames: which portals count as followed and culled, that each view
// draws where it should, and that each leaves every piece of OpenGL state as it found it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "render/debug_views.h"
#include "render/renderer.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"

namespace tw = testworld;
using gltest::project;

namespace {

// The state a view could disturb, read back from the context.
struct GlState {
    std::array<GLboolean, 7> enabled;
    GLint depthFunc, blendSrc, blendDst, stencilFunc, stencilRef, stencilValueMask, stencilWriteMask;
    GLint stencilFail, stencilDepthFail, stencilPass, matrixMode, listBase;
    GLboolean depthMask;
    std::array<GLboolean, 4> colorMask;
    std::array<GLfloat, 4> colour;
    GLfloat lineWidth;
    std::array<GLfloat, 16> modelview, projection;
    std::array<GLint, 4> viewport;
    bool operator==(const GlState& o) const {
        return enabled == o.enabled && depthFunc == o.depthFunc && blendSrc == o.blendSrc && blendDst == o.blendDst &&
               stencilFunc == o.stencilFunc && stencilRef == o.stencilRef && stencilValueMask == o.stencilValueMask &&
               stencilWriteMask == o.stencilWriteMask && stencilFail == o.stencilFail &&
               stencilDepthFail == o.stencilDepthFail && stencilPass == o.stencilPass && matrixMode == o.matrixMode &&
               listBase == o.listBase && depthMask == o.depthMask && colorMask == o.colorMask && colour == o.colour &&
               lineWidth == o.lineWidth && modelview == o.modelview && projection == o.projection &&
               viewport == o.viewport;
    }
};

GlState readState() {
    GlState s{};
    const GLenum caps[7] = {GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_CULL_FACE, GL_LIGHT0};
    for (int i = 0; i < 7; ++i) s.enabled[i] = glIsEnabled(caps[i]);
    glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
    glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
    glGetIntegerv(GL_BLEND_DST, &s.blendDst);
    glGetIntegerv(GL_STENCIL_FUNC, &s.stencilFunc);
    glGetIntegerv(GL_STENCIL_REF, &s.stencilRef);
    glGetIntegerv(GL_STENCIL_VALUE_MASK, &s.stencilValueMask);
    glGetIntegerv(GL_STENCIL_WRITEMASK, &s.stencilWriteMask);
    glGetIntegerv(GL_STENCIL_FAIL, &s.stencilFail);
    glGetIntegerv(GL_STENCIL_PASS_DEPTH_FAIL, &s.stencilDepthFail);
    glGetIntegerv(GL_STENCIL_PASS_DEPTH_PASS, &s.stencilPass);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetIntegerv(GL_LIST_BASE, &s.listBase);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
    glGetBooleanv(GL_COLOR_WRITEMASK, s.colorMask.data());
    glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
    glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
    glGetIntegerv(GL_VIEWPORT, s.viewport.data());
    return s;
}

// Counts pixels in a (2r+1)-square around window pixel (x, y) that pass `is`.
template <typename Colour>
int around(int x, int y, int r, Colour is) {
    glFinish();
    std::vector<unsigned char> rgb(size_t(2 * r + 1) * (2 * r + 1) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x - r, y - r, 2 * r + 1, 2 * r + 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int n = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) n += is(rgb[i], rgb[i + 1], rgb[i + 2]);
    return n;
}
bool green(int r, int g, int b) { return g > 200 && r < 80 && b < 80; }
bool red(int r, int g, int b) { return r > 200 && g < 80 && b < 80; }

class DebugViewTest : public gltest::WorldTest {
protected:
    uint16_t grey = tw::flatMaterial(world, 0.5f, 0.5f, 0.5f);
    // Room a holds the camera and looks through a door at z = -4 into room b, which has the way
    // back (facing away from the camera) and a wall at z = -10.
    Room* a = tw::room(world, {-5, -5, -4}, {5, 5, 2});
    Room* b = tw::room(world, {-5, -5, -12}, {5, 5, -4});
    Portal* door = tw::portalRect(world, a, b, -1, -1, 1, 1, -4, true);
    Portal* back = tw::portalRect(world, b, a, -1, -1, 1, 1, -4, false);
    void SetUp() override {
        gltest::WorldTest::SetUp();
        tw::wall(world, b, -5, -5, 5, 5, -10, grey);
    }
    // A standing state unlike anything the views set, so that a leak shows.
    void oddState() {
        glEnable(GL_CULL_FACE);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_GREATER, 3, 0x0F);
        glStencilOp(GL_INCR, GL_DECR, GL_INVERT);
        glStencilMask(0x7F);
        glBlendFunc(GL_ONE, GL_ONE);
        glDepthFunc(GL_GREATER);
        glLineWidth(1.0f);
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        glMatrixMode(GL_TEXTURE);
    }
    void restoreUsual() {
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_CULL_FACE);
        glDisable(GL_STENCIL_TEST);
        glStencilMask(~0u);
        glDepthFunc(GL_LEQUAL);
    }
};

TEST_F(DebugViewTest, DoorIsFollowedAndTheWayBackCulled) {
    gltest::drawFrame(camera, world);
    const std::vector<PortalVisit> visits = visitPortals(camera, world);
    ASSERT_EQ(visits.size(), 2u);
    EXPECT_EQ(visits[0].portal, door);
    EXPECT_TRUE(visits[0].followed);
    EXPECT_EQ(visits[1].portal, back);
    EXPECT_FALSE(visits[1].followed);
    // Outside every room nothing is walked.
    Entity* outside = tw::makeCamera({50, 50, 50});
    EXPECT_TRUE(visitPortals(outside, world).empty());
    tw::freeCamera(outside);
}

TEST_F(DebugViewTest, FollowedOutlineWinsOverTheCulledOneOnTheSameDoor) {
    gltest::drawFrame(camera, world);
    drawPortalOutlines(camera, world);
    const auto corner = project({1, 1, -4});
    // The two outlines are drawn from opposite windings and may rasterise a pixel apart.
    EXPECT_GT(around(corner[0], corner[1], 3, green), 3 * around(corner[0], corner[1], 3, red) + 2);
    // The middle of the door is not outlined.
    EXPECT_EQ(around(400, 300, 3, green), 0);
}

TEST_F(DebugViewTest, CulledPortalOfAnotherDoorShowsRed) {
    // A second door out of b, seen edge-on from behind: its target c is never entered.
    Room* c = tw::room(world, {-5, -5, -20}, {5, 5, -12});
    tw::portalRect(world, b, c, 2, -1, 4, 1, -9, false);
    gltest::drawFrame(camera, world);
    drawPortalOutlines(camera, world);
    const auto p = project({2, 1, -9});
    EXPECT_GT(around(p[0], p[1], 3, red), 0);
}

TEST_F(DebugViewTest, EveryViewLeavesTheStateItFound) {
    tw::light(a, 0, {0, 3, 0});
    Model* box = tw::boxModel(world, 0.5f, grey);
    tw::entity(world, a, tw::modelIndex(world, box), {0, 0, -2});
    gltest::drawFrame(camera, world);
    oddState();
    const GlState before = readState();
    drawPortalOutlines(camera, world);
    EXPECT_TRUE(readState() == before) << "portal outlines";
    drawShadowOutlines(camera, world);
    EXPECT_TRUE(readState() == before) << "shadow outlines";
    drawStencilHeat();
    EXPECT_TRUE(readState() == before) << "stencil heat map";
    restoreUsual();
}

TEST_F(DebugViewTest, HeatMapTintsOnlyCountedPixels) {
    // A light above a box throws its shadow straight down onto a floor in room a.
    Room* r = a;
    tw::quad(world, r, {-5, -1, 2}, {5, -1, 2}, {5, -1, -4}, {-5, -1, -4}, grey);
    tw::light(r, 0, {0, 3, -3});
    tw::entity(world, r, tw::modelIndex(world, tw::boxModel(world, 0.25f, grey)), {0, 0, -3});
    gltest::drawFrame(camera, world);
    const auto shadow = project({0, -1, -3});
    const auto lit = project({-2, -1, -2.5f});
    const gltest::Rgb shadowBefore = gltest::pixel(shadow[0], shadow[1]);
    const gltest::Rgb litBefore = gltest::pixel(lit[0], lit[1]);
    drawStencilHeat();
    const gltest::Rgb shadowAfter = gltest::pixel(shadow[0], shadow[1]);
    EXPECT_GT(shadowAfter[2], shadowBefore[2] + 60) << "count 1 is tinted blue";
    EXPECT_TRUE(gltest::pixel(lit[0], lit[1]) == litBefore) << "count 0 stays as it was";
}

} // namespace
