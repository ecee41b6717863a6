// World ownership: growing the model table and tearing a world down.
#include "world/world.h"

#include <cstdlib>
#include <cstring>

uint16_t addModel(Model* model, World* world) {
    if (world->modelCount < 0 || world->modelCount >= 32767) return 0xFFFF;
    const int count = world->modelCount;
    auto** grown = static_cast<Model**>(std::malloc(sizeof(Model*) * (count + 1)));
    if (!grown) return 0xFFFF;
    if (count > 0) std::memcpy(grown, world->models, sizeof(Model*) * count);
    grown[count] = model;
    std::free(world->models);
    world->models = grown;
    world->modelCount = static_cast<int16_t>(count + 1);
    return static_cast<uint16_t>(count);
}

void freeEntity(Entity* entity) {
    if (!entity) return;
    std::free(entity->litMask);
    for (SilhouetteEdge* list : entity->edges) std::free(list);
    std::free(entity);
}

void freeModel(Model* model) {
    if (!model) return;
    if (model->vertices)
        for (uint32_t i = 0; i < model->vertexCount; ++i) std::free(model->vertices[i]);
    std::free(model->vertices);
    if (model->triangles)
        for (int i = 0; i < model->triangleCount; ++i) std::free(model->triangles[i]);
    std::free(model->triangles);
    std::free(model);
}

void freePortal(Portal* portal) {
    if (!portal) return;
    if (portal->vertices)
        for (int i = 0; i < portal->vertexCount; ++i) std::free(portal->vertices[i]);
    std::free(portal->vertices);
    std::free(portal);
}

void freeRoom(Room* room) {
    if (!room) return;
    if (room->triangles)
        for (int i = 0; i < room->triangleCount; ++i) std::free(room->triangles[i]);
    std::free(room->triangles);
    for (Entity* e = room->entities; e;) {
        Entity* next = e->next;
        freeEntity(e);
        e = next;
    }
    if (room->portals)
        for (int i = 0; i < room->portalCount; ++i) freePortal(room->portals[i]);
    std::free(room->portals);
    std::free(room);
}

void initLightIds(World* world) {
    for (int i = 0; i < 8; ++i) world->lightIds[i] = kLightIdBase + i;
}

void freeWorld(World* world) {
    if (!world) return;
    if (world->vertices)
        for (uint32_t i = 0; i < world->vertexCount; ++i) std::free(world->vertices[i]);
    std::free(world->vertices);
    if (world->models)
        for (int i = 0; i < world->modelCount; ++i) freeModel(world->models[i]);
    std::free(world->models);
    if (world->rooms)
        for (int i = 0; i < world->roomCount; ++i) freeRoom(world->rooms[i]);
    std::free(world->rooms);
    std::free(world->materials);
    std::free(world);
}
