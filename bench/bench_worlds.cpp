// World generators for the benchmarks.
#include "bench/bench_worlds.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ll/headless_gl.h"
#include "render/gl_setup.h"
#include "tests/render/test_world.h"
#include "render/texture_upload.h"
#include "world/world_build.h"
#include "world/world_file.h"

namespace {

uint16_t plainMaterial(World* world) {
    Material m{};
    for (int i = 0; i < 3; ++i) {
        m.ambient[i] = 0.3f;
        m.diffuse[i] = 0.8f;
    }
    m.ambient[3] = m.diffuse[3] = m.specular[3] = m.emission[3] = 1;
    return addMaterial(world, m);
}

void lightRoom(Room* room, const Vec3& p) {
    RoomLight& l = room->lights[0];
    l.enabled = 1;
    for (int i = 0; i < 3; ++i) {
        l.ambient[i] = 0.2f;
        l.diffuse[i] = 1;
        l.specular[i] = 0.5f;
    }
    l.ambient[3] = l.diffuse[3] = l.specular[3] = 1;
    l.position[0] = p.x;
    l.position[1] = p.y;
    l.position[2] = p.z;
}

// Floor, ceiling and the walls facing into the box, leaving out the wall at x = max.x when
// `openPlusX` (the portal wall seen from room 0) so that the next room shows through.
void boxWalls(World* w, Room* r, const Vec3& a, const Vec3& b, bool openPlusX) {
    using testworld::quad;
    quad(w, r, {a.x, a.y, a.z}, {a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, a.y, a.z}, 0);  // floor, up
    quad(w, r, {a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}, 0);  // ceiling, down
    quad(w, r, {a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z}, 0);  // z = min, +z
    quad(w, r, {a.x, a.y, b.z}, {a.x, b.y, b.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}, 0);  // z = max, -z
    quad(w, r, {a.x, a.y, a.z}, {a.x, b.y, a.z}, {a.x, b.y, b.z}, {a.x, a.y, b.z}, 0);  // x = min, +x
    if (!openPlusX)
        quad(w, r, {b.x, a.y, a.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {b.x, b.y, a.z}, 0);
}

}  // namespace

World* makeLoadWorld(int rooms, int side) {
    World* w = newWorld();
    plainMaterial(w);
    for (int r = 0; r < rooms; ++r) {
        const float x0 = float(r) * 100;
        Room* room = addRoom(w, {x0, 0, 0}, {x0 + 100, 10, 100});
        const uint32_t base = w->vertexCount;
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
                addWorldVertex(w, {x0 + 100.0f * i / (side - 1), 0, 100.0f * j / (side - 1)});
        for (int j = 0; j + 1 < side; ++j)
            for (int i = 0; i + 1 < side; ++i) {
                const uint32_t v = base + uint32_t(j * side + i);
                addRoomTriangle(w, room, v, v + side, v + side + 1);
                addRoomTriangle(w, room, v, v + side + 1, v + 1);
            }
    }
    return w;
}

uint16_t addTorusModel(World* world, int around, int across) {
    std::vector<Vec3> v;
    std::vector<uint32_t> idx;
    const float R = 0.6f, r = 0.2f, tau = 6.2831853f;
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const float u = tau * i / around, t = tau * j / across;
            v.push_back({(R + r * std::cos(t)) * std::cos(u), r * std::sin(t), (R + r * std::cos(t)) * std::sin(u)});
        }
    auto at = [&](int i, int j) { return uint32_t((i % around) * across + (j % across)); };
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const uint32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            idx.insert(idx.end(), {a, d, c, a, c, b});
        }
    Model* m = testworld::model(world, v, idx, 0);
    return testworld::modelIndex(world, m);
}

World* makeSizeWorld(int rooms) {
    World* w = newWorld();
    plainMaterial(w);
    const uint16_t torus = addTorusModel(w, 24, 12);
    // Room 0: x 0..10, room 1: x 10..20, both z -5..5; the portal between them is 2 x 2 around z 0.
    Room* r0 = addRoom(w, {0, 0, -5}, {10, 4, 5});
    Room* r1 = addRoom(w, {10, 0, -5}, {20, 4, 5});
    boxWalls(w, r0, r0->boxMin, r0->boxMax, true);
    boxWalls(w, r1, r1->boxMin, r1->boxMax, false);
    lightRoom(r0, {5, 3.5f, 0});
    lightRoom(r1, {15, 3.5f, 0});
    testworld::entity(w, r0, torus, {8, 1, 0});
    testworld::entity(w, r1, torus, {15, 1, 0});
    // Counter-clockwise seen from the owning room.
    addPortal(r0, 1, {{10, 0, -1}, {10, 0, 1}, {10, 2, 1}, {10, 2, -1}});
    addPortal(r1, 0, {{10, 0, 1}, {10, 0, -1}, {10, 2, -1}, {10, 2, 1}});
    // The chain: room 2 beside room 1 (z > 5), each further room beside the one before. The
    // first link sits near room 1's entry, far outside the pyramid through the 2 x 2 portal.
    Room* prev = r1;
    for (int k = 2; k < rooms; ++k) {
        const float z0 = 5 + 10.0f * float(k - 2);
        Room* room = addRoom(w, {10, 0, z0}, {20, 4, z0 + 10});
        const float x0 = k == 2 ? 10.5f : 14, x1 = x0 + 1;
        addPortal(prev, uint16_t(k), {{x1, 0, z0}, {x0, 0, z0}, {x0, 2, z0}, {x1, 2, z0}});
        addPortal(room, uint16_t(k == 2 ? 1 : k - 1), {{x0, 0, z0}, {x1, 0, z0}, {x1, 2, z0}, {x0, 2, z0}});
        testworld::quad(w, room, {10, 0, z0}, {10, 0, z0 + 10}, {20, 0, z0 + 10}, {20, 0, z0}, 0);
        prev = room;
    }
    resolvePortals(w);
    return w;
}

World* makeShadowRoom(int triangles) {
    World* w = newWorld();
    plainMaterial(w);
    Room* room = addRoom(w, {-50, -50, -50}, {50, 50, 50});
    lightRoom(room, {0, 20, 0});
    int left = triangles, n = 0;
    while (left > 0) {
        // A torus of 2 * around * across triangles; across fixed at 16.
        const int part = std::min(left, 32000);
        const int around = std::max(1, part / 32);
        const uint16_t m = addTorusModel(w, around, 16);
        testworld::entity(w, room, m, {float(n % 5) * 3 - 6, 0, float(n / 5) * 3 - 6});
        left -= 2 * around * 16;
        ++n;
    }
    return w;
}

Entity makeBenchCamera(const Vec3& position, const Vec3& angles) {
    Entity c{};
    c.flags = kEntityHidden;
    c.dirty = 0xFF;
    c.position = position;
    c.angles = angles;
    return c;
}

void ensureBenchGL(int width, int height) {
    static bool made = false;
    if (made) return;
    HeadlessGLConfig config;
    config.width = width;
    config.height = height;
    std::string error;
    if (!createHeadlessGL(config, error)) {
        std::fprintf(stderr, "no headless OpenGL: %s\n", error.c_str());
        std::exit(1);
    }
    setupRenderState();
    made = true;
}

void giveWhiteTexture(World* world) {
    world->textures = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t)));
    world->textureCount = 1;
    glGenTextures(1, world->textures);
    glBindTexture(GL_TEXTURE_2D, world->textures[0]);
    const unsigned char white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void releaseBenchWorld(World* world) {
    if (world->textures) freeTextures(world->textureCount, world->textures);
    world->textures = nullptr;
    world->textureCount = 0;
    freeWorld(world);
}
