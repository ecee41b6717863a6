// Bitmap fonts on a real (headless) OpenGL context: glyphs drawn with drawText are read back from
// the framebuffer and compared pixel for pixel with the file's bits.
#include <gtest/gtest.h>

#include "tests/text/temp_file.h"

#include <GL/gl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ll/headless_gl.h"
#include "tests/text/fd_count.h"
#include "text/bitmap_font.h"
#include "text/kbf.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 64;

class HeadlessContext : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        HeadlessGLConfig config;
        config.width = kWidth;
        config.height = kHeight;
#ifdef QV_GL_ES2
        config.es2 = true;  // built against the GL 1.1 layer
#endif
        ASSERT_TRUE(createHeadlessGL(config, error)) << error;
    }
    // No teardown: destroying the context unloads Mesa's driver, and what the driver keeps for
    // the context's life would then read as leaks under LeakSanitizer.
};
::testing::Environment* const context = ::testing::AddGlobalTestEnvironment(new HeadlessContext);

std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    return writeTempFile("font_gl_test_" + name, bytes);
}

// Which pixels are lit: window x, y (y = 0 at the bottom) → expected.
using Picture = std::function<bool(int, int)>;

class BitmapFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kWidth, 0, kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);  // the raster colour is taken from the current colour at glRasterPos
        glListBase(0);
    }

    // Counts pixels that differ from the picture and reports the first few.
    void expectPicture(const Picture& expected) {
        glFinish();
        std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool lit = pixels[(static_cast<size_t>(y) * kWidth + x) * 4] > 128;
                if (lit != expected(x, y) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << (lit ? "lit" : "dark");
            }
        }
        EXPECT_EQ(wrong, 0);
    }

    static float rasterX() {
        GLfloat pos[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, pos);
        return pos[0];
    }
    static GLint integer(GLenum what) {
        GLint v = 0;
        glGetIntegerv(what, &v);
        return v;
    }
};

// The picture of glyph `stored` drawn with its lower-left corner at (ox, oy).
bool glyphPixel(uint16_t width, uint16_t height, const uint8_t* stored, int ox, int oy, int x, int y) {
    if (x < ox || y < oy || x >= ox + width || y >= oy + height) return false;
    std::vector<uint8_t> rows;
    kbfBitmapRows(width, height, stored, &rows);
    return kbfPixel(rows, width, x - ox, y - oy);
}

const std::vector<uint8_t> kGlyphA = {0x18, 0x24, 0x42, 0x7E, 0x42, 0x42, 0x42, 0x00};
const std::vector<uint8_t> kGlyphA2 = {0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF};

TEST_F(BitmapFontTest, DrawsTheSetBitsAtTheRasterPositionAndAdvances) {
    const std::string path = writeTemp("a.kbf", encodeKbf(8, 8, {{'A', kGlyphA}}));
    BitmapFont* font = loadFont(path.c_str(), 3);
    ASSERT_NE(font, nullptr) << fontLoadError();
    EXPECT_EQ(font->advance, 11);
    EXPECT_EQ(font->height, 8);
    EXPECT_STREQ(fontLoadError(), "");

    drawText("A", 10, 20, font);
    EXPECT_FLOAT_EQ(rasterX(), 21);
    expectPicture([](int x, int y) { return glyphPixel(8, 8, kGlyphA.data(), 10, 20, x, y); });

    glClear(GL_COLOR_BUFFER_BIT);
    drawText("AA", 10, 20, font);
    EXPECT_FLOAT_EQ(rasterX(), 10 + 2 * 11);
    expectPicture([](int x, int y) {
        return glyphPixel(8, 8, kGlyphA.data(), 10, 20, x, y) || glyphPixel(8, 8, kGlyphA.data(), 21, 20, x, y);
    });
    freeFont(font);
}

TEST_F(BitmapFontTest, LaterRecordWinsAndAbsentCodesAdvanceBlank) {
    const std::string path = writeTemp("dup.kbf", encodeKbf(8, 8, {{'A', kGlyphA}, {'A', kGlyphA2}}));
    BitmapFont* font = loadFont(path.c_str(), 0);
    ASSERT_NE(font, nullptr) << fontLoadError();
    drawText("ABA", 4, 30, font);  // 'B' has no record
    EXPECT_FLOAT_EQ(rasterX(), 4 + 3 * 8);
    expectPicture([](int x, int y) {
        return glyphPixel(8, 8, kGlyphA2.data(), 4, 30, x, y) || glyphPixel(8, 8, kGlyphA2.data(), 20, 30, x, y);
    });
    freeFont(font);
}

TEST_F(BitmapFontTest, EmptyStringCallsNoListAndTheCallersListBaseSurvives) {
    const std::string path = writeTemp("base.kbf", encodeKbf(8, 8, {{'A', kGlyphA}}));
    BitmapFont* font = loadFont(path.c_str(), 1);
    ASSERT_NE(font, nullptr) << fontLoadError();
    glListBase(77);
    drawText("", 30, 10, font);
    EXPECT_FLOAT_EQ(rasterX(), 30);
    EXPECT_EQ(integer(GL_LIST_BASE), 77);
    expectPicture([](int, int) { return false; });

    drawText("A", 30, 10, font);
    EXPECT_EQ(integer(GL_LIST_BASE), 77);
    expectPicture([](int x, int y) { return glyphPixel(8, 8, kGlyphA.data(), 30, 10, x, y); });

    // Null text or font draws nothing and leaves the raster position alone.
    drawText(nullptr, 0, 0, font);
    drawText("A", 0, 0, nullptr);
    EXPECT_FLOAT_EQ(rasterX(), 39);
    freeFont(font);
    freeFont(nullptr);
}

TEST_F(BitmapFontTest, SevenByteFileGives256BlankListsThatAdvance) {
    const std::string path = writeTemp("empty.kbf", encodeKbf(2, 5, {}));
    BitmapFont* font = loadFont(path.c_str(), 1);
    ASSERT_NE(font, nullptr) << fontLoadError();
    EXPECT_EQ(font->advance, 3);
    EXPECT_EQ(font->height, 5);
    for (GLuint c = 0; c < 256; ++c) EXPECT_TRUE(glIsList(font->listBase + c)) << c;
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    drawText(all.c_str(), 0, 0, font);
    EXPECT_FLOAT_EQ(rasterX(), 255 * 3);
    expectPicture([](int, int) { return false; });

    const GLuint base = font->listBase;
    freeFont(font);
    for (GLuint c = 0; c < 256; ++c) EXPECT_FALSE(glIsList(base + c)) << c;
}

// Widths whose stored rows match glBitmap's (8, 16), are shorter (10, 25) or carry padding bits
// (3). Every row has its own pattern, so a wrong row stride shows as a shifted picture.
class BitmapFontWidthTest : public BitmapFontTest, public ::testing::WithParamInterface<int> {};

TEST_P(BitmapFontWidthTest, DrawsTheStoredBitsAndBlanksWhatARowCannotHold) {
    const uint16_t width = static_cast<uint16_t>(GetParam());
    const uint16_t height = 7;
    const uint32_t glyphBytes = kbfGlyphBytes(width, height);
    std::vector<uint8_t> bitmap(glyphBytes);
    for (uint32_t i = 0; i < glyphBytes; ++i) bitmap[i] = static_cast<uint8_t>(0x9D * (i + 1) ^ (i << 3));
    const std::string path = writeTemp("w" + std::to_string(width) + ".kbf",
                                       encodeKbf(width, height, {{'g', bitmap}, {'h', std::vector<uint8_t>(glyphBytes, 0xFF)}}));
    // The caller's unpack state is left as OpenGL's default (alignment 4), which the loader must
    // not depend on.
    ASSERT_EQ(integer(GL_UNPACK_ALIGNMENT), 4);
    BitmapFont* font = loadFont(path.c_str(), 2);
    ASSERT_NE(font, nullptr) << fontLoadError();
    drawText("gh", 5, 9, font);
    const uint32_t storedRow = kbfRowBytes(width);
    const int advance = width + 2;
    expectPicture([&](int x, int y) {
        for (int g = 0; g < 2; ++g) {
            const int gx = x - 5 - g * advance, gy = y - 9;
            if (gx < 0 || gy < 0 || gx >= width || gy >= height) continue;
            if (static_cast<uint32_t>(gx) >= storedRow * 8) return false;  // beyond the stored row
            const uint8_t byte = g == 0 ? bitmap[gy * storedRow + gx / 8] : 0xFF;
            return ((byte >> (7 - gx % 8)) & 1) != 0;
        }
        return false;
    });
    freeFont(font);
}

INSTANTIATE_TEST_SUITE_P(Widths, BitmapFontWidthTest, ::testing::Values(3, 8, 10, 16, 25));

TEST_F(BitmapFontTest, CallersPixelUnpackStateIsIgnoredAndRestored) {
    const std::vector<uint8_t> glyph = {0xC0, 0x30, 0x0C, 0x03};
    const std::string path = writeTemp("unpack.kbf", encodeKbf(10, 4, {{'u', glyph}}));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 33);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 2);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_TRUE);
    BitmapFont* font = loadFont(path.c_str(), 0);
    EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 8);
    EXPECT_EQ(integer(GL_UNPACK_ROW_LENGTH), 33);
    EXPECT_EQ(integer(GL_UNPACK_SKIP_PIXELS), 2);
    EXPECT_EQ(integer(GL_UNPACK_LSB_FIRST), GL_TRUE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    ASSERT_NE(font, nullptr) << fontLoadError();
    drawText("u", 40, 40, font);
    expectPicture([&](int x, int y) { return glyphPixel(10, 4, glyph.data(), 40, 40, x, y); });
    freeFont(font);
}

TEST_F(BitmapFontTest, MalformedFilesFailWithNothingLeftOpenOrAllocated) {
    std::vector<uint8_t> tooManyRecords = encodeKbf(4, 0, {});
    tooManyRecords.resize(7 + 65536, 'r');
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> bad = {
        {"magic1.kbf", {'k', 'B', 'F', 8, 0, 8, 0}},
        {"magic3.kbf", {'K', 'B', 'f', 8, 0, 8, 0}},
        {"header5.kbf", {'K', 'B', 'F', 8, 0}},
        {"header6.kbf", {'K', 'B', 'F', 8, 0, 8}},
        {"glyph65536.kbf", encodeKbf(16, 32768, {})},
        {"records65536.kbf", tooManyRecords},
    };
    std::vector<std::string> paths = {::testing::TempDir() + "font_gl_test_missing.kbf"};
    for (const auto& [name, bytes] : bad) paths.push_back(writeTemp(name, bytes));

    // The next free list name before and after: a failed load must not take any. (Mesa hands out
    // names above the highest used rather than reusing the probe's, so allow that one step.)
    const GLuint probe = glGenLists(1);
    glDeleteLists(probe, 1);
    const int fds = openFdCount();
    for (const std::string& path : paths) {
        EXPECT_EQ(loadFont(path.c_str(), 0), nullptr) << path;
        EXPECT_STRNE(fontLoadError(), "") << path;
    }
    EXPECT_EQ(loadFont(nullptr, 0), nullptr);
    EXPECT_EQ(openFdCount(), fds);
    const GLuint after = glGenLists(1);
    glDeleteLists(after, 1);
    EXPECT_LE(after, probe + 1);
    resetFontState();
    EXPECT_STREQ(fontLoadError(), "");
}

// The font the build makes: every printable ASCII glyph drawn in one line matches the file.
TEST_F(BitmapFontTest, ShippedFontDrawsItsGlyphs) {
    KbfFont parsed;
    std::string reason;
    ASSERT_TRUE(readKbfFile(QV_SHIPPED_FONT, &parsed, reason)) << reason;
    BitmapFont* font = loadFont(QV_SHIPPED_FONT, 0);
    ASSERT_NE(font, nullptr) << fontLoadError();
    EXPECT_EQ(font->advance, parsed.width);
    EXPECT_EQ(font->height, 16);
    std::string ascii;
    for (int c = 32; c <= 126; ++c) ascii += static_cast<char>(c);
    drawText(ascii.c_str(), 0, 8, font);
    int litGlyphs = 0;
    for (int c = 33; c <= 126; ++c) {
        const uint8_t* g = parsed.glyph(c);
        ASSERT_NE(g, nullptr) << c;
        bool any = false;
        for (uint32_t i = 0; i < parsed.glyphBytes; ++i) any |= g[i] != 0;
        litGlyphs += any;
    }
    EXPECT_EQ(litGlyphs, 126 - 33 + 1);  // every visible character has ink
    const int w = parsed.width;
    expectPicture([&](int x, int y) {
        const int index = x / w;
        if (index > 126 - 32) return false;
        return glyphPixel(parsed.width, parsed.height, parsed.glyph(32 + index), index * w, 8, x, y);
    });
    freeFont(font);
}

}  // namespace
