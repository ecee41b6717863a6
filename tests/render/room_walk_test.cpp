// The room walk on its own (the order of its calls, frame stamps against a private list, culled
// and unfollowable portals), the rooms-drawn count, the entity-model checks, the lazily computed
// pool outcodes, and a frame's outcode work not growing with rooms it does not draw.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "render/clip_space.h"
#include "render/renderer.h"
#include "render/room_walk.h"
#include "render/entity_models.h"
#include "render/shadows.h"
#include "scene/entity.h"
#include "tests/render/demo_clip.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"

namespace tw = testworld;

namespace {

// Writes down every call as one short line: "+R" entering room R, "-R" leaving it, "pXY" a
// followed portal from X to Y, "xXY" a culled one (rooms named by their index in the world).
class Recorder : public RoomVisitor {
public:
    explicit Recorder(const World* world) : world_(world) {}
    void enterRoom(Room* room, World* world) override {
        log.push_back("+" + name(room));
        worlds.push_back(world);
        open_.push_back(room);
    }
    // The portal belongs to the innermost room entered and not yet left.
    void portalSeen(const Portal* portal, bool followed) override {
        log.push_back((followed ? "p" : "x") + (open_.empty() ? "?" : name(open_.back())) + name(portal->target));
    }
    void leaveRoom(Room* room, World*) override {
        log.push_back("-" + name(room));
        if (open_.empty() || open_.back() != room) log.push_back("!unbalanced");
        if (!open_.empty()) open_.pop_back();
    }
    std::string joined() const {
        std::string s;
        for (const std::string& l : log) s += (s.empty() ? "" : " ") + l;
        return s;
    }
    std::vector<std::string> log;
    std::vector<const World*> worlds;

private:
    std::string name(const Room* room) const {
        for (int i = 0; i < world_->roomCount; ++i)
            if (world_->rooms[i] == room) return std::string(1, char('A' + i));
        return "?";
    }
    const World* world_;
    std::vector<const Room*> open_;
};

// A, the camera's room at the origin, looks through two windows into B (left) and C (right);
// both look on into D; B has a second door, to E, far to the right of what A's window shows;
// F hangs off A through a portal of two vertices, which no walk can follow.
class RoomWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        world = tw::makeWorld();
        a = tw::room(world, {-5, -5, -5}, {5, 5, 5});
        b = tw::room(world, {-5, -5, -10}, {0, 5, -5});
        c = tw::room(world, {0, -5, -10}, {5, 5, -5});
        d = tw::room(world, {-5, -5, -20}, {5, 5, -10});
        e = tw::room(world, {5, -5, -20}, {15, 5, -10});
        f = tw::room(world, {20, 20, 20}, {21, 21, 21});
        ab = tw::portalRect(world, a, b, -2, -1, -0.5f, 1, -4);
        ac = tw::portalRect(world, a, c, 0.5f, -1, 2, 1, -4);
        tw::portalRect(world, b, d, -2, -1, 0.5f, 1, -8);
        tw::portalRect(world, b, e, 6, -1, 7, 1, -8);
        tw::portalRect(world, c, d, -0.5f, -1, 2, 1, -8);
        af = tw::portal(world, a, f, {{-1, -1, -3}, {1, 1, -3}});
        camera = tw::makeCamera({0, 0, 0});
        camera->room = a;
        linkEntity(camera, a);
    }
    void TearDown() override {
        tw::freeCamera(camera);
        freeWorld(world);
    }
    World* world;
    Room *a, *b, *c, *d, *e, *f;
    Portal *ab, *ac, *af;
    Entity* camera;
};

// Each room once, depth first in portal order: a room's portals come between its enter and
// leave calls, and a room reached a second time (D through C) is not entered again.
const char* const kWalk = "+A pAB +B pBD +D -D xBE -B pAC +C pCD -C -A";

TEST_F(RoomWalkTest, FrameStampsMarkExactlyTheRoomsTheWalkReachesInItsOrder) {
    world->frame = 6;
    f->lastFrame = 3;
    Recorder rec(world);
    walkVisibleRooms(camera, world, rec, RoomMarks::FrameStamp);
    EXPECT_EQ(rec.joined(), kWalk);
    EXPECT_EQ(world->frame, 7u);
    for (Room* r : {a, b, c, d}) EXPECT_EQ(r->lastFrame, 7u);
    EXPECT_EQ(e->lastFrame, 0u);
    EXPECT_EQ(f->lastFrame, 3u);
    EXPECT_EQ(roomsDrawn(world), 4);
    for (const World* w : rec.worlds) EXPECT_EQ(w, world);

    // The next walk marks the same rooms again under the next stamp.
    Recorder again(world);
    walkVisibleRooms(camera, world, again, RoomMarks::FrameStamp);
    EXPECT_EQ(again.joined(), kWalk);
    EXPECT_EQ(d->lastFrame, 8u);
}

TEST_F(RoomWalkTest, APrivateWalkTakesTheSameWayAndLeavesTheStampsAlone) {
    Recorder first(world);
    walkVisibleRooms(camera, world, first, RoomMarks::FrameStamp);
    const uint32_t frame = world->frame;
    b->lastFrame = frame - 1;  // as if the last frame had not drawn B
    Recorder rec(world);
    walkVisibleRooms(camera, world, rec, RoomMarks::Private);
    EXPECT_EQ(rec.joined(), kWalk);
    EXPECT_EQ(world->frame, frame);
    EXPECT_EQ(b->lastFrame, frame - 1);
    EXPECT_EQ(roomsDrawn(world), 3);
}

TEST_F(RoomWalkTest, WithoutARoomNothingIsWalkedButTheFrameStillAdvances) {
    unlinkEntity(camera);
    camera->room = nullptr;
    Recorder stamped(world), looked(world);
    walkVisibleRooms(camera, world, stamped, RoomMarks::FrameStamp);
    EXPECT_EQ(world->frame, 1u);
    walkVisibleRooms(camera, world, looked, RoomMarks::Private);
    EXPECT_EQ(world->frame, 1u);
    EXPECT_TRUE(stamped.log.empty());
    EXPECT_TRUE(looked.log.empty());
    EXPECT_EQ(roomsDrawn(world), 0);
}

TEST_F(RoomWalkTest, AWalkThroughOnePortalStartsBehindItWithinItsFrustum) {
    world->frame = 1;
    Recorder rec(world);
    walkThroughPortal(camera, ab, world, rec);
    // From B, only what A's left window shows: D, not E; A itself is never reached.
    EXPECT_EQ(rec.joined(), "+B pBD +D -D xBE -B");
    // A portal of two vertices has no frustum and is never followed.
    Recorder none(world);
    walkThroughPortal(camera, af, world, none);
    EXPECT_TRUE(none.log.empty());
    EXPECT_EQ(f->lastFrame, 0u);
}

TEST_F(RoomWalkTest, AWalkFromARoomWithinAFrustumFollowsOnlyPortalsInsideIt) {
    world->frame = 1;
    Frustum* through = buildFrustum(camera, ac);
    ASSERT_NE(through, nullptr);
    Recorder rec(world);
    walkRoom(b, world, camera, through, rec);
    freeFrustum(through);
    // Seen through A's right window, B's door to D lies outside and E's far to the right too.
    EXPECT_EQ(rec.joined(), "+B xBD xBE -B");
    // Without a frustum the room follows all its portals, facing or not.
    world->frame = 2;
    Recorder all(world);
    walkRoom(b, world, camera, nullptr, all);
    EXPECT_EQ(all.joined(), "+B pBD +D -D pBE +E -E -B");
}

TEST_F(RoomWalkTest, ARoomWithoutAWorldIsWalkedOnlyWhenTheWalkIsGivenOne) {
    b->world = nullptr;
    Recorder rec(world);
    walkRoom(b, nullptr, camera, nullptr, rec);
    EXPECT_TRUE(rec.log.empty());
    world->frame = 4;
    walkRoom(b, world, camera, nullptr, rec);
    EXPECT_EQ(rec.log.front(), "+B");
    EXPECT_EQ(b->lastFrame, 4u);
    b->world = world;
}

TEST(RoomsDrawn, CountsStampedRoomsAndToleratesMissingOnes) {
    EXPECT_EQ(roomsDrawn(nullptr), 0);
    World* world = tw::makeWorld();
    EXPECT_EQ(roomsDrawn(world), 0);  // no room table at all
    Room* r0 = tw::room(world, {0, 0, 0}, {1, 1, 1});
    tw::room(world, {1, 0, 0}, {2, 1, 1});
    world->frame = 5;
    r0->lastFrame = 5;
    EXPECT_EQ(roomsDrawn(world), 1);
    Room* second = world->rooms[1];
    world->rooms[1] = nullptr;
    EXPECT_EQ(roomsDrawn(world), 1);
    world->rooms[1] = second;
    freeWorld(world);
}

TEST(EntityModels, UnusableModelsAndCastersAreRefused) {
    World* world = tw::makeWorld();
    Room* room = tw::room(world, {-5, -5, -5}, {5, 5, 5});
    const uint16_t box = tw::modelIndex(world, tw::boxModel(world, 1));
    Entity* e = tw::entity(world, room, box, {0, 0, 0});
    const Model* m = world->models[box];
    EXPECT_EQ(entityModel(world, e), m);
    EXPECT_EQ(castingModel(world, e), m);
    uint8_t* lit = e->litMask;
    e->litMask = nullptr;
    EXPECT_EQ(castingModel(world, e), nullptr) << "no lit mask";
    e->litMask = lit;

    e->flags = kEntityHidden;
    EXPECT_EQ(entityModel(world, e), m) << "hidden entities still have a model";
    EXPECT_EQ(castingModel(world, e), nullptr);
    e->flags = 0;

    Vec3** vertices = world->models[box]->vertices;
    world->models[box]->vertices = nullptr;
    EXPECT_EQ(castingModel(world, e), nullptr) << "triangles without vertices";
    world->models[box]->vertices = vertices;

    e->model = static_cast<uint16_t>(world->modelCount);
    EXPECT_EQ(entityModel(world, e), nullptr);
    EXPECT_EQ(castingModel(world, e), nullptr);
    e->model = box;
    Model** models = world->models;
    world->models = nullptr;
    EXPECT_EQ(entityModel(world, e), nullptr);
    world->models = models;
    EXPECT_EQ(entityModel(nullptr, e), nullptr);
    freeWorld(world);
}

TEST(PoolOutcodes, AgreeWithTheWholePoolsCodesAndComputeOnlyWhatIsAsked) {
    std::vector<Vec3> points;
    for (int i = 0; i < 60; ++i)
        points.push_back({float((i * 37) % 23 - 11), float((i * 11) % 17 - 8), float((i * 5) % 13 - 10)});
    std::vector<Vec3*> pool;
    for (Vec3& p : points) pool.push_back(&p);
    const ClipSpace clip = demoClip();
    std::vector<uint8_t> all;
    vertexOutcodes(clip, pool.data(), uint32_t(pool.size()), all);

    PoolOutcodes lazy;
    lazy.begin(clip, pool.data(), uint32_t(pool.size()));
    EXPECT_EQ(lazy.computed(), 0u);
    int outside = 0, inside = 0;
    for (uint32_t i = 0; i + 2 < pool.size(); i += 3) {
        const uint32_t v[3] = {i, (i * 7 + 1) % 60, (i * 13 + 2) % 60};
        const bool want = outsideView(all, v);
        EXPECT_EQ(lazy.outside(v), want) << i;
        (want ? outside : inside)++;
    }
    EXPECT_GT(outside, 0);
    EXPECT_GT(inside, 0);
    EXPECT_LE(lazy.computed(), 60u);

    // A corner outside the pool: no verdict, never a read past it.
    const uint32_t beyond[3] = {0, 1, 60};
    EXPECT_FALSE(lazy.outside(beyond));

    // A new begin forgets the codes: the same points behind the camera are all culled now.
    ClipSpace turned = clip;
    turned.m[10] = 1;
    turned.m[11] = 1;  // looking down +z: every point with z < 0 lies behind the near plane
    lazy.begin(turned, pool.data(), uint32_t(pool.size()));
    EXPECT_EQ(lazy.computed(), 0u);
    std::vector<uint8_t> turnedAll;
    vertexOutcodes(turned, pool.data(), uint32_t(pool.size()), turnedAll);
    for (uint32_t i = 0; i + 2 < pool.size(); ++i) {
        const uint32_t v[3] = {i, i + 1, i + 2};
        EXPECT_EQ(lazy.outside(v), outsideView(turnedAll, v)) << i;
    }
    // Each vertex computed once however many triangles ask.
    for (uint32_t i = 0; i < pool.size(); ++i) {
        const uint32_t v[3] = {i, i, i};
        EXPECT_EQ(lazy.outside(v), turnedAll[i] != 0) << i;
    }
    EXPECT_EQ(lazy.computed(), 60u);

    // An empty pool gives no verdicts.
    lazy.begin(clip, nullptr, 60);
    const uint32_t first[3] = {0, 1, 2};
    EXPECT_FALSE(lazy.outside(first));
}

// A frame's outcode work follows the rooms it draws: two rooms in view, and a chain of rooms out
// of view that grows from 1 to 40 without changing how many codes a frame computes.
class FrameCullingTest : public gltest::WorldTest {
protected:
    uint32_t codesForAFrameWith(int hiddenRooms) {
        const uint16_t grey = tw::flatMaterial(world, 0.5f, 0.5f, 0.5f);
        Room* here = tw::room(world, {-5, -5, -5}, {5, 5, 5});
        Room* next = tw::room(world, {-5, -5, -15}, {5, 5, -5});
        tw::portalRect(world, here, next, -1, -1, 1, 1, -4);
        tw::wall(world, here, -5, -5, 5, 5, -4.5f, grey);
        tw::wall(world, next, -5, -5, 5, 5, -14, grey);
        Room* prev = next;
        for (int k = 0; k < hiddenRooms; ++k) {
            // Behind the camera and side by side: reachable only from rooms the camera cannot see.
            const float z0 = 20 + 10.0f * float(k);
            Room* r = tw::room(world, {-5, -5, z0}, {5, 5, z0 + 10});
            tw::portalRect(world, prev, r, 3, -1, 4, 1, k == 0 ? -5.0f : z0, false);
            for (int w = 0; w < 10; ++w) tw::wall(world, r, -5, -5 + w, 5, -4.0f + w, z0 + 5, grey);
            prev = r;
        }
        gltest::drawFrame(camera, world);
        EXPECT_EQ(roomsDrawn(world), 2);
        return rendererState().poolCodes.computed();
    }
};

TEST_F(FrameCullingTest, OutcodesComeOnlyForTheVerticesOfRoomsDrawn) {
    const uint32_t small = codesForAFrameWith(1);
    EXPECT_GT(small, 0u);
    EXPECT_LE(small, 8u) << "two walls of four vertices each";
    unlinkEntity(camera);
    camera->room = nullptr;
    freeWorld(world);
    world = tw::makeWorld();
    EXPECT_EQ(codesForAFrameWith(40), small);
    EXPECT_GT(world->vertexCount, 40u * 10u * 4u) << "the pool holds the hidden rooms' walls";
}

}  // namespace
