// The renderer's shortcuts against its reference path on shadow test worlds: whole frames of colour
// and stencil are byte-identical, while the shortcuts really skip volumes and culled triangles.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/renderer.h"
#include "render/shadows.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"

namespace tw = testworld;

namespace {

// A closed sphere of `rings` x `segments` quads: many small triangles at every angle to the view.
Model* sphereModel(World* world, float radius, int rings, int segments, uint16_t material) {
    std::vector<Vec3> v;
    std::vector<uint32_t> index;
    v.push_back({0, radius, 0});
    for (int r = 1; r < rings; ++r) {
        const double phi = M_PI * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double theta = 2 * M_PI * s / segments;
            v.push_back({static_cast<float>(radius * std::sin(phi) * std::cos(theta)),
                         static_cast<float>(radius * std::cos(phi)),
                         static_cast<float>(radius * std::sin(phi) * std::sin(theta))});
        }
    }
    v.push_back({0, -radius, 0});
    const uint32_t bottom = static_cast<uint32_t>(v.size() - 1);
    auto at = [&](int r, int s) { return static_cast<uint32_t>(1 + (r - 1) * segments + s % segments); };
    for (int s = 0; s < segments; ++s) {
        index.insert(index.end(), {0, at(1, s + 1), at(1, s)});
        for (int r = 1; r + 1 < rings; ++r)
            index.insert(index.end(), {at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r, s), at(r + 1, s + 1), at(r + 1, s)});
        index.insert(index.end(), {at(rings - 1, s), at(rings - 1, s + 1), bottom});
    }
    return tw::model(world, v, index, material);
}

struct Frame {
    std::vector<unsigned char> rgb, stencil;
};

Frame drawAndRead(Entity* camera, World* world, bool reference) {
    setReferencePath(reference);
    gltest::drawFrame(camera, world);
    Frame f{std::vector<unsigned char>(800 * 600 * 3), std::vector<unsigned char>(800 * 600)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
    glReadPixels(0, 0, 800, 600, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, f.stencil.data());
    setReferencePath(false);
    return f;
}

// Entries of the last shortcut frame's facing records that were known (+1 or -1) and unknown.
void countFacing(long& known, long& unknown) {
    for (const VolumeFacing& f : shadowState.facings)
        for (const std::vector<int8_t>* list : {&f.sides, &f.caps})
            for (int8_t x : *list) (x ? known : unknown)++;
}

class ShortcutTest : public gltest::WorldTest {
protected:
    // A closed 12 x 8 x 16 box room of white walls facing inwards, light slot 0 near the ceiling,
    // rotated spheres and cubes scattered around the middle, one just behind the start camera.
    Room* scatteredRoom() {
        const uint16_t white = tw::flatMaterial(world, 1, 1, 1);
        const uint16_t blue = tw::flatMaterial(world, 0.2f, 0.3f, 0.9f);
        Room* r = tw::room(world, {-6, -4, -12}, {6, 4, 4});
        const Vec3 c[8] = {{-6, -4, -12}, {6, -4, -12}, {6, 4, -12}, {-6, 4, -12},
                           {-6, -4, 4},   {6, -4, 4},   {6, 4, 4},   {-6, 4, 4}};
        tw::quad(world, r, c[0], c[1], c[2], c[3], white);  // far wall
        tw::quad(world, r, c[5], c[4], c[7], c[6], white);  // near wall
        tw::quad(world, r, c[4], c[0], c[3], c[7], white);  // left
        tw::quad(world, r, c[1], c[5], c[6], c[2], white);  // right
        tw::quad(world, r, c[4], c[5], c[1], c[0], white);  // floor
        tw::quad(world, r, c[3], c[2], c[6], c[7], white);  // ceiling
        tw::light(r, 0, {0.5f, 2.5f, 2});
        const uint16_t sphere = tw::modelIndex(world, sphereModel(world, 0.6f, 10, 14, blue));
        const uint16_t cube = tw::modelIndex(world, tw::boxModel(world, 0.4f, blue));
        const Vec3 at[6] = {{-2, -1, -6}, {2, 0, -5}, {0, -2.5f, -8}, {-3, 1, -3}, {0.3f, 0.2f, 1.2f}, {3, -3, -2}};
        for (int i = 0; i < 6; ++i) {
            Entity* e = tw::entity(world, r, i % 2 ? cube : sphere, at[i]);
            e->angles = {17.0f * i, 29.0f * i + 5, 11.0f * i};
            e->dirty = 0x07;
        }
        return r;
    }
};

TEST_F(ShortcutTest, FramesMatchTheReferencePathFromEveryViewpoint) {
    scatteredRoom();
    // Looking ahead, inside a volume under a caster, from a corner, straight down at the floor and
    // back over the camera's shoulder into the volume of the caster behind the start position.
    const Vec3 poses[5][2] = {{{0, 0, 0}, {0, 0, 0}},     {{-2, -2.5f, -6}, {10, 40, 0}},
                              {{5, 3, 3}, {-25, 35, 0}},  {{0, 1, -4}, {-80, 0, 15}},
                              {{0.2f, 0.4f, -1}, {5, 180, 0}}};
    long known = 0, unknown = 0;
    for (const auto& pose : poses) {
        camera->position = pose[0];
        camera->angles = pose[1];
        camera->dirty = 0x07;
        const Frame ref = drawAndRead(camera, world, true);
        const Frame fast = drawAndRead(camera, world, false);
        countFacing(known, unknown);
        long rgbDiff = 0, stencilDiff = 0, shadowed = 0;
        for (size_t i = 0; i < ref.rgb.size(); ++i) rgbDiff += ref.rgb[i] != fast.rgb[i];
        for (size_t i = 0; i < ref.stencil.size(); ++i) {
            stencilDiff += ref.stencil[i] != fast.stencil[i];
            shadowed += ref.stencil[i] != 0;
        }
        EXPECT_EQ(rgbDiff, 0) << "pose at (" << pose[0].x << ", " << pose[0].y << ", " << pose[0].z << ")";
        EXPECT_EQ(stencilDiff, 0) << "pose at (" << pose[0].x << ", " << pose[0].y << ", " << pose[0].z << ")";
        EXPECT_GT(shadowed, 1000) << "the pose should see shadows";
    }
    // Triangles wholly inside the view have their facing decided, so culled ones are really
    // skipped; the ones the driver clips are sent as they are.
    EXPECT_GT(known, 200);
    EXPECT_GT(unknown, 200);
}

}  // namespace
