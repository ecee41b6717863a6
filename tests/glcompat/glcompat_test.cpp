// The GL 1.1 layer on a real OpenGL ES 2.0 context (EGL surfaceless, llvmpipe): matrix stacks,
// GL 1.1's lighting equation against values worked out here, display lists of bitmaps, batching,
// texture completeness, attribute stacks and pixel packing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "glcompat/glcompat.h"
#include "ll/headless_gl.h"

namespace {

constexpr int kSize = 64;

// The pbuffer has no alpha channel: pictures are compared in RGB, and alpha is seen by blending.
using Rgb = std::array<int, 3>;

Rgb pixel(int x, int y) {
    GLubyte p[4] = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

std::array<float, 16> matrix(GLenum which) {
    std::array<float, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

class Glcompat : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessGLConfig config;
        config.width = config.height = kSize;
        config.depthBits = 24;
        config.es2 = true;
        std::string error;
        ASSERT_TRUE(processHeadlessGL(config, error)) << error;
        glcompatShutdown();  // every test starts from GL's initial state
        ASSERT_TRUE(glcompatInit(error)) << error;
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    // Pixel coordinates: (0, 0) is the bottom left pixel's corner.
    static void pixelProjection() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSize, 0, kSize, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
};

TEST_F(Glcompat, StartsWithTheWindowViewportAndGlDefaults) {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], kSize);
    EXPECT_EQ(vp[3], kSize);
    GLint v = 0;
    glGetIntegerv(GL_MATRIX_MODE, &v);
    EXPECT_EQ(v, GL_MODELVIEW);
    glGetIntegerv(GL_DEPTH_FUNC, &v);
    EXPECT_EQ(v, GL_LESS);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &v);
    EXPECT_EQ(v, 4);
    glGetIntegerv(GL_STENCIL_BITS, &v);
    EXPECT_EQ(v, 8);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DITHER));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Glcompat, MatrixStacksComposeLikeGl) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glRotatef(90, 0, 0, 1);
    glScalef(2, 2, 2);
    auto m = matrix(GL_MODELVIEW_MATRIX);
    // Columns: x maps to 2y, y to -2x, z to 2z, origin to (1, 2, 3).
    EXPECT_NEAR(m[0], 0, 1e-6);
    EXPECT_FLOAT_EQ(m[1], 2);
    EXPECT_FLOAT_EQ(m[4], -2);
    EXPECT_NEAR(m[5], 0, 1e-6);
    EXPECT_FLOAT_EQ(m[10], 2);
    EXPECT_FLOAT_EQ(m[12], 1);
    EXPECT_FLOAT_EQ(m[13], 2);
    EXPECT_FLOAT_EQ(m[14], 3);
    EXPECT_FLOAT_EQ(m[15], 1);

    // A rotation about a general axis is Rodrigues' rotation.
    glLoadIdentity();
    glRotatef(30, 1, 1, 0);
    m = matrix(GL_MODELVIEW_MATRIX);
    const double a = 30 * M_PI / 180, c = std::cos(a), s = std::sin(a), k = std::sqrt(0.5);
    EXPECT_NEAR(m[0], c + k * k * (1 - c), 1e-6);
    EXPECT_NEAR(m[1], k * k * (1 - c), 1e-6);   // row 1, column 0
    EXPECT_NEAR(m[2], -k * s, 1e-6);            // row 2, column 0
    EXPECT_NEAR(m[8], k * s, 1e-6);             // row 0, column 2

    // The projection stack is separate; glFrustum is GL's perspective matrix.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15);
    const auto p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_FLOAT_EQ(p[0], 2.5f);
    EXPECT_FLOAT_EQ(p[5], 2.5f);
    EXPECT_FLOAT_EQ(p[10], -15.5f / 14.5f);
    EXPECT_FLOAT_EQ(p[11], -1);
    EXPECT_FLOAT_EQ(p[14], -15.0f / 14.5f);
    EXPECT_FLOAT_EQ(p[15], 0);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), m);
}

TEST_F(Glcompat, PushAndPopKeepTheStackAndReportItsLimits) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5, 0, 0);
    const auto before = matrix(GL_MODELVIEW_MATRIX);
    glPushMatrix();
    glRotatef(45, 0, 1, 0);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2);
    glPopMatrix();
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);

    glPopMatrix();  // only one matrix left: an underflow changes nothing
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_UNDERFLOW));
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);
    for (int i = 1; i < 32; ++i) glPushMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glPushMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_OVERFLOW));
    for (int i = 1; i < 32; ++i) glPopMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Matrix calls between glBegin and glEnd are refused.
    glBegin(GL_TRIANGLES);
    glLoadIdentity();
    glEnd();
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);
}

// GL 1.1's lighting equation for one vertex, written out here for the checks below.
struct TestLight {
    float ambient[4], diffuse[4], specular[4], position[4], attenuation[3];
};
struct TestMaterial {
    float ambient[4], diffuse[4], specular[4], emission[4], shininess;
};
std::array<float, 3> litColour(const float eye[3], const float n[3], const std::vector<TestLight>& lights,
                               const TestMaterial& m, const float modelAmbient[3]) {
    std::array<float, 3> c{};
    for (int k = 0; k < 3; ++k) c[k] = m.emission[k] + modelAmbient[k] * m.ambient[k];
    for (const TestLight& l : lights) {
        double vp[3], att = 1;
        if (l.position[3] != 0) {
            double len = 0;
            for (int k = 0; k < 3; ++k) {
                vp[k] = l.position[k] - eye[k];
                len += vp[k] * vp[k];
            }
            len = std::sqrt(len);
            for (double& v : vp) v /= len;
            att = 1 / (l.attenuation[0] + l.attenuation[1] * len + l.attenuation[2] * len * len);
        } else {
            const double len = std::sqrt(l.position[0] * l.position[0] + l.position[1] * l.position[1] +
                                         l.position[2] * l.position[2]);
            for (int k = 0; k < 3; ++k) vp[k] = l.position[k] / len;
        }
        const double nl = n[0] * vp[0] + n[1] * vp[1] + n[2] * vp[2];
        double h[3] = {vp[0], vp[1], vp[2] + 1};
        const double hl = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
        const double nh = std::max(0.0, (n[0] * h[0] + n[1] * h[1] + n[2] * h[2]) / hl);
        for (int k = 0; k < 3; ++k) {
            double term = l.ambient[k] * m.ambient[k];
            if (nl > 0) term += nl * l.diffuse[k] * m.diffuse[k] + std::pow(nh, m.shininess) * l.specular[k] * m.specular[k];
            c[k] += float(att * term);
        }
    }
    for (float& v : c) v = std::min(1.0f, std::max(0.0f, v));
    return c;
}

// Three corners on a circle round the z axis, lit by lights on the axis, all get the same colour:
// the triangle's pixels show the equation's value without interpolation between corners.
void drawSymmetricTriangle(float radius, const float normal[3]) {
    glBegin(GL_TRIANGLES);
    glNormal3fv(normal);
    for (int i = 0; i < 3; ++i) {
        const double a = 2 * M_PI * i / 3;
        glVertex3f(float(radius * std::cos(a)), float(radius * std::sin(a)), 0);
    }
    glEnd();
}

void expectColour(const Rgb& got, const std::array<float, 3>& want, const char* what) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k] * 255, 1.5) << what << " channel " << k;
}

TEST_F(Glcompat, LightingFollowsTheGl11Equation) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -5, 5);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LIGHTING);

    const TestMaterial m = {{0.3f, 0.2f, 0.1f, 1}, {0.8f, 0.6f, 0.4f, 0.5f}, {0.5f, 0.5f, 0.9f, 1}, {0.05f, 0.1f, 0.0f, 1}, 12};
    glMaterialfv(GL_FRONT, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, m.specular);
    glMaterialfv(GL_FRONT, GL_EMISSION, m.emission);
    glMaterialf(GL_FRONT, GL_SHININESS, m.shininess);
    // A positional light with attenuation, placed through a translation that is gone before the
    // triangle is drawn: its eye position is fixed when glLightfv is called.
    TestLight positional = {{0.1f, 0.1f, 0.1f, 1}, {0.9f, 0.8f, 0.7f, 1}, {1, 1, 1, 1}, {0, 0, 1.5f, 1}, {0.6f, 0.3f, 0.1f}};
    glPushMatrix();
    glTranslatef(0, 0, 1);
    const float placed[4] = {0, 0, 0.5f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, placed);
    glPopMatrix();
    glLightfv(GL_LIGHT0, GL_AMBIENT, positional.ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, positional.diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, positional.specular);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 0.6f);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.3f);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0.1f);
    glEnable(GL_LIGHT0);
    // A directional light straight down the axis; light 1 starts black, so all of it is set.
    TestLight directional = {{0, 0, 0, 1}, {0.2f, 0.3f, 0.2f, 1}, {0.3f, 0.2f, 0.1f, 1}, {0, 0, 2, 0}, {1, 0, 0}};
    glLightfv(GL_LIGHT1, GL_POSITION, directional.position);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, directional.diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, directional.specular);
    glEnable(GL_LIGHT1);
    const float modelAmbient[3] = {0.2f, 0.2f, 0.2f};

    const float up[3] = {0, 0, 1};
    drawSymmetricTriangle(0.9f, up);
    const float corner[3] = {0.9f, 0, 0};
    expectColour(pixel(kSize / 2, kSize / 2), litColour(corner, up, {positional, directional}, m, modelAmbient),
                 "two lights");
    // The vertex alpha is the material's diffuse alpha (0.5): blended over black it halves.
    const auto lit = litColour(corner, up, {positional, directional}, m, modelAmbient);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawSymmetricTriangle(0.9f, up);
    glDisable(GL_BLEND);
    expectColour(pixel(kSize / 2, kSize / 2), {lit[0] * 0.5f, lit[1] * 0.5f, lit[2] * 0.5f}, "diffuse alpha");

    // Turned away from both lights: only ambient terms and the emission remain.
    glClear(GL_COLOR_BUFFER_BIT);
    const float down[3] = {0, 0, -1};
    drawSymmetricTriangle(0.9f, down);
    expectColour(pixel(kSize / 2, kSize / 2), litColour(corner, down, {positional, directional}, m, modelAmbient),
                 "facing away");

    // Lights placed and geometry drawn under a rotated modelview light it as in eye space: the
    // normal turns with the modelview (its inverse transpose), the light positions too.
    glClear(GL_COLOR_BUFFER_BIT);
    glPushMatrix();
    glRotatef(90, 0, 1, 0);  // model x is eye -z, model z is eye x
    const float placedTurned[4] = {-1.5f, 0, 0, 1};  // eye (0, 0, 1.5)
    glLightfv(GL_LIGHT0, GL_POSITION, placedTurned);
    const float directionTurned[4] = {-2, 0, 0, 0};
    glLightfv(GL_LIGHT1, GL_POSITION, directionTurned);
    glBegin(GL_TRIANGLES);
    glNormal3f(-1, 0, 0);  // eye (0, 0, 1)
    for (int i = 0; i < 3; ++i) {
        const double a = 2 * M_PI * i / 3;
        glVertex3f(0, float(0.9 * std::sin(a)), float(-0.9 * std::cos(a)));
    }
    glEnd();
    glPopMatrix();
    expectColour(pixel(kSize / 2, kSize / 2), lit, "under a rotated modelview");

    // No light enabled: emission plus the model's ambient times the material's.
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHT1);
    glClear(GL_COLOR_BUFFER_BIT);
    drawSymmetricTriangle(0.9f, up);
    expectColour(pixel(kSize / 2, kSize / 2), litColour(corner, up, {}, m, modelAmbient), "no lights");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Glcompat, ImmediateModeCarriesAttributesAndBatchesDraws) {
    pixelProjection();
    glFinish();
    const GlcompatStats before = glcompatStats();
    // One colour given before glBegin reaches every vertex; glColor inside changes what follows.
    glColor3f(1, 0, 0);
    for (int i = 0; i < 8; ++i) {
        glBegin(GL_TRIANGLES);
        glVertex2f(float(i * 8), 0);
        glVertex2f(float(i * 8 + 8), 0);
        glVertex2f(float(i * 8), 8);
        glEnd();
        // Reading a matrix back between primitives does not break the batch.
        glPushMatrix();
        glTranslatef(3, 3, 3);
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glPopMatrix();
    }
    glBegin(GL_TRIANGLE_STRIP);
    glColor3f(0, 1, 0);
    glVertex2f(0, 20);
    glVertex2f(10, 20);
    glColor3f(0, 0, 1);
    glVertex2f(0, 30);
    glVertex2f(10, 30);
    glEnd();
    glFinish();
    EXPECT_EQ(glcompatStats().draws - before.draws, 1u) << "nine primitives under one state are one draw";
    EXPECT_EQ(pixel(1, 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixel(57, 1), (Rgb{255, 0, 0}));
    // Colours run from the green bottom corners to the blue top ones.
    const Rgb bottom = pixel(5, 20), top = pixel(5, 29);
    EXPECT_GT(bottom[1], 230);
    EXPECT_LT(bottom[2], 25);
    EXPECT_LT(top[1], 25);
    EXPECT_GT(top[2], 230);

    // A state change in between splits the batch; both halves still draw.
    const GlcompatStats mid = glcompatStats();
    glRectf(20, 20, 30, 30);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(1, 0, 0);
    glRectf(20, 20, 30, 30);
    glDisable(GL_BLEND);
    glFinish();
    EXPECT_EQ(glcompatStats().draws - mid.draws, 2u);
    EXPECT_EQ(pixel(25, 25), (Rgb{255, 0, 255}));

    // Both triangles of a counter-clockwise strip face the front: culling back faces keeps them.
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glColor3f(1, 1, 1);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(40, 40);
    glVertex2f(60, 40);
    glVertex2f(40, 60);
    glVertex2f(60, 60);
    glEnd();
    EXPECT_EQ(pixel(42, 42)[0], 255);
    EXPECT_EQ(pixel(58, 58)[0], 255);
    glCullFace(GL_FRONT);
    glClear(GL_COLOR_BUFFER_BIT);
    glRectf(40, 40, 60, 60);
    EXPECT_EQ(pixel(50, 50)[0], 0) << "glRectf is counter-clockwise";
}

// An 8 x 8 glyph: an L (left column and bottom row set).
std::vector<GLubyte> glyphL() {
    std::vector<GLubyte> rows(8, 0x80);
    rows[0] = 0xFF;
    return rows;
}

TEST_F(Glcompat, BitmapListsDrawTheirBitsAtTheRasterPosition) {
    pixelProjection();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLuint base = glGenLists(256);
    ASSERT_NE(base, 0u);
    const std::vector<GLubyte> l = glyphL(), blank(8, 0);
    for (int code = 0; code < 256; ++code) {
        glNewList(base + code, GL_COMPILE);
        glBitmap(8, 8, 0, 0, 10, 0, code == 'L' ? l.data() : blank.data());
        glEndList();
    }
    EXPECT_EQ(pixel(0, 0), (Rgb{0, 0, 0})) << "compiling draws nothing";

    // The raster colour is latched by glRasterPos: the colour after it does not count.
    glColor3f(1, 1, 0);
    glRasterPos2f(4, 4);
    glColor3f(0, 0, 1);
    glListBase(base);
    glPushAttrib(GL_LIST_BIT);
    glListBase(7);
    glPopAttrib();
    GLint listBase = 0;
    glGetIntegerv(GL_LIST_BASE, &listBase);
    EXPECT_EQ(GLuint(listBase), base);
    const char text[] = "LxL";
    glCallLists(3, GL_UNSIGNED_BYTE, text);

    // First L at x 4..11, the blank x at 14..21, the second L at 24..31; bottom row y = 4.
    for (int x0 : {4, 24}) {
        EXPECT_EQ(pixel(x0, 4), (Rgb{255, 255, 0}));
        EXPECT_EQ(pixel(x0 + 7, 4), (Rgb{255, 255, 0}));
        EXPECT_EQ(pixel(x0, 11), (Rgb{255, 255, 0}));
        EXPECT_EQ(pixel(x0 + 1, 5), (Rgb{0, 0, 0})) << "an unset bit leaves the pixel alone";
        EXPECT_EQ(pixel(x0, 12), (Rgb{0, 0, 0}));
        EXPECT_EQ(pixel(x0 - 1, 4), (Rgb{0, 0, 0}));
    }
    EXPECT_EQ(pixel(14, 4), (Rgb{0, 0, 0}));
    GLfloat raster[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    EXPECT_FLOAT_EQ(raster[0], 34) << "three glyphs advanced the raster position by 10 each";
    EXPECT_FLOAT_EQ(raster[1], 4);

    glDeleteLists(base, 256);
    EXPECT_FALSE(glIsList(base + 'L'));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Glcompat, BitmapRowsFollowTheUnpackAlignment) {
    pixelProjection();
    // Under the default alignment of 4 each one-byte row is 4 bytes apart.
    const GLubyte rows[8] = {0xFF, 0, 0, 0, 0x80, 0, 0, 0};
    glColor3f(1, 1, 1);
    glRasterPos2f(10, 10);
    glBitmap(8, 2, 0, 0, 0, 0, rows);
    EXPECT_EQ(pixel(17, 10)[0], 255);
    EXPECT_EQ(pixel(10, 11)[0], 255);
    EXPECT_EQ(pixel(11, 11)[0], 0);
    // An invalid raster position (behind the near plane) draws nothing.
    glRasterPos3f(40, 40, 2);
    GLint valid = 1;
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    EXPECT_EQ(valid, 0);
    glBitmap(8, 2, 0, 0, 0, 0, rows);
    EXPECT_EQ(pixel(40, 40)[0], 0);
}

TEST_F(Glcompat, IncompleteTexturesDrawAsIfTexturingWereOff) {
    pixelProjection();
    glEnable(GL_TEXTURE_2D);
    GLuint tex[2];
    glGenTextures(2, tex);
    // A complete 2 x 2 RGBA texture with one level and a linear filter, half-transparent grey.
    const GLubyte grey[16] = {128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
    glBindTexture(GL_TEXTURE_2D, tex[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, grey);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // The second has level 0 only, under GL's initial mipmapping filter: incomplete.
    glBindTexture(GL_TEXTURE_2D, tex[1]);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, grey);

    glColor3f(1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, tex[0]);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glVertex2f(30, 0);
    glVertex2f(0, 30);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, tex[1]);
    glRectf(40, 40, 60, 60);
    EXPECT_NEAR(pixel(5, 5)[0], 128, 1) << "white modulated by grey";
    EXPECT_EQ(pixel(50, 50), (Rgb{255, 255, 255})) << "an incomplete texture does not darken";

    // Completing its chain (2x2 and 1x1 levels) makes the second one count, as RGB (format 3).
    glTexImage2D(GL_TEXTURE_2D, 1, 3, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, grey);
    glRectf(40, 40, 60, 60);
    EXPECT_NEAR(pixel(50, 50)[0], 128, 1);

    // Blended over black, the alpha shows: format 4 keeps the image's, format 3 has none (1).
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glRectf(40, 40, 60, 60);
    glBindTexture(GL_TEXTURE_2D, tex[0]);
    glRectf(0, 0, 20, 20);
    glDisable(GL_BLEND);
    EXPECT_NEAR(pixel(50, 50)[0], 128, 1) << "internal format 3 has no alpha";
    EXPECT_NEAR(pixel(10, 10)[0], 64, 1) << "internal format 4 keeps the alpha";
    glDeleteTextures(2, tex);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Glcompat, PopAttribRestoresWhatWasPushed) {
    pixelProjection();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glColorMask(GL_FALSE, GL_TRUE, GL_FALSE, GL_TRUE);
    glEnable(GL_BLEND);
    glViewport(0, 0, 8, 8);
    glColor3f(1, 1, 1);
    glRectf(0, 0, kSize, kSize);  // only green reaches the pixels, in the 8 x 8 viewport
    EXPECT_EQ(pixel(4, 4), (Rgb{0, 255, 0}));
    glPopAttrib();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint v[4];
    glGetIntegerv(GL_DEPTH_FUNC, v);
    EXPECT_EQ(v[0], GL_LEQUAL);
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], kSize);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1) << "the current colour is in GL_CURRENT_BIT, also pushed";
    // What ES was told comes back too: all channels and the whole viewport are written again.
    glDisable(GL_DEPTH_TEST);
    glRectf(0, 0, kSize, kSize);
    EXPECT_EQ(pixel(40, 40), (Rgb{255, 255, 255}));
    glPopAttrib();
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_UNDERFLOW));
}

TEST_F(Glcompat, ReadPixelsPacksRowsByThePackState) {
    pixelProjection();
    glColor3f(1, 0.5f, 0);
    glRectf(0, 0, 3, 2);
    // Three RGB pixels are 9 bytes a row; alignment 4 pads each row to 12.
    std::vector<GLubyte> out(24, 7);
    glReadPixels(0, 0, 3, 2, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    EXPECT_EQ(out[0], 255);
    EXPECT_NEAR(out[1], 128, 1);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[9], 7) << "padding is not written";
    EXPECT_EQ(out[12], 255) << "the second row starts 12 bytes in";
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::fill(out.begin(), out.end(), 7);
    glReadPixels(0, 0, 3, 2, GL_RGB, GL_UNSIGNED_BYTE, out.data());
    EXPECT_EQ(out[9], 255) << "tight rows under alignment 1";
    glPopClientAttrib();
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

TEST_F(Glcompat, ListsCompileAndExecuteNestAndTakeWiderIndices) {
    pixelProjection();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLubyte square[2] = {0xC0, 0xC0};  // 2 x 2 set
    const GLuint base = glGenLists(3);
    glColor3f(0, 1, 0);
    glRasterPos2f(2, 2);
    // Compiled and run at once: the square shows now, and the list keeps it.
    glNewList(base, GL_COMPILE_AND_EXECUTE);
    glBitmap(2, 2, 0, 0, 4, 0, square);
    glEndList();
    EXPECT_EQ(pixel(2, 2), (Rgb{0, 255, 0}));
    // A list that places the raster position and calls the first one twice.
    glNewList(base + 1, GL_COMPILE);
    glRasterPos2f(20, 20);
    glCallList(base);
    glCallList(base);
    glEndList();
    EXPECT_EQ(pixel(20, 20), (Rgb{0, 0, 0})) << "GL_COMPILE draws nothing";
    glColor3f(1, 0, 0);  // the raster colour comes from the glRasterPos inside the list
    const GLushort calls[1] = {1};
    glListBase(base);
    glCallLists(1, GL_UNSIGNED_SHORT, calls);
    EXPECT_EQ(pixel(20, 20), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixel(24, 21), (Rgb{255, 0, 0})) << "the second call advanced by 4";
    EXPECT_EQ(pixel(22, 20), (Rgb{0, 0, 0}));
    // glNewList inside a list being compiled is refused; a list that calls itself stops.
    glNewList(base + 2, GL_COMPILE);
    glNewList(base + 2, GL_COMPILE);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_OPERATION));
    glCallList(base + 2);
    glEndList();
    glCallList(base + 2);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(Glcompat, LinesAndLoopsCloseAndPointsDraw) {
    pixelProjection();
    glColor3f(1, 1, 1);
    glBegin(GL_LINE_LOOP);
    glVertex2f(10.5f, 10.5f);
    glVertex2f(30.5f, 10.5f);
    glVertex2f(30.5f, 30.5f);
    glVertex2f(10.5f, 30.5f);
    glEnd();
    glBegin(GL_POINTS);
    glVertex2f(50.5f, 50.5f);
    glEnd();
    EXPECT_EQ(pixel(20, 10)[0], 255) << "first side";
    EXPECT_EQ(pixel(10, 20)[0], 255) << "the closing side from the last corner to the first";
    EXPECT_EQ(pixel(20, 20)[0], 0) << "a loop is not filled";
    EXPECT_EQ(pixel(50, 50)[0], 255);
}

TEST_F(Glcompat, VerticesAtInfinityLandOnTheFarPlane) {
    // The renderer's projection: glFrustum with the far plane moved to infinity.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15);
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    m[10] = -1;
    m[14] = -1;
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glColor3f(1, 1, 1);
    // A triangle of directions (w = 0) straight ahead: at window depth 1, it passes GL_LEQUAL
    // against the cleared depth, as shadow volumes' far caps must.
    glBegin(GL_TRIANGLES);
    glVertex4f(-1, -1, -1, 0);
    glVertex4f(1, -1, -1, 0);
    glVertex4f(0, 1, -1, 0);
    glEnd();
    EXPECT_EQ(pixel(kSize / 2, kSize / 2)[0], 255);
    // With GL_LESS the same triangle fails everywhere: it is exactly on the far plane.
    glClear(GL_COLOR_BUFFER_BIT);
    glDepthFunc(GL_LESS);
    glBegin(GL_TRIANGLES);
    glVertex4f(-1, -1, -1, 0);
    glVertex4f(1, -1, -1, 0);
    glVertex4f(0, 1, -1, 0);
    glEnd();
    EXPECT_EQ(pixel(kSize / 2, kSize / 2)[0], 0);
}

}  // namespace
