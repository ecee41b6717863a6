// Plane and box primitives: orientation of normals, offsets, inclusive box bounds.
#include <gtest/gtest.h>

#include "math/vecmath.h"

namespace {

TEST(VecMath, PlaneOfCounterClockwiseTriangleFacesTheViewer) {
    Plane p;
    planeFromPoints({0, 0, 2}, {1, 0, 2}, {0, 1, 2}, p);  // counter-clockwise seen from +z
    EXPECT_FLOAT_EQ(p.nx, 0);
    EXPECT_FLOAT_EQ(p.ny, 0);
    EXPECT_FLOAT_EQ(p.nz, 1);
    EXPECT_FLOAT_EQ(p.d, -2);
    EXPECT_GT(planeValue(p, {0, 0, 3}), 0);
    EXPECT_LT(planeValue(p, {5, 5, 1}), 0);

    Plane q;  // two points swapped: reversed normal, negated offset
    planeFromPoints({1, 0, 2}, {0, 0, 2}, {0, 1, 2}, q);
    EXPECT_FLOAT_EQ(q.nz, -1);
    EXPECT_FLOAT_EQ(q.d, 2);
}

TEST(VecMath, PlaneOffsetComesFromTheSecondPoint) {
    Plane p;
    planeFromPoints({0, 0, 0}, {3, 4, 0}, {0, 0, 1}, p);  // vertical plane through the origin
    EXPECT_NEAR(p.d, 0, 1e-6);
    EXPECT_NEAR(p.nx * p.nx + p.ny * p.ny + p.nz * p.nz, 1, 1e-6);
}

TEST(VecMath, NormalizeGivesUnitLengthAndLeavesZeroAlone) {
    Vec3 v{3, 0, 4};
    normalize(v);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);
    Vec3 zero{0, 0, 0};
    normalize(zero);
    EXPECT_EQ(zero.x, 0);
    EXPECT_EQ(zero.y, 0);
}

TEST(VecMath, PointInBoxIsInclusiveAndAcceptsCornersInEitherOrder) {
    const Vec3 a{0, 0, 0}, b{2, 3, 4};
    EXPECT_TRUE(pointInBox({1, 1, 1}, a, b));
    EXPECT_TRUE(pointInBox({2, 3, 4}, a, b));   // corner
    EXPECT_TRUE(pointInBox({0, 1.5f, 2}, a, b));  // face
    EXPECT_TRUE(pointInBox({1, 1, 1}, b, a));
    EXPECT_TRUE(pointInBox({2, 0, 4}, b, a));
    EXPECT_FALSE(pointInBox({2.01f, 1, 1}, a, b));
    EXPECT_FALSE(pointInBox({1, -0.01f, 1}, b, a));
}

}  // namespace
