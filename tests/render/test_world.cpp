// In-memory test worlds.
#include "tests/render/test_world.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "scene/entity.h"

namespace testworld {
namespace {

template <typename T>
T* record() {
    T* t = static_cast<T*>(std::calloc(1, sizeof(T)));
    if (!t) std::abort();
    return t;
}

// Appends one pointer to a malloc'd array of pointers.
template <typename T, typename N>
void append(T**& array, N& count, T* item) {
    auto** grown = static_cast<T**>(std::realloc(array, sizeof(T*) * (count + 1)));
    if (!grown) std::abort();
    array = grown;
    array[count] = item;
    count = static_cast<N>(count + 1);
}

Triangle* triangle(const Vec3& a, const Vec3& b, const Vec3& c, uint32_t ia, uint32_t ib,
                   uint32_t ic, uint16_t material, uint16_t texture) {
    Triangle* t = record<Triangle>();
    t->v[0] = ia;
    t->v[1] = ib;
    t->v[2] = ic;
    t->adj[0] = t->adj[1] = t->adj[2] = -1;
    planeFromPoints(a, b, c, t->plane);
    t->material = material;
    t->texture = texture;
    return t;
}

}  // namespace

World* makeWorld() {
    World* w = record<World>();
    initLightIds(w);
    return w;
}

uint32_t vertex(World* world, const Vec3& v) {
    Vec3* p = record<Vec3>();
    *p = v;
    append(world->vertices, world->vertexCount, p);
    return world->vertexCount - 1;
}

uint16_t flatMaterial(World* world, float r, float g, float b) {
    auto* grown = static_cast<Material*>(
        std::realloc(world->materials, sizeof(Material) * (world->materialCount + 1)));
    if (!grown) std::abort();
    world->materials = grown;
    Material& m = grown[world->materialCount];
    std::memset(&m, 0, sizeof m);
    m.emission[0] = r;
    m.emission[1] = g;
    m.emission[2] = b;
    m.emission[3] = 1;
    m.ambient[3] = m.specular[3] = 1;
    m.diffuse[3] = 1;  // lit alpha comes from the diffuse alpha
    return world->materialCount++;
}

Room* room(World* world, const Vec3& boxMin, const Vec3& boxMax) {
    Room* r = record<Room>();
    r->boxMin = boxMin;
    r->boxMax = boxMax;
    r->world = world;
    append(world->rooms, world->roomCount, r);
    return r;
}

void quad(World* world, Room* room, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d,
          uint16_t material, uint16_t texture) {
    const uint32_t ia = vertex(world, a), ib = vertex(world, b), ic = vertex(world, c),
                   id = vertex(world, d);
    append(room->triangles, room->triangleCount, triangle(a, b, c, ia, ib, ic, material, texture));
    append(room->triangles, room->triangleCount, triangle(a, c, d, ia, ic, id, material, texture));
}

Portal* portal(World* world, Room* from, Room* to, const std::vector<Vec3>& polygon) {
    Portal* p = record<Portal>();
    p->target = to;
    for (int i = 0; i < world->roomCount; ++i)
        if (world->rooms[i] == to) p->targetIndex = static_cast<uint16_t>(i);
    for (const Vec3& v : polygon) {
        Vec3* q = record<Vec3>();
        *q = v;
        append(p->vertices, p->vertexCount, q);
    }
    append(from->portals, from->portalCount, p);
    return p;
}

void wall(World* world, Room* room, float x0, float y0, float x1, float y1, float z,
          uint16_t material, uint16_t texture) {
    quad(world, room, {x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}, material, texture);
}

Portal* portalRect(World* world, Room* from, Room* to, float x0, float y0, float x1, float y1,
                   float z, bool facesPlusZ) {
    if (facesPlusZ) return portal(world, from, to, {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}});
    return portal(world, from, to, {{x0, y0, z}, {x0, y1, z}, {x1, y1, z}, {x1, y0, z}});
}

Model* model(World* world, const std::vector<Vec3>& vertices, const std::vector<uint32_t>& indices,
             uint16_t material) {
    Model* m = record<Model>();
    for (const Vec3& v : vertices) {
        Vec3* q = record<Vec3>();
        *q = v;
        append(m->vertices, m->vertexCount, q);
    }
    // Directed edge (from, to) -> (triangle, edge); a neighbour runs the same edge backwards.
    std::map<std::pair<uint32_t, uint32_t>, std::pair<int, int>> edges;
    for (size_t i = 0; i + 2 < indices.size(); i += 3) {
        const uint32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
        append(m->triangles, m->triangleCount,
               triangle(vertices[a], vertices[b], vertices[c], a, b, c, material, 0));
        const int t = m->triangleCount - 1;
        for (int k = 0; k < 3; ++k) edges[{indices[i + k], indices[i + (k + 1) % 3]}] = {t, k};
    }
    for (const auto& [edge, owner] : edges) {
        auto other = edges.find({edge.second, edge.first});
        if (other != edges.end()) m->triangles[owner.first]->adj[owner.second] = other->second.first;
    }
    if (addModel(m, world) == 0xFFFF) std::abort();
    return m;
}

Model* boxModel(World* world, float h, uint16_t material) {
    const std::vector<Vec3> v = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                                 {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
    // Each face as a quad counter-clockwise seen from outside: (a, b, c), (a, c, d).
    const uint32_t faces[6][4] = {{1, 2, 6, 5}, {0, 4, 7, 3}, {3, 7, 6, 2},
                                  {0, 1, 5, 4}, {4, 5, 6, 7}, {0, 3, 2, 1}};
    std::vector<uint32_t> indices;
    for (const auto& f : faces) indices.insert(indices.end(), {f[0], f[1], f[2], f[0], f[2], f[3]});
    return model(world, v, indices, material);
}

Entity* entity(World* world, Room* room, uint16_t model, const Vec3& position, uint8_t flags) {
    Entity* e = record<Entity>();
    e->model = model;
    e->flags = flags;
    e->position = position;
    e->dirty = 0xFF;
    const int triangles = model < world->modelCount ? world->models[model]->triangleCount : 0;
    e->litMask = static_cast<uint8_t*>(std::calloc(triangles ? triangles : 1, 1));
    if (!e->litMask) std::abort();
    linkEntity(e, room);
    return e;
}

void light(Room* room, int slot, const Vec3& position, uint8_t enabled) {
    RoomLight& L = room->lights[slot];
    L.enabled = enabled;
    L.type = 0;
    for (int i = 0; i < 4; ++i) {
        L.ambient[i] = i == 3 ? 1.0f : 0.0f;
        L.diffuse[i] = 1.0f;
        L.specular[i] = i == 3 ? 1.0f : 0.0f;
    }
    L.position[0] = position.x;
    L.position[1] = position.y;
    L.position[2] = position.z;
    L.position[3] = 1;
}

uint16_t modelIndex(const World* world, const Model* model) {
    for (int i = 0; i < world->modelCount; ++i)
        if (world->models[i] == model) return static_cast<uint16_t>(i);
    return 0xFFFF;
}

Entity* makeCamera(const Vec3& position, const Vec3& angles) {
    Entity* c = record<Entity>();
    c->flags = kEntityHidden;
    c->dirty = 0xFF;
    c->position = position;
    c->angles = angles;
    return c;
}

void freeCamera(Entity* camera) {
    if (!camera) return;
    unlinkEntity(camera);
    freeEntity(camera);
}

}  // namespace testworld
