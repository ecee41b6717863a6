// The triangle budget on meshes with large flat regions: collapses there can leave triangles with
// no area behind, which the compiler must clean up itself rather than refuse its own result.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_files.h"
#include "tests/worldtools/mesh_scenes.h"
#include "tools/world/mesh_degenerate.h"
#include "tools/world/mesh_export.h"
#include "tools/world/primitives.h"

namespace {

// Splits every triangle into four at its edge midpoints; the midpoint of a shared edge is one
// vertex, so a closed mesh stays closed.
Mesh subdivided(const Mesh& in) {
    Mesh out;
    PositionIndex index(out.positions);
    const float uv[2] = {0, 0};
    for (const MeshTri& t : in.triangles) {
        uint32_t c[3], m[3];
        for (int k = 0; k < 3; ++k) {
            const Vec3& a = in.positions[t.v[k]];
            const Vec3& b = in.positions[t.v[(k + 1) % 3]];
            c[k] = index.add(a);
            m[k] = index.add({(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2});
        }
        addMeshTriangle(out, c[0], m[0], m[2], uv, uv, uv);
        addMeshTriangle(out, m[0], c[1], m[1], uv, uv, uv);
        addMeshTriangle(out, m[2], m[1], c[2], uv, uv, uv);
        addMeshTriangle(out, m[0], m[1], m[2], uv, uv, uv);
    }
    return out;
}

Mesh subdivided(Mesh mesh, int times) {
    weldMesh(mesh);
    for (int i = 0; i < times; ++i) mesh = subdivided(mesh);
    return mesh;
}

// Each distinct vertex position of a mesh, for checking which vertices moved.
std::vector<Vec3> sortedPositions(const Mesh& m) {
    std::vector<Vec3> out = m.positions;
    std::sort(out.begin(), out.end(), [](const Vec3& a, const Vec3& b) {
        return a.x != b.x ? a.x < b.x : a.y != b.y ? a.y < b.y : a.z < b.z;
    });
    return out;
}

size_t openEdgesOf(Mesh m) {
    std::string error;
    size_t open = 0;
    EXPECT_TRUE(computeAdjacency(m, error, &open)) << error;
    return open;
}

// A closed box whose top face has one triangle split at the middle of an edge it shares, the
// crack closed by a sliver along that edge (what exporters do to mend such a T-junction).
Mesh boxWithSliver() {
    Mesh box = makeBox(PrimitiveParams{});
    weldMesh(box);
    std::string error;
    EXPECT_TRUE(computeAdjacency(box, error)) << error;
    for (size_t i = 0; i < box.triangles.size(); ++i) {
        const MeshTri t = box.triangles[i];
        if (box.positions[t.v[0]].y < 0.5f || box.positions[t.v[1]].y < 0.5f || box.positions[t.v[2]].y < 0.5f)
            continue;
        // Split edge k of this top triangle: a -> b becomes a -> c -> b.
        const int k = 0;
        const uint32_t a = t.v[k], b = t.v[(k + 1) % 3], d = t.v[(k + 2) % 3];
        const Vec3& pa = box.positions[a];
        const Vec3& pb = box.positions[b];
        box.positions.push_back({(pa.x + pb.x) / 2, (pa.y + pb.y) / 2, (pa.z + pb.z) / 2});
        const uint32_t c = uint32_t(box.positions.size() - 1);
        const float uv[2] = {0, 0};
        box.triangles[i].v[0] = a, box.triangles[i].v[1] = c, box.triangles[i].v[2] = d;
        addMeshTriangle(box, c, b, d, uv, uv, uv);
        addMeshTriangle(box, a, b, c, uv, uv, uv);  // the sliver: no area
        return box;
    }
    ADD_FAILURE() << "no top face";
    return box;
}

TEST(DegenerateRepair, ASliverMendingATJunctionIsCollapsedAndTheBoxStaysClosed) {
    Mesh box = boxWithSliver();
    ASSERT_EQ(box.triangles.size(), 14u);
    const double volume = signedVolume6(box);
    const DegenerateRepair r = repairDegenerateTriangles(box);
    EXPECT_EQ(r.found, 1u);
    EXPECT_EQ(r.opened, 0u);
    EXPECT_EQ(r.removed, 2u);  // the sliver and the half it collapsed into
    EXPECT_FLOAT_EQ(r.firstAt.y, 0.5f);  // on the top face
    EXPECT_EQ(box.triangles.size(), 12u);
    EXPECT_EQ(openEdgesOf(box), 0u);
    EXPECT_NEAR(signedVolume6(box), volume, 1e-9);
    // The middle vertex went onto a corner; the box's own corners stay where they were.
    EXPECT_EQ(sortedPositions(box), sortedPositions([] {
                  Mesh m = makeBox(PrimitiveParams{});
                  weldMesh(m);
                  return m;
              }()));
}

TEST(DegenerateRepair, RepeatedCornersAreDroppedAndSoundMeshesAreLeftAlone) {
    Mesh box = makeBox(PrimitiveParams{});
    weldMesh(box);
    const Mesh clean = box;
    DegenerateRepair r = repairDegenerateTriangles(box);
    EXPECT_EQ(r.found, 0u);
    EXPECT_EQ(box.triangles.size(), clean.triangles.size());
    EXPECT_EQ(box.positions, clean.positions);

    const float uv[2] = {0, 0};
    addMeshTriangle(box, 0, 0, 1, uv, uv, uv);
    addMeshTriangle(box, 2, 3, 3, uv, uv, uv);
    r = repairDegenerateTriangles(box);
    EXPECT_EQ(r.found, 2u);
    EXPECT_EQ(r.removed, 2u);
    EXPECT_EQ(openEdgesOf(box), 0u);
}

// Where every corner of a sliver lies on an open border, none may move (the hole keeps its
// outline): the neighbour across its long edge is split at the middle corner instead.
TEST(DegenerateRepair, ASliverOnABorderSplitsItsNeighbourAndMovesNothing) {
    Mesh m;
    m.positions = {{0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {1, 1, 0}};  // a, b, c (middle of a-b), s
    const float uvA[2] = {0, 0}, uvB[2] = {1, 0}, uvS[2] = {0.5f, 1}, uvC[2] = {9, 9};
    addMeshTriangle(m, 1, 0, 3, uvB, uvA, uvS);  // b, a, s: its edge b -> a is the sliver's a -> b
    addMeshTriangle(m, 0, 1, 2, uvA, uvB, uvC);  // the sliver a, b, c
    const DegenerateRepair r = repairDegenerateTriangles(m);
    EXPECT_EQ(r.found, 1u);
    EXPECT_EQ(r.opened, 0u);
    EXPECT_EQ(r.removed, 0u);
    ASSERT_EQ(m.triangles.size(), 2u);
    EXPECT_EQ(sortedPositions(m).size(), 4u);
    EXPECT_EQ(openEdgesOf(m), 4u);
    double area = 0;  // both halves face the way the split triangle did (-z) and cover it
    for (const MeshTri& t : m.triangles) {
        const Vec3 &a = m.positions[t.v[0]], &b = m.positions[t.v[1]], &c = m.positions[t.v[2]];
        area += ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2.0;
    }
    EXPECT_NEAR(area, -1.0, 1e-9);
    for (const MeshTri& t : m.triangles)  // c takes the split triangle's mapping there
        for (int k = 0; k < 3; ++k)
            if (m.positions[t.v[k]] == v3(1, 0, 0)) {
                EXPECT_FLOAT_EQ(t.uv[k][0], 0.5f);
                EXPECT_FLOAT_EQ(t.uv[k][1], 0.0f);
            }
}

// A file's own triangles with no area are removed with a warning that counts them and says where
// the first is; the model still builds closed.
TEST(MeshBudget, AFilesOwnSliversAreRemovedWithAWarningThatPlacesThem) {
    const std::string dir = freshDir("sliver");
    writeBytes(dir + "/box.ply", plyBinary(boxWithSliver()));
    CompiledScene s;
    std::string error;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "box.ply"})", R"({"model": "m", "position": [0, 0, 0]})"), s,
                          error))
        << error;
    const std::string w = warningWith(s, "no area");
    EXPECT_NE(w.find("models.m: model \"m\": 1 triangle of the file has no area (the first at ("), std::string::npos)
        << allOf(s.warnings);
    EXPECT_NE(w.find(", 0.5, ") , std::string::npos) << w;  // on the top face, in the file's units
    EXPECT_EQ(s.world->models[0]->triangleCount, 12);
    EXPECT_EQ(modelOpenEdges(*s.world->models[0]), 0);
    EXPECT_EQ(s.notes, std::vector<std::string>{});  // nothing of the compiler's own making
    releaseCompiledScene(s);
}

// A file of nothing but slivers leaves nothing to build: an error, not an empty model.
TEST(MeshBudget, AFileWithOnlySliversIsAnError) {
    const std::string dir = freshDir("only-slivers");
    writeText(dir + "/line.obj", "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\nf 1 1 2\n");
    CompiledScene s;
    std::string error;
    EXPECT_FALSE(compileIn(dir, oneModelScene(R"({"obj": "line.obj", "height": 1})", ""), s, error));
    EXPECT_NE(error.find("models.m: model \"m\" has no triangle with an area"), std::string::npos) << error;
}

struct FlatCase {
    const char* name;
    Mesh mesh;
    std::vector<int> budgets;
};

// Closed meshes midpoint-subdivided into large flat regions (a box, a wedge, a cylinder's caps)
// or into many small ones (a sphere of a scan's size, each of its faces now 16 coplanar
// triangles), built at several budgets, fitted as a user would fit a scan.
TEST(MeshBudget, SubdividedFlatMeshesBuildClosedUnderEveryBudget) {
    PrimitiveParams box;
    box.size = {2, 1, 0.6f};
    PrimitiveParams cyl;
    cyl.segments = 12;
    PrimitiveParams ball;
    ball.segments = 48;
    ball.rings = 40;
    const FlatCase cases[] = {{"box", subdivided(makeBox(box), 6), {30000, 20000, 10000}},
                              {"sphere", subdivided(makeSphere(ball), 2), {30000, 20000, 10000}},
                              {"wedge", subdivided(makeWedge(box), 5), {5000, 2000}},
                              {"cylinder", subdivided(makeCylinder(cyl), 4), {5000, 1000}}};
    size_t dropped = 0;
    for (const FlatCase& c : cases) {
        const std::string dir = freshDir(std::string("flat-") + c.name);
        writeBytes(dir + "/mesh.ply", plyBinary(c.mesh));
        // Where the fitted mesh lies: 1.4 tall, standing on the origin, centred over it.
        Vec3 lo = c.mesh.positions[0], hi = lo;
        for (const Vec3& p : c.mesh.positions)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
        const float fit = 1.4f / (hi.y - lo.y);
        const Vec3 wantLo{(lo.x - hi.x) / 2 * fit, 0, (lo.z - hi.z) / 2 * fit};
        const Vec3 wantHi{(hi.x - lo.x) / 2 * fit, 1.4f, (hi.z - lo.z) / 2 * fit};
        for (int budget : c.budgets) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(budget) + " of " +
                         std::to_string(c.mesh.triangles.size()));
            CompiledScene s;
            std::string error;
            ASSERT_TRUE(compileIn(dir,
                                  oneModelScene(R"({"mesh": "mesh.ply", "height": 1.4, "origin": "base", "maxTriangles": )" +
                                                    std::to_string(budget) + "}",
                                                R"({"model": "m", "position": [0, -1, 0]})"),
                                  s, error))
                << error;
            ASSERT_EQ(s.world->modelCount, 1);
            const Model& m = *s.world->models[0];
            EXPECT_LE(m.triangleCount, budget);
            EXPECT_GT(m.triangleCount, budget / 2);
            EXPECT_EQ(modelOpenEdges(m), 0);
            Vec3 gotLo, gotHi;
            modelBounds(m, gotLo, gotHi);
            for (int a = 0; a < 3; ++a) {
                const float span = wantHi[a] - wantLo[a];
                EXPECT_NEAR(gotLo[a], wantLo[a], 0.02f * span) << a;
                EXPECT_NEAR(gotHi[a], wantHi[a], 0.02f * span) << a;
            }
            // The build says what the budget did, slivers included.
            ASSERT_EQ(s.notes.size(), 1u) << allOf(s.notes);
            const std::string head = "models.m: model \"m\" simplified from " +
                                     std::to_string(c.mesh.triangles.size()) + " to " +
                                     std::to_string(m.triangleCount) + " triangles; ";
            EXPECT_EQ(s.notes[0].rfind(head, 0), 0u) << s.notes[0];
            dropped += std::stoul(s.notes[0].substr(head.size()));
            EXPECT_EQ(warningWith(s, "no area"), "");  // the file has none of its own
            releaseCompiledScene(s);
        }
    }
    EXPECT_GT(dropped, 0u);  // these meshes do leave slivers behind: the repair was exercised
}

}  // namespace
