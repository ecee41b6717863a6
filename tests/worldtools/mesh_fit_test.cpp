// Fitting models to a size and an origin, the placement warnings, holes (reported where they are,
// and capped on request), and the triangle budget, on mesh files the tests write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "test_files.h"
#include "tests/worldtools/mesh_scenes.h"
#include "tools/world/mesh_export.h"
#include "tools/world/mesh_holes.h"
#include "tools/world/primitives.h"
#include "tools/world/verbs.h"
#include "tools/world/world_validate.h"

namespace {

// A jar 30 units tall standing on y = 10, its rim (24 edges) open at the top.
Mesh openJar() { return latheMesh({{6, 10}, {9, 20}, {5, 40}}, 24, true, false); }

Vec3 worldBounds(const CompiledScene& s, const Vec3& at, bool high) {
    Vec3 lo, hi;
    modelBounds(*s.world->models[0], lo, hi);
    const Vec3 b = high ? hi : lo;
    return {b.x + at.x, b.y + at.y, b.z + at.z};
}

TEST(MeshFit, HeightAndBaseOriginStandTheModelOnTheFloorAtThatHeight) {
    const std::string dir = freshDir("height");
    writeBytes(dir + "/jar.stl", stlBinary(openJar()));
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "jar.stl", "height": 1.5, "origin": "base", "closeHoles": true})",
                                             R"({"model": "m", "position": [2, -1, 0]})"),
                          s, error))
        << error;
    const Vec3 lo = worldBounds(s, {2, -1, 0}, false), hi = worldBounds(s, {2, -1, 0}, true);
    EXPECT_FLOAT_EQ(lo.y, -1.0f);  // on the floor
    EXPECT_NEAR(hi.y - lo.y, 1.5f, 1e-5f);
    EXPECT_NEAR((lo.x + hi.x) / 2, 2.0f, 1e-5f);  // centred on the entity
    EXPECT_NEAR((lo.z + hi.z) / 2, 0.0f, 1e-5f);
    EXPECT_NEAR(hi.x - lo.x, 0.9f, 1e-4f);  // uniform: 18 wide at 30 tall
    EXPECT_EQ(s.warnings, std::vector<std::string>{}) << allOf(s.warnings);
    releaseCompiledScene(s);
}

// The "obj" key takes the same keys: an OBJ triangle fan 4 tall, fitted to 2 and stood on its base.
TEST(MeshFit, ObjModelsFitToo) {
    const std::string dir = freshDir("obj");
    writeText(dir + "/tent.obj", "v -1 10 -1\nv 1 10 -1\nv 0 14 1\nv 0 10 1\nf 1 2 3\nf 2 4 3\nf 4 1 3\nf 1 4 2\n");
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"obj": "tent.obj", "height": 2, "origin": "base"})",
                                             R"({"model": "m", "position": [0, -1, 0]})"),
                          s, error))
        << error;
    const Vec3 lo = worldBounds(s, {0, -1, 0}, false), hi = worldBounds(s, {0, -1, 0}, true);
    EXPECT_FLOAT_EQ(lo.y, -1.0f);
    EXPECT_FLOAT_EQ(hi.y, 1.0f);
    EXPECT_EQ(modelOpenEdges(*s.world->models[0]), 0);
    releaseCompiledScene(s);
}

TEST(MeshFit, SizeFitsWithinTheBoxAndCenterCentresIt) {
    const std::string dir = freshDir("size");
    writeText(dir + "/jar.gltf", gltfText({GltfNode{"jar", openJar(), {}, -1}}));
    CompiledScene s;
    std::string error;
    // 18 x 30 x 18 into 1 x 3 x 2: x limits the scale to 1/18.
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "jar.gltf", "size": [1, 3, 2], "origin": "center", "closeHoles": true})",
                                             R"({"model": "m", "position": [0, 0, 0]})"),
                          s, error))
        << error;
    const Vec3 lo = worldBounds(s, {0, 0, 0}, false), hi = worldBounds(s, {0, 0, 0}, true);
    EXPECT_NEAR(hi.x - lo.x, 1.0f, 1e-5f);
    EXPECT_NEAR(hi.y - lo.y, 30.0f / 18.0f, 1e-5f);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(lo[a] + hi[a], 0.0f, 1e-5f) << a;
    releaseCompiledScene(s);

    for (const char* bad : {R"("height": 1, "size": [1, 1, 1])", R"("origin": "top")", R"("size": [1, 0, 1])"}) {
        EXPECT_FALSE(compileIn(dir, oneModelScene(std::string(R"({"mesh": "jar.gltf", )") + bad + "}", ""), s, error));
        EXPECT_EQ(error.find("models.m"), error.find("scene.json: ") + 12) << error;
    }
}

// An unscaled model swallowing the room's light, and one sticking through the wall: both are
// warnings with the JSON path and the room's name.
TEST(MeshFit, OversizedModelsWarnOfTheRoomBoxAndTheLightInside) {
    const std::string dir = freshDir("warn");
    writeBytes(dir + "/jar.stl", stlBinary(openJar()));
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "jar.stl", "origin": "base", "closeHoles": true})",
                                             R"({"model": "m", "position": [0, -1, 0]})"),
                          s, error))
        << error;
    const std::string box = warningWith(s, "sticks out");
    EXPECT_EQ(box.rfind("rooms[0].entities[0]: model \"m\" spans (-9, -1, -9) to (9, 29, 9), which sticks out of the box "
                        "of room \"hall\" (rooms[0]), (-5, -1, -5) to (5, 3, 5)",
                        0),
              0u)
        << allOf(s.warnings);
    const std::string light = warningWith(s, "inside the bounds");
    EXPECT_EQ(light.rfind("rooms[0].lights[0]: the shadow light of room \"hall\" (rooms[0]) at (0, 2.8, 0) is inside the "
                          "bounds of rooms[0].entities[0]",
                          0),
              0u)
        << allOf(s.warnings);
    releaseCompiledScene(s);
    // Fitted, neither is said.
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "jar.stl", "height": 1, "origin": "base", "closeHoles": true})",
                                             R"({"model": "m", "position": [0, -1, 0]})"),
                          s, error))
        << error;
    EXPECT_EQ(s.warnings, std::vector<std::string>{}) << allOf(s.warnings);
    releaseCompiledScene(s);
}

TEST(MeshHoles, TheWarningCountsHolesAndPlacesEachInTheFileAndTheWorld) {
    const std::string dir = freshDir("holes");
    // Open at both ends: rims at y = 0 (radius 2) and y = 4 (radius 1), in file units.
    writeText(dir + "/tube.ply", plyAscii(latheMesh({{2, 0}, {1, 4}}, 8, false, false)));
    CompiledScene s;
    std::string error;
    // Unused, the model says nothing about its holes.
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "tube.ply", "scale": 0.5})", ""), s, error)) << error;
    EXPECT_EQ(warningWith(s, "open edges"), "") << allOf(s.warnings);
    releaseCompiledScene(s);

    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "tube.ply", "scale": 0.5})",
                                             R"({"model": "m", "position": [1, 0, 0]}, {"model": "m", "position": [-1, 0, 0]})"),
                          s, error))
        << error;
    const std::string w = warningWith(s, "open edges");
    EXPECT_EQ(w.rfind("models.m: model \"m\" has 16 open edges in 2 holes, so shadows from it may leak", 0), 0u) << w;
    // Each hole: a rim point in the file (y 0 or 4) and in the world (halved, moved by +1 in x).
    for (const char* hole : {"hole 1 (8 edges) at (", "hole 2 (8 edges) at ("}) {
        const size_t at = w.find(hole);
        ASSERT_NE(at, std::string::npos) << w;
        Vec3 f{}, p{};
        ASSERT_EQ(std::sscanf(w.c_str() + at + std::strlen(hole), "%f, %f, %f) in the file, (%f, %f, %f) in the world",
                              &f.x, &f.y, &f.z, &p.x, &p.y, &p.z),
                  6)
            << w;
        EXPECT_TRUE(f.y == 0 || f.y == 4) << w;
        EXPECT_NEAR(std::hypot(f.x, f.z), f.y == 0 ? 2.0 : 1.0, 1e-4) << w;
        EXPECT_NEAR(p.x, f.x * 0.5f + 1, 1e-5f);
        EXPECT_NEAR(p.y, f.y * 0.5f, 1e-5f);
    }
    EXPECT_NE(w.find("(world points for rooms[0].entities[0] and 1 more)"), std::string::npos) << w;
    EXPECT_NE(w.find("\"closeHoles\": true caps them"), std::string::npos) << w;
    releaseCompiledScene(s);
}

// Capped, the tube is closed: validate finds no open edge, the caps face out (the volume is
// positive and every cap triangle's normal points away from the tube), and info agrees.
TEST(MeshHoles, CloseHolesCapsEveryLoopFacingOutSoValidateFindsNoOpenEdge) {
    const std::string dir = freshDir("close");
    writeText(dir + "/tube.ply", plyAscii(latheMesh({{2, 0}, {1, 4}}, 8, false, false)));
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "tube.ply", "closeHoles": true})",
                                             R"({"model": "m", "position": [0, -1, 0]})"),
                          s, error))
        << error;
    const Model& m = *s.world->models[0];
    EXPECT_EQ(modelOpenEdges(m), 0);
    EXPECT_EQ(m.triangleCount, 16 + 2 * 6);  // each 8-sided cap takes 6 triangles
    for (const ValidationIssue& i : validateWorld(*s.world, -1))
        EXPECT_EQ(i.what.find("open edges"), std::string::npos) << i.where << ": " << i.what;
    for (int t = 16; t < m.triangleCount; ++t) {
        const Triangle& tri = *m.triangles[t];
        const float y = m.vertices[tri.v[0]]->y;
        EXPECT_EQ(m.vertices[tri.v[1]]->y, y);
        EXPECT_NEAR(tri.plane.ny, y == 0 ? -1.0f : 1.0f, 1e-5f) << "cap triangle " << t;
    }
    EXPECT_NE(describeWorld(*s.world).find("model 0: 16 vertices, 28 triangles, 0 open edges"), std::string::npos)
        << describeWorld(*s.world);
    EXPECT_NE(describeWorldJson(*s.world).find("\"openEdges\": 0"), std::string::npos);
    releaseCompiledScene(s);
}

// A hole whose outline has a notch: a fan from the wrong corner would fold over the notch and
// change the enclosed volume; the ear-clipped cap closes exactly the prism.
TEST(MeshHoles, ACapOverANonConvexHoleDoesNotFold) {
    Mesh m;
    // An L-shaped prism 1 tall (a 2 x 2 square with one 1 x 1 corner notched out), open below.
    const float xz[6][2] = {{0, 0}, {0, 2}, {2, 2}, {2, 1}, {1, 1}, {1, 0}};
    for (int y = 1; y >= 0; --y)
        for (const auto& p : xz) m.positions.push_back({p[0], float(y), p[1]});
    const float uv[2] = {0, 0};
    const uint32_t top[][3] = {{4, 0, 1}, {4, 1, 2}, {4, 2, 3}, {4, 5, 0}};
    for (const auto& f : top) addMeshTriangle(m, f[0], f[1], f[2], uv, uv, uv);
    for (uint32_t a = 0; a < 6; ++a) {
        const uint32_t b = (a + 1) % 6;
        addMeshTriangle(m, b, a, a + 6, uv, uv, uv);
        addMeshTriangle(m, b, a + 6, b + 6, uv, uv, uv);
    }
    std::string error;
    ASSERT_TRUE(computeAdjacency(m, error)) << error;
    ASSERT_EQ(boundaryLoops(m).size(), 1u);
    EXPECT_EQ(boundaryLoops(m)[0].size(), 6u);
    EXPECT_EQ(closeHoles(m), 1u);
    ASSERT_TRUE(computeAdjacency(m, error)) << error;
    EXPECT_TRUE(boundaryLoops(m).empty());
    EXPECT_EQ(m.triangles.size(), 16u + 4u);
    EXPECT_NEAR(signedVolume6(m), 6 * 3.0, 1e-9);  // the L's area times its height
    for (size_t t = 16; t < m.triangles.size(); ++t)
        for (uint32_t v : m.triangles[t].v) EXPECT_EQ(m.positions[v].y, 0.0f) << "cap triangle " << t;
}

TEST(MeshHoles, EdgesSharedByThreeTrianglesAreCountedAndPlaced) {
    const std::string dir = freshDir("fin");
    Mesh fins;
    fins.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const float uv[2] = {0, 0};
    addMeshTriangle(fins, 0, 1, 2, uv, uv, uv);
    addMeshTriangle(fins, 1, 0, 3, uv, uv, uv);
    addMeshTriangle(fins, 1, 0, 4, uv, uv, uv);
    addMeshTriangle(fins, 1, 0, 5, uv, uv, uv);
    writeBytes(dir + "/fins.stl", stlBinary(fins));
    CompiledScene s;
    std::string error;
    EXPECT_FALSE(compileIn(dir, oneModelScene(R"({"mesh": "fins.stl"})", ""), s, error));
    EXPECT_NE(error.find("non-manifold"), std::string::npos) << error;
    EXPECT_NE(error.find("1 edge is shared by three or more triangles, at (0, 0, 0)-(1, 0, 0)"), std::string::npos)
        << error;
}

// A 101,000-triangle ball fails without a budget, naming its count and the remedy; with one it
// compiles under it, still closed and the same size.
TEST(MeshBudget, MaxTrianglesBringsAHundredThousandTriangleModelUnderTheLimit) {
    const std::string dir = freshDir("budget");
    std::vector<std::pair<float, float>> profile;
    for (int i = 0; i <= 100; ++i) {
        const double a = 3.14159265358979 * i / 100;
        profile.push_back({float(std::sin(a)), float(-std::cos(a))});
    }
    profile.front().first = profile.back().first = 0.01f;  // small caps instead of poles
    const Mesh ball = latheMesh(profile, 500, true, true);
    ASSERT_EQ(ball.triangles.size(), 101000u);
    writeBytes(dir + "/ball.stl", stlBinary(ball));
    CompiledScene s;
    std::string error;
    EXPECT_FALSE(compileIn(dir, oneModelScene(R"({"mesh": "ball.stl"})", ""), s, error));
    EXPECT_NE(error.find("model \"m\" has 101000 triangles; a model holds at most 32767: add \"maxTriangles\""),
              std::string::npos)
        << error;

    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "ball.stl", "maxTriangles": 5000})",
                                             R"({"model": "m", "position": [0, 0.5, 0]})"),
                          s, error))
        << error;
    ASSERT_EQ(s.world->modelCount, 1);
    const Model& m = *s.world->models[0];
    EXPECT_LE(m.triangleCount, 5000);
    EXPECT_GT(m.triangleCount, 4000);
    EXPECT_EQ(modelOpenEdges(m), 0);
    Vec3 lo, hi;
    modelBounds(m, lo, hi);
    for (int a = 0; a < 3; ++a) {  // the silhouette stays: within 2% of the unit ball
        EXPECT_NEAR(lo[a], -1.0f, 0.02f) << a;
        EXPECT_NEAR(hi[a], 1.0f, 0.02f) << a;
    }
    releaseCompiledScene(s);
}

// Simplifying an open mesh keeps its border where it was.
TEST(MeshBudget, AnOpenBorderKeepsItsEdgesThroughSimplification) {
    const std::string dir = freshDir("border");
    std::vector<std::pair<float, float>> profile;
    for (int i = 0; i <= 40; ++i) profile.push_back({1.0f + 0.2f * std::sin(i * 0.3f), i * 0.05f});
    writeBytes(dir + "/tube.stl", stlBinary(latheMesh(profile, 64, false, false)));
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "tube.stl", "maxTriangles": 1500})",
                                             R"({"model": "m", "position": [0, 0, 0]})"),
                          s, error))
        << error;
    EXPECT_LE(s.world->models[0]->triangleCount, 1500);
    EXPECT_EQ(modelOpenEdges(*s.world->models[0]), 128);  // both rims, 64 edges each, untouched
    releaseCompiledScene(s);
}

// The guide's example, from the meshes the tool writes: builds, validates, and every model is
// closed and fitted as the guide says.
TEST(MeshGuide, TheWorkedExampleBuildsFromTheGeneratedMeshes) {
    const std::string dir = freshDir("guide");
    std::string error;
    ASSERT_TRUE(writeExampleMeshes(dir, error)) << error;
    std::system(("cp '" + std::string(QV_EXAMPLES_DIR) + "/meshes/scene.json' '" + dir + "/'").c_str());
    CompiledScene s;
    ASSERT_TRUE(compileSceneFile(dir + "/scene.json", s, error)) << error;
    EXPECT_EQ(s.warnings, std::vector<std::string>{}) << allOf(s.warnings);
    EXPECT_TRUE(validateWorld(*s.world, static_cast<int>(s.images.size())).empty());
    for (int i = 0; i < s.world->modelCount; ++i) EXPECT_EQ(modelOpenEdges(*s.world->models[i]), 0) << i;
    Vec3 lo, hi;
    modelBounds(*s.world->models[0], lo, hi);  // the vase: 1.2 tall, standing on its origin
    EXPECT_NEAR(hi.y - lo.y, 1.2f, 1e-5f);
    EXPECT_EQ(lo.y, 0.0f);
    // The pedestal, 520 x 400 x 520 in its file, within 1.2 x 0.8 x 1.2: its height decides.
    modelBounds(*s.world->models[1], lo, hi);
    EXPECT_NEAR(hi.y - lo.y, 0.8f, 1e-5f);
    EXPECT_NEAR(hi.x - lo.x, 1.04f, 1e-5f);
    EXPECT_EQ(lo.y, 0.0f);
    releaseCompiledScene(s);
}

}  // namespace
