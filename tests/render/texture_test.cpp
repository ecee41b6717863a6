// Texture list and image files: parsing, failures, and the mip chains read back from OpenGL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/render/gl_test.h"
#include "render/texture_upload.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes image(int w, int h, uint8_t alpha, const Bytes& pixels) {
    Bytes b = {static_cast<unsigned char>(w), static_cast<unsigned char>(w >> 8),
               static_cast<unsigned char>(h), static_cast<unsigned char>(h >> 8), alpha};
    for (unsigned char p : pixels) b.push_back(p);
    return b;
}

Bytes list(uint16_t count, const std::string& block, uint32_t namesSize) {
    Bytes b = {'T', 'L', 'S', 'T', static_cast<unsigned char>(count),
               static_cast<unsigned char>(count >> 8)};
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(namesSize >> (8 * i)));
    b.insert(b.end(), block.begin(), block.end());
    return b;
}

Bytes listOf(const std::vector<std::string>& names) {
    std::string block;
    for (const auto& n : names) block += n + '\0';
    return list(static_cast<uint16_t>(names.size()), block, static_cast<uint32_t>(block.size()));
}

// Test files go to a private folder, named there by their full paths; it goes at exit.
struct FileFolder {
    std::string dir = ::testing::TempDir() + "qv_texture_test_" + std::to_string(getpid()) + "/";
    FileFolder() { std::filesystem::create_directories(dir); }
    ~FileFolder() { std::filesystem::remove_all(dir); }
};

std::string path(const std::string& name) {
    static const FileFolder folder;
    return folder.dir + name;
}

void writeFile(const std::string& name, const Bytes& bytes) {
    FILE* f = std::fopen(path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Uploads one image through the list loader and returns the world's texture name.
class TextureTest : public gltest::RenderTest {
protected:
    World world{};
    void TearDown() override { freeTextures(world.textureCount, world.textures); }

    GLuint load(const std::string& name, const Bytes& img) {
        writeFile(name, img);
        writeFile(name + ".ktl", listOf({path(name)}));
        EXPECT_EQ(loadTextureList(path(name + ".ktl").c_str(), &world), 1) << textureLoadError();
        EXPECT_EQ(world.textureCount, 1);
        if (!world.textures) return 0;
        glBindTexture(GL_TEXTURE_2D, world.textures[0]);
        return world.textures[0];
    }
    static int levelSize(int level, GLenum what) {
        GLint v = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
        return v;
    }
    static int levelCount() {
        int n = 0;
        while (n < 16 && levelSize(n, GL_TEXTURE_WIDTH) > 0) ++n;
        return n;
    }
    static Bytes level(int lv, GLenum format) {
        const int comps = format == GL_RGBA ? 4 : 3;
        Bytes out(static_cast<size_t>(levelSize(lv, GL_TEXTURE_WIDTH)) * levelSize(lv, GL_TEXTURE_HEIGHT) * comps);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, lv, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    void expectFailure(const std::string& listName) {
        EXPECT_EQ(loadTextureList(path(listName).c_str(), &world), 0);
        EXPECT_EQ(world.textures, nullptr);
        EXPECT_EQ(world.textureCount, 0);
        EXPECT_STRNE(textureLoadError(), "");
    }
};

// 4 x 4 grey image: three quadrants 0,0,0,3 and one 1,2,2,2 (every component alike).
TEST_F(TextureTest, EveryLevelComesFromTheFullImageWithTruncatedMeans) {
    const int v[4][4] = {{0, 0, 0, 0}, {0, 3, 0, 3}, {0, 0, 1, 2}, {0, 3, 2, 2}};
    Bytes px;
    for (auto& row : v)
        for (int x : row) px.insert(px.end(), 3, static_cast<unsigned char>(x));
    load("quadrants.raw", image(4, 4, 0, px));
    EXPECT_EQ(levelCount(), 3);
    EXPECT_EQ(level(0, GL_RGB), px);
    // Level 1 is 2 x 2 with rows 6 bytes long, which also checks the unaligned upload.
    EXPECT_EQ(level(1, GL_RGB), Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(level(2, GL_RGB), Bytes({1, 1, 1}));  // 16 / 16, not the mean of level 1
    GLint minFilter = 0, magFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    GLint unpack = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    EXPECT_EQ(unpack, 4);  // the upload restores the default it changed
}

TEST_F(TextureTest, LevelCountsFollowTheTrailingZeroBitsOfWidthOrHeight) {
    struct Case { int w, h, levels, lastW, lastH; };
    for (const Case& c : {Case{256, 64, 7, 4, 1}, Case{96, 64, 6, 3, 2}, Case{32, 32, 6, 1, 1},
                          Case{5, 8, 1, 5, 8}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        freeTextures(world.textureCount, world.textures);
        world = World{};
        load("size.raw", image(c.w, c.h, 0, Bytes(static_cast<size_t>(c.w) * c.h * 3, 200)));
        EXPECT_EQ(levelCount(), c.levels);
        EXPECT_EQ(levelSize(c.levels - 1, GL_TEXTURE_WIDTH), c.lastW);
        EXPECT_EQ(levelSize(c.levels - 1, GL_TEXTURE_HEIGHT), c.lastH);
    }
}

TEST_F(TextureTest, OddByteWidthRgbLevelsAreReadExactly) {
    // 6 x 2 RGB: rows of 18 bytes; level 1 is 3 x 1.
    Bytes px;
    for (int i = 0; i < 6 * 2 * 3; ++i) px.push_back(static_cast<unsigned char>(i * 7));
    load("odd.raw", image(6, 2, 0, px));
    EXPECT_EQ(level(0, GL_RGB), px);
    const Bytes l1 = level(1, GL_RGB);
    ASSERT_EQ(l1.size(), 9u);
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c) {
            const int sum = px[(2 * k) * 3 + c] + px[(2 * k + 1) * 3 + c] + px[18 + (2 * k) * 3 + c] +
                            px[18 + (2 * k + 1) * 3 + c];
            EXPECT_EQ(l1[k * 3 + c], sum / 4) << "pixel " << k << " component " << c;
        }
}

TEST_F(TextureTest, AnyNonZeroAlphaByteGivesRgba) {
    const Bytes px = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160};
    load("alpha.raw", image(2, 2, 7, px));
    EXPECT_GT(levelSize(0, GL_TEXTURE_ALPHA_SIZE), 0);
    EXPECT_EQ(level(0, GL_RGBA), px);
    const Bytes l1 = level(1, GL_RGBA);
    EXPECT_EQ(l1, Bytes({70, 80, 90, 100}));
}

TEST_F(TextureTest, ModesOneAndZeroUploadOneLevelWithTheirFilters) {
    writeFile("mode.raw", image(4, 4, 0, Bytes(48, 9)));
    const std::string block = path("mode.raw") + '\0' + path("mode.raw");
    const char* names = block.c_str();
    uint32_t* textures = nullptr;
    ASSERT_EQ(loadTextures(names, 2, &textures, 1), 1);
    ASSERT_NE(textures, nullptr);
    const GLint expected[2] = {GL_LINEAR, GL_LINEAR};
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    GLint f = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &f);
    EXPECT_EQ(f, expected[0]);
    EXPECT_EQ(levelCount(), 1);
    freeTextures(2, textures);
    ASSERT_EQ(loadTextures(names, 1, &textures, 0), 1);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &f);
    EXPECT_EQ(f, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &f);
    EXPECT_EQ(f, GL_NEAREST);
    EXPECT_EQ(levelCount(), 1);
    freeTextures(1, textures);
}

TEST_F(TextureTest, EmptyListAndEmptyImageSucceed) {
    writeFile("empty.ktl", list(0, "", 0));
    ASSERT_EQ(loadTextureList(path("empty.ktl").c_str(), &world), 1);
    EXPECT_EQ(world.textureCount, 0);
    EXPECT_NE(world.textures, nullptr);
    freeTextures(world.textureCount, world.textures);
    world = World{};
    // A 0 x 0 image uploads nothing and does not fail the load.
    load("zero.raw", image(0, 0, 0, {}));
    EXPECT_EQ(levelCount(), 0);
}

// A world in another folder: its list's relative names are taken from there, absolute ones as
// they are; from the working folder the same list finds nothing.
TEST_F(TextureTest, ListNamesAreTakenFromTheWorldsFolderWhenOneIsGiven) {
    writeFile("far.raw", image(2, 2, 0, Bytes(12, 7)));
    writeFile("near.raw", image(4, 4, 0, Bytes(48, 9)));
    writeFile("folder.ktl", listOf({"far.raw", path("near.raw")}));
    std::string folder = path("");
    folder.pop_back();  // no trailing slash
    ASSERT_EQ(loadTextureListIn(path("folder.ktl").c_str(), folder.c_str(), &world), 1) << textureLoadError();
    ASSERT_EQ(world.textureCount, 2);
    glBindTexture(GL_TEXTURE_2D, world.textures[0]);
    EXPECT_EQ(levelSize(0, GL_TEXTURE_WIDTH), 2);
    glBindTexture(GL_TEXTURE_2D, world.textures[1]);
    EXPECT_EQ(levelSize(0, GL_TEXTURE_WIDTH), 4);
    freeTextures(world.textureCount, world.textures);
    world = World{};
    expectFailure("folder.ktl");
    EXPECT_NE(std::string(textureLoadError()).find("\"far.raw\""), std::string::npos) << textureLoadError();
}

TEST_F(TextureTest, BrokenListsFailCleanly) {
    writeFile("good.raw", image(2, 2, 0, Bytes(12, 1)));
    expectFailure("no-such-list.ktl");
    Bytes bad = listOf({path("good.raw")});
    bad[0] = 'X';
    writeFile("magic.ktl", bad);
    expectFailure("magic.ktl");
    writeFile("header.ktl", Bytes({'T', 'L', 'S', 'T', 1, 0, 9}));
    expectFailure("header.ktl");
    writeFile("shortblock.ktl", list(1, path("good.raw"), static_cast<uint32_t>(path("good.raw").size() + 12)));  // block shorter than namesSize
    expectFailure("shortblock.ktl");
    writeFile("fewnames.ktl", list(2, path("good.raw") + '\0', static_cast<uint32_t>(path("good.raw").size() + 1)));  // 1 name of 2
    expectFailure("fewnames.ktl");
    writeFile("unterminated.ktl", list(1, path("good.raw"), static_cast<uint32_t>(path("good.raw").size())));  // no NUL within namesSize
    expectFailure("unterminated.ktl");
    writeFile("huge.ktl", list(32768, path("good.raw") + '\0', static_cast<uint32_t>(path("good.raw").size() + 1)));
    expectFailure("huge.ktl");
    writeFile("missing.ktl", listOf({path("good.raw"), path("no-such-image.raw")}));
    expectFailure("missing.ktl");
}

TEST_F(TextureTest, BrokenImagesFailCleanlyAndTrailingBytesAreIgnored) {
    writeFile("header.raw", Bytes({2, 0, 2}));
    writeFile("header.ktl", listOf({path("header.raw")}));
    expectFailure("header.ktl");
    writeFile("short.raw", image(2, 2, 0, Bytes(11, 1)));  // one pixel byte short
    writeFile("short.ktl", listOf({path("short.raw")}));
    expectFailure("short.ktl");
    // A header promising 65535 x 65535 RGBA fails on the file's length, without allocating it.
    writeFile("vast.raw", image(65535, 65535, 1, Bytes(16, 1)));
    writeFile("vast.ktl", listOf({path("vast.raw")}));
    expectFailure("vast.ktl");
    Bytes longer = image(2, 1, 0, {1, 2, 3, 4, 5, 6});
    longer.insert(longer.end(), {99, 99, 99});
    load("trailing.raw", longer);
    EXPECT_EQ(level(0, GL_RGB), Bytes({1, 2, 3, 4, 5, 6}));
}

TEST(TextureParse, ParsersWorkOnBytesAlone) {
    TextureList parsed;
    const Bytes l = listOf({"a.raw", "dir/b.raw"});
    std::string why;
    ASSERT_TRUE(parseTextureList(l.data(), l.size(), parsed, why)) << why;
    EXPECT_EQ(parsed.count, 2);
    EXPECT_EQ(parsed.names, (std::vector<std::string>{"a.raw", "dir/b.raw"}));
    EXPECT_FALSE(parseTextureList(l.data(), l.size() - 1, parsed, why));
    EXPECT_NE(why, "");

    RawImage img;
    const Bytes i = image(1, 2, 0, {1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(parseRawImage(i.data(), i.size(), img, why)) << why;
    EXPECT_EQ(img.width, 1);
    EXPECT_EQ(img.height, 2);
    EXPECT_EQ(img.pixels, Bytes({1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(parseRawImage(i.data(), 4, img, why));
    EXPECT_FALSE(parseRawImage(i.data(), 10, img, why));
}

TEST(TextureParse, DownsampleIgnoresPixelsBeyondWholeBlocks) {
    // 5 x 3 single-component-like RGB image down to 2 x 1: blocks 2 x 3, column 4 ignored.
    Bytes px;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) px.insert(px.end(), 3, static_cast<unsigned char>(x == 4 ? 255 : x + y));
    unsigned char* out = downsampleBox(5, 3, 2, 1, 0, px.data());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out[0], (0 + 1 + 1 + 2 + 2 + 3) / 6);
    EXPECT_EQ(out[3], (2 + 3 + 3 + 4 + 4 + 5) / 6);
    std::free(out);
    unsigned char* empty = downsampleBox(5, 3, 0, 3, 0, px.data());
    EXPECT_NE(empty, nullptr);
    std::free(empty);
}

}  // namespace
