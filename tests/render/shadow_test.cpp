// Stencil shadow volumes: darkening on real frames, saturating counts, silhouette lists, list
// growth, and the OpenGL state the shadow pass leaves behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "render/renderer.h"
#include "render/shadows.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"

namespace tw = testworld;
using gltest::pixel;
using gltest::project;
using gltest::Rgb;

namespace {

int grey(const Vec3& eye) {
    const auto p = project(eye);
    const Rgb c = pixel(p[0], p[1]);
    EXPECT_EQ(c[0], c[1]);
    EXPECT_EQ(c[1], c[2]);
    return c[0];
}

// 255 darkened k times to 0.2 each, within rounding of the 8-bit blends.
void expectDarkened(const Vec3& eye, int times) {
    const double want = 255.0 * std::pow(0.2, times);
    EXPECT_NEAR(grey(eye), want, 2.0) << "at (" << eye.x << ", " << eye.y << ", " << eye.z << ")";
}

class ShadowTest : public gltest::WorldTest {
protected:
    uint16_t white = tw::flatMaterial(world, 1, 1, 1);
    uint16_t cube = tw::modelIndex(world, tw::boxModel(world, 0.25f, tw::flatMaterial(world, 0, 0, 0.5f)));
    // A white wall at z = -5 in front of the camera, in one room holding everything.
    Room* wallRoom() {
        Room* r = tw::room(world, {-10, -10, -20}, {10, 10, 5});
        tw::wall(world, r, -6, -6, 6, 6, -5, white);
        return r;
    }
};

TEST_F(ShadowTest, ShadowedPixelKeepsOneFifthAndLitPixelKeepsItsColour) {
    Room* r = wallRoom();
    tw::light(r, 0, {0, 0, -1.5f});
    Entity* occluder = tw::entity(world, r, cube, {0, 0, -3});
    // Translucent entities cast shadows like opaque ones; hidden ones cast none.
    for (int flags : {0, int(kEntityTranslucent)}) {
        occluder->flags = static_cast<uint8_t>(flags);
        gltest::drawFrame(camera, world);
        expectDarkened({0.55f, 0, -5}, 1);   // shadow half-width on the wall is 0.7
        expectDarkened({0, 0.55f, -5}, 1);
        expectDarkened({1.5f, 0, -5}, 0);
        expectDarkened({0, -1.5f, -5}, 0);
    }
    occluder->flags = kEntityHidden;
    gltest::drawFrame(camera, world);
    expectDarkened({0.55f, 0, -5}, 0);
}

// Light behind the camera, the camera inside the occluder's volume: counting faces behind the
// visible surface still finds the shadow where counting faces in front of it would not.
TEST_F(ShadowTest, CameraInsideAVolumeStillSeesTheShadow) {
    Room* r = wallRoom();
    tw::light(r, 0, {0, 0, 3});
    tw::entity(world, r, cube, {0, 0, 1.5f});
    gltest::drawFrame(camera, world);
    expectDarkened({0, 0, -5}, 1);
    expectDarkened({0.5f, 0.5f, -5}, 1);
    expectDarkened({1.9f, 0, -5}, 0);  // shadow half-width on the wall is 1.6
}

int stencil(int x, int y) {
    unsigned char s = 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
    return s;
}

TEST_F(ShadowTest, PixelInsideTwoVolumesIsDarkenedOnce) {
    Room* r = wallRoom();
    tw::light(r, 0, {-3, 0, -1});
    // Both on the line from the light to the wall point (1, 0, -5), off screen to the left.
    tw::entity(world, r, tw::modelIndex(world, tw::boxModel(world, 0.15f, white)), {-2, 0, -2});
    tw::entity(world, r, tw::modelIndex(world, tw::boxModel(world, 0.15f, white)), {-1, 0, -3});
    gltest::drawFrame(camera, world);
    // Walk up the wall from (1, 0, -5): the count left in the stencil buffer falls from 2 (both
    // volumes) through 1 to 0, and only the count being non-zero decides the darkening.
    const auto start = project({1, 0, -5});
    std::map<int, int> colourOfCount;
    for (int y = start[1]; y < 600; y += 2) {
        const int count = stencil(start[0], y);
        const Rgb c = pixel(start[0], y);
        if (!colourOfCount.count(count)) colourOfCount[count] = c[0];
        EXPECT_NEAR(c[0], count ? 51 : 255, 2) << "count " << count << " at y " << y;
    }
    EXPECT_EQ(stencil(start[0], start[1]), 2);
    EXPECT_EQ(colourOfCount.size(), 3u);
}

// Draws the room once with `e` hidden, so only the room's surfaces are in the depth buffer, then
// runs the room's shadow pass on its own over a stencil buffer preset to `preset`.
void shadowPassOver(Room* r, Entity* e, Entity* camera, World* world, int preset) {
    e->flags = kEntityHidden;
    gltest::drawFrame(camera, world);
    e->flags = 0;
    glClearStencil(preset);
    glClear(GL_STENCIL_BUFFER_BIT);
    glClearStencil(0);
    glLoadIdentity();  // the camera's view: at the origin, looking down -z
    findSilhouettes(r);
    renderShadows(r);
    glFinish();
}

TEST_F(ShadowTest, CountsSaturateAtTheTopOfTheStencilRange) {
    Room* r = wallRoom();
    tw::light(r, 0, {0, 0, -1.5f});
    Entity* e = tw::entity(world, r, cube, {0, 0, -3});
    shadowPassOver(r, e, camera, world, 255);
    // In the shadow one increment: 255 stays 255 (wrapping would give 0 and leave it lit).
    const auto shadowed = project({0.55f, 0, -5});
    EXPECT_EQ(stencil(shadowed[0], shadowed[1]), 255);
    expectDarkened({0.55f, 0, -5}, 1);
    // Beside the shadow the ray meets the volume behind the wall: one increment, then one
    // decrement. Capped first, the count ends one lower (wrapping would bring it back to 255).
    const auto beside = project({0.85f, 0, -5});
    EXPECT_EQ(stencil(beside[0], beside[1]), 254);
    // Far outside the volume nothing is counted; the preset alone darkens the pixel.
    const auto outside = project({1.5f, 0, -5});
    EXPECT_EQ(stencil(outside[0], outside[1]), 255);
    expectDarkened({1.5f, 0, -5}, 1);
}

TEST_F(ShadowTest, CountsSaturateAtZero) {
    // A lone triangle facing the light and the camera: its volume has a near cap and no far one,
    // so a ray through it is decremented once and never incremented.
    Room* r = wallRoom();
    tw::light(r, 0, {0, 0, -1.5f});
    const uint16_t tri = tw::modelIndex(world, tw::model(world, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}));
    Entity* e = tw::entity(world, r, tri, {-0.3f, -0.3f, -3});
    shadowPassOver(r, e, camera, world, 0);
    const auto p = project({0, 0, -5});
    EXPECT_EQ(stencil(p[0], p[1]), 0);  // wrapping would give 255 and darken it
    expectDarkened({0, 0, -5}, 0);

    // Over a preset of 1 the same single decrement reaches 0 and leaves the pixel lit.
    shadowPassOver(r, e, camera, world, 1);
    EXPECT_EQ(stencil(p[0], p[1]), 0);
    expectDarkened({0, 0, -5}, 0);
    const auto outside = project({1.5f, 0, -5});
    EXPECT_EQ(stencil(outside[0], outside[1]), 1);
    expectDarkened({1.5f, 0, -5}, 1);
}

TEST_F(ShadowTest, DarkeningStepsOfTwoRoomsCompound) {
    Room* a = tw::room(world, {-10, -10, -4}, {10, 10, 5});
    Room* b = tw::room(world, {-10, -10, -20}, {10, 10, -4});
    tw::portalRect(world, a, b, -3, -3, 3, 3, -4);
    tw::wall(world, b, -6, -6, 6, 6, -10, white);
    tw::light(b, 0, {0, 0, -5});
    tw::entity(world, b, cube, {0, 0, -7});
    gltest::drawFrame(camera, world);
    EXPECT_EQ(camera->room, a);
    // B's step darkens the shadow; A's step, run last, darkens every non-zero count again.
    expectDarkened({0.5f, 0, -10}, 2);
    expectDarkened({1.5f, 0, -10}, 0);
}

TEST_F(ShadowTest, SlotsOtherThanZeroAreRebuiltButNotDrawn) {
    Room* r = wallRoom();
    tw::light(r, 0, {0, 0, -1.5f});
    tw::light(r, 1, {1, 0, -1.5f});      // would throw a shadow around (-1.33, 0, -5)
    tw::light(r, 2, {0, 3, -1.5f}, 2);  // lit, but no silhouettes
    Entity* e = tw::entity(world, r, cube, {0, 0, -3});
    gltest::drawFrame(camera, world);
    expectDarkened({0.55f, 0, -5}, 1);
    expectDarkened({-1.33f, 0, -5}, 0);
    EXPECT_EQ(e->edgeCount[1], 6u);  // the +x and +z faces face it: the rim of a 2 x 1 rectangle
    EXPECT_EQ(e->edgeCount[2], 0u);
    EXPECT_EQ(e->edges[2], nullptr);
    int bit1 = 0, bit2 = 0;
    for (int k = 0; k < 12; ++k) {
        bit1 += (e->litMask[k] >> 1) & 1;
        bit2 += (e->litMask[k] >> 2) & 1;
    }
    EXPECT_EQ(bit1, 4);  // the +x and +z faces face (1, 0, 1.5) from the cube's centre
    EXPECT_EQ(bit2, 0);
}

using Edge = std::pair<uint32_t, uint32_t>;

// The silhouette as undirected vertex pairs, checking order and that every entry separates a lit
// triangle from an unlit or missing neighbour.
std::set<Edge> silhouette(const Entity* e, const Model* m, int slot) {
    std::set<Edge> out;
    const uint8_t bit = static_cast<uint8_t>(1 << slot);
    for (uint32_t j = 0; j < e->edgeCount[slot]; ++j) {
        const SilhouetteEdge& s = e->edges[slot][j];
        if (j > 0) {
            const SilhouetteEdge& p = e->edges[slot][j - 1];
            EXPECT_TRUE(p.triangle < s.triangle || (p.triangle == s.triangle && p.edge < s.edge));
        }
        const Triangle& t = *m->triangles[s.triangle];
        EXPECT_TRUE(e->litMask[s.triangle] & bit);
        const int32_t n = t.adj[s.edge];
        EXPECT_TRUE(n < 0 || !(e->litMask[n] & bit));
        const uint32_t a = t.v[s.edge], b = t.v[(s.edge + 1) % 3];
        out.insert({std::min(a, b), std::max(a, b)});
    }
    EXPECT_EQ(out.size(), e->edgeCount[slot]) << "an edge was recorded twice";
    return out;
}

TEST_F(ShadowTest, SilhouetteOfAClosedCubeIsExact) {
    Room* r = tw::room(world, {-10, -10, -10}, {10, 10, 10});
    const Model* m = world->models[cube];
    Entity* e = tw::entity(world, r, cube, {0, 0, 0});
    // Corners: 0 (-,-,-) 1 (+,-,-) 2 (+,+,-) 3 (-,+,-) 4 (-,-,+) 5 (+,-,+) 6 (+,+,+) 7 (-,+,+).
    tw::light(r, 0, {10, 0, 0});
    findSilhouettes(r);
    EXPECT_EQ(silhouette(e, m, 0), (std::set<Edge>{{1, 2}, {2, 6}, {5, 6}, {1, 5}}));
    // From a corner direction three faces are lit and the silhouette is a hexagon.
    tw::light(r, 0, {10, 10, 10});
    findSilhouettes(r);
    EXPECT_EQ(silhouette(e, m, 0),
              (std::set<Edge>{{1, 2}, {2, 3}, {3, 7}, {4, 7}, {4, 5}, {1, 5}}));
    // The light is taken into model space: turned 90 degrees about y, the -z face faces +x.
    tw::light(r, 0, {10, 0, 0});
    e->angles = {0, 90, 0};
    e->dirty = 0xFF;
    findSilhouettes(r);
    EXPECT_EQ(silhouette(e, m, 0), (std::set<Edge>{{0, 3}, {2, 3}, {1, 2}, {0, 1}}));
    EXPECT_EQ(e->litMask[10] & 1, 1);
    EXPECT_EQ(e->litMask[11] & 1, 1);
}

TEST_F(ShadowTest, SingleTriangleRecordsItsThreeOpenEdgesInOrder) {
    Room* r = tw::room(world, {-10, -10, -10}, {10, 10, 10});
    const uint16_t tri = tw::modelIndex(world, tw::model(world, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}));
    Entity* e = tw::entity(world, r, tri, {2, 0, 0});
    tw::light(r, 0, {2.2f, 0.2f, 1});
    findSilhouettes(r);
    ASSERT_EQ(e->edgeCount[0], 3u);
    for (int l = 0; l < 3; ++l) {
        EXPECT_EQ(e->edges[0][l].triangle, 0);
        EXPECT_EQ(e->edges[0][l].edge, l);
    }
    // A light exactly in the triangle's plane does not face it: the list empties.
    tw::light(r, 0, {5, 5, 0});
    findSilhouettes(r);
    EXPECT_EQ(e->litMask[0] & 1, 0);
    EXPECT_EQ(e->edgeCount[0], 0u);
}

std::vector<size_t> allocations;
void* recordingAlloc(size_t bytes) {
    allocations.push_back(bytes);
    return std::malloc(bytes);
}
size_t allowed = 0;
void* limitedAlloc(size_t bytes) {
    if (allowed == 0) return nullptr;
    --allowed;
    return std::malloc(bytes);
}

// 22 separate lit triangles with open edges give 66 silhouette edges; tying edges of triangle 0
// to its lit neighbour 1 takes them off the list.
Entity* manyEdges(World* world, Room* r, int tied) {
    std::vector<Vec3> v;
    std::vector<uint32_t> idx;
    for (uint32_t t = 0; t < 22; ++t) {
        const float x = static_cast<float>(t) * 2;
        v.insert(v.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
        idx.insert(idx.end(), {3 * t, 3 * t + 1, 3 * t + 2});
    }
    Model* m = tw::model(world, v, idx);
    for (int l = 0; l < tied; ++l) m->triangles[0]->adj[l] = 1;
    tw::light(r, 0, {20, 0.3f, 5});
    return tw::entity(world, r, tw::modelIndex(world, m), {0, 0, 0});
}

TEST_F(ShadowTest, ListsGrowOneBlockOfSixtyFourAtATime) {
    Room* r = tw::room(world, {-100, -10, -10}, {100, 10, 10});
    Entity* e = manyEdges(world, r, 2);
    shadowState.allocate = recordingAlloc;
    allocations.clear();
    findSilhouettes(r);
    EXPECT_EQ(e->edgeCount[0], 64u);
    EXPECT_EQ(shadowState.flushes, 1u);
    EXPECT_EQ(allocations, std::vector<size_t>({64 * sizeof(SilhouetteEdge)}));

    r->entities = nullptr;
    freeEntity(e);
    e = manyEdges(world, r, 1);
    allocations.clear();
    shadowState.flushes = 0;
    findSilhouettes(r);
    EXPECT_EQ(e->edgeCount[0], 65u);
    EXPECT_EQ(shadowState.flushes, 2u);
    EXPECT_EQ(allocations, std::vector<size_t>({64 * sizeof(SilhouetteEdge), 128 * sizeof(SilhouetteEdge)}));
    EXPECT_EQ(e->edges[0][0].triangle, 0);
    EXPECT_EQ(e->edges[0][0].edge, 1);
    EXPECT_EQ(e->edges[0][64].triangle, 21);
    EXPECT_EQ(e->edges[0][64].edge, 2);
}

TEST_F(ShadowTest, ListThatCannotGrowKeepsWhatItHasAndTheFrameGoesOn) {
    Room* r = tw::room(world, {-100, -10, -10}, {100, 10, 10});
    Entity* e = manyEdges(world, r, 1);
    shadowState.allocate = limitedAlloc;
    allowed = 1;  // the first block fits, the second does not
    findSilhouettes(r);
    EXPECT_EQ(e->edgeCount[0], 64u);
    EXPECT_EQ(e->edges[0][63].triangle, 21);
    allowed = 0;
    findSilhouettes(r);
    EXPECT_EQ(e->edgeCount[0], 0u);
    EXPECT_EQ(e->edges[0], nullptr);
    renderShadows(r);
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
}

TEST_F(ShadowTest, ShadowPassLeavesTheStateItPromises) {
    Room* r = wallRoom();
    tw::light(r, 0, {0, 0, -1.5f});
    tw::entity(world, r, cube, {0, 0, -3});
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const GLfloat diffuse[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    findSilhouettes(r);
    renderShadows(r);

    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 1);
    EXPECT_FLOAT_EQ(m[13], 2);
    EXPECT_FLOAT_EQ(m[14], 3);
    glLoadIdentity();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLboolean depthWrites = GL_FALSE, colour[4] = {};
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    glGetBooleanv(GL_COLOR_WRITEMASK, colour);
    EXPECT_EQ(depthWrites, GL_TRUE);
    for (GLboolean c : colour) EXPECT_EQ(c, GL_TRUE);
    auto get = [](GLenum what) {
        GLint v = 0;
        glGetIntegerv(what, &v);
        return v;
    };
    EXPECT_EQ(get(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(get(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(get(GL_STENCIL_FUNC), GL_NOTEQUAL);
    EXPECT_EQ(get(GL_STENCIL_REF), 0);
    EXPECT_EQ(get(GL_STENCIL_VALUE_MASK) & 0xFF, 0xFF);
    EXPECT_EQ(get(GL_STENCIL_FAIL), GL_KEEP);
    EXPECT_EQ(get(GL_STENCIL_PASS_DEPTH_FAIL), GL_KEEP);
    EXPECT_EQ(get(GL_STENCIL_PASS_DEPTH_PASS), GL_KEEP);
    EXPECT_EQ(get(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(get(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(get(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
    GLfloat c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[3], 0.8f);
    EXPECT_FLOAT_EQ(c[0] + c[1] + c[2], 0.0f);
    GLfloat md[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, md);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(md[i], diffuse[i]);
    glDeleteTextures(1, &texture);

    // A room with no world is skipped without touching OpenGL.
    Room orphan{};
    glCullFace(GL_FRONT);
    findSilhouettes(&orphan);
    renderShadows(&orphan);
    EXPECT_EQ(get(GL_CULL_FACE_MODE), GL_FRONT);
}

}  // namespace
