// Mesh import in a child process: the mesh comes back whole, the importer's own errors come back
// word for word, and an importer that crashes, hangs, runs out of memory or exits fails only the
// one model, with the signal, while the compiler and its output folder stay untouched.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <new>
#include <vector>

#include <unistd.h>

#include "test_files.h"
#include "tests/worldtools/mesh_scenes.h"
#include "tools/world/mesh_export.h"
#include "tools/world/mesh_import.h"
#include "tools/world/mesh_isolate.h"
#include "tools/world/primitives.h"
#include "tools/world/verbs.h"

namespace {

class MeshIsolation : public ::testing::Test {
protected:
    void TearDown() override { resetMeshIsolation(); }
};

Mesh boxMesh() {
    PrimitiveParams p;
    p.size = {2, 1, 3};
    p.uvRepeat[0] = 2;
    return makeBox(p);
}

// Written by the crashing stand-in just before it dies: the child's memory is its own.
int childMark = 0;

void crash() {
    childMark = 1;
    std::signal(SIGSEGV, SIG_DFL);  // past a sanitizer's handler, as a real fault would end the child
    std::raise(SIGSEGV);
}
void hang() {
    for (;;) ::pause();
}
[[maybe_unused]] void exhaustMemory() {
    std::vector<std::vector<char>> hog;
    for (;;) hog.emplace_back(size_t(64) << 20, 'x');
}
void exitFive() { ::_exit(5); }

TEST_F(MeshIsolation, TheMeshAndTheImportersErrorsComeBackAsTheyWould) {
    const std::string dir = freshDir("same");
    const Mesh box = boxMesh();
    GltfNode node;
    node.name = "box";
    node.mesh = box;
    writeText(dir + "/box.gltf", gltfText({node}));
    writeBytes(dir + "/box.stl", stlBinary(box));
    writeText(dir + "/box.ply", plyAscii(box));
    writeText(dir + "/bad.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nend_header\n1 2 x\n");
    for (const char* file : {"box.gltf", "box.stl", "box.ply", "bad.ply", "missing.stl"}) {
        SCOPED_TRACE(file);
        Mesh here, there;
        std::string hereError, thereError;
        const bool hereOk = importMeshFile(dir + "/" + file, "", here, hereError);
        EXPECT_EQ(importMeshIsolated(dir + "/" + file, "", there, thereError), hereOk);
        EXPECT_EQ(thereError, hereError);
        EXPECT_EQ(there.positions, here.positions);
        ASSERT_EQ(there.triangles.size(), here.triangles.size());
        for (size_t t = 0; t < here.triangles.size(); ++t)
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(there.triangles[t].v[k], here.triangles[t].v[k]);
                EXPECT_EQ(there.triangles[t].uv[k][0], here.triangles[t].uv[k][0]);
                EXPECT_EQ(there.triangles[t].uv[k][1], here.triangles[t].uv[k][1]);
                EXPECT_EQ(there.triangles[t].adj[k], -1);
            }
    }
}

TEST_F(MeshIsolation, AnImporterThatDiesFailsTheModelWithTheSignal) {
    const std::string dir = freshDir("dies");
    writeBytes(dir + "/box.stl", stlBinary(boxMesh()));
    const std::string path = dir + "/box.stl";
    Mesh m;
    std::string error;

    setMeshImportChildHook(crash);
    EXPECT_FALSE(importMeshIsolated(path, "", m, error));
    EXPECT_EQ(error, "cannot read \"" + path + "\": the importer failed (signal 11)");
    EXPECT_EQ(childMark, 0);
    EXPECT_TRUE(m.triangles.empty());

    setMeshImportChildHook(hang);
    setMeshImportLimits(300, 0);
    EXPECT_FALSE(importMeshIsolated(path, "", m, error));
    EXPECT_EQ(error, "cannot read \"" + path + "\": the importer failed (signal 9)");

    setMeshImportChildHook(exitFive);
    EXPECT_FALSE(importMeshIsolated(path, "", m, error));
    EXPECT_EQ(error, "cannot read \"" + path + "\": the importer failed (exit status 5)");

    // The compiler goes on with the next import as before.
    resetMeshIsolation();
    EXPECT_TRUE(importMeshIsolated(path, "", m, error)) << error;
    EXPECT_EQ(m.triangles.size(), 12u);
}

#if defined(__SANITIZE_ADDRESS__)
#define QV_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_TEST_ASAN 1
#endif
#endif

TEST_F(MeshIsolation, AnImporterOutOfMemoryFailsTheModelWithTheSignal) {
#ifdef QV_TEST_ASAN
    GTEST_SKIP() << "the address-space limit is not applied under AddressSanitizer";
#else
    const std::string dir = freshDir("memory");
    writeBytes(dir + "/box.stl", stlBinary(boxMesh()));
    setMeshImportChildHook(exhaustMemory);
    setMeshImportLimits(60000, uint64_t(512) << 20);
    Mesh m;
    std::string error;
    EXPECT_FALSE(importMeshIsolated(dir + "/box.stl", "", m, error));
    // std::bad_alloc ends the child through std::terminate.
    EXPECT_EQ(error, "cannot read \"" + dir + "/box.stl\": the importer failed (signal 6)");
#endif
}

// The build verb with an importer that crashes: status 1, the message, and no output written.
TEST_F(MeshIsolation, BuildStopsWithStatusOneAndWritesNothing) {
    const std::string dir = freshDir("build");
    writeBytes(dir + "/box.stl", stlBinary(boxMesh()));
    writeText(dir + "/scene.json", oneModelScene(R"({"mesh": "box.stl"})", R"({"model": "m", "position": [0, 0, 0]})"));
    std::string a0 = "build", a1 = dir + "/scene.json", a2 = "-o", a3 = dir + "/out";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data()};
    setMeshImportChildHook(crash);
    testing::internal::CaptureStderr();
    EXPECT_EQ(buildMain(4, argv), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot read \"" + dir + "/box.stl\": the importer failed (signal 11)"), std::string::npos) << said;
    EXPECT_FALSE(fileExists(dir + "/out/demo.kbw"));
    EXPECT_FALSE(fileExists(dir + "/out/scene.kbw"));

    // The same scene builds once the importer behaves.
    resetMeshIsolation();
    testing::internal::CaptureStdout();
    EXPECT_EQ(buildMain(4, argv), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("1 models"), std::string::npos);
}

}  // namespace
