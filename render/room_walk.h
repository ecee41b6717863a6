// The walk through the rooms the camera can see: from the camera's room, depth first and in
// portal order, through every portal that faces the camera and shows inside the frustum of the
// portal it was reached through, each room once. The renderer, the depth-only walk and the portal
// debug view all walk this way and differ only in what they do at a room.
#pragma once

#include <cstdint>

#include "world/world.h"

// One plane per portal edge; a point is inside when its plane value is negative for every plane.
struct Frustum {
    int16_t planeCount;
    Plane** planes;
};

// The frustum through a portal from the camera position; null when it cannot be allocated or the
// portal has fewer than 3 vertices.
Frustum* buildFrustum(const Entity* camera, const Portal* portal);
void freeFrustum(Frustum* frustum);
// The portal faces the camera and at least one of its vertices lies strictly inside the frustum.
// A portal with fewer than 3 vertices is never visible.
bool portalVisible(const Entity* camera, const Portal* portal, const Frustum* frustum);
// Portals with fewer than 3 vertices have no plane and no frustum; they are never followed.
bool portalFollowable(const Portal* portal);

// What a walk does along the way. Every call has a default that does nothing.
class RoomVisitor {
public:
    virtual ~RoomVisitor() = default;
    // The walk reached `room` (of `world`), before any room behind its portals.
    virtual void enterRoom(Room* room, World* world);
    // A followable portal of the room being walked, and whether the walk goes through it; called
    // just before the walk does.
    virtual void portalSeen(const Portal* portal, bool followed);
    // The rooms behind the room's followed portals are done.
    virtual void leaveRoom(Room* room, World* world);
};

// How a walk knows the rooms it has reached.
enum class RoomMarks {
    FrameStamp,  // Room.lastFrame = World.frame: what the frame drew shows in the stamps
    Private,     // a list of its own: the stamps stay as the last frame left them
};

// The whole walk from the camera's room, whose portals are all followed without facing or
// frustum tests. With FrameStamp, advances the world's frame stamp first (also when the camera
// is in no room). Nothing is walked when the camera has no room.
void walkVisibleRooms(Entity* camera, World* world, RoomVisitor& visitor, RoomMarks marks);
// The walk from `room` within `frustum` (null: every portal of the room is followed), with frame
// stamps of the room's world, or of `world` when the room has none; nothing without either.
void walkRoom(Room* room, World* world, Entity* camera, const Frustum* frustum, RoomVisitor& visitor);
// Through one portal: builds its frustum, walks the room behind it, releases the frustum. Without
// a frustum (out of memory) the target room follows all its portals, like the camera's room.
void walkThroughPortal(Entity* camera, const Portal* portal, World* world, RoomVisitor& visitor);

// The rooms whose frame stamp says the world's latest frame drew them.
int roomsDrawn(const World* world);
