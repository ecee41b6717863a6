// Worlds as their authors meant them: no two rooms' walls lie face to face in one plane around
// their doors, the camera's start, lights and entities are checked against the room boxes, and
// shadow volumes name every room they reach. Each scene here is written for its test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "test_files.h"
#include "tools/world/scene_compile.h"
#include "tools/world/verbs.h"
#include "tools/world/world_validate.h"

namespace {

struct Tri3 {
    Vec3 p[3];
    Plane plane;
    int room;
};

std::vector<Tri3> roomTriangles(const World& w) {
    std::vector<Tri3> out;
    for (int r = 0; r < w.roomCount; ++r)
        for (int t = 0; t < w.rooms[r]->triangleCount; ++t) {
            const Triangle& tri = *w.rooms[r]->triangles[t];
            out.push_back({{*w.vertices[tri.v[0]], *w.vertices[tri.v[1]], *w.vertices[tri.v[2]]}, tri.plane, r});
        }
    return out;
}

// Whether q lies strictly inside triangle t (which q's plane holds), by the signs of the three
// edge tests about the triangle's normal.
bool strictlyInside(const Tri3& t, const Vec3& q) {
    const Vec3 n{t.plane.nx, t.plane.ny, t.plane.nz};
    for (int k = 0; k < 3; ++k) {
        const Vec3& a = t.p[k];
        const Vec3& b = t.p[(k + 1) % 3];
        const Vec3 e{b.x - a.x, b.y - a.y, b.z - a.z}, d{q.x - a.x, q.y - a.y, q.z - a.z};
        const Vec3 c{e.y * d.z - e.z * d.y, e.z * d.x - e.x * d.z, e.x * d.y - e.y * d.x};
        if (c.x * n.x + c.y * n.y + c.z * n.z <= 1e-5f) return false;
    }
    return true;
}

// Pairs of triangles of different rooms lying in one plane, facing opposite ways and covering
// some of the same area: what z-fights when both rooms are drawn.
int backToBackPairs(const std::vector<Tri3>& tris) {
    int pairs = 0;
    const float weights[4][3] = {{1 / 3.f, 1 / 3.f, 1 / 3.f}, {0.8f, 0.1f, 0.1f}, {0.1f, 0.8f, 0.1f}, {0.1f, 0.1f, 0.8f}};
    for (size_t i = 0; i < tris.size(); ++i)
        for (size_t j = i + 1; j < tris.size(); ++j) {
            const Tri3& a = tris[i];
            const Tri3& b = tris[j];
            if (a.room == b.room) continue;
            if (std::fabs(a.plane.nx + b.plane.nx) > 1e-4f || std::fabs(a.plane.ny + b.plane.ny) > 1e-4f ||
                std::fabs(a.plane.nz + b.plane.nz) > 1e-4f || std::fabs(a.plane.d + b.plane.d) > 1e-3f)
                continue;
            bool overlap = false;
            for (const auto& wt : weights)
                for (int s = 0; s < 2 && !overlap; ++s) {
                    const Tri3& from = s ? b : a;
                    const Tri3& into = s ? a : b;
                    const Vec3 q{wt[0] * from.p[0].x + wt[1] * from.p[1].x + wt[2] * from.p[2].x,
                                 wt[0] * from.p[0].y + wt[1] * from.p[1].y + wt[2] * from.p[2].y,
                                 wt[0] * from.p[0].z + wt[1] * from.p[1].z + wt[2] * from.p[2].z};
                    overlap = strictlyInside(into, q);
                }
            pairs += overlap;
        }
    return pairs;
}

bool compiles(const std::string& text, CompiledScene& out, std::string& error) {
    return compileSceneText(text, "", out, error);
}

bool warned(const CompiledScene& s, const std::string& what) {
    for (const std::string& w : s.warnings)
        if (w.find(what) != std::string::npos) return true;
    return false;
}

std::string allWarnings(const CompiledScene& s) {
    std::string out;
    for (const std::string& w : s.warnings) out += w + "\n";
    return out;
}

// A hall with a corridor east of it that is wider and taller than its door, whose sill stands
// above the corridor's floor, and a corridor north of it exactly the size of its door.
const char* kCorridors = R"({
  "models": { "ball": { "primitive": "sphere", "radius": 0.3 } },
  "rooms": [
    { "name": "hall", "min": [-5, -1.5, -5], "max": [5, 2.5, 5],
      "entities": [ { "model": "ball", "position": [0, -1, -2] } ] },
    { "name": "east", "min": [5, -1, -2], "max": [9, 2, 2] },
    { "name": "north", "min": [-1, -1.5, -9], "max": [1, 1, -5] }
  ],
  "doors": [ { "rooms": ["hall", "east"], "width": 1.6, "height": 2, "bottom": -0.5 },
             { "rooms": ["north", "hall"], "width": 2, "height": 2.5 } ]
})";

TEST(SharedWalls, TheBackToBackCheckFindsFacingWallsInOnePlane) {
    Tri3 a{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0, 1, 0}, 0};
    Tri3 b{{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {0, 0, -1, 0}, 1};
    EXPECT_EQ(backToBackPairs({a, b}), 1);
    b.room = 0;  // one room's own triangles are its business
    EXPECT_EQ(backToBackPairs({a, b}), 0);
    b.room = 1;
    for (Vec3& p : b.p) p.x += 1;  // touching along an edge only
    EXPECT_EQ(backToBackPairs({a, b}), 0);
}

TEST(SharedWalls, ACorridorLargerThanItsDoorLeavesNoTwoRoomsFaceToFace) {
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compiles(kCorridors, s, error)) << error;
    const World& w = *s.world;
    EXPECT_EQ(backToBackPairs(roomTriangles(w)), 0);
    // The boxes still tile space, and the portals stay on the box faces.
    const Room& east = *w.rooms[1];
    EXPECT_EQ(east.boxMin.x, 5.0f);
    for (int k = 0; k < east.portals[0]->vertexCount; ++k) EXPECT_FLOAT_EQ(east.portals[0]->vertices[k]->x, 5.0f);
    // The corridor's end wall stands inside its box; the opening's sides, sill and lintel run from
    // the box face to it, facing into the opening.
    int wall = 0, sides = 0, sill = 0, lintel = 0, atBoxFace = 0;
    for (const Tri3& t : roomTriangles(w)) {
        if (t.room != 1) continue;
        float x0 = 1e9f, x1 = -1e9f;
        for (const Vec3& p : t.p) x0 = std::fmin(x0, p.x), x1 = std::fmax(x1, p.x);
        if (t.plane.nx > 0.99f) {
            wall += x0 > 5.01f && x0 < 5.5f;
            atBoxFace += x0 < 5.001f;
        } else if (x0 >= 5 - 1e-4f && x1 <= 5.5f) {
            if (std::fabs(t.plane.nz) > 0.99f) ++sides;
            if (t.plane.ny > 0.99f && std::fabs(t.p[0].y + 0.5f) < 1e-4f) ++sill;
            if (t.plane.ny < -0.99f && std::fabs(t.p[0].y - 1.5f) < 1e-4f) ++lintel;
        }
    }
    EXPECT_GT(wall, 0);
    EXPECT_EQ(atBoxFace, 0);
    EXPECT_GE(sides, 4);  // two sides, split where the wall's grid lines meet them
    EXPECT_GE(sill, 2);
    EXPECT_GE(lintel, 2);
    // Only the smaller wall moves: the hall's walls stay on its box.
    int hallNorth = 0;
    for (const Tri3& t : roomTriangles(w))
        if (t.room == 0 && t.plane.nz > 0.99f) {
            ++hallNorth;
            EXPECT_FLOAT_EQ(t.p[0].z, -5.0f);
        }
    EXPECT_GT(hallNorth, 0);
    auto issues = validateWorld(w, static_cast<int>(s.images.size()));
    EXPECT_TRUE(issues.empty()) << formatIssues(issues);
    releaseCompiledScene(s);
}

TEST(SharedWalls, TheShippedExampleHasNoWallsFaceToFace) {
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileSceneFile(std::string(QV_EXAMPLES_DIR) + "/two-rooms/scene.json", s, error)) << error;
    EXPECT_EQ(backToBackPairs(roomTriangles(*s.world)), 0);
    releaseCompiledScene(s);
}

// Rooms a (holding the origin), b east of it and c north of it; a's entity 1 and light 0 are
// replaced per case.
std::string threeRooms(const std::string& light, const std::string& entity) {
    return R"({
  "models": { "cube": { "primitive": "box", "size": [0.5, 0.5, 0.5] } },
  "rooms": [
    { "name": "a", "min": [-2, -1, -2], "max": [2, 2, 2], "lights": [ )" + light + R"( ],
      "entities": [ { "model": "cube", "position": [0, -0.75, 0] }, )" + entity + R"( ] },
    { "name": "b", "min": [2, -1, -2], "max": [6, 2, 2] },
    { "name": "c", "min": [-2, -1, -6], "max": [2, 2, -2] }
  ]
})";
}

const std::string kHighLight = R"({ "position": [0, 1.9, 0] })";

TEST(Places, AnEntityOutsideEveryRoomStopsTheBuildNamingItsPathAndRoom) {
    CompiledScene s;
    std::string error;
    EXPECT_FALSE(compiles(threeRooms(kHighLight, R"({ "model": "cube", "position": [0, -0.75, 9] })"), s, error));
    EXPECT_NE(error.find("rooms[0].entities[1]: stands at (0, -0.75, 9), outside every room"), std::string::npos) << error;
    EXPECT_NE(error.find("room \"a\" (rooms[0])"), std::string::npos) << error;
    EXPECT_NE(error.find("(-2, -1, -2) to (2, 2, 2)"), std::string::npos) << error;
}

TEST(Places, AnEntityStandingInAnotherRoomAndALightOutsideItsBoxAreWarnings) {
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compiles(threeRooms(R"({ "position": [0, 2.5, 0], "shadows": false })",
                                    R"({ "model": "cube", "position": [4, -0.75, 0] })"),
                         s, error))
        << error;
    EXPECT_TRUE(warned(s, "rooms[0].entities[1]: stands at (4, -0.75, 0) in room \"b\" (rooms[1]) but is listed in "
                          "room \"a\" (rooms[0])"))
        << allWarnings(s);
    EXPECT_TRUE(warned(s, "list it in rooms[1].entities")) << allWarnings(s);
    EXPECT_TRUE(warned(s, "rooms[0].lights[0]: the light at (0, 2.5, 0) is outside the box of room \"a\" (rooms[0])"))
        << allWarnings(s);
    // The validator says the same by index.
    auto issues = validateWorld(*s.world, -1);
    std::string text = formatIssues(issues);
    EXPECT_NE(text.find("warning: room 0 entity 1: stands at (4, -0.75, 0) in room 1 (rooms[1])"), std::string::npos) << text;
    EXPECT_NE(text.find("warning: room 0 light 0: the light at (0, 2.5, 0)"), std::string::npos) << text;
    // Moved out of every room, the validator calls it an error.
    s.world->rooms[0]->entities->next->position = {20, 0, 0};
    text = formatIssues(validateWorld(*s.world, -1));
    EXPECT_NE(text.find("error: room 0 entity 1: stands at (20, 0, 0), outside every room"), std::string::npos) << text;
    releaseCompiledScene(s);
}

TEST(Places, TheCameraStartOutsideRoomZeroWarnsInBuildAndFailsValidation) {
    const std::string scene = R"({
      "models": { "cube": { "primitive": "box" } },
      "rooms": [ { "name": "hall", "min": [-3, 0, -3], "max": [3, 3, 3],
                   "entities": [ { "model": "cube", "position": [0, 0.5, -2] } ] } ] })";
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compiles(scene, s, error)) << error;
    EXPECT_TRUE(warned(s, "rooms[0]: the camera starts at the origin (0, 0, 0), which is not strictly inside room "
                          "\"hall\" (rooms[0]), box (-3, 0, -3) to (3, 3, 3)"))
        << allWarnings(s);
    auto issues = validateWorld(*s.world, -1);
    ASSERT_FALSE(issues.empty());
    EXPECT_TRUE(issues[0].error);
    EXPECT_EQ(issues[0].where, "room 0");
    EXPECT_NE(issues[0].what.find("not strictly inside"), std::string::npos);
    s.world->rooms[0]->boxMin.y = -0.01f;  // just below the origin is enough
    EXPECT_TRUE(validateWorld(*s.world, -1).empty()) << formatIssues(validateWorld(*s.world, -1));
    releaseCompiledScene(s);
}

// A low light in a's south-west corner throws the cube's shadow north-east, through both walls.
TEST(Places, AShadowVolumeNamesEveryRoomItReachesWithAPointInsideEach) {
    const std::string dir = freshDir("shadow");
    writeText(dir + "/scene.json", threeRooms(R"({ "position": [-1.5, -0.6, 1.5] })", R"({ "model": "cube", "position": [0, -0.75, 0], "hidden": true })"));
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileSceneFile(dir + "/scene.json", s, error)) << error;
    ASSERT_EQ(s.warnings.size(), 1u) << allWarnings(s);
    const std::string w = s.warnings[0];
    EXPECT_EQ(w.rfind("rooms[0].entities[0]: its shadow volume reaches into room \"b\" (rooms[1]) at (", 0), 0u) << w;
    ASSERT_NE(w.find(", room \"c\" (rooms[2]) at ("), std::string::npos) << w;
    EXPECT_NE(w.find("whenever they are drawn with room \"a\" (rooms[0])"), std::string::npos) << w;
    const struct { const char* label; Vec3 lo, hi; } rooms[2] = {{"(rooms[1]) at (", {2, -1, -2}, {6, 2, 2}},
                                                                 {"(rooms[2]) at (", {-2, -1, -6}, {2, 2, -2}}};
    for (const auto& r : rooms) {
        Vec3 p{};
        ASSERT_EQ(std::sscanf(w.c_str() + w.find(r.label) + std::string(r.label).size(), "%f, %f, %f", &p.x, &p.y, &p.z), 3);
        for (int a = 0; a < 3; ++a) {
            EXPECT_GE(p[a], r.lo[a]) << r.label << w;
            EXPECT_LE(p[a], r.hi[a]) << r.label << w;
        }
    }
    releaseCompiledScene(s);
    // The build verb prints it as validate would.
    std::string a0 = "build", a1 = dir + "/scene.json", a2 = "-o", a3 = dir + "/out";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data()};
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(buildMain(4, argv), 0);
    testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("warning: " + w + "\n"), std::string::npos) << err;
}

}  // namespace
