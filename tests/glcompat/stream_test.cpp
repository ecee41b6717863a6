// What the layer sends to ES, counted call by call on a real ES 2.0 context (EGL, llvmpipe): the
// stream buffer bound and pointed once, vertices carrying only what varies, uniforms sent only
// when they change, lighting programs that follow the lights in use, stencil-only caps drawn
// together where the order cannot matter, and the counts the capture tool reports.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstring>
#include <string>

#include "glcompat/glcompat.h"
#include "ll/headless_gl.h"

namespace {

constexpr int kSize = 64;

using Rgb = std::array<int, 3>;

Rgb pixel(int x, int y) {
    GLubyte p[4] = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

int functionIndex(const char* name) {
    for (int i = 0; glcompatEsFunctionName(i); ++i)
        if (std::strcmp(glcompatEsFunctionName(i), name) == 0) return i;
    ADD_FAILURE() << "the layer counts no " << name;
    return 0;
}

// Counts between two moments: calls of one ES function, or one field.
struct Since {
    GlcompatCounters start = glcompatCounters();
    uint64_t calls(const char* name) const {
        const int i = functionIndex(name);
        return glcompatCounters().calls[i] - start.calls[i];
    }
    GlcompatCounters delta() const {
        GlcompatCounters now = glcompatCounters(), d{};
        d.frames = now.frames - start.frames;
        d.draws = now.draws - start.draws;
        d.esCalls = now.esCalls - start.esCalls;
        d.bufferUploads = now.bufferUploads - start.bufferUploads;
        d.bytesUploaded = now.bytesUploaded - start.bytesUploaded;
        d.bufferRenewals = now.bufferRenewals - start.bufferRenewals;
        d.uniformCalls = now.uniformCalls - start.uniformCalls;
        for (int i = 0; i < int(GlcompatBatchEnd::Count); ++i) d.batchEnds[i] = now.batchEnds[i] - start.batchEnds[i];
        for (int i = 0; glcompatEsFunctionName(i); ++i) d.calls[i] = now.calls[i] - start.calls[i];
        return d;
    }
    uint64_t ends(GlcompatBatchEnd reason) const { return delta().batchEnds[int(reason)]; }
};

class GlcompatStream : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessGLConfig config;
        config.width = config.height = kSize;
        config.depthBits = 24;
        config.stencilBits = 8;
        config.es2 = true;
        std::string error;
        ASSERT_TRUE(processHeadlessGL(config, error)) << error;
        glcompatShutdown();
        ASSERT_TRUE(glcompatInit(error)) << error;
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSize, 0, kSize, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glcompatEndFrame();
    }
};

TEST_F(GlcompatStream, BatchesOfAFrameShareOneBufferPointedOnce) {
    const Since s;
    glColor3f(1, 0, 0);
    glRectf(0, 0, 16, 16);
    glDepthMask(GL_FALSE);  // ends the batch
    glColor3f(0, 1, 0);
    glRectf(16, 0, 32, 16);
    glDepthMask(GL_TRUE);
    glColor3f(0, 0, 1);
    glRectf(32, 0, 48, 16);
    glFinish();
    EXPECT_EQ(s.delta().draws, 3u);
    EXPECT_EQ(s.calls("glBindBuffer"), 1u) << "bound once";
    EXPECT_EQ(s.calls("glBufferData"), 1u) << "the frame's buffer is started once";
    EXPECT_EQ(s.calls("glBufferSubData"), 3u) << "each batch appended";
    EXPECT_EQ(s.calls("glVertexAttribPointer"), 1u) << "one layout, pointed once: positions only";
    EXPECT_EQ(s.calls("glVertexAttrib4fv"), 3u) << "a constant colour per batch";
    // A rectangle is two triangles of x, y, z: 6 vertices of 12 bytes.
    EXPECT_EQ(s.delta().bytesUploaded, 3u * 72u);
    // Each batch drew its own vertices from where it was appended.
    EXPECT_EQ(pixel(8, 8), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixel(24, 8), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixel(40, 8), (Rgb{0, 0, 255}));

    // Each new frame goes on in the next buffer of a ring of three, pointed again; once round the
    // ring, a buffer is written again without being given new storage.
    for (int frame = 1; frame <= 4; ++frame) {
        const Since next;
        glcompatEndFrame();
        glColor3f(1, 1, float(frame % 2));
        const int y = 8 + 8 * frame;
        glRectf(0, float(y), 16, float(y + 8));
        glFinish();
        EXPECT_EQ(next.delta().frames, 1u);
        EXPECT_EQ(next.calls("glBindBuffer"), 1u) << "frame " << frame;
        EXPECT_EQ(next.calls("glBufferData"), frame < 3 ? 1u : 0u) << "frame " << frame;
        EXPECT_EQ(next.delta().bufferRenewals, frame < 3 ? 1u : 0u) << "frame " << frame;
        EXPECT_EQ(next.calls("glVertexAttribPointer"), 1u) << "frame " << frame;
        EXPECT_EQ(pixel(8, y + 4), (Rgb{255, 255, frame % 2 ? 255 : 0})) << "frame " << frame;
    }
    // What earlier frames drew stays drawn.
    EXPECT_EQ(pixel(8, 8), (Rgb{255, 0, 0}));
    EXPECT_EQ(pixel(24, 8), (Rgb{0, 255, 0}));
}

TEST_F(GlcompatStream, AFullBufferStartsAgainAndEveryVertexStillDraws) {
    // Eight rows of small triangles with per-vertex colours (28 bytes a vertex), a batch a row of
    // 57,600 vertices (a mask toggle ends each): 1.6 MB a batch, more than the buffer's megabyte.
    const Since s;
    constexpr int kRows = 8;
    for (int row = 0; row < kRows; ++row) {
        glBegin(GL_TRIANGLES);
        for (int rep = 0; rep < 600; ++rep)
            for (int x = 0; x < kSize; x += 2) {
                glColor3f(0, 1, float(rep % 2));
                glVertex2f(float(x), float(row));
                glColor3f(0, 1, 0);
                glVertex2f(float(x + 2), float(row));
                glVertex2f(float(x), float(row + 2));
            }
        glEnd();
        glDepthMask(row % 2 ? GL_TRUE : GL_FALSE);
    }
    glFinish();
    const GlcompatCounters d = s.delta();
    EXPECT_EQ(d.bytesUploaded, uint64_t(kRows) * 57600u * 28u);
    EXPECT_EQ(d.bufferRenewals, uint64_t(kRows)) << "each batch starts the buffer afresh";
    EXPECT_EQ(d.draws, uint64_t(kRows));
    EXPECT_EQ(pixel(0, 0)[1], 255);
    EXPECT_EQ(pixel(kSize - 2, kRows - 1)[1], 255);
    EXPECT_EQ(pixel(30, 3)[1], 255);
    EXPECT_EQ(pixel(30, kRows + 2)[1], 0);
}

TEST_F(GlcompatStream, VerticesCarryOnlyWhatVaries) {
    // Colours that vary: positions and colours, 28 bytes a vertex.
    Since s;
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0);
    glVertex2f(0, 0);
    glColor3f(0, 1, 0);
    glVertex2f(32, 0);
    glColor3f(0, 0, 1);
    glVertex2f(0, 32);
    glEnd();
    glFinish();
    EXPECT_EQ(s.delta().bytesUploaded, 3u * 28u);
    const Rgb mixed = pixel(8, 8);
    EXPECT_GT(mixed[0], 60);
    EXPECT_GT(mixed[1], 20);
    EXPECT_GT(mixed[2], 20);

    // A w other than 1 keeps all four coordinates: 16 bytes a vertex; (64, 64, 0, 2) is (32, 32).
    s = Since{};
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 0);
    glBegin(GL_TRIANGLES);
    glVertex4f(40, 40, 0, 2);
    glVertex4f(120, 40, 0, 2);
    glVertex4f(40, 120, 0, 2);
    glEnd();
    glFinish();
    EXPECT_EQ(s.delta().bytesUploaded, 3u * 16u);
    EXPECT_EQ(pixel(22, 22), (Rgb{255, 255, 0}));
    EXPECT_EQ(pixel(18, 18), (Rgb{0, 0, 0}));

    // A constant colour between batches of varying ones is sent again: the arrays left it undefined.
    glClear(GL_COLOR_BUFFER_BIT);
    s = Since{};
    for (int i = 0; i < 3; ++i) {
        glColor3f(0, 1, 1);
        glRectf(float(i * 20), 0, float(i * 20 + 10), 10);
        glDepthMask(GL_FALSE);
        glBegin(GL_TRIANGLES);
        glColor3f(1, 0, 0);
        glVertex2f(float(i * 20), 20);
        glColor3f(1, 0, 1);
        glVertex2f(float(i * 20 + 10), 20);
        glVertex2f(float(i * 20), 30);
        glEnd();
        glDepthMask(GL_TRUE);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pixel(i * 20 + 5, 5), (Rgb{0, 255, 255})) << "rectangle " << i;
    EXPECT_EQ(s.calls("glVertexAttrib4fv"), 3u);

    // A lit batch sends no colours (the material gives them) and one normal when all are the same.
    s = Since{};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glNormal3f(0, 0, 1);
    glRectf(0, 40, 20, 60);
    glFinish();
    EXPECT_EQ(s.delta().bytesUploaded, 6u * 12u);
    EXPECT_GE(s.calls("glVertexAttrib4fv"), 1u);
    EXPECT_GT(pixel(10, 50)[0], 150) << "lit from the default light straight ahead";
}

TEST_F(GlcompatStream, UniformsAreSentOnlyWhenTheirValuesChange) {
    glRectf(0, 0, 8, 8);
    glFinish();
    Since s;
    glDepthMask(GL_FALSE);
    glRectf(8, 0, 16, 8);  // the same matrices under other state
    glFinish();
    EXPECT_EQ(s.delta().draws, 1u);
    EXPECT_EQ(s.delta().uniformCalls, 0u);

    s = Since{};
    glTranslatef(16, 0, 0);
    glRectf(0, 0, 8, 8);
    glFinish();
    EXPECT_EQ(s.calls("glUniformMatrix4fv"), 1u);
    s = Since{};
    glLoadIdentity();  // back to the matrices the program had before: a change all the same
    glRectf(0, 16, 8, 24);
    glFinish();
    EXPECT_EQ(s.calls("glUniformMatrix4fv"), 1u);
    EXPECT_EQ(pixel(20, 4)[0], 255);
    EXPECT_EQ(pixel(4, 20)[0], 255);

    // Lighting: the same lights and material after a state change send nothing again.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glRectf(0, 32, 8, 40);
    glFinish();
    s = Since{};
    glDepthMask(GL_TRUE);
    glRectf(8, 32, 16, 40);
    glFinish();
    EXPECT_EQ(s.delta().draws, 1u);
    EXPECT_EQ(s.delta().uniformCalls, 0u);
    // A changed material sends what it changes, and the picture follows.
    s = Since{};
    const GLfloat red[4] = {1, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, red);
    glRectf(16, 32, 24, 40);
    glFinish();
    EXPECT_GE(s.calls("glUniform3fv"), 1u);
    EXPECT_EQ(s.calls("glUniformMatrix4fv"), 0u);
    const Rgb grey = pixel(4, 36), reddish = pixel(20, 36);
    EXPECT_GT(reddish[0], grey[0]);
    EXPECT_LT(reddish[1], grey[1]);
}

TEST_F(GlcompatStream, LightingProgramsFollowTheLightsInUse) {
    // Diffuse only, a light straight above a flat rectangle: the colour is 0.8 (the default
    // material's diffuse) times the attenuation.
    // The positional light is so far above that every corner sees it straight up (to 2e-5).
    const GLfloat black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1}, above[4] = {32, 8, 10000, 1};
    const GLfloat far[4] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glNormal3f(0, 0, 1);
    auto litRed = [&](float x) {
        glRectf(x, 0, x + 16, 16);
        return pixel(int(x) + 8, 8)[0];
    };
    glLightfv(GL_LIGHT0, GL_POSITION, far);
    EXPECT_NEAR(litRed(0), 204, 2) << "directional";
    glLightfv(GL_LIGHT0, GL_POSITION, above);
    EXPECT_NEAR(litRed(16), 204, 2) << "positional, attenuation (1, 0, 0)";
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 2);
    EXPECT_NEAR(litRed(32), 102, 2) << "positional, attenuated";
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 1);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 1e-8f);  // 1 + 1e-8 * 1e8 at distance 10,000
    EXPECT_NEAR(litRed(48), 102, 2) << "positional, attenuated with distance";
    // A second light, directional, beside the positional one.
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, 0);
    const GLfloat dim[4] = {0.25f, 0.25f, 0.25f, 1};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, dim);
    glLightfv(GL_LIGHT1, GL_POSITION, far);
    glEnable(GL_LIGHT1);
    EXPECT_NEAR(litRed(0), 255, 1) << "0.8 + 0.2, clamped at 1";
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 4);
    EXPECT_NEAR(litRed(16), 102, 2) << "0.2 + 0.2";
}

// The stencil count of a shadow volume's pieces, seen through colour: each count gets a grey.
int stencilAt(int x, int y) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_DEPTH_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    for (int k = 0; k < 5; ++k) {
        glStencilFunc(GL_EQUAL, k, ~0u);
        glColor3f(float(k) / 4, float(k) / 4, float(k) / 4);
        glRectf(0, 0, kSize, kSize);
    }
    glPopAttrib();
    const int grey = pixel(x, y)[0];
    return (grey + 32) / 64;
}

void stencilOnlyState(GLenum zfail) {
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, ~0u);
    glStencilOp(GL_KEEP, zfail, GL_KEEP);
}

void occluder() {
    // Depth 0 over the whole window: everything behind it (z below 0) fails the depth test.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glRectf(0, 0, kSize, kSize);
}

TEST_F(GlcompatStream, StencilOnlyCapsOfAPassAreOneDraw) {
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    occluder();
    glFinish();
    stencilOnlyState(GL_INCR);
    Since s;
    // A near cap, sides behind the occluder (they fail the depth test and count too), a far cap:
    // rows 0-15 see x in [0, 32), [16, 48) and [24, 64).
    glDepthFunc(GL_NEVER);
    glRectf(0, 0, 32, 16);
    glDepthFunc(GL_LEQUAL);
    glBegin(GL_QUADS);
    glVertex3f(16, 0, -0.5f);
    glVertex3f(48, 0, -0.5f);
    glVertex3f(48, 16, -0.5f);
    glVertex3f(16, 16, -0.5f);
    glEnd();
    glDepthFunc(GL_NEVER);
    glRectf(24, 0, 64, 16);
    glDepthFunc(GL_LEQUAL);
    // The next volume, under other matrices: its cap joins the first volume's.
    glTranslatef(0, 32, 0);
    glDepthFunc(GL_NEVER);
    glRectf(0, 0, 16, 16);
    glDepthFunc(GL_LEQUAL);
    glLoadIdentity();
    glFinish();
    EXPECT_EQ(s.delta().draws, 2u) << "the sides, then every cap";
    EXPECT_EQ(s.calls("glDepthFunc"), 2u);
    EXPECT_EQ(stencilAt(8, 8), 1);
    EXPECT_EQ(stencilAt(20, 8), 2);
    EXPECT_EQ(stencilAt(28, 8), 3);
    EXPECT_EQ(stencilAt(40, 8), 2);
    EXPECT_EQ(stencilAt(56, 8), 1);
    EXPECT_EQ(stencilAt(8, 40), 1);
    EXPECT_EQ(stencilAt(40, 40), 0);

    // Twenty volumes, each a cap over a pixel of its own under its own translation and sides over
    // the same pixel: more matrices than one draw of caps takes, so two draws of caps.
    glClear(GL_STENCIL_BUFFER_BIT);
    stencilOnlyState(GL_INCR);
    s = Since{};
    for (int i = 0; i < 20; ++i) {
        glPushMatrix();
        glTranslatef(float(i * 3), 50, 0);
        glDepthFunc(GL_NEVER);
        glRectf(0, 0, 2, 2);
        glDepthFunc(GL_LEQUAL);
        glBegin(GL_TRIANGLES);
        glVertex3f(0, 0, -0.5f);
        glVertex3f(2, 0, -0.5f);
        glVertex3f(0, 2, -0.5f);
        glEnd();
        glDepthFunc(GL_NEVER);
        glRectf(1, 1, 2, 2);
        glDepthFunc(GL_LEQUAL);
        glPopMatrix();
    }
    glFinish();
    EXPECT_EQ(s.delta().draws, 20u + 2u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(stencilAt(i * 3, 50), 2) << "volume " << i << ": its near cap and sides";
        EXPECT_EQ(stencilAt(i * 3 + 1, 51), 2) << "volume " << i << ": its near and far caps";
        EXPECT_EQ(stencilAt(i * 3 + 2, 51), 0) << "volume " << i << ": nothing";
    }
}

TEST_F(GlcompatStream, HeldCapsDrawBeforeAnythingTheirOrderMatters) {
    // A cap, then a draw that replaces the stencil value: the cap counts first, as given.
    stencilOnlyState(GL_INCR);
    glDepthFunc(GL_NEVER);
    glRectf(0, 0, 32, 32);
    glDepthFunc(GL_LEQUAL);
    glStencilFunc(GL_ALWAYS, 3, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glRectf(16, 0, 48, 32);  // passes the cleared depth buffer
    glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
    glStencilFunc(GL_ALWAYS, 0, ~0u);
    EXPECT_EQ(stencilAt(8, 8), 1);
    EXPECT_EQ(stencilAt(24, 8), 3);
    EXPECT_EQ(stencilAt(40, 8), 3);

    // A held cap is drawn before a clear, and so cleared.
    glClear(GL_STENCIL_BUFFER_BIT);
    stencilOnlyState(GL_INCR);
    glDepthFunc(GL_NEVER);
    glRectf(0, 32, 32, 64);
    glDepthFunc(GL_LEQUAL);
    glClear(GL_STENCIL_BUFFER_BIT);
    EXPECT_EQ(stencilAt(8, 40), 0);

    // And before a read of the picture.
    glDepthFunc(GL_NEVER);
    glRectf(0, 32, 32, 64);
    GLubyte p[4];
    const Since s;
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    EXPECT_EQ(s.delta().draws, 1u);
}

TEST_F(GlcompatStream, CountsNameWhatEndedEachBatchAndAddUp) {
    Since s;
    glRectf(0, 0, 8, 8);
    glEnable(GL_BLEND);
    glRectf(0, 0, 8, 8);
    glTranslatef(1, 0, 0);
    glRectf(0, 0, 8, 8);
    glEnable(GL_LIGHTING);
    glRectf(0, 0, 8, 8);
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    glVertex2f(0, 0);
    glVertex2f(8, 8);
    glEnd();
    glClear(GL_COLOR_BUFFER_BIT);
    glRectf(0, 0, 8, 8);
    pixel(0, 0);
    glRectf(0, 0, 8, 8);
    glFinish();
    glRectf(0, 0, 8, 8);
    glcompatEndFrame();
    EXPECT_EQ(s.ends(GlcompatBatchEnd::State), 1u);
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Matrices), 1u);
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Lighting), 2u);
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Program), 0u) << "lines after a lighting change: already ended";
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Clear), 1u);
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Read), 1u);
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Finish), 1u);
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Frame), 1u);
    const GlcompatCounters d = s.delta();
    EXPECT_EQ(d.draws, 8u);
    EXPECT_EQ(d.frames, 1u);
    uint64_t sum = 0, uniforms = 0;
    for (int i = 0; glcompatEsFunctionName(i); ++i) {
        sum += d.calls[i];
        if (std::strncmp(glcompatEsFunctionName(i), "glUniform", 9) == 0) uniforms += d.calls[i];
    }
    EXPECT_EQ(d.esCalls, sum);
    EXPECT_EQ(d.uniformCalls, uniforms);
    EXPECT_EQ(d.calls[functionIndex("glDrawArrays")], d.draws);
    EXPECT_EQ(d.bufferUploads, d.draws);
    EXPECT_STREQ(glcompatBatchEndName(GlcompatBatchEnd::Matrices), "matrices");

    // Another kind of primitive under the same state ends a batch as "program".
    s = Since{};
    glRectf(0, 0, 8, 8);
    glBegin(GL_POINTS);
    glVertex2f(1, 1);
    glEnd();
    glFinish();
    EXPECT_EQ(s.ends(GlcompatBatchEnd::Program), 1u);
}

}  // namespace
