// The conservative bounds behind the renderer's shortcuts: polygon rects contain every pixel the
// polygon can reach, side-plane and near-plane rejection, and the cover map's disjoint rects.
#include <gtest/gtest.h>

#include <vector>

#include "render/clip_space.h"
#include "tests/render/demo_clip.h"

namespace {

// Object-space polygon corners (x, y, z, w) through the clip space, then bounded.
ScreenRect polygonRect(const ClipSpace& c, const double (*points)[4], int n) {
    double clip[12][4];
    for (int i = 0; i < n; ++i)
        for (int r = 0; r < 4; ++r)
            clip[i][r] = c.m[r] * points[i][0] + c.m[4 + r] * points[i][1] + c.m[8 + r] * points[i][2] +
                         c.m[12 + r] * points[i][3];
    return clipPolygonRect(c.viewport, clip, n);
}

bool triangleOutsideView(const ClipSpace& c, const Vec3& a, const Vec3& b, const Vec3& d) {
    return outsideView(vertexOutcode(c, a), vertexOutcode(c, b), vertexOutcode(c, d));
}

bool contains(const ScreenRect& r, int x, int y) { return x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1; }

TEST(ClipSpace, PolygonRectBoundsProjectedCornersAndClampsToTheViewport) {
    const ClipSpace c = demoClip();
    // A triangle 2 units ahead: x_ndc = 2.5 * x / 2, so x = 0.4 lands at pixel 600.
    const double tri[3][4] = {{0, 0, -2, 1}, {0.4, 0, -2, 1}, {0, 0.4, -2, 1}};
    const ScreenRect r = polygonRect(c, tri, 3);
    EXPECT_TRUE(contains(r, 400, 300));
    EXPECT_TRUE(contains(r, 599, 300));
    EXPECT_TRUE(contains(r, 400, 449));  // y = 0.4 lands at 300 + 300 * 0.5 = 450
    EXPECT_LE(r.y1, 453);
    EXPECT_LE(r.x1, 603);
    EXPECT_GE(r.x0, 396);
    // Wholly to the right of the view: empty.
    const double right[3][4] = {{10, 0, -2, 1}, {12, 0, -2, 1}, {10, 1, -2, 1}};
    EXPECT_TRUE(rectEmpty(polygonRect(c, right, 3)));
}

TEST(ClipSpace, PointsAtInfinityAndBehindTheEyeStayConservative) {
    const ClipSpace c = demoClip();
    // A side extruded straight down from a point ahead: it reaches the bottom edge of the screen.
    const double side[3][4] = {{0, 0, -2, 1}, {0.1, 0, -2, 1}, {0, -1, 0, 0}};
    const ScreenRect down = polygonRect(c, side, 3);
    EXPECT_EQ(down.y0, 0);
    EXPECT_TRUE(contains(down, 401, 1));
    // A wall beside the eye with one corner behind it: on screen it runs from the left edge
    // (depth 2.5) to x = 300 (depth 10), above the horizon.
    const double beside[3][4] = {{-1, 0, -10, 1}, {-1, 0, 2, 1}, {-1, 1, -10, 1}};
    const ScreenRect r = polygonRect(c, beside, 3);
    EXPECT_EQ(r.x0, 0);
    EXPECT_TRUE(contains(r, 0, 350));
    EXPECT_TRUE(contains(r, 200, 340));
    EXPECT_TRUE(contains(r, 299, 301));
}

TEST(ClipSpace, TriangleOutsideViewNeedsAllCornersBeyondOnePlane) {
    const ClipSpace c = demoClip();
    EXPECT_TRUE(triangleOutsideView(c, {5, 0, -2}, {6, 0, -2}, {5, 1, -2}));     // right
    EXPECT_TRUE(triangleOutsideView(c, {0, 0, 1}, {1, 0, 2}, {0, 1, 1}));        // behind the eye
    EXPECT_TRUE(triangleOutsideView(c, {0, 0, -0.2f}, {0.01f, 0, -0.2f}, {0, 0.01f, -0.3f}));  // before near
    // Corners beyond different planes can still cross the view.
    EXPECT_FALSE(triangleOutsideView(c, {-5, 0, -2}, {5, 0, -2}, {0, 5, -2}));
    // On the right edge exactly (x_ndc = 1) is not far enough out to be dropped.
    EXPECT_FALSE(triangleOutsideView(c, {0.8f, 0, -2}, {0.8f, 0.1f, -2}, {0.9f, 0, -2}));
}

TEST(ClipSpace, CoverMapRectsAreDisjointAndCoverEveryMark) {
    const int viewport[4] = {10, 20, 333, 250};
    CoverMap map;
    map.reset(viewport);
    EXPECT_TRUE(map.empty());
    EXPECT_TRUE(map.rects().empty());
    const std::vector<ScreenRect> marks = {{15, 25, 40, 60}, {30, 50, 120, 70}, {300, 200, 400, 400}, {200, 100, 201, 101}};
    for (const ScreenRect& r : marks) map.mark(r);
    EXPECT_FALSE(map.empty());
    const std::vector<ScreenRect> rects = map.rects();
    std::vector<int> hits(333 * 250, 0);
    for (const ScreenRect& r : rects) {
        EXPECT_GE(r.x0, 10);
        EXPECT_GE(r.y0, 20);
        EXPECT_LE(r.x1, 343);
        EXPECT_LE(r.y1, 270);
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) ++hits[(y - 20) * 333 + (x - 10)];
    }
    for (int h : hits) ASSERT_LE(h, 1) << "a pixel is in two rects and would be darkened twice";
    for (const ScreenRect& m : marks)
        for (int y = std::max(m.y0, 20); y < std::min(m.y1, 270); ++y)
            for (int x = std::max(m.x0, 10); x < std::min(m.x1, 343); ++x)
                ASSERT_EQ(hits[(y - 20) * 333 + (x - 10)], 1) << "marked pixel " << x << "," << y << " is not covered";
    // Marks outside the viewport change nothing; a reset forgets.
    map.reset(viewport);
    map.mark({0, 0, 10, 20});
    EXPECT_TRUE(map.rects().empty());
}

}  // namespace
