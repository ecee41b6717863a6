// Compiling scenes end to end: written files load with the real reader, validate, keep entity
// order, and doors give each room a portal facing back into it.
#include <gtest/gtest.h>

#include "test_files.h"
#include "image/image_files.h"
#include "tools/world/scene_compile.h"
#include "tools/world/verbs.h"
#include "tools/world/world_validate.h"
#include "world/world_file.h"

namespace {

const char* kTwoRooms = R"({
  "name": "two",
  "materials": { "wall": { "diffuse": [0.9, 0.8, 0.7] } },
  "textures": { "bricks": { "type": "bricks", "size": 64 }, "dots": { "type": "checker", "size": 16 } },
  "models": {
    "cube": { "primitive": "box", "material": "wall", "texture": "dots" },
    "ring": { "primitive": "torus", "radius": 1, "tubeRadius": 0.3 }
  },
  "rooms": [
    { "name": "a", "min": [-2, -1, -2], "max": [2, 2, 2],
      "lights": [ { "position": [0, 1.9, 0] } ],
      "surfaces": { "walls": { "material": "wall", "texture": "bricks" } },
      "entities": [ { "model": "ring", "position": [0, -0.4, 0] },
                    { "model": "cube", "position": [-1, -0.5, -1], "hidden": true },
                    { "model": "cube", "position": [1, -0.5, 1.4], "translucent": true } ] },
    { "name": "b", "min": [2, -1, -1], "max": [6, 2, 1] }
  ],
  "doors": [ { "rooms": ["a", "b"], "width": 1, "height": 2 } ]
})";

Vec3 centreOf(const Room& r) {
    return {(r.boxMin.x + r.boxMax.x) / 2, (r.boxMin.y + r.boxMax.y) / 2, (r.boxMin.z + r.boxMax.z) / 2};
}

TEST(SceneBuild, TwoRoomsWithADoorCompileLoadAndValidate) {
    const std::string dir = freshDir("out");
    CompiledScene scene;
    std::string error;
    ASSERT_TRUE(compileSceneText(kTwoRooms, "", scene, error)) << error;
    ASSERT_TRUE(writeCompiledScene(scene, dir, error)) << error;
    releaseCompiledScene(scene);

    World* w = loadWorld((dir + "/two.kbw").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    int textures = -1;
    auto listIssues = validateTextureList(dir + "/two.ktl", &textures);
    EXPECT_EQ(textures, 3);  // bricks, dots and the white texture for untextured surfaces
    auto issues = validateWorld(*w, textures);
    issues.insert(issues.end(), listIssues.begin(), listIssues.end());
    EXPECT_TRUE(issues.empty()) << formatIssues(issues);

    ASSERT_EQ(w->roomCount, 2);
    // Entities come back in the order the scene lists them, first at the head.
    const Entity* e = w->rooms[0]->entities;
    ASSERT_TRUE(e && e->next && e->next->next);
    EXPECT_EQ(e->model, 1);
    EXPECT_EQ(e->next->flags, kEntityHidden);
    EXPECT_EQ(e->next->next->flags, kEntityTranslucent);
    EXPECT_EQ(e->next->next->position.x, 1.0f);
    EXPECT_EQ(e->next->next->next, nullptr);

    // One portal each way, on the shared wall x = 2, facing back into its own room.
    for (int r = 0; r < 2; ++r) {
        const Room& room = *w->rooms[r];
        ASSERT_EQ(room.portalCount, 1);
        const Portal& p = *room.portals[0];
        EXPECT_EQ(p.target, w->rooms[1 - r]);
        ASSERT_EQ(p.vertexCount, 4);
        Plane pl;
        planeFromPoints(*p.vertices[0], *p.vertices[1], *p.vertices[2], pl);
        EXPECT_GT(planeValue(pl, centreOf(room)), 0.0f) << "room " << r;
        EXPECT_LT(planeValue(pl, centreOf(*w->rooms[1 - r])), 0.0f) << "room " << r;
        for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(p.vertices[k]->x, 2.0f);
    }
    // Generated surfaces face into their room: every triangle's plane has the centre in front.
    for (int r = 0; r < 2; ++r)
        for (int t = 0; t < w->rooms[r]->triangleCount; ++t)
            ASSERT_GT(planeValue(w->rooms[r]->triangles[t]->plane, centreOf(*w->rooms[r])), 0.0f);
    // The door cuts an opening: no wall triangle of room a covers the door's centre (2, 0, 0).
    for (int t = 0; t < w->rooms[0]->triangleCount; ++t) {
        const Triangle& tri = *w->rooms[0]->triangles[t];
        if (tri.plane.nx == 0) continue;
        float zmin = 1e9f, zmax = -1e9f, ymin = 1e9f, ymax = -1e9f;
        for (uint32_t v : tri.v) {
            zmin = std::min(zmin, w->vertices[v]->z), zmax = std::max(zmax, w->vertices[v]->z);
            ymin = std::min(ymin, w->vertices[v]->y), ymax = std::max(ymax, w->vertices[v]->y);
        }
        EXPECT_FALSE(zmin < 0 && zmax > 0 && ymin < 0 && ymax > 0) << "triangle " << t << " covers the door";
    }
    freeWorld(w);
}

TEST(SceneBuild, BuildVerbWritesNothingWhenTheSceneHasAnError) {
    const std::string dir = freshDir("in");
    const std::string bad = std::string(kTwoRooms).replace(std::string(kTwoRooms).find("\"width\": 1"), 10, "\"width\": 9");
    writeText(dir + "/scene.json", bad);
    const std::string out = dir + "/out";
    std::string a0 = "build", a1 = dir + "/scene.json", a2 = "-o", a3 = out;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data()};
    EXPECT_EQ(buildMain(4, argv), 1);
    EXPECT_FALSE(fileExists(out + "/two.kbw"));
    EXPECT_FALSE(fileExists(out));

    writeText(dir + "/scene.json", kTwoRooms);
    EXPECT_EQ(buildMain(4, argv), 0);
    EXPECT_TRUE(fileExists(out + "/two.kbw"));
    EXPECT_TRUE(fileExists(out + "/textures/bricks.raw"));
    std::vector<unsigned char> list;
    std::vector<std::string> names;
    std::string why;
    ASSERT_TRUE(readFileBytes(out + "/two.ktl", list));
    ASSERT_TRUE(parseTextureList(list, names, why)) << why;
    // Names are relative to the output folder, where the demo runs.
    EXPECT_EQ(names, (std::vector<std::string>{"textures/bricks.raw", "textures/dots.raw", "textures/_white.raw"}));

    std::string v0 = "validate", v1 = out + "/two.kbw", v2 = "--textures", v3 = out + "/two.ktl";
    char* vargv[] = {v0.data(), v1.data(), v2.data(), v3.data()};
    testing::internal::CaptureStdout();
    EXPECT_EQ(validateMain(4, vargv), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("valid"), std::string::npos);
}

TEST(SceneBuild, ShippedExampleBuildsAndValidates) {
    CompiledScene scene;
    std::string error;
    ASSERT_TRUE(compileSceneFile(std::string(QV_EXAMPLES_DIR) + "/two-rooms/scene.json", scene, error)) << error;
    EXPECT_TRUE(scene.warnings.empty()) << scene.warnings[0];
    auto issues = validateWorld(*scene.world, static_cast<int>(scene.images.size()));
    EXPECT_TRUE(issues.empty()) << formatIssues(issues);
    releaseCompiledScene(scene);
}

TEST(SceneBuild, ExplicitPortalsAreWoundTowardTheirRoomWhicheverWayTheyAreGiven) {
    const char* scene = R"({
      "models": { "m": { "primitive": "sphere" } },
      "rooms": [
        { "min": [-1, -1, -1], "max": [1, 1, 1], "entities": [ { "model": "m", "position": [0, 0, 0] } ],
          "surfaces": { "north": null },
          "portals": [ { "to": 1, "vertices": [[-1, -1, -1], [1, -1, -1], [1, 1, -1], [-1, 1, -1]] } ] },
        { "min": [-1, -1, -3], "max": [1, 1, -1], "surfaces": { "south": null },
          "portals": [ { "to": 0, "vertices": [[-1, -1, -1], [1, -1, -1], [1, 1, -1], [-1, 1, -1]] } ] }
      ]
    })";
    CompiledScene out;
    std::string error;
    ASSERT_TRUE(compileSceneText(scene, "", out, error)) << error;
    EXPECT_TRUE(validateWorld(*out.world, static_cast<int>(out.images.size())).empty());
    for (int r = 0; r < 2; ++r) {
        const Portal& p = *out.world->rooms[r]->portals[0];
        Plane pl;
        planeFromPoints(*p.vertices[0], *p.vertices[1], *p.vertices[2], pl);
        EXPECT_FLOAT_EQ(pl.nz, r == 0 ? 1.0f : -1.0f);
    }
    // Leaving the north wall out leaves 5 surfaces' worth of triangles, the others all present.
    EXPECT_EQ(out.world->rooms[0]->triangleCount, out.world->rooms[1]->triangleCount);
    releaseCompiledScene(out);
}

}  // namespace
