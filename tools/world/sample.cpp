// The `sample` verb: writes a small world built in memory, so that a fresh build has a world to
// look at before any scene is compiled.
#include <cstdio>

#include "tools/world/verbs.h"
#include "world/world_build.h"
#include "world/world_file.h"

namespace {

// A floor quad spanning the room's box at its bottom, facing up.
void addFloor(World* world, Room* room) {
    const Vec3 lo = room->boxMin, hi = room->boxMax;
    const uint32_t a = addWorldVertex(world, {lo.x, lo.y, hi.z});
    const uint32_t b = addWorldVertex(world, {hi.x, lo.y, hi.z});
    const uint32_t c = addWorldVertex(world, {hi.x, lo.y, lo.z});
    const uint32_t d = addWorldVertex(world, {lo.x, lo.y, lo.z});
    addRoomTriangle(world, room, a, b, c);
    addRoomTriangle(world, room, a, c, d);
}

void setLight(Room* room, int slot, const Vec3& position, float r, float g, float b) {
    RoomLight& l = room->lights[slot];
    l.enabled = kLightShadowing;
    l.type = kLightPositional;
    const float ambient[4] = {0.1f * r, 0.1f * g, 0.1f * b, 1};
    const float diffuse[4] = {r, g, b, 1};
    for (int i = 0; i < 4; ++i) {
        l.ambient[i] = ambient[i];
        l.diffuse[i] = diffuse[i];
        l.specular[i] = diffuse[i];
    }
    l.position[0] = position.x;
    l.position[1] = position.y;
    l.position[2] = position.z;
}

// A closed unit cube with its edge neighbours, the shape shadows are cast from.
void addCube(World* world) {
    Model* cube = addEmptyModel(world);
    for (int i = 0; i < 8; ++i)
        addModelVertex(cube, {(i & 1) ? 0.5f : -0.5f, (i & 2) ? 0.5f : -0.5f, (i & 4) ? 0.5f : -0.5f});
    // Two counter-clockwise triangles per face, seen from outside.
    const uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        addModelTriangle(cube, f[0], f[1], f[2]);
        addModelTriangle(cube, f[0], f[2], f[3]);
    }
    // Each edge a->b of one triangle meets the edge b->a of exactly one other.
    for (int t = 0; t < cube->triangleCount; ++t)
        for (int k = 0; k < 3; ++k) {
            Triangle* tri = cube->triangles[t];
            const uint32_t a = tri->v[k], b = tri->v[(k + 1) % 3];
            for (int n = 0; n < cube->triangleCount; ++n)
                for (int l = 0; l < 3; ++l)
                    if (cube->triangles[n]->v[l] == b && cube->triangles[n]->v[(l + 1) % 3] == a)
                        tri->adj[k] = n;
        }
}

}  // namespace

World* makeSampleWorld() {
    World* world = newWorld();
    Material grey{};
    for (int i = 0; i < 3; ++i) {
        grey.ambient[i] = 0.6f;
        grey.diffuse[i] = 0.8f;
        grey.specular[i] = 0.3f;
    }
    grey.ambient[3] = grey.diffuse[3] = grey.specular[3] = grey.emission[3] = 1;
    grey.shininess = 32;
    addMaterial(world, grey);
    addCube(world);

    Room* hall = addRoom(world, {-5, -1, -5}, {5, 3, 5});
    Room* side = addRoom(world, {-5, -1, -15}, {5, 3, -5});
    addFloor(world, hall);
    addFloor(world, side);
    setLight(hall, 0, {0, 2.5f, 2}, 1.0f, 0.9f, 0.8f);
    setLight(side, 0, {0, 2.5f, -10}, 0.6f, 0.7f, 1.0f);
    // The door at z = -5, wound to face back into the room that owns each side.
    addPortal(hall, 1, {{-1, -1, -5}, {1, -1, -5}, {1, 1.5f, -5}, {-1, 1.5f, -5}});
    addPortal(side, 0, {{-1, 1.5f, -5}, {1, 1.5f, -5}, {1, -1, -5}, {-1, -1, -5}});
    resolvePortals(world);

    addEntity(world, hall, 0, {0, 0.5f, -2}, {0, 45, 0});  // the spinning object heads room 0
    addEntity(world, hall, 0, {2, -0.5f, 1});
    addEntity(world, side, 0, {1, -0.5f, -10}, {0, 30, 0});
    return world;
}

int sampleMain(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel-world sample WORLD.kbw\n");
        return 1;
    }
    World* world = makeSampleWorld();
    std::string error;
    const bool ok = saveWorld(*world, argv[1], error);
    freeWorld(world);
    if (!ok) {
        std::fprintf(stderr, "quorvel-world sample: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
