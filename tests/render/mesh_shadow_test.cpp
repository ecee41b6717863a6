// Shadows of compiled mesh files on real frames: a box open at the bottom casts a wrong shadow,
// and the same box built with "closeHoles" casts exactly the shadow of the closed box.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "image/png_io.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"
#include "tools/world/mesh_export.h"
#include "tools/world/primitives.h"
#include "tools/world/scene_compile.h"

namespace {

std::vector<unsigned char> frameOf(const std::string& dir, const std::string& model) {
    const std::string scene = R"({"models": {"box": )" + model + R"(},
      "rooms": [{"min": [-4, -1, -6], "max": [4, 3, 3], "lights": [{"position": [0.8, 2.6, -2.6]}],
                 "entities": [{"model": "box", "position": [0, -1, -3.5], "angles": [0, 30, 0]}]}]})";
    std::ofstream(dir + "/scene.json", std::ios::binary) << scene;
    CompiledScene out;
    std::string error;
    EXPECT_TRUE(compileSceneFile(dir + "/scene.json", out, error)) << error;
    if (!out.world) return {};
    Entity* camera = testworld::makeCamera({0, 1.8f, 2}, {-25, 0, 0});
    gltest::drawFrame(camera, out.world);
    std::vector<unsigned char> rgb(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    testworld::freeCamera(camera);
    releaseCompiledScene(out);
    if (std::getenv("QV_MESH_SHADOW_PNG")) {  // to look at the frames: the folder to write them to
        Image img;
        img.width = 800;
        img.height = 600;
        img.pixels = rgb;  // both bottom row first
        std::string why;
        static int n = 0;
        writePng(std::string(std::getenv("QV_MESH_SHADOW_PNG")) + "/frame" + std::to_string(n++) + ".png", img, why);
    }
    return rgb;
}

// Pixels whose colour differs by more than 2 in some channel.
int differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    int n = 0;
    for (size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            if (std::abs(int(a[i + c]) - int(b[i + c])) > 2) {
                ++n;
                break;
            }
    return n;
}

// Dark pixels: shadowed floor and walls.
int dark(const std::vector<unsigned char>& a) {
    int n = 0;
    for (size_t i = 0; i + 2 < a.size(); i += 3) n += a[i] + a[i + 1] + a[i + 2] < 120;
    return n;
}

class MeshShadowTest : public gltest::RenderTest {};

TEST_F(MeshShadowTest, AnOpenBoxWithCloseHolesCastsTheClosedBoxsShadow) {
    const std::string dir = ::testing::TempDir() + "qv_mesh_shadow";
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    PrimitiveParams p;
    p.size = {0.8f, 1.0f, 0.8f};
    const Mesh closed = makeBox(p);
    Mesh open = closed;
    // Drop the top face (the two triangles whose corners all lie at the highest y): an open
    // rim that faces the light.
    std::vector<MeshTri> kept;
    for (const MeshTri& t : open.triangles) {
        bool top = true;
        for (uint32_t v : t.v) top = top && open.positions[v].y > 0.49f;
        if (!top) kept.push_back(t);
    }
    ASSERT_EQ(kept.size(), 10u);
    open.triangles = kept;
    const std::vector<uint8_t> closedBytes = stlBinary(closed), openBytes = stlBinary(open);
    std::ofstream(dir + "/closed.stl", std::ios::binary).write(reinterpret_cast<const char*>(closedBytes.data()), closedBytes.size());
    std::ofstream(dir + "/open.stl", std::ios::binary).write(reinterpret_cast<const char*>(openBytes.data()), openBytes.size());

    const auto closedFrame = frameOf(dir, R"({"mesh": "closed.stl", "origin": "base"})");
    const auto openFrame = frameOf(dir, R"({"mesh": "open.stl", "origin": "base"})");
    const auto cappedFrame = frameOf(dir, R"({"mesh": "open.stl", "origin": "base", "closeHoles": true})");
    ASSERT_EQ(closedFrame.size(), 800u * 600u * 3u);
    // The closed box casts a shadow of some size on the floor and the wall behind it.
    const int shadow = dark(closedFrame);
    EXPECT_GT(shadow, 2000);
    EXPECT_LT(shadow, 200000);
    // The open box's volume is not closed: its shadow is wrong somewhere in the frame.
    EXPECT_GT(differing(openFrame, closedFrame), 500);
    // Capped, it matches the closed box's frame.
    EXPECT_LE(differing(cappedFrame, closedFrame), 20) << "of " << shadow << " shadowed pixels";
}

}  // namespace
