// Applying world materials to OpenGL: every field reaches the front material, and an index past
// the table leaves the material that was in effect.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>

#include "render/renderer.h"
#include "tests/render/gl_test.h"
#include "tests/render/test_world.h"
#include "world/world_build.h"

namespace tw = testworld;

namespace {

using Rgba = std::array<float, 4>;

// Every component of every field distinct, so a field written from the wrong member shows.
Material numbered(float base) {
    Material m{};
    for (int k = 0; k < 4; ++k) {
        m.emission[k] = base + 0.01f * k;
        m.ambient[k] = base + 0.10f + 0.01f * k;
        m.diffuse[k] = base + 0.20f + 0.01f * k;
        m.specular[k] = base + 0.30f + 0.01f * k;
    }
    m.shininess = 100 * base + 5;
    return m;
}

Rgba material(GLenum face, GLenum what) {
    Rgba v{-1, -1, -1, -1};
    glGetMaterialfv(face, what, v.data());
    return v;
}

float shininess(GLenum face) {
    GLfloat s = -1;
    glGetMaterialfv(face, GL_SHININESS, &s);
    return s;
}

void expectFront(const Material& m) {
    const Rgba ambient = material(GL_FRONT, GL_AMBIENT), diffuse = material(GL_FRONT, GL_DIFFUSE),
               specular = material(GL_FRONT, GL_SPECULAR), emission = material(GL_FRONT, GL_EMISSION);
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(ambient[k], m.ambient[k]) << "ambient " << k;
        EXPECT_FLOAT_EQ(diffuse[k], m.diffuse[k]) << "diffuse " << k;
        EXPECT_FLOAT_EQ(specular[k], m.specular[k]) << "specular " << k;
        EXPECT_FLOAT_EQ(emission[k], m.emission[k]) << "emission " << k;
    }
    EXPECT_FLOAT_EQ(shininess(GL_FRONT), m.shininess);
}

class MaterialTest : public gltest::RenderTest {
protected:
    World* world = tw::makeWorld();
    const Material first = numbered(0.1f);
    const Material second = numbered(0.5f);
    void SetUp() override {
        gltest::RenderTest::SetUp();
        addMaterial(world, first);
        addMaterial(world, second);
    }
    void TearDown() override { freeWorld(world); }
};

TEST_F(MaterialTest, EveryFieldReachesTheFrontMaterialOnly) {
    const Rgba back{0.9f, 0.8f, 0.7f, 0.6f};
    for (GLenum what : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION}) glMaterialfv(GL_BACK, what, back.data());
    glMaterialf(GL_BACK, GL_SHININESS, 3);

    applyMaterial(0, world);
    expectFront(first);
    applyMaterial(1, world);
    expectFront(second);

    for (GLenum what : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION}) {
        const Rgba b = material(GL_BACK, what);
        for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(b[k], back[k]) << "back face, field " << what;
    }
    EXPECT_FLOAT_EQ(shininess(GL_BACK), 3);
}

TEST_F(MaterialTest, IndexPastTheTableKeepsTheMaterialInEffect) {
    applyMaterial(1, world);
    applyMaterial(2, world);  // one past the end
    expectFront(second);
    applyMaterial(0x7FFF, world);
    expectFront(second);
    // Negative indices compare as huge unsigned ones and are past the table too.
    applyMaterial(-1, world);
    expectFront(second);
    applyMaterial(-32768, world);
    expectFront(second);
    // The last entry is still in range.
    applyMaterial(0, world);
    applyMaterial(world->materialCount - 1, world);
    expectFront(second);
}

}  // namespace
