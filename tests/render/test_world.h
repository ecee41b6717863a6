// Small worlds built in memory for rendering tests: records malloc'd exactly as the world reader
// makes them, so freeWorld releases everything. Everything lives in namespace testworld.
#pragma once

#include <cstdint>
#include <vector>

#include "world/world.h"

namespace testworld {

// An empty world with its light ids set.
World* makeWorld();
uint32_t vertex(World* world, const Vec3& v);
// A material that shows exactly `rgb` whatever the lights (emission only; diffuse alpha 1).
uint16_t flatMaterial(World* world, float r, float g, float b);
// A room with the given box, all light slots disabled.
Room* room(World* world, const Vec3& boxMin, const Vec3& boxMax);
// Two static triangles (a, b, c) and (a, c, d); the quad faces the side it runs counter-clockwise.
void quad(World* world, Room* room, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d,
          uint16_t material, uint16_t texture = 0);
// A rectangle x0..x1, y0..y1 in the plane z, facing +z (towards a camera at the origin).
void wall(World* world, Room* room, float x0, float y0, float x1, float y1, float z,
          uint16_t material, uint16_t texture = 0);
// A rectangular portal in the plane z: wound to face +z when `facesPlusZ`, else -z.
Portal* portalRect(World* world, Room* from, Room* to, float x0, float y0, float x1, float y1,
                   float z, bool facesPlusZ = true);
// A portal out of `from` into `to` with the given polygon (counter-clockwise seen from `from`).
Portal* portal(World* world, Room* from, Room* to, const std::vector<Vec3>& polygon);
// A model from vertices and index triples, with planes computed and shared edges made adjacent.
Model* model(World* world, const std::vector<Vec3>& vertices,
             const std::vector<uint32_t>& indices, uint16_t material = 0);
// A closed axis-aligned box model of half size h around the origin, faces pointing outwards.
// Triangles 2f and 2f + 1 make face f: +x, -x, +y, -y, +z, -z.
Model* boxModel(World* world, float h, uint16_t material = 0);
// An entity of model index `model` linked at the head of the room's list.
Entity* entity(World* world, Room* room, uint16_t model, const Vec3& position, uint8_t flags = 0);
// Enables light slot `slot` of the room at a positional light (white diffuse).
void light(Room* room, int slot, const Vec3& position, uint8_t enabled = 1);
// Index of a model in the world's table.
uint16_t modelIndex(const World* world, const Model* model);

// The camera entity: hidden, no room, dirty bits set; owned by the test.
Entity* makeCamera(const Vec3& position, const Vec3& angles = {0, 0, 0});
// Unlinks the camera from its room and releases it.
void freeCamera(Entity* camera);

}  // namespace testworld
