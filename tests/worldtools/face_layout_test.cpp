// Texture layout of the flat-sided primitives: every face of a box or wedge shows its texture
// upright and the right way round seen from outside (tops with the picture's top towards -z,
// bottoms towards +z), whatever size the solid has.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/world/primitives.h"

namespace {

Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// For each triangle: the directions in which u and v grow on the face must be the viewer's right
// and up, and the picture must not be mirrored.
void expectUprightFaces(const Mesh& m, const char* what) {
    for (size_t i = 0; i < m.triangles.size(); ++i) {
        const MeshTri& t = m.triangles[i];
        const Vec3 p0 = m.positions[t.v[0]];
        const Vec3 e1 = sub(m.positions[t.v[1]], p0), e2 = sub(m.positions[t.v[2]], p0);
        const float du1 = t.uv[1][0] - t.uv[0][0], dv1 = t.uv[1][1] - t.uv[0][1];
        const float du2 = t.uv[2][0] - t.uv[0][0], dv2 = t.uv[2][1] - t.uv[0][1];
        const float det = du1 * dv2 - du2 * dv1;
        ASSERT_GT(std::fabs(det), 1e-6f) << what << " triangle " << i << " has a degenerate texture mapping";
        // Where u and v point on the face (the texture's gradient directions).
        const Vec3 tu{(e1.x * dv2 - e2.x * dv1) / det, (e1.y * dv2 - e2.y * dv1) / det, (e1.z * dv2 - e2.z * dv1) / det};
        const Vec3 tv{(e2.x * du1 - e1.x * du2) / det, (e2.y * du1 - e1.y * du2) / det, (e2.z * du1 - e1.z * du2) / det};
        Vec3 n = cross(e1, e2);
        const float len = std::sqrt(dot(n, n));
        n = {n.x / len, n.y / len, n.z / len};
        Vec3 up;
        if (std::fabs(n.y) > 0.999f) up = {0, 0, n.y > 0 ? -1.0f : 1.0f};
        else up = {-n.y * n.x, 1 - n.y * n.y, -n.y * n.z};
        const Vec3 right = cross(up, n);
        EXPECT_GT(dot(tv, up), 0) << what << " triangle " << i << ": picture upside down";
        EXPECT_GT(dot(tu, right), 0) << what << " triangle " << i << ": picture mirrored or turned";
        EXPECT_NEAR(dot(tu, up), 0, 1e-4f) << what << " triangle " << i << ": picture turned";
        EXPECT_NEAR(dot(tv, right), 0, 1e-4f) << what << " triangle " << i << ": picture turned";
        // Texture coordinates stay within one copy of the texture per face.
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 2; ++c) {
                EXPECT_GE(t.uv[k][c], -1e-5f) << what << " triangle " << i;
                EXPECT_LE(t.uv[k][c], 1 + 1e-5f) << what << " triangle " << i;
            }
    }
}

TEST(FaceLayout, BoxAndWedgeFacesAreUprightSeenFromOutside) {
    PrimitiveParams p;
    p.size = {2.4f, 0.3f, 1.2f};
    expectUprightFaces(makeBox(p), "box");
    expectUprightFaces(makeWedge(p), "wedge");
    p.size = {1, 1, 1};
    expectUprightFaces(makeBox(p), "cube");
    p.size = {0.5f, 3, 2};
    expectUprightFaces(makeWedge(p), "tall wedge");
}

TEST(FaceLayout, EachFaceSpansTheWholeTextureTimesItsRepeat) {
    PrimitiveParams p;
    p.size = {2, 1, 3};
    p.uvRepeat[0] = 2;
    p.uvRepeat[1] = 3;
    const Mesh m = makeBox(p);
    ASSERT_EQ(m.triangles.size(), 12u);
    for (size_t face = 0; face < 6; ++face) {  // two triangles a face
        float umax = 0, vmax = 0;
        for (size_t t = 2 * face; t < 2 * face + 2; ++t)
            for (int k = 0; k < 3; ++k) {
                umax = std::fmax(umax, m.triangles[t].uv[k][0]);
                vmax = std::fmax(vmax, m.triangles[t].uv[k][1]);
            }
        EXPECT_FLOAT_EQ(umax, 2) << "face " << face;
        EXPECT_FLOAT_EQ(vmax, 3) << "face " << face;
    }
}

}  // namespace
