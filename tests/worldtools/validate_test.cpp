// The validator finds each broken invariant in hand-made worlds and says where it is; the verb
// exits 0 or 1 and speaks JSON on request.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>

#include "test_files.h"
#include "image/image_files.h"
#include "tools/world/verbs.h"
#include "tools/world/world_validate.h"
#include "world/world_build.h"
#include "world/world_file.h"

namespace {

// Two rooms side by side along x joined by a correctly wound square portal each way, and a closed
// tetrahedron model standing in room 0, whose box holds the camera's start (the origin).
World* goodWorld() {
    World* w = newWorld();
    addMaterial(w, Material{});
    Room* a = addRoom(w, {-0.5f, -0.5f, -0.5f}, {1, 1, 1});
    Room* b = addRoom(w, {1, 0, 0}, {2, 1, 1});
    const std::vector<Vec3> door{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}};  // normal +x: into b
    addPortal(a, 1, std::vector<Vec3>(door.rbegin(), door.rend()));
    addPortal(b, 0, door);
    const uint32_t v0 = addWorldVertex(w, {0, 0, 0}), v1 = addWorldVertex(w, {1, 0, 0}),
                   v2 = addWorldVertex(w, {0, 0, 1});
    addRoomTriangle(w, a, v0, v2, v1);
    Model* m = addEmptyModel(w);
    for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}) addModelVertex(m, p);
    const uint32_t tris[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    for (const auto& t : tris) addModelTriangle(m, t[0], t[1], t[2]);
    // Neighbours by hand: edges (v[k], v[k+1]) paired with their reverses.
    const int32_t adj[4][3] = {{2, 3, 1}, {0, 3, 2}, {1, 3, 0}, {0, 2, 1}};
    for (int t = 0; t < 4; ++t)
        for (int k = 0; k < 3; ++k) m->triangles[t]->adj[k] = adj[t][k];
    addEntity(w, a, 0, {0.5f, 0.5f, 0.5f});
    resolvePortals(w);
    return w;
}

bool mentions(const std::vector<ValidationIssue>& issues, bool error, const std::string& where, const std::string& what) {
    for (const ValidationIssue& i : issues)
        if (i.error == error && i.where == where && i.what.find(what) != std::string::npos) return true;
    return false;
}

TEST(Validate, AGoodWorldHasNoIssues) {
    World* w = goodWorld();
    const auto issues = validateWorld(*w, 1);
    EXPECT_TRUE(issues.empty()) << formatIssues(issues);
    freeWorld(w);
}

TEST(Validate, ShadowVolumesReachingIntoOtherRoomsAreWarnedAbout) {
    World* w = goodWorld();  // room 0 reaches x = 1, where room 1, the unit cube (1..2, 0..1, 0..1), begins
    Room* a = w->rooms[0];
    Entity* e = a->entities;
    e->position = {0.45f, 0.05f, 0.45f};
    for (uint32_t i = 0; i < w->models[0]->vertexCount; ++i) {  // a 0.1 tetrahedron, top at y = 0.15
        Vec3& v = *w->models[0]->vertices[i];
        v = {v.x * 0.1f, v.y * 0.1f, v.z * 0.1f};
    }
    RoomLight& light = a->lights[0];
    light.enabled = 1;
    light.position[0] = 0.5f;
    light.position[1] = 0.95f;
    light.position[2] = 0.5f;
    EXPECT_TRUE(validateWorld(*w, 1).empty()) << formatIssues(validateWorld(*w, 1));

    light.position[0] = 0.2f;  // level with the top, west of it: the volume runs east into room 1
    light.position[1] = 0.15f;
    light.position[2] = 0.45f;
    auto issues = validateWorld(*w, 1);
    ASSERT_EQ(issues.size(), 1u) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, false, "room 0 entity 0", "its shadow volume reaches into room 1 (rooms[1]) at ("))
        << formatIssues(issues);
    // The point named lies in the room the volume reaches, not in the caster's.
    Vec3 at{};
    ASSERT_EQ(std::sscanf(issues[0].what.c_str() + issues[0].what.find(" at (") + 5, "%f, %f, %f", &at.x, &at.y, &at.z), 3);
    const Room& b = *w->rooms[1];
    for (int k = 0; k < 3; ++k) {
        EXPECT_GE(at[k], b.boxMin[k]) << issues[0].what;
        EXPECT_LE(at[k], b.boxMax[k]) << issues[0].what;
    }

    light.position[0] = 0.9f;  // east of it: the volume leaves through the west wall, where no room is
    EXPECT_TRUE(validateWorld(*w, 1).empty()) << formatIssues(validateWorld(*w, 1));

    light.position[0] = 0.2f;
    e->angles = {0, 180, 0};  // turned about y, the apex stays where it was: still a leak
    e->dirty = 0xFF;
    EXPECT_FALSE(validateWorld(*w, 1).empty());
    e->flags = kEntityHidden;  // hidden entities cast nothing
    EXPECT_TRUE(validateWorld(*w, 1).empty());
    e->flags = 0;
    light.enabled = 2;  // lit without shadows
    EXPECT_TRUE(validateWorld(*w, 1).empty());
    freeWorld(w);
}

TEST(Validate, EachBrokenInvariantIsReportedWithItsPlace) {
    World* w = goodWorld();
    Room* a = w->rooms[0];
    Model* m = w->models[0];
    // Portal 0 of room 0 reversed: its normal now points out of the room.
    std::swap(a->portals[0]->vertices[0], a->portals[0]->vertices[2]);
    // Room 1's portal moved away from room 0's box.
    for (int k = 0; k < 4; ++k) w->rooms[1]->portals[0]->vertices[k]->y += 5;
    m->triangles[1]->adj[0] = 2;   // asymmetric: triangle 2 does not share that edge
    m->triangles[3]->adj[2] = -1;  // open edge, so triangle 1's edge 1 is no longer answered
    m->triangles[2]->adj[1] = 9;   // out of range
    a->triangles[0]->texture = 4;
    a->triangles[0]->material = 3;
    auto issues = validateWorld(*w, 2);
    EXPECT_TRUE(mentions(issues, true, "room 0 portal 0", "wound away from its room")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "room 1 portal 0", "outside the box of room 0")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "model 0 triangle 1 edge 0", "does not have this edge")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "model 0 triangle 2 edge 1", "neither -1 nor one of the 4")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "model 0 triangle 1 edge 1", "names -1 across the shared edge, not 1 (adjacency not symmetric)")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, false, "model 0", "1 open edges")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "room 0 triangle 0", "texture 4 is beyond the 2 textures")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "room 0 triangle 0", "material 3 is beyond the 1 materials")) << formatIssues(issues);
    freeWorld(w);
}

TEST(Validate, RoomZeroNeedsAnEntityAndPortalsNeedThreeVertices) {
    World* w = goodWorld();
    Entity* e = w->rooms[0]->entities;
    w->rooms[0]->entities = nullptr;
    freeEntity(e);
    Portal* p = w->rooms[1]->portals[0];
    p->vertexCount = 2;
    auto issues = validateWorld(*w, -1);
    EXPECT_TRUE(mentions(issues, true, "room 0", "holds no entity")) << formatIssues(issues);
    EXPECT_TRUE(mentions(issues, true, "room 1 portal 0", "has 2 vertices")) << formatIssues(issues);
    p->vertexCount = 4;
    freeWorld(w);
}

TEST(Validate, VerbChecksImagesAndExitsWithTheRightStatus) {
    const std::string dir = freshDir("v");
    World* w = goodWorld();
    std::string error;
    ASSERT_TRUE(saveWorld(*w, (dir + "/w.kbw").c_str(), error)) << error;
    freeWorld(w);
    Image img;
    img.width = img.height = 2;
    img.pixels.assign(12, 200);
    ASSERT_TRUE(writeFileBytes(dir + "/ok.raw", rawImageBytes(img), error));
    std::vector<unsigned char> shortImage = rawImageBytes(img);
    shortImage.resize(shortImage.size() - 1);
    ASSERT_TRUE(writeFileBytes(dir + "/short.raw", shortImage, error));
    ASSERT_TRUE(writeFileBytes(dir + "/good.ktl", textureListBytes({"ok.raw"}), error));
    ASSERT_TRUE(writeFileBytes(dir + "/bad.ktl", textureListBytes({"ok.raw", "short.raw", "gone.raw"}), error));

    auto run = [&](std::vector<std::string> args, std::string* out) {
        std::vector<char*> argv;
        for (std::string& s : args) argv.push_back(s.data());
        testing::internal::CaptureStdout();
        const int rc = validateMain(static_cast<int>(argv.size()), argv.data());
        *out = testing::internal::GetCapturedStdout();
        return rc;
    };
    std::string out;
    EXPECT_EQ(run({"validate", dir + "/w.kbw", "--textures", dir + "/good.ktl"}, &out), 0) << out;
    EXPECT_EQ(run({"validate", dir + "/w.kbw", "--textures", dir + "/bad.ktl"}, &out), 1);
    EXPECT_NE(out.find("error: texture 1 \"short.raw\": image: 11 pixel bytes of the 12 promised"), std::string::npos) << out;
    EXPECT_NE(out.find("error: texture 2 \"gone.raw\": cannot read"), std::string::npos) << out;
    EXPECT_EQ(run({"validate", dir + "/w.kbw", "--textures", dir + "/bad.ktl", "--json"}, &out), 1);
    const auto j = nlohmann::json::parse(out);
    EXPECT_EQ(j["valid"], false);
    EXPECT_EQ(j["errors"], 2);
    EXPECT_EQ(j["issues"][0]["where"], "texture 1 \"short.raw\"");
    writeText(dir + "/junk.kbw", "BINWLD");
    EXPECT_EQ(run({"validate", dir + "/junk.kbw"}, &out), 1);
    EXPECT_NE(out.find("error: world: cannot load"), std::string::npos) << out;
    EXPECT_EQ(run({"validate"}, &out), 2);
}

}  // namespace
