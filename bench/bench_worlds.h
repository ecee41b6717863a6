// Worlds generated in memory for the benchmarks, and the one headless GL context they draw with.
#pragma once

#include <cstdint>
#include <vector>

#include "world/world.h"

// `rooms` rooms, each with a side x side vertex grid of 2 (side - 1)^2 floor triangles: the
// large file of the load benchmark (52 bytes per triangle on disk).
World* makeLoadWorld(int rooms, int side);

// A world of `rooms` rooms (at least 3) in which a camera at kSizeCamera sees the same two rooms
// whatever the count: room 0 opens through a portal in its +x wall into room 1; room 1 leads on
// through a portal in its far side wall, outside the view through the first portal, into a chain
// of the remaining rooms. Rooms 0 and 1 hold walls, a light and a shadow-casting entity.
World* makeSizeWorld(int rooms);
constexpr Vec3 kSizeCamera = {5, 1.5f, 0};
constexpr Vec3 kSizeCameraAngles = {0, 270, 0}; // looking down +x, through the portal

// One lit room whose entities carry closed torus models of `triangles` triangles in all; a model
// holds at most 32767 triangles, so larger totals are spread over several entities.
World* makeShadowRoom(int triangles);

// A closed torus of 2 * around * across triangles with full adjacency, as a model of `world`.
uint16_t addTorusModel(World* world, int around, int across);

// The hidden camera entity, linked into no room yet (renderWorld finds its room).
Entity makeBenchCamera(const Vec3& position, const Vec3& angles);

// Makes the headless context (once per process) and the driver's projection and standing state.
void ensureBenchGL(int width = 800, int height = 600);
// One white texture as texture 0, since the renderer binds World.textures[t.texture].
void giveWhiteTexture(World* world);
// Releases the textures, then the world.
void releaseBenchWorld(World* world);
