// Building worlds in memory.
#include "world/world_build.h"

#include <cstdlib>

#include "world/alloc.h"

namespace {

// Grows an array of pointers by one slot and stores `item` there.
template <typename T>
void appendPointer(T**& array, size_t count, T* item) {
    auto** grown = static_cast<T**>(reallocOrExit(array, sizeof(T*) * (count + 1)));
    grown[count] = item;
    array = grown;
}

Vec3* newVec3(const Vec3& v) {
    auto* p = static_cast<Vec3*>(allocOrExit(sizeof(Vec3)));
    *p = v;
    return p;
}

Triangle* newTriangle(Vec3** pool, uint32_t a, uint32_t b, uint32_t c, uint16_t material,
                      uint16_t texture) {
    auto* t = static_cast<Triangle*>(allocOrExit(sizeof(Triangle)));
    t->v[0] = a;
    t->v[1] = b;
    t->v[2] = c;
    t->adj[0] = t->adj[1] = t->adj[2] = -1;
    t->material = material;
    t->texture = texture;
    planeFromPoints(*pool[a], *pool[b], *pool[c], t->plane);
    return t;
}

}  // namespace

World* newWorld() {
    auto* world = static_cast<World*>(allocOrExit(sizeof(World)));
    initLightIds(world);
    world->boundTexture = -1;
    world->boundMaterial = -1;
    return world;
}

uint32_t addWorldVertex(World* world, const Vec3& v) {
    appendPointer(world->vertices, world->vertexCount, newVec3(v));
    return world->vertexCount++;
}

uint16_t addMaterial(World* world, const Material& material) {
    auto* grown = static_cast<Material*>(
        reallocOrExit(world->materials, sizeof(Material) * (world->materialCount + 1u)));
    grown[world->materialCount] = material;
    world->materials = grown;
    return world->materialCount++;
}

Room* addRoom(World* world, const Vec3& boxMin, const Vec3& boxMax) {
    auto* room = static_cast<Room*>(allocOrExit(sizeof(Room)));
    room->boxMin = boxMin;
    room->boxMax = boxMax;
    room->world = world;
    appendPointer(world->rooms, static_cast<size_t>(world->roomCount), room);
    ++world->roomCount;
    return room;
}

Triangle* addRoomTriangle(World* world, Room* room, uint32_t a, uint32_t b, uint32_t c,
                          uint16_t material, uint16_t texture) {
    Triangle* t = newTriangle(world->vertices, a, b, c, material, texture);
    appendPointer(room->triangles, static_cast<size_t>(room->triangleCount), t);
    ++room->triangleCount;
    return t;
}

Portal* addPortal(Room* room, uint16_t target, const std::vector<Vec3>& polygon) {
    auto* portal = static_cast<Portal*>(allocOrExit(sizeof(Portal)));
    portal->targetIndex = target;
    portal->vertices = static_cast<Vec3**>(allocOrExit(sizeof(Vec3*) * polygon.size()));
    for (size_t i = 0; i < polygon.size(); ++i) portal->vertices[i] = newVec3(polygon[i]);
    portal->vertexCount = static_cast<int16_t>(polygon.size());
    appendPointer(room->portals, static_cast<size_t>(room->portalCount), portal);
    ++room->portalCount;
    return portal;
}

Model* addEmptyModel(World* world) {
    auto* model = static_cast<Model*>(allocOrExit(sizeof(Model)));
    if (addModel(model, world) == 0xFFFF) std::exit(1);
    return model;
}

uint32_t addModelVertex(Model* model, const Vec3& v) {
    appendPointer(model->vertices, model->vertexCount, newVec3(v));
    return model->vertexCount++;
}

Triangle* addModelTriangle(Model* model, uint32_t a, uint32_t b, uint32_t c, uint16_t material,
                           uint16_t texture) {
    Triangle* t = newTriangle(model->vertices, a, b, c, material, texture);
    appendPointer(model->triangles, static_cast<size_t>(model->triangleCount), t);
    ++model->triangleCount;
    return t;
}

Entity* addEntity(World* world, Room* room, uint16_t model, const Vec3& position,
                  const Vec3& angles, uint8_t flags) {
    auto* e = static_cast<Entity*>(allocOrExit(sizeof(Entity)));
    e->model = model;
    e->flags = flags;
    e->position = position;
    e->angles = angles;
    e->dirty = 0xFF;
    const int16_t triangles = model < world->modelCount ? world->models[model]->triangleCount : 0;
    e->litMask = static_cast<uint8_t*>(allocOrExit(static_cast<size_t>(triangles)));
    Entity* tail = room->entities;
    while (tail && tail->next) tail = tail->next;
    e->prev = tail;
    if (tail)
        tail->next = e;
    else
        room->entities = e;
    return e;
}
