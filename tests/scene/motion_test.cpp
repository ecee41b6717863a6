// Moving entities between rooms and the intrusive room lists.
#include <gtest/gtest.h>

#include <cmath>

#include "scene/entity.h"
#include "world/world_build.h"
#include "world/world_file.h"

namespace {

// Three rooms along -z: 0 = [-2,2] x [-2,2] x [-2,2], 1 = z in [-6,-2], 2 overlaps 1 at z in [-5,-3].
struct Rooms {
    World* world = newWorld();
    Room* r0 = addRoom(world, {-2, -2, -2}, {2, 2, 2});
    Room* r1 = addRoom(world, {-2, -2, -6}, {2, 2, -2});
    Room* r2 = addRoom(world, {-2, -2, -5}, {2, 2, -3});
    Rooms() {
        addPortal(r0, 1, {{-1, -1, -2}, {1, -1, -2}, {1, 1, -2}});
        addPortal(r2, 0, {{-1, -1, -2}, {1, -1, -2}, {1, 1, -2}});
        resolvePortals(world);
    }
    ~Rooms() { freeWorld(world); }
};

std::vector<Entity*> listOf(const Room* room) {
    std::vector<Entity*> out;
    const Entity* prev = nullptr;
    for (Entity* e = room->entities; e; e = e->next) {
        EXPECT_EQ(e->prev, prev);
        prev = e;
        out.push_back(e);
    }
    return out;
}

TEST(RoomLists, LinkAtHeadAndUnlinkAnywhere) {
    Room room{};
    Entity a{}, b{}, c{};
    linkEntity(&a, &room);
    EXPECT_EQ(a.next, nullptr);
    EXPECT_EQ(a.prev, nullptr);
    linkEntity(&b, &room);
    linkEntity(&c, &room);
    EXPECT_EQ(listOf(&room), (std::vector<Entity*>{&c, &b, &a}));
    a.room = b.room = c.room = &room;

    unlinkEntity(&b);  // middle
    EXPECT_EQ(listOf(&room), (std::vector<Entity*>{&c, &a}));
    EXPECT_EQ(b.room, &room);  // unlinking never changes room
    unlinkEntity(&c);  // head
    EXPECT_EQ(listOf(&room), (std::vector<Entity*>{&a}));
    linkEntity(&c, &room);
    unlinkEntity(&a);  // tail
    EXPECT_EQ(listOf(&room), (std::vector<Entity*>{&c}));
    unlinkEntity(&c);  // the only one
    EXPECT_EQ(room.entities, nullptr);

    Entity outside{};
    unlinkEntity(&outside);  // no room: nothing happens
    EXPECT_EQ(outside.next, nullptr);
}

TEST(PointInRoom, FacesAreOutsideAndNullRoomsHoldNothing) {
    Room room{};
    room.boxMin = {0, 0, 0};
    room.boxMax = {1, 1, 1};
    Entity e{};
    e.position = {0.5f, 0.5f, 0.5f};
    EXPECT_TRUE(pointInRoom(&e, &room));
    EXPECT_FALSE(pointInRoom(&e, nullptr));
    e.position = {1, 0.5f, 0.5f};
    EXPECT_FALSE(pointInRoom(&e, &room));
    e.position = {0.5f, 0.5f, std::nanf("")};
    EXPECT_FALSE(pointInRoom(&e, &room));
    room.boxMax = room.boxMin;
    e.position = room.boxMin;
    EXPECT_FALSE(pointInRoom(&e, &room));
}

TEST(MoveEntity, CrossesThroughAPortalIntoTheNeighboursList) {
    Rooms w;
    Entity other{}, cam{};
    cam.position = {0, 0, -1};
    moveEntity(&cam, 0, 0, w.world);  // the first move places it
    EXPECT_EQ(cam.room, w.r0);
    EXPECT_EQ(w.r0->entities, &cam);
    linkEntity(&other, w.r1);

    cam.velocity = {0, 0, -2};
    moveEntity(&cam, 1, 0, w.world);  // to z = -3: inside r1 and r2; r1 is r0's portal neighbour
    EXPECT_FLOAT_EQ(cam.position.z, -3);
    EXPECT_EQ(cam.room, w.r1);
    EXPECT_EQ(w.r0->entities, nullptr);
    EXPECT_EQ(listOf(w.r1), (std::vector<Entity*>{&cam, &other}));
    EXPECT_FLOAT_EQ(cam.velocity.z, -2);  // no drag
    other.room = w.r1;  // stack entities leave the lists before the world is freed
    unlinkEntity(&other);
    unlinkEntity(&cam);
}

TEST(MoveEntity, OverlapWithoutAUsableOldRoomTakesTheLowestRoom) {
    Rooms w;
    Entity e{};
    e.position = {0, 0, -4};  // in r1 and r2
    locateRoom(&e, w.world);
    EXPECT_EQ(e.room, w.r1);

    // From r2, whose portal leads to r0 only, a point in r1 and r2 goes by world order: r1.
    Entity f{};
    f.room = w.r2;
    f.position = {0, 0, -3.5f};
    locateRoom(&f, w.world);
    EXPECT_EQ(f.room, w.r1);
}

TEST(MoveEntity, OverlapPrefersTheOldRoomsPortalsInTheirOrder) {
    // r1 and r2 share z in (-5, -3); r0's portals lead first to r2, then to r1, so a point in both
    // boxes goes to r2 although r1 comes first in the world.
    World* world = newWorld();
    Room* r0 = addRoom(world, {-2, -2, -2}, {2, 2, 2});
    Room* r1 = addRoom(world, {-2, -2, -6}, {2, 2, -2});
    Room* r2 = addRoom(world, {-2, -2, -5}, {2, 2, -3});
    addPortal(r0, 2, {{-1, -1, -2}, {1, -1, -2}, {1, 1, -2}});
    addPortal(r0, 1, {{-1, -1, -2}, {1, -1, -2}, {1, 1, -2}});
    resolvePortals(world);

    Entity e{};
    e.room = r0;
    e.position = {0, 0, -4};
    ASSERT_TRUE(pointInRoom(&e, r1));
    ASSERT_TRUE(pointInRoom(&e, r2));
    locateRoom(&e, world);
    EXPECT_EQ(e.room, r2);

    // The same through a move: out of r0's list and into r2's.
    Entity m{};
    m.position = {0, 0, 0};
    moveEntity(&m, 0, 0, world);
    ASSERT_EQ(m.room, r0);
    m.velocity = {0, 0, -4};
    moveEntity(&m, 1, 0, world);
    EXPECT_EQ(m.room, r2);
    EXPECT_EQ(r0->entities, nullptr);
    EXPECT_EQ(r1->entities, nullptr);
    EXPECT_EQ(listOf(r2), (std::vector<Entity*>{&m}));

    // An old room from another world is not searched by its portals: world order wins.
    World* other = newWorld();
    Entity f{};
    f.room = r0;
    f.position = {0, 0, -4};
    Room* o0 = addRoom(other, {-2, -2, -6}, {2, 2, -2});
    locateRoom(&f, other);
    EXPECT_EQ(f.room, o0);

    unlinkEntity(&m);
    freeWorld(other);
    freeWorld(world);
}

TEST(MoveEntity, LeavingEveryRoomEmptiesTheRoomAndSearchesEachCall) {
    Rooms w;
    Entity e{};
    e.position = {0, 0, 0};
    moveEntity(&e, 0, 0, w.world);
    ASSERT_EQ(e.room, w.r0);
    e.velocity = {10, 0, 0};
    moveEntity(&e, 1, 0, w.world);
    EXPECT_EQ(e.room, nullptr);
    EXPECT_EQ(w.r0->entities, nullptr);
    e.velocity = {-10, 0, 0};
    moveEntity(&e, 1, 0, w.world);  // back inside: found again by the full search
    EXPECT_EQ(e.room, w.r0);
    EXPECT_EQ(w.r0->entities, &e);
    // Collision handling asked for with no room changes nothing and is skipped.
    e.velocity = {0, 100, 0};
    moveEntity(&e, 1, 1, w.world);
    EXPECT_EQ(e.room, nullptr);
    moveEntity(&e, 0, 1, w.world);
    EXPECT_FLOAT_EQ(e.position.y, 100);
    unlinkEntity(&e);
}

}  // namespace
