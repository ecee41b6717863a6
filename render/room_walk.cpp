// The room walk: frame stamps or a private list of rooms reached, portal checks and the life of
// each portal's frustum.
#include "render/room_walk.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

void RoomVisitor::enterRoom(Room*, World*) {}
void RoomVisitor::portalSeen(const Portal*, bool) {}
void RoomVisitor::leaveRoom(Room*, World*) {}

namespace {

struct Walk {
    Entity* camera;
    RoomVisitor& visitor;
    std::vector<const Room*>* seen;  // null: the walk marks rooms with frame stamps
};

// Marks the room as reached; false when the walk has reached it before.
bool reach(const Walk& walk, Room* room, World* world) {
    if (walk.seen) {
        if (std::find(walk.seen->begin(), walk.seen->end(), room) != walk.seen->end()) return false;
        walk.seen->push_back(room);
        return true;
    }
    if (room->lastFrame == world->frame) return false;
    room->lastFrame = world->frame;
    return true;
}

void walkFrom(const Walk& walk, Room* room, World* fallback, const Frustum* frustum);

void through(const Walk& walk, const Portal* portal, World* world) {
    if (!portalFollowable(portal)) return;
    Frustum* frustum = buildFrustum(walk.camera, portal);
    walkFrom(walk, portal->target, world, frustum);
    freeFrustum(frustum);
}

void walkFrom(const Walk& walk, Room* room, World* fallback, const Frustum* frustum) {
    if (!room) return;
    World* world = room->world ? room->world : fallback;
    // Frame stamps need a world to compare with; a private list does not.
    if (!walk.seen && !world) return;
    if (!reach(walk, room, world)) return;
    walk.visitor.enterRoom(room, world);
    for (int i = 0; room->portals && i < room->portalCount; ++i) {
        const Portal* portal = room->portals[i];
        if (!portalFollowable(portal)) continue;
        const bool followed = !frustum || portalVisible(walk.camera, portal, frustum);
        walk.visitor.portalSeen(portal, followed);
        if (followed) through(walk, portal, world);
    }
    walk.visitor.leaveRoom(room, world);
}

}  // namespace

void walkVisibleRooms(Entity* camera, World* world, RoomVisitor& visitor, RoomMarks marks) {
    if (marks == RoomMarks::FrameStamp) {
        if (!world) return;
        world->frame++;
    }
    if (!camera || !camera->room) return;
    std::vector<const Room*> seen;
    const Walk walk{camera, visitor, marks == RoomMarks::Private ? &seen : nullptr};
    walkFrom(walk, camera->room, world, nullptr);
}

void walkRoom(Room* room, World* world, Entity* camera, const Frustum* frustum, RoomVisitor& visitor) {
    walkFrom(Walk{camera, visitor, nullptr}, room, world, frustum);
}

void walkThroughPortal(Entity* camera, const Portal* portal, World* world, RoomVisitor& visitor) {
    through(Walk{camera, visitor, nullptr}, portal, world);
}

int roomsDrawn(const World* world) {
    int drawn = 0;
    for (int i = 0; world && world->rooms && i < world->roomCount; ++i)
        drawn += world->rooms[i] && world->rooms[i]->lastFrame == world->frame;
    return drawn;
}

bool portalFollowable(const Portal* portal) {
    return portal && portal->target && portal->vertices && portal->vertexCount >= 3;
}

Frustum* buildFrustum(const Entity* camera, const Portal* portal) {
    if (!portalFollowable(portal)) return nullptr;
    const int n = portal->vertexCount;
    auto* frustum = static_cast<Frustum*>(std::calloc(1, sizeof(Frustum)));
    if (!frustum) return nullptr;
    frustum->planes = static_cast<Plane**>(std::calloc(n, sizeof(Plane*)));
    if (!frustum->planes) {
        std::free(frustum);
        return nullptr;
    }
    frustum->planeCount = static_cast<int16_t>(n);
    const Vec3& p = camera->position;
    Vec3** v = portal->vertices;
    for (int i = 0; i < n; ++i) {
        frustum->planes[i] = static_cast<Plane*>(std::malloc(sizeof(Plane)));
        if (!frustum->planes[i]) {
            freeFrustum(frustum);
            return nullptr;
        }
        const Vec3& a = i == 0 ? *v[n - 1] : *v[i - 1];
        planeFromPoints(a, *v[i], p, *frustum->planes[i]);
    }
    return frustum;
}

void freeFrustum(Frustum* frustum) {
    if (!frustum) return;
    if (frustum->planes)
        for (int i = 0; i < frustum->planeCount; ++i) std::free(frustum->planes[i]);
    std::free(frustum->planes);
    std::free(frustum);
}

bool portalVisible(const Entity* camera, const Portal* portal, const Frustum* frustum) {
    if (!portalFollowable(portal)) return false;
    Vec3** v = portal->vertices;
    // The portal's own plane, reversed so its normal points away from the owning room.
    Plane q;
    planeFromPoints(*v[2], *v[1], *v[0], q);
    if (planeValue(q, camera->position) >= 0) return false;
    for (int i = 0; i < portal->vertexCount; ++i) {
        bool inside = true;
        for (int k = 0; k < frustum->planeCount && inside; ++k)
            inside = planeValue(*frustum->planes[k], *v[i]) < 0;
        if (inside) return true;
    }
    return false;
}
