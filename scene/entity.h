// Entity transforms, motion and room tracking: turning with wrapped angles, the cached rotation
// matrix, the camera view, moving by velocity and keeping each placed entity in the right room list.
#pragma once

#include <cstdint>

#include "world/world.h"

// Inserts entity (in no list) at the head of room's list. Does not touch entity->room.
void linkEntity(Entity* entity, Room* room);
// Removes entity from the list of entity->room; nothing when room is null. Keeps room/next/prev.
void unlinkEntity(Entity* entity);
// Adds delta degrees to angle `axis` (0 x, 1 y, 2 z), wraps once each way (<0: +360, >359: -360),
// sets dirty bit `axis`.
void turnEntity(Entity* entity, float delta, int axis);
// Writes R(angles) = Rx(-x) * Ry(-y) * Rz(-z), column-major, into out.
void rotationMatrix(const Vec3& angles, float out[16]);
// Rebuilds entity->rotation when any of dirty bits 0-2 is set, then clears those bits only.
void updateRotation(Entity* entity);
// Multiplies the current OpenGL matrix by the camera's view transform R * T(-position).
void applyView(Entity* camera);
// moveEntity option bit: collide against the current room's triangles.
constexpr uint8_t kMoveCollide = 0x01;
// Moves by velocity * seconds and re-files the entity into the room holding its new position.
// `options` holds kMove* bits.
void moveEntity(Entity* entity, float seconds, uint8_t options, World* world);
// True when the entity's position is strictly inside room's box; false for a null room.
bool pointInRoom(const Entity* entity, const Room* room);
// Sets entity->room to the containing room (portal neighbours of the old room first), or null.
void locateRoom(Entity* entity, World* world);
// Collision step of moveEntity: may change displacement d (world units).
void collideEntity(Entity* entity, float seconds, Vec3& d);
