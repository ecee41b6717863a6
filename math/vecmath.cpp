// Vector and plane primitives.
#include "math/vecmath.h"

#include <cmath>

void faceNormal(const Vec3& a, const Vec3& b, const Vec3& c, Vec3& out) {
    const Vec3 e1{b.x - a.x, b.y - a.y, b.z - a.z};
    const Vec3 e2{c.x - a.x, c.y - a.y, c.z - a.z};
    out.x = e1.y * e2.z - e2.y * e1.z;
    out.y = e1.z * e2.x - e2.z * e1.x;
    out.z = e2.y * e1.x - e1.y * e2.x;
    normalize(out);
}

void planeFromPoints(const Vec3& a, const Vec3& b, const Vec3& c, Plane& out) {
    Vec3 n;
    faceNormal(a, b, c, n);
    out.nx = n.x;
    out.ny = n.y;
    out.nz = n.z;
    out.d = -(n.x * b.x + n.y * b.y + n.z * b.z);
}

void normalize(Vec3& v) {
    const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    // Degenerate input has no direction; keeping it finite stops NaNs spreading through a frame.
    if (!(len > 0.0f)) return;
    v.x /= len;
    v.y /= len;
    v.z /= len;
}

bool pointInBox(const Vec3& p, const Vec3& a, const Vec3& b) {
    for (int i = 0; i < 3; ++i) {
        const float lo = b[i] >= a[i] ? a[i] : b[i];
        const float hi = b[i] >= a[i] ? b[i] : a[i];
        if (!(lo <= p[i] && p[i] <= hi)) return false;
    }
    return true;
}
