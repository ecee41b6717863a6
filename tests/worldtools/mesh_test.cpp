// Primitives, welding and adjacency, OBJ import: meshes come out closed, outward and with each
// neighbour found once and symmetrically; broken meshes are refused with the triangle named.
#include <gtest/gtest.h>

#include "test_files.h"
#include "tools/world/mesh.h"
#include "tools/world/obj_import.h"
#include "tools/world/primitives.h"
#include "tools/world/scene_compile.h"
#include "tools/world/world_validate.h"

namespace {

// Every edge has a neighbour holding the same edge reversed, which names this triangle back.
void expectClosedAndSymmetric(const Mesh& m) {
    for (size_t i = 0; i < m.triangles.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            const MeshTri& t = m.triangles[i];
            const int32_t n = t.adj[k];
            ASSERT_GE(n, 0) << "triangle " << i << " edge " << k << " is open";
            ASSERT_NE(size_t(n), i);
            const MeshTri& o = m.triangles[n];
            int back = -1;
            for (int j = 0; j < 3; ++j)
                if (o.v[j] == t.v[(k + 1) % 3] && o.v[(j + 1) % 3] == t.v[k]) back = j;
            ASSERT_GE(back, 0) << "neighbour " << n << " of " << i << " lacks the reversed edge";
            ASSERT_EQ(o.adj[back], int32_t(i));
        }
}

TEST(Mesh, EveryPrimitiveIsClosedSymmetricAndOutward) {
    PrimitiveParams p;
    p.size = {2, 1, 3};
    const struct {
        const char* name;
        Mesh mesh;
        double volume;
    } cases[] = {
        {"box", makeBox(p), 6.0},
        {"wedge", makeWedge(p), 3.0},
        {"cylinder", makeCylinder(p), 3.14159 * 0.25 * 1.0},
        {"sphere", makeSphere(p), 4.0 / 3 * 3.14159 * 0.125},
        {"torus", makeTorus(p), 2 * 3.14159 * 3.14159 * 0.5 * 0.04},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m = c.mesh;
        weldMesh(m);
        std::string error;
        size_t open = 99;
        ASSERT_TRUE(computeAdjacency(m, error, &open)) << error;
        EXPECT_EQ(open, 0u);
        expectClosedAndSymmetric(m);
        // Positive volume: faces wind counter-clockwise seen from outside. Tessellated round
        // solids hold a little less than the true volume.
        const double v = signedVolume6(m) / 6;
        EXPECT_GT(v, c.volume * 0.9);
        EXPECT_LT(v, c.volume * 1.0001);
    }
}

TEST(Mesh, MirroringTransformKeepsFacesOutward) {
    Mesh m = makeBox(PrimitiveParams{});
    MeshTransform tf;
    tf.scale = {-2, 1, 1};
    tf.rotate = {0, 90, 0};
    transformMesh(m, tf);
    EXPECT_NEAR(signedVolume6(m) / 6, 2.0, 1e-4);
}

// A cube as modelling tools export it: 24 positions, four per face, so every edge is a seam.
const char* kSeamCube = R"(o cube
v -1 -1 1
v 1 -1 1
v 1 1 1
v -1 1 1
v 1 -1 -1
v -1 -1 -1
v -1 1 -1
v 1 1 -1
v 1 -1 1
v 1 -1 -1
v 1 1 -1
v 1 1 1
v -1 -1 -1
v -1 -1 1
v -1 1 1
v -1 1 -1
v -1 1 1
v 1 1 1
v 1 1 -1
v -1 1 -1
v -1 -1 -1
v 1 -1 -1
v 1 -1 1
v -1 -1 1
vt 0 0
vt 1 0
vt 1 1
vt 0 1
f 1/1 2/2 3/3 4/4
f 5/1 6/2 7/3 8/4
f 9/1 10/2 11/3 12/4
f 13/1 14/2 15/3 16/4
f 17/1 18/2 19/3 20/4
f 21/1 22/2 23/3 24/4
)";

TEST(Mesh, ObjWithSeamsGetsClosedAdjacencyAfterWelding) {
    const std::string dir = freshDir("obj");
    writeText(dir + "/cube.obj", kSeamCube);
    Mesh m;
    std::string error;
    ASSERT_TRUE(importObj(dir + "/cube.obj", m, error)) << error;
    EXPECT_EQ(m.positions.size(), 24u);
    EXPECT_EQ(m.triangles.size(), 12u);
    EXPECT_FLOAT_EQ(m.triangles[0].uv[2][0], 1.0f);  // corner 3 of face 1 is vt 3 = (1, 1)
    weldMesh(m);
    EXPECT_EQ(m.positions.size(), 8u);
    ASSERT_TRUE(computeAdjacency(m, error)) << error;
    expectClosedAndSymmetric(m);
    EXPECT_NEAR(signedVolume6(m) / 6, 8.0, 1e-5);
}

TEST(Mesh, BadObjIndicesAreRefusedNamingTheFace) {
    const std::string dir = freshDir("obj");
    writeText(dir + "/v.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 4\n");
    writeText(dir + "/t.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/2 3/1\n");
    Mesh m;
    std::string error;
    EXPECT_FALSE(importObj(dir + "/v.obj", m, error));
    EXPECT_NE(error.find("face 2"), std::string::npos) << error;
    EXPECT_NE(error.find("vertex 4"), std::string::npos) << error;
    EXPECT_FALSE(importObj(dir + "/t.obj", m, error));
    EXPECT_NE(error.find("texture coordinate 2"), std::string::npos) << error;
    EXPECT_FALSE(importObj(dir + "/missing.obj", m, error));
}

TEST(Mesh, ObjErrorsGiveTheFileAndLine) {
    const std::string dir = freshDir("obj");
    // Comments, blank lines and texture coordinates between the faces: face 2 is on line 8.
    writeText(dir + "/far.obj", "# made by hand\nv 0 0 0\nv 1 0 0\n  v 0 1 0\n\nvt 0 0\nf 1 2 3\n\tf 1 2 7\n");
    writeText(dir + "/zero.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n# first face\nf 1 2 3\nf 1/1 0/1 3/1\n");
    writeText(dir + "/nan.obj", "v 0 0 0\n# odd\nv 1 1e39 0\nv 0 1 0\nf 1 2 3\n");
    Mesh m;
    std::string error;
    EXPECT_FALSE(importObj(dir + "/far.obj", m, error));
    EXPECT_NE(error.find("far.obj\" line 8: face 2"), std::string::npos) << error;
    EXPECT_NE(error.find("uses vertex 7 but the file has 3"), std::string::npos) << error;
    // Index 0 does not exist in OBJ; the message says so in the tool's words, with the place.
    EXPECT_FALSE(importObj(dir + "/zero.obj", m, error));
    EXPECT_NE(error.find("zero.obj\" line 6: face 2 corner 2 has index 0"), std::string::npos) << error;
    EXPECT_NE(error.find("count from 1"), std::string::npos) << error;
    EXPECT_EQ(error.find("Failed"), std::string::npos) << error;
    EXPECT_FALSE(importObj(dir + "/nan.obj", m, error));
    EXPECT_NE(error.find("nan.obj\" line 3: vertex 2 is not a finite number"), std::string::npos) << error;
}

TEST(Mesh, BrokenTopologyIsAnErrorNamingTheTriangle) {
    const float uv[2] = {0, 0};
    Mesh fin;  // three triangles on one edge
    fin.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}};
    addMeshTriangle(fin, 0, 1, 2, uv, uv, uv);
    addMeshTriangle(fin, 1, 0, 3, uv, uv, uv);
    addMeshTriangle(fin, 1, 0, 4, uv, uv, uv);
    std::string error;
    EXPECT_FALSE(computeAdjacency(fin, error));
    EXPECT_NE(error.find("triangle 2"), std::string::npos) << error;
    EXPECT_NE(error.find("non-manifold"), std::string::npos) << error;

    Mesh flat;
    flat.positions = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}};
    addMeshTriangle(flat, 0, 1, 3, uv, uv, uv);
    addMeshTriangle(flat, 0, 1, 2, uv, uv, uv);
    EXPECT_FALSE(computeAdjacency(flat, error));
    EXPECT_NE(error.find("triangle 1 is degenerate"), std::string::npos) << error;

    Mesh flipped;  // the second triangle runs the shared edge the same way
    flipped.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    addMeshTriangle(flipped, 0, 1, 2, uv, uv, uv);
    addMeshTriangle(flipped, 0, 1, 3, uv, uv, uv);
    EXPECT_FALSE(computeAdjacency(flipped, error));
    EXPECT_NE(error.find("inconsistent winding"), std::string::npos) << error;
}

TEST(Mesh, SceneErrorNamesModelAndTriangleOfANonManifoldObj) {
    const std::string dir = freshDir("scene");
    writeText(dir + "/fin.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 -1 0\nv 0 0 1\nf 1 2 3\nf 2 1 4\nf 2 1 5\n");
    writeText(dir + "/scene.json", R"({"models": {"fin": {"obj": "fin.obj"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})");
    CompiledScene out;
    std::string error;
    EXPECT_FALSE(compileSceneFile(dir + "/scene.json", out, error));
    EXPECT_NE(error.find("models.fin: model \"fin\": triangle 2"), std::string::npos) << error;
    EXPECT_EQ(out.world, nullptr);
}

TEST(Mesh, ModelsOverOneRecordAreSplitIntoPartsWithEntitiesForEach) {
    // 256 x 130 sphere: 66,048 triangles, three parts.
    const char* scene = R"({"models": {"big": {"primitive": "sphere", "segments": 256, "rings": 130}},
      "rooms": [{"min": [-2,-2,-2], "max": [2,2,2], "entities": [{"model": "big", "position": [0,0,0]}]}]})";
    CompiledScene out;
    std::string error;
    ASSERT_TRUE(compileSceneText(scene, "", out, error)) << error;
    ASSERT_EQ(out.world->modelCount, 3);
    int triangles = 0, entities = 0;
    for (int m = 0; m < 3; ++m) triangles += out.world->models[m]->triangleCount;
    for (const Entity* e = out.world->rooms[0]->entities; e; e = e->next) EXPECT_EQ(e->model, entities++);
    EXPECT_EQ(triangles, 256 * 2 + 256 * 128 * 2);
    EXPECT_EQ(entities, 3);
    // Cut edges are open, everything else stays symmetric; no errors, only open-edge warnings.
    for (const ValidationIssue& i : validateWorld(*out.world, static_cast<int>(out.images.size())))
        EXPECT_FALSE(i.error) << i.where << ": " << i.what;
    releaseCompiledScene(out);
}

}  // namespace
