// Mesh files of every format: the same box read from glTF, GLB, PLY and STL files the tests
// write; texture coordinates the right way up; node transforms and node choice; and bad files
// refused with the file named and the importer quoted.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>

#include <nlohmann/json.hpp>

#include "test_files.h"
#include "tests/worldtools/mesh_scenes.h"
#include "tools/world/mesh_export.h"
#include "tools/world/mesh_import.h"
#include "tools/world/obj_import.h"
#include "tools/world/primitives.h"
#include "tools/world/verbs.h"

namespace {

Mesh testBox() {
    PrimitiveParams p;
    p.size = {2, 1, 3};
    p.uvRepeat[0] = 2;  // u runs 0..2, v 0..1: a flip of v or a swap of u and v shows
    return makeBox(p);
}

GltfNode node(const std::string& name, const Mesh& mesh, int parent = -1) {
    GltfNode n;
    n.name = name;
    n.mesh = mesh;
    n.parent = parent;
    return n;
}

// Column-major scale s then translation t.
void setMatrix(GltfNode& n, float s, const Vec3& t) {
    for (float& f : n.matrix) f = 0;
    n.matrix[0] = n.matrix[5] = n.matrix[10] = s;
    n.matrix[12] = t.x;
    n.matrix[13] = t.y;
    n.matrix[14] = t.z;
    n.matrix[15] = 1;
}

// Writes the box in every format; returns the file names.
std::vector<std::string> writeBoxEverywhere(const std::string& dir) {
    const Mesh box = testBox();
    writeText(dir + "/box.gltf", gltfText({node("box", box)}));
    writeBytes(dir + "/box.glb", glbBytes({node("box", box)}));
    writeText(dir + "/ascii.ply", plyAscii(box));
    writeBytes(dir + "/binary.ply", plyBinary(box));
    writeText(dir + "/ascii.stl", stlAscii(box));
    writeBytes(dir + "/binary.stl", stlBinary(box));
    return {"box.gltf", "box.glb", "ascii.ply", "binary.ply", "ascii.stl", "binary.stl"};
}

TEST(MeshImport, EveryFormatGivesTheSameClosedWeldedBox) {
    const std::string dir = freshDir("formats");
    for (const std::string& file : writeBoxEverywhere(dir)) {
        SCOPED_TRACE(file);
        CompiledScene out;
        std::string error;
        ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": ")" + file + R"("})", R"({"model": "m", "position": [0, 0, 0]})"),
                              out, error))
            << error;
        const Model& m = *out.world->models[0];
        // STL and the writers repeat each corner per triangle: welding by position restores the 8.
        EXPECT_EQ(m.vertexCount, 8u);
        EXPECT_EQ(m.triangleCount, 12);
        EXPECT_EQ(modelOpenEdges(m), 0);
        EXPECT_EQ(warningWith(out, "inside out"), "") << allOf(out.warnings);
        Vec3 lo, hi;
        modelBounds(m, lo, hi);
        EXPECT_EQ(lo, v3(-1, -0.5f, -1.5f));
        EXPECT_EQ(hi, v3(1, 0.5f, 1.5f));
        releaseCompiledScene(out);
    }
}

// glTF puts v = 0 at the image's top, OBJ and PLY at its bottom: whatever the file, the compiler
// gets the coordinates the mesh was written with.
TEST(MeshImport, TextureCoordinatesComeOutTheRightWayUp) {
    const std::string dir = freshDir("uv");
    writeBoxEverywhere(dir);
    const Mesh box = testBox();
    for (const char* file : {"box.gltf", "box.glb", "ascii.ply", "binary.ply"}) {
        SCOPED_TRACE(file);
        Mesh m;
        std::string error;
        ASSERT_TRUE(importMeshFile(dir + "/" + file, "", m, error)) << error;
        ASSERT_EQ(m.triangles.size(), box.triangles.size());
        for (size_t t = 0; t < box.triangles.size(); ++t)
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(m.positions[m.triangles[t].v[k]], box.positions[box.triangles[t].v[k]]);
                EXPECT_FLOAT_EQ(m.triangles[t].uv[k][0], box.triangles[t].uv[k][0]) << t << " " << k;
                EXPECT_FLOAT_EQ(m.triangles[t].uv[k][1], box.triangles[t].uv[k][1]) << t << " " << k;
            }
    }
    // OBJ through "mesh" is the OBJ reader itself.
    writeText(dir + "/tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.75\nf 1/1 2/1 3/1\n");
    Mesh viaMesh, viaObj;
    std::string error;
    ASSERT_TRUE(importMeshFile(dir + "/tri.obj", "", viaMesh, error)) << error;
    ASSERT_TRUE(importObj(dir + "/tri.obj", viaObj, error)) << error;
    ASSERT_EQ(viaMesh.triangles.size(), 1u);
    EXPECT_FLOAT_EQ(viaMesh.triangles[0].uv[2][1], 0.75f);
    EXPECT_EQ(viaMesh.positions, viaObj.positions);
}

TEST(MeshImport, GlbNodeTransformsApplyAndANodeCanBeChosenByName) {
    const std::string dir = freshDir("nodes");
    PrimitiveParams p;
    const Mesh cube = makeBox(p);  // 1 x 1 x 1 around the origin
    std::vector<GltfNode> nodes = {node("base", cube), node("lid", cube, 0), node("mirror", cube)};
    setMatrix(nodes[0], 2, {0, 3, 0});     // base: scaled 2, up 3
    setMatrix(nodes[1], 0.5f, {4, 0, 0});  // lid, below base: 4 along base's x, so 8 in the file
    setMatrix(nodes[2], 1, {-10, 0, 0});
    nodes[2].matrix[0] = -1;  // mirrored in x: faces must still point out
    writeBytes(dir + "/set.glb", glbBytes(nodes));

    Mesh all, lid, mirror;
    std::string error;
    ASSERT_TRUE(importMeshFile(dir + "/set.glb", "", all, error)) << error;
    EXPECT_EQ(all.triangles.size(), 36u);  // three meshes merged
    ASSERT_TRUE(importMeshFile(dir + "/set.glb", "lid", lid, error)) << error;
    ASSERT_EQ(lid.triangles.size(), 12u);
    weldMesh(lid);
    Vec3 lo = lid.positions[0], hi = lo;
    for (const Vec3& v : lid.positions)
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], v[a]), hi[a] = std::max(hi[a], v[a]);
    // The lid's corners: base(lid(v)) = 2 * (0.5 v + (4, 0, 0)) + (0, 3, 0).
    EXPECT_EQ(lo, v3(7.5f, 2.5f, -0.5f));
    EXPECT_EQ(hi, v3(8.5f, 3.5f, 0.5f));
    ASSERT_TRUE(importMeshFile(dir + "/set.glb", "mirror", mirror, error)) << error;
    weldMesh(mirror);
    ASSERT_TRUE(computeAdjacency(mirror, error)) << error;
    EXPECT_GT(signedVolume6(mirror), 0);

    EXPECT_FALSE(importMeshFile(dir + "/set.glb", "handle", lid, error));
    EXPECT_NE(error.find("set.glb\": no node or mesh named \"handle\""), std::string::npos) << error;
    EXPECT_NE(error.find("\"base\", \"lid\", \"mirror\""), std::string::npos) << error;

    // In a scene, "node" picks the lid and the model is the lid alone.
    CompiledScene out;
    ASSERT_TRUE(compileIn(dir, oneModelScene(R"({"mesh": "set.glb", "node": "lid-mesh", "origin": "center"})",
                                             R"({"model": "m", "position": [0, 0, 0]})"),
                          out, error))
        << error;
    EXPECT_EQ(out.world->models[0]->triangleCount, 12);
    modelBounds(*out.world->models[0], lo, hi);
    EXPECT_EQ(lo, v3(-0.5f, -0.5f, -0.5f));
    releaseCompiledScene(out);
}

// Files that are not meshes, cut short, or pointing past their own data fail the build, naming
// the model's key and the file, with the importer's own words.
TEST(MeshImport, BadFilesFailTheBuildNamingTheFileAndTheImportersReason) {
    const std::string dir = freshDir("bad");
    const Mesh box = testBox();
    std::vector<uint8_t> glb = glbBytes({node("box", box)});
    glb.resize(glb.size() / 2);
    writeBytes(dir + "/cut.glb", glb);
    std::vector<uint8_t> stl = stlBinary(box);
    stl.resize(stl.size() - 30);
    writeBytes(dir + "/cut.stl", stl);
    writeText(dir + "/text.glb", "this is not a mesh\n");
    writeText(dir + "/text.ply", "this is not a mesh\n");
    writeText(dir + "/empty.stl", "");
    writeText(dir + "/face.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                                 "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
                                 "0 0 0\n1 0 0\n0 1 0\n3 0 1 99\n");
    // A glTF whose index data names a vertex past the position accessor's end.
    nlohmann::json j = nlohmann::json::parse(gltfText({node("box", box)}));
    j["accessors"][0]["count"] = 3;
    j["accessors"][1]["count"] = 3;
    writeText(dir + "/range.gltf", j.dump());
    writeText(dir + "/model.fbx", "");
    // Counts no file of this size can hold are refused before anything is allocated for them.
    writeText(dir + "/claims.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 99999999\nproperty float x\n"
                                   "property float y\nproperty float z\nend_header\n0000");
    std::vector<uint8_t> big = glbBytes({node("box", box)});
    big[8] = 0xFF;  // the header's total length
    writeBytes(dir + "/length.glb", big);

    const struct {
        const char* file;
        const char* says;
    } cases[] = {{"cut.glb", "cannot read it as glTF: "},   {"cut.stl", "cannot read it as STL: "},
                 {"text.glb", "cannot read it as glTF: "},  {"text.ply", "cannot read it as PLY: "},
                 {"empty.stl", "cannot read it as STL: "},  {"face.ply", ""},
                 {"range.gltf", ""},                        {"model.fbx", "unknown mesh format \".fbx\""},
                 {"missing.stl", "cannot read it as STL: "},
                 {"claims.ply", "elements need at least 1199999988 bytes, but 4 follow it"},
                 {"length.glb", "but the file has"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CompiledScene out;
        std::string error;
        EXPECT_FALSE(compileIn(dir, oneModelScene(std::string(R"({"mesh": ")") + c.file + "\"}", ""), out, error));
        EXPECT_EQ(out.world, nullptr);
        EXPECT_NE(error.find("models.m.mesh: \"" + dir + "/" + c.file + "\": "), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        // The importer's reason follows the colon; it is never empty.
        EXPECT_GT(error.size(), error.find(c.file) + std::strlen(c.file) + 10) << error;
    }
    // The build verb stops with status 1 and writes nothing.
    writeText(dir + "/scene.json", oneModelScene(R"({"mesh": "cut.glb"})", ""));
    std::string a0 = "build", a1 = dir + "/scene.json", a2 = "-o", a3 = dir + "/out";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(buildMain(4, argv), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cut.glb\": cannot read it as glTF"), std::string::npos);
    EXPECT_FALSE(fileExists(dir + "/out/demo.kbw"));
}

// Every mesh file that once broke the import fails cleanly with its name, or imports whole.
TEST(MeshImport, EveryRegressionFileFailsCleanlyOrImports) {
    std::vector<std::string> files;
    if (DIR* d = opendir(QV_MESH_REGRESSION_DIR)) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != ".." && name != "README.md") files.push_back(name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 4u) << "tests/worldtools/regressions/ lost its files";
    for (const std::string& name : files) {
        const std::string path = std::string(QV_MESH_REGRESSION_DIR) + "/" + name;
        Mesh m;
        std::string error;
        if (importMeshFile(path, "", m, error)) {
            for (const MeshTri& t : m.triangles)
                for (uint32_t v : t.v) EXPECT_LT(v, m.positions.size()) << name;
        } else {
            EXPECT_EQ(error.rfind("\"" + path + "\": ", 0), 0u) << error;
        }
    }
}

}  // namespace
