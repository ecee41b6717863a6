// Shadow-volume triangles cut to the guard band: what is left reaches no corner near the eye plane,
// keeps every point a pixel ray can meet in front of the near plane and the triangle's winding,
// and two triangles sharing an edge cut it at the same point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "render/volume_clip.h"
#include "tests/render/demo_clip.h"

namespace {

VolumeCorner corner(const ClipSpace& c, double x, double y, double z, double w) {
    VolumeCorner out{{x, y, z, w}, {}};
    for (int r = 0; r < 4; ++r) out.clip[r] = c.m[r] * x + c.m[4 + r] * y + c.m[8 + r] * z + c.m[12 + r] * w;
    return out;
}

double det3(const double* a, const double* b, const double* c) {
    // Rows (x, y, w) of the three clip-space points.
    return a[0] * (b[1] * c[3] - b[3] * c[1]) - a[1] * (b[0] * c[3] - b[3] * c[0]) + a[3] * (b[0] * c[1] - b[1] * c[0]);
}

// Whether the ray through normalized device point (px, py) meets triangle (a, b, c) in front of
// the near plane (z >= -w), with a margin: 1 yes, 0 no, -1 too close to call.
int rayHits(const double* a, const double* b, const double* c, double px, double py) {
    // The ray's points are the positive multiples of (px, py, *, 1) in (x, y, w); the triangle's
    // are positive combinations of its corners. Cramer's rule for the combination.
    const double q[4] = {px, py, 0, 1};
    const double d = det3(a, b, c);
    if (std::fabs(d) < 1e-12) return 0;
    const double l[3] = {det3(q, b, c) / d, det3(a, q, c) / d, det3(a, b, q) / d};
    const double scale = std::fabs(l[0]) + std::fabs(l[1]) + std::fabs(l[2]);
    for (double x : l)
        if (std::fabs(x) < 1e-9 * scale) return -1;
    if (!(l[0] > 0 && l[1] > 0 && l[2] > 0)) return 0;
    const double z = l[0] * a[2] + l[1] * b[2] + l[2] * c[2], w = l[0] * a[3] + l[1] * b[3] + l[2] * c[3];
    if (std::fabs(z + w) < 1e-9 * (std::fabs(z) + std::fabs(w))) return -1;
    return z + w >= 0;
}

TEST(VolumeClip, GuardBandKeepsCornersThatProjectNearTheViewAndRefusesTheEyePlane) {
    const ClipSpace c = demoClip();
    EXPECT_TRUE(insideGuardBand(corner(c, 0, 0, -2, 1).clip));
    EXPECT_TRUE(insideGuardBand(corner(c, 3, -2, -2, 1).clip));     // 3.75 viewports' half-width out
    EXPECT_FALSE(insideGuardBand(corner(c, 4, 0, -2, 1).clip));     // 5 half-widths out
    EXPECT_TRUE(insideGuardBand(corner(c, 0.1, 0.2, -1, 0).clip));  // at infinity ahead
    EXPECT_FALSE(insideGuardBand(corner(c, 1, 0, 0, 0).clip));      // at infinity square to the view
    EXPECT_FALSE(insideGuardBand(corner(c, 1, 0, 1e-9, 0).clip));   // a hair behind it
    EXPECT_FALSE(insideGuardBand(corner(c, 0, 0, 1, 1).clip));      // behind the eye
    // Between the eye and the near plane (at 0.5): kept from a third of a unit out, refused nearer.
    EXPECT_TRUE(insideGuardBand(corner(c, 0, 0, -0.4, 1).clip));
    EXPECT_FALSE(insideGuardBand(corner(c, 0, 0, -0.3, 1).clip));
}

TEST(VolumeClip, ATriangleWithACornerOnTheEyePlaneKeepsWhatPixelRaysMeet) {
    const ClipSpace c = demoClip();
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> u(-1, 1);
    long compared = 0, hits = 0;
    for (int i = 0; i < 400; ++i) {
        // Two corners in place ahead, the third at infinity in a direction near square to the view
        // (w within a hair of 0, either side) or anywhere behind or beside the eye.
        VolumeCorner in[3] = {corner(c, u(rng), u(rng), -1.5 + u(rng), 1), corner(c, u(rng), u(rng), -1.5 + u(rng), 1),
                              i % 2 ? corner(c, u(rng), u(rng), 1e-7 * u(rng), 0)
                                    : corner(c, u(rng), u(rng), u(rng), i % 4 ? 0 : 1)};
        if (i % 3 == 0) std::swap(in[0], in[2]);
        VolumeCorner out[8];
        const int n = cutToGuardBand(in, 3, out);
        const double original = det3(in[0].clip, in[1].clip, in[2].clip);
        for (int k = 0; k < n; ++k) {
            // Every corner left projects inside the guard band, from a w clear of 0.
            const double* p = out[k].clip;
            ASSERT_GT(p[3], 0) << "triangle " << i;
            EXPECT_LE(std::fabs(p[0] / p[3]), kVolumeGuardBand * (1 + 1e-9));
            EXPECT_LE(std::fabs(p[1] / p[3]), kVolumeGuardBand * (1 + 1e-9));
        }
        for (int k = 1; k + 1 < n; ++k) {
            const double d = det3(out[0].clip, out[k].clip, out[k + 1].clip);
            if (std::fabs(d) > 1e-9) {
                EXPECT_EQ(d > 0, original > 0) << "triangle " << i << " turned over";
            }
        }
        for (int s = 0; s < 60; ++s) {
            const double px = u(rng), py = u(rng);
            const int before = rayHits(in[0].clip, in[1].clip, in[2].clip, px, py);
            int after = 0;
            bool close = before < 0;
            for (int k = 1; k + 1 < n; ++k) {
                const int h = rayHits(out[0].clip, out[k].clip, out[k + 1].clip, px, py);
                close = close || h < 0;
                after |= h > 0;
            }
            if (close) continue;
            ++compared;
            hits += before;
            EXPECT_EQ(after, before) << "triangle " << i << ", ray through (" << px << ", " << py << ")";
        }
    }
    EXPECT_GT(compared, 20000);
    EXPECT_GT(hits, 1000) << "the rays should meet the triangles often";
}

TEST(VolumeClip, TrianglesSharingAnEdgeCutItAtTheSamePoint) {
    const ClipSpace c = demoClip();
    // Edge (a, b) runs from ahead to a point at infinity square to the view; the two triangles
    // take it in opposite directions, as neighbouring faces of a closed volume do.
    const VolumeCorner a = corner(c, 0.3, 0.1, -2, 1), b = corner(c, 1, 0.2, 0, 0);
    const VolumeCorner left = corner(c, -0.4, 0.5, -2.5, 1), right = corner(c, 0.2, -0.6, -1.8, 1);
    const VolumeCorner one[3] = {a, b, left}, two[3] = {b, a, right};
    VolumeCorner outOne[8], outTwo[8];
    const int n1 = cutToGuardBand(one, 3, outOne), n2 = cutToGuardBand(two, 3, outTwo);
    ASSERT_GE(n1, 3);
    ASSERT_GE(n2, 3);
    // The new corner on the shared edge: in both outputs, bit for bit.
    int shared = 0;
    for (int i = 0; i < n1; ++i) {
        if (std::memcmp(outOne[i].object, a.object, sizeof a.object) == 0) continue;
        for (int j = 0; j < n2; ++j) shared += std::memcmp(outOne[i].object, outTwo[j].object, sizeof a.object) == 0;
    }
    EXPECT_EQ(shared, 1);
}

TEST(VolumeClip, NothingIsLeftOfATriangleWhollyBehindTheEye) {
    const ClipSpace c = demoClip();
    const VolumeCorner in[3] = {corner(c, 0, 0, 2, 1), corner(c, 1, 0, 3, 1), corner(c, 0, 1, 0.5, 0)};
    VolumeCorner out[8];
    EXPECT_EQ(cutToGuardBand(in, 3, out), 0);
}

TEST(VolumeClip, CornersComeFromTheVolumeBeingDrawn) {
    resetVolumeClip();
    const ClipSpace c = demoClip();
    Vec3 points[2] = {{0, 0, -2}, {1, 0, -2}};
    Vec3* vertices[2] = {&points[0], &points[1]};
    beginVolumeCorners(c, vertices, {0, 0, 0});
    EXPECT_TRUE(cornerInside(0, 0));
    EXPECT_TRUE(cornerInside(0, 1));   // straight ahead at infinity
    EXPECT_TRUE(cornerInside(1, 0));
    // The light moves level with the vertices: their points at infinity now lie square to the view.
    beginVolumeCorners(c, vertices, {5, 0, -2});
    EXPECT_FALSE(cornerInside(0, 1));
    EXPECT_FALSE(cornerInside(1, 1));
    EXPECT_TRUE(cornerInside(1, 0));
}

}  // namespace
