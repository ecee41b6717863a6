// Vector and plane primitives shared by the loader, the renderer, the shadow code and the controls.
// Everything is single-precision, matching the on-disk formats.
#pragma once

struct Vec3 {
    float x, y, z;

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

// n·p + d = 0 for points on the plane; positive plane values lie on the side n points to.
struct Plane {
    float nx, ny, nz, d;
};

// Unit normal of triangle a, b, c: points to the side from which a, b, c run counter-clockwise.
void faceNormal(const Vec3& a, const Vec3& b, const Vec3& c, Vec3& out);
// Plane through a, b, c; the offset is taken from b.
void planeFromPoints(const Vec3& a, const Vec3& b, const Vec3& c, Plane& out);
// Scales v to unit length in place. A zero vector is left as it is rather than turned into NaNs.
void normalize(Vec3& v);
// True when p lies between corners a and b (given in either order) on every axis, bounds inclusive.
bool pointInBox(const Vec3& p, const Vec3& a, const Vec3& b);
// Signed distance of p from plane (positive in front).
inline float planeValue(const Plane& pl, const Vec3& p) {
    return pl.nx * p.x + pl.ny * p.y + pl.nz * p.z + pl.d;
}
