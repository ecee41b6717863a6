// Portal renderer: which rooms a frame draws, entities, textures, lights and the start-up state,
// checked on real frames read back from a headless context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "render/gl_setup.h"
#include "render/renderer.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"

namespace tw = testworld;
using gltest::pixel;
using gltest::project;
using gltest::Rgb;

namespace {

::testing::AssertionResult near(const Rgb& got, const Rgb& want, int tolerance = 2) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(got[i] - want[i]) > tolerance)
            return ::testing::AssertionFailure() << "got (" << got[0] << ", " << got[1] << ", "
                                                 << got[2] << "), want (" << want[0] << ", "
                                                 << want[1] << ", " << want[2] << ")";
    return ::testing::AssertionSuccess();
}

Rgb at(const Vec3& eye) {
    const auto p = project(eye);
    return pixel(p[0], p[1]);
}

const Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};

class PortalTest : public gltest::WorldTest {};

TEST_F(PortalTest, StartUpProjectionPutsTheFarPlaneAtInfinity) {
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 2.5f);  // 2 * near / (right - left)
    EXPECT_FLOAT_EQ(m[5], 2.5f);
    EXPECT_FLOAT_EQ(m[10], -1.0f);
    EXPECT_FLOAT_EQ(m[11], -1.0f);
    EXPECT_FLOAT_EQ(m[14], -1.0f);
    GLint mode = 0, depthFunc = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(PortalTest, CameraOutsideEveryRoomDrawsFromRoomZero) {
    Room* r0 = tw::room(world, {-1, -1, -10}, {1, 1, -5});
    Room* r1 = tw::room(world, {10, 10, 10}, {11, 11, 11});
    tw::wall(world, r0, -4, -4, 4, 4, -8, tw::flatMaterial(world, 1, 0, 0));
    tw::wall(world, r1, -1, -1, 1, 1, -7, tw::flatMaterial(world, 0, 1, 0));
    gltest::drawFrame(camera, world);
    EXPECT_EQ(camera->room, r0);
    EXPECT_EQ(r0->entities, camera);
    EXPECT_TRUE(near(at({0, 0, -8}), kRed));
    EXPECT_EQ(r1->lastFrame, 0);
    EXPECT_EQ(roomsDrawn(world), 1);
}

// A: the camera's room. B behind A's portal; C behind B's portal that faces the camera, D behind
// B's portal that faces away. E behind a portal of A that faces away (followed: camera room).
// F behind a two-vertex portal of A, G behind a two-vertex portal of B: never followed.
TEST_F(PortalTest, PortalsFacingAwayAreFollowedOnlyFromTheCameraRoom) {
    Room* a = tw::room(world, {-5, -5, -5}, {5, 5, 5});
    Room* b = tw::room(world, {-5, -5, -15}, {5, 5, -5});
    Room* c = tw::room(world, {-5, -5, -25}, {0, 5, -15});
    Room* d = tw::room(world, {0, -5, -25}, {5, 5, -15});
    Room* e = tw::room(world, {-5, -5, 5}, {5, 5, 15});
    Room* f = tw::room(world, {20, 20, 20}, {21, 21, 21});
    Room* g = tw::room(world, {30, 30, 30}, {31, 31, 31});
    tw::portalRect(world, a, b, -1, -1, 1, 1, -4);
    tw::portalRect(world, b, c, -2, -1, -0.5f, 1, -10);
    tw::portalRect(world, b, d, 0.5f, -1, 2, 1, -10, false);
    tw::portalRect(world, a, e, -1, -1, 1, 1, 4, false);
    tw::portal(world, a, f, {{-1, -1, -3}, {1, 1, -3}});
    tw::portal(world, b, g, {{-1, -1, -9}, {1, 1, -9}});
    tw::wall(world, c, -3, -1, -1, 1, -12, tw::flatMaterial(world, 0, 1, 0));
    tw::wall(world, d, 1, -1, 3, 1, -12, tw::flatMaterial(world, 0, 0, 1));
    tw::wall(world, e, -1, 1.5f, 1, 3, -12, tw::flatMaterial(world, 1, 1, 0));
    tw::wall(world, f, -1, -3, 1, -1.5f, -12, tw::flatMaterial(world, 1, 0, 0));
    tw::wall(world, g, -3, -3, -1.5f, -1.5f, -12, tw::flatMaterial(world, 1, 0, 0));

    gltest::drawFrame(camera, world);
    EXPECT_EQ(camera->room, a);
    EXPECT_TRUE(near(at({-2, 0, -12}), kGreen));
    EXPECT_TRUE(near(at({2, 0, -12}), kBlack));
    EXPECT_TRUE(near(at({0, 2.2f, -12}), kYellow));
    EXPECT_TRUE(near(at({0, -2.2f, -12}), kBlack));
    EXPECT_TRUE(near(at({-2.2f, -2.2f, -12}), kBlack));
    EXPECT_EQ(b->lastFrame, world->frame);
    EXPECT_EQ(c->lastFrame, world->frame);
    EXPECT_EQ(e->lastFrame, world->frame);
    EXPECT_EQ(d->lastFrame, 0);
    EXPECT_EQ(f->lastFrame, 0);
    EXPECT_EQ(g->lastFrame, 0);
}

// D is reachable through B and through C; its additive entity would double if D were drawn twice.
TEST_F(PortalTest, RoomReachableThroughTwoVisiblePortalsIsDrawnOncePerFrame) {
    Room* a = tw::room(world, {-5, -5, -5}, {5, 5, 5});
    Room* b = tw::room(world, {-5, -5, -10}, {0, 5, -5});
    Room* c = tw::room(world, {0, -5, -10}, {5, 5, -5});
    Room* d = tw::room(world, {-5, -5, -20}, {5, 5, -10});
    tw::portalRect(world, a, b, -2, -1, -0.5f, 1, -4);
    tw::portalRect(world, a, c, 0.5f, -1, 2, 1, -4);
    tw::portalRect(world, b, d, -2, -1, 0.5f, 1, -8);
    tw::portalRect(world, c, d, -0.5f, -1, 2, 1, -8);
    const uint16_t grey = tw::flatMaterial(world, 0.25f, 0.25f, 0.25f);
    Model* panel = tw::model(world, {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}},
                             {0, 1, 2, 0, 2, 3}, grey);
    tw::entity(world, d, tw::modelIndex(world, panel), {0, 0, -15}, kEntityTranslucent);
    tw::light(d, 0, {0, 0, 0});  // in front of the panel: its volume adds nothing to the stencil

    for (int frame = 1; frame <= 2; ++frame) {
        gltest::drawFrame(camera, world);
        EXPECT_EQ(world->frame, frame);
        EXPECT_EQ(roomsDrawn(world), 4);
        EXPECT_EQ(d->lastFrame, frame);
        EXPECT_TRUE(near(at({0, 0, -15}), {64, 64, 64}));
    }
}

TEST(PortalVisibility, AVertexOnAFrustumPlaneCountsAsOutside) {
    Entity* camera = tw::makeCamera({0, 0, 0});
    World* world = tw::makeWorld();
    Room* a = tw::room(world, {-5, -5, -5}, {5, 5, 5});
    Portal* p = tw::portalRect(world, a, a, 1, -1, 2, 1, -4);
    Plane xBelowOne{1, 0, 0, -1};  // inside: x < 1
    Plane* planes[1] = {&xBelowOne};
    Frustum frustum{1, planes};
    EXPECT_FALSE(portalVisible(camera, p, &frustum));  // vertices at x = 1 (value 0) and x = 2
    p->vertices[0]->x = 0.999f;
    EXPECT_TRUE(portalVisible(camera, p, &frustum));
    // The camera exactly in the portal's plane sees it edge on: not visible.
    camera->position = {0, 0, -4};
    EXPECT_FALSE(portalVisible(camera, p, &frustum));
    tw::freeCamera(camera);
    freeWorld(world);
}

TEST_F(PortalTest, EntityFlagsChooseHiddenAdditiveOrOpaque) {
    Room* a = tw::room(world, {-5, -5, -15}, {5, 5, 5});
    tw::wall(world, a, -10, -10, 10, 10, -10, tw::flatMaterial(world, 0.25f, 0.25f, 0.25f));
    Model* panel = tw::model(world, {{-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0.5f, 0.5f, 0}, {-0.5f, 0.5f, 0}},
                             {0, 1, 2, 0, 2, 3}, tw::flatMaterial(world, 0.25f, 0, 0));
    const uint16_t m = tw::modelIndex(world, panel);
    tw::entity(world, a, m, {-1, 0, -5}, kEntityTranslucent | kEntityHidden);
    tw::entity(world, a, m, {0, 0, -5}, kEntityTranslucent);
    tw::entity(world, a, m, {1, 0, -5}, 0);
    tw::light(a, 0, {0, 0, 0});
    gltest::drawFrame(camera, world);
    EXPECT_TRUE(near(at({-1, 0, -5}), {64, 64, 64}));   // hidden: only the wall
    EXPECT_TRUE(near(at({0, 0, -5}), {128, 64, 64}));   // added onto the wall
    EXPECT_TRUE(near(at({1, 0, -5}), {64, 0, 0}));      // replaces the wall

    // Straight after the entity pass, depth writes are back on and blending is off again.
    glPushMatrix();
    renderWorld(camera, world);
    renderEntities(a->entities);
    glPopMatrix();
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_EQ(depthWrites, GL_TRUE);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(PortalTest, TextureIndexOutOfRangeBindsNoTexture) {
    Room* a = tw::room(world, {-5, -5, -15}, {5, 5, 5});
    const uint16_t white = tw::flatMaterial(world, 1, 1, 1);
    tw::wall(world, a, -3, -1, -1, 1, -10, white, 0);
    tw::wall(world, a, 1, -1, 3, 1, -10, white, 7);
    world->textureCount = 1;
    world->textures = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t)));
    glGenTextures(1, world->textures);
    glBindTexture(GL_TEXTURE_2D, world->textures[0]);
    const unsigned char green[4] = {0, 255, 0, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, green);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gltest::drawFrame(camera, world);
    EXPECT_TRUE(near(at({-2, 0, -10}), kGreen));
    EXPECT_TRUE(near(at({2, 0, -10}), {255, 255, 255}));
    glDeleteTextures(1, world->textures);
    std::free(world->textures);
    world->textures = nullptr;
}

TEST_F(PortalTest, RoomLightsFollowTheirSlots) {
    Room* a = tw::room(world, {-5, -5, -15}, {5, 5, 5});
    tw::light(a, 0, {0, 5, 0});
    a->lights[0].type = 1;  // directional
    tw::light(a, 3, {0, 5, 0}, 2);
    glEnable(GL_LIGHT1);
    gltest::drawFrame(camera, world);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
    EXPECT_EQ(a->lights[0].position[3], 0.0f);
    EXPECT_EQ(a->lights[3].position[3], 1.0f);
}

TEST(Lights, InitLightIdsNamesTheEightGlLights) {
    World w{};
    initLightIds(&w);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(w.lightIds[i], GL_LIGHT0 + i);
}

}  // namespace
