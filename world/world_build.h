// Building worlds in memory, record by record, with the same ownership the reader gives: used by
// the sample world, the world compiler and tests. Every function grows its table by one entry and
// ends the process on allocation failure, like the reader does inside rooms and models.
#pragma once

#include <vector>

#include "world/world.h"

// An empty world: no vertices, materials, models or rooms; light ids set; frame 0.
World* newWorld();
uint32_t addWorldVertex(World* world, const Vec3& v);
uint16_t addMaterial(World* world, const Material& material);
// A room with the given box; all light slots zero (disabled). Its index is roomCount - 1.
Room* addRoom(World* world, const Vec3& boxMin, const Vec3& boxMax);
// A static triangle over world vertices a, b, c with its face plane computed.
Triangle* addRoomTriangle(World* world, Room* room, uint32_t a, uint32_t b, uint32_t c,
                          uint16_t material = 0, uint16_t texture = 0);
// A portal out of `room` into room `target` (an index; resolve with resolvePortals).
Portal* addPortal(Room* room, uint16_t target, const std::vector<Vec3>& polygon);

// An empty model appended to the world's table.
Model* addEmptyModel(World* world);
uint32_t addModelVertex(Model* model, const Vec3& v);
// A model triangle with no neighbours; the plane is computed from the model's own pool.
Triangle* addModelTriangle(Model* model, uint32_t a, uint32_t b, uint32_t c, uint16_t material = 0,
                           uint16_t texture = 0);

// An entity of `model` appended at the tail of the room's list (so calls give list order), with
// a zeroed lit mask sized to the model and dirty = 0xFF, as the reader gives its entities.
Entity* addEntity(World* world, Room* room, uint16_t model, const Vec3& position,
                  const Vec3& angles = {0, 0, 0}, uint8_t flags = 0);
