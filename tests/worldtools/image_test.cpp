// PNG reading and writing, raw images and texture lists, procedural textures.
#include <gtest/gtest.h>

#include "test_files.h"
#include "image/image_files.h"
#include "image/png_io.h"
#include "tools/world/procedural.h"
#include "tools/world/scene_compile.h"

namespace {

Image pattern(int w, int h, bool alpha) {
    Image img;
    img.width = w;
    img.height = h;
    img.alpha = alpha;
    for (int i = 0; i < w * h * img.components(); ++i) img.pixels.push_back(static_cast<uint8_t>(i * 37 + 11));
    return img;
}

TEST(Image, PngRoundTripKeepsEveryPixel) {
    const std::string dir = freshDir("png");
    for (bool alpha : {false, true}) {
        const Image in = pattern(7, 5, alpha);
        std::string error;
        ASSERT_TRUE(writePng(dir + "/p.png", in, error)) << error;
        Image out;
        ASSERT_TRUE(readPng(dir + "/p.png", out, error)) << error;
        EXPECT_EQ(out.width, 7);
        EXPECT_EQ(out.height, 5);
        EXPECT_EQ(out.alpha, alpha);
        EXPECT_EQ(out.pixels, in.pixels);
    }
}

TEST(Image, PngTextureReachesTheRawImageBottomRowFirst) {
    const std::string dir = freshDir("scene");
    Image in = pattern(4, 2, false);
    std::string error;
    ASSERT_TRUE(writePng(dir + "/t.png", in, error)) << error;
    writeText(dir + "/scene.json", R"({"textures": {"t": {"png": "t.png"}}, "rooms": [{"min": [0,0,0], "max": [1,1,1]}]})");
    CompiledScene scene;
    ASSERT_TRUE(compileSceneFile(dir + "/scene.json", scene, error)) << error;
    ASSERT_TRUE(writeCompiledScene(scene, dir + "/out", error)) << error;
    releaseCompiledScene(scene);
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(readFileBytes(dir + "/out/textures/t.raw", bytes));
    // Image rows are bottom-up in memory and in the raw file alike; the PNG holds them top-down.
    ASSERT_EQ(bytes.size(), 5u + 4 * 2 * 3);
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes[2], 2);
    EXPECT_EQ(bytes[4], 0);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 5, bytes.end()), in.pixels);
}

TEST(Image, OversizedCorruptAndMissingPngsAreRefused) {
    const std::string dir = freshDir("png");
    std::string error;
    Image wide = pattern(kMaxImageSide + 1, 1, false);
    ASSERT_TRUE(writePng(dir + "/wide.png", wide, error)) << error;
    Image out;
    EXPECT_FALSE(readPng(dir + "/wide.png", out, error));
    EXPECT_TRUE(out.pixels.empty());
    writeText(dir + "/junk.png", "\x89PNG\r\n\x1a\n not really");
    EXPECT_FALSE(readPng(dir + "/junk.png", out, error));
    writeText(dir + "/text.png", "hello");
    EXPECT_FALSE(readPng(dir + "/text.png", out, error));
    EXPECT_NE(error.find("not a PNG"), std::string::npos);
    EXPECT_FALSE(readPng(dir + "/none.png", out, error));
}

TEST(Image, RawImagesAndListsParseBackAndShortFilesAreCaught) {
    const Image img = pattern(3, 2, true);
    std::vector<unsigned char> raw = rawImageBytes(img);
    Image back;
    std::string error;
    ASSERT_TRUE(parseRawImage(raw, back, error));
    EXPECT_EQ(back.pixels, img.pixels);
    raw.pop_back();
    EXPECT_FALSE(parseRawImage(raw, back, error));
    EXPECT_NE(error.find("23 pixel bytes of the 24 promised"), std::string::npos) << error;

    std::vector<std::string> names{"a.raw", "textures/b.raw"}, got;
    std::vector<unsigned char> list = textureListBytes(names);
    ASSERT_TRUE(parseTextureList(list, got, error)) << error;
    EXPECT_EQ(got, names);
    list[4] = 3;  // count says three names, the block holds two
    EXPECT_FALSE(parseTextureList(list, got, error));
    list = textureListBytes(names);
    list.pop_back();  // block shorter than its size
    EXPECT_FALSE(parseTextureList(list, got, error));
}

TEST(Image, ProceduralTexturesTileAndUseBothColours) {
    ProceduralParams p;
    p.width = p.height = 64;
    p.colorA = {1, 0, 0, 1};
    p.colorB = {0, 0, 1, 1};
    const Image images[] = {makeChecker(p), makeBricks(p), makeTiles(p), makeNoise(p)};
    for (const Image& img : images) {
        ASSERT_EQ(img.pixels.size(), 64u * 64 * 3);
        // Both colours show up; the pattern continues across the wrap (last column next to the
        // first is no more different than neighbouring columns are on average).
        int redish = 0, blueish = 0;
        for (size_t i = 0; i < img.pixels.size(); i += 3) {
            redish += img.pixels[i] > img.pixels[i + 2];
            blueish += img.pixels[i + 2] > img.pixels[i];
        }
        EXPECT_GT(redish, 64);
        EXPECT_GT(blueish, 64);
    }
    // Noise is continuous across the tile edge: compare the wrap seam with inner seams.
    const Image& n = images[3];
    auto colDiff = [&](int a, int b) {
        long d = 0;
        for (int y = 0; y < 64; ++y)
            for (int c = 0; c < 3; ++c) d += std::abs(n.pixels[(y * 64 + a) * 3 + c] - n.pixels[(y * 64 + b) * 3 + c]);
        return d;
    };
    long inner = 0;
    for (int x = 0; x < 63; ++x) inner = std::max(inner, colDiff(x, x + 1));
    EXPECT_LE(colDiff(63, 0), inner);
    p.colorA.a = 0.5f;
    EXPECT_TRUE(makeGradient(p).alpha);
}

}  // namespace
