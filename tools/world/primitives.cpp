// Built-in closed meshes. Flat-sided solids map each face's texture once over the face, upright
// and the right way round seen from outside; round ones use their angles, so a texture wraps
// around them once (times uvRepeat).
#include "tools/world/primitives.h"

#include <array>
#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;

uint32_t addPos(Mesh& m, double x, double y, double z) {
    m.positions.push_back({float(x), float(y), float(z)});
    return static_cast<uint32_t>(m.positions.size() - 1);
}

// A planar convex face given by corner indices, turned so that its normal points away from the
// solid's centre (the origin), with texture coordinates from the face's own 2D frame.
void addFlatFace(Mesh& m, std::vector<uint32_t> idx, const PrimitiveParams& p) {
    const Vec3& a = m.positions[idx[0]];
    const Vec3& b = m.positions[idx[1]];
    const Vec3& c = m.positions[idx[2]];
    Vec3 n;
    faceNormal(a, b, c, n);
    double cx = 0, cy = 0, cz = 0;
    for (uint32_t i : idx) {
        cx += m.positions[i].x;
        cy += m.positions[i].y;
        cz += m.positions[i].z;
    }
    if (n.x * cx + n.y * cy + n.z * cz < 0) {
        std::vector<uint32_t> rev(idx.rbegin(), idx.rend());
        idx.swap(rev);
        n = {-n.x, -n.y, -n.z};
    }
    // Face frame, the same for every face seen from outside: v runs up the face (for the top,
    // towards -z, the far side as the camera starts; for the bottom, towards +z) and u to the right.
    // Sides and slopes thus all show the texture upright, however the face turns.
    const Vec3& o = m.positions[idx[0]];
    Vec3 v;
    if (std::fabs(n.y) > 0.999f) {
        v = {0, 0, n.y > 0 ? -1.0f : 1.0f};
    } else {
        v = {-n.y * n.x, 1 - n.y * n.y, -n.y * n.z};
        normalize(v);
    }
    const Vec3 u{v.y * n.z - v.z * n.y, v.z * n.x - v.x * n.z, v.x * n.y - v.y * n.x};
    std::vector<float> us, vs;
    float umin = 1e30f, umax = -1e30f, vmin = 1e30f, vmax = -1e30f;
    for (uint32_t i : idx) {
        const Vec3& q = m.positions[i];
        const float du = (q.x - o.x) * u.x + (q.y - o.y) * u.y + (q.z - o.z) * u.z;
        const float dv = (q.x - o.x) * v.x + (q.y - o.y) * v.y + (q.z - o.z) * v.z;
        us.push_back(du);
        vs.push_back(dv);
        umin = std::fmin(umin, du);
        umax = std::fmax(umax, du);
        vmin = std::fmin(vmin, dv);
        vmax = std::fmax(vmax, dv);
    }
    std::vector<std::array<float, 2>> uv(idx.size());
    for (size_t i = 0; i < idx.size(); ++i) {
        uv[i][0] = (us[i] - umin) / (umax - umin) * p.uvRepeat[0];
        uv[i][1] = (vs[i] - vmin) / (vmax - vmin) * p.uvRepeat[1];
    }
    for (size_t i = 1; i + 1 < idx.size(); ++i)
        addMeshTriangle(m, idx[0], idx[i], idx[i + 1], uv[0].data(), uv[i].data(), uv[i + 1].data());
}

int atLeast(int v, int lo) { return v < lo ? lo : v; }

}  // namespace

Mesh makeBox(const PrimitiveParams& p) {
    Mesh m;
    const double hx = p.size.x / 2, hy = p.size.y / 2, hz = p.size.z / 2;
    uint32_t c[8];
    for (int i = 0; i < 8; ++i)
        c[i] = addPos(m, (i & 1) ? hx : -hx, (i & 2) ? hy : -hy, (i & 4) ? hz : -hz);
    addFlatFace(m, {c[0], c[2], c[6], c[4]}, p);  // -x
    addFlatFace(m, {c[1], c[3], c[7], c[5]}, p);  // +x
    addFlatFace(m, {c[0], c[1], c[5], c[4]}, p);  // -y
    addFlatFace(m, {c[2], c[3], c[7], c[6]}, p);  // +y
    addFlatFace(m, {c[0], c[1], c[3], c[2]}, p);  // -z
    addFlatFace(m, {c[4], c[5], c[7], c[6]}, p);  // +z
    return m;
}

Mesh makeWedge(const PrimitiveParams& p) {
    Mesh m;
    const double hx = p.size.x / 2, hy = p.size.y / 2, hz = p.size.z / 2;
    // Per side x = -hx, +hx: bottom back, top back, bottom front.
    uint32_t s[2][3];
    for (int i = 0; i < 2; ++i) {
        const double x = i ? hx : -hx;
        s[i][0] = addPos(m, x, -hy, -hz);
        s[i][1] = addPos(m, x, hy, -hz);
        s[i][2] = addPos(m, x, -hy, hz);
    }
    // The centroid of a wedge is not the origin; shift so the flat-face test sees it there.
    const float oy = float(-hy / 3), oz = float(-hz / 3);
    for (Vec3& q : m.positions) {
        q.y -= oy;
        q.z -= oz;
    }
    addFlatFace(m, {s[0][0], s[0][1], s[0][2]}, p);
    addFlatFace(m, {s[1][0], s[1][1], s[1][2]}, p);
    addFlatFace(m, {s[0][0], s[1][0], s[1][1], s[0][1]}, p);  // back
    addFlatFace(m, {s[0][0], s[1][0], s[1][2], s[0][2]}, p);  // bottom
    addFlatFace(m, {s[0][1], s[1][1], s[1][2], s[0][2]}, p);  // slope
    for (Vec3& q : m.positions) {
        q.y += oy;
        q.z += oz;
    }
    return m;
}

Mesh makeCylinder(const PrimitiveParams& p) {
    Mesh m;
    const int n = atLeast(p.segments, 3);
    const double r = p.radius, h = p.height / 2;
    // Seam columns are duplicated in texture space only: positions are shared through modulo.
    std::vector<uint32_t> bottom(n), top(n);
    for (int j = 0; j < n; ++j) {
        const double t = 2 * kPi * j / n;
        bottom[j] = addPos(m, r * std::sin(t), -h, r * std::cos(t));
        top[j] = addPos(m, r * std::sin(t), h, r * std::cos(t));
    }
    const uint32_t cb = addPos(m, 0, -h, 0), ct = addPos(m, 0, h, 0);
    const float ru = p.uvRepeat[0], rv = p.uvRepeat[1];
    for (int j = 0; j < n; ++j) {
        const int k = (j + 1) % n;
        const float u0 = ru * j / n, u1 = ru * (j + 1) / n;
        const float b0[2] = {u0, 0}, b1[2] = {u1, 0}, t1[2] = {u1, rv}, t0[2] = {u0, rv};
        addMeshTriangle(m, bottom[j], bottom[k], top[k], b0, b1, t1);
        addMeshTriangle(m, bottom[j], top[k], top[j], b0, t1, t0);
        const double a0 = 2 * kPi * j / n, a1 = 2 * kPi * (j + 1) / n;
        const float c[2] = {0.5f * ru, 0.5f * rv};
        const float p0[2] = {float(0.5 + 0.5 * std::sin(a0)) * ru, float(0.5 + 0.5 * std::cos(a0)) * rv};
        const float p1[2] = {float(0.5 + 0.5 * std::sin(a1)) * ru, float(0.5 + 0.5 * std::cos(a1)) * rv};
        addMeshTriangle(m, ct, top[j], top[k], c, p0, p1);
        addMeshTriangle(m, cb, bottom[k], bottom[j], c, p1, p0);
    }
    return m;
}

Mesh makeSphere(const PrimitiveParams& p) {
    Mesh m;
    const int n = atLeast(p.segments, 3), rings = atLeast(p.rings, 2);
    const double r = p.radius;
    const uint32_t north = addPos(m, 0, r, 0);
    std::vector<std::vector<uint32_t>> ring(rings - 1, std::vector<uint32_t>(n));
    for (int i = 1; i < rings; ++i) {
        const double phi = kPi * i / rings, y = r * std::cos(phi), rho = r * std::sin(phi);
        for (int j = 0; j < n; ++j) {
            const double t = 2 * kPi * j / n;
            ring[i - 1][j] = addPos(m, rho * std::sin(t), y, rho * std::cos(t));
        }
    }
    const uint32_t south = addPos(m, 0, -r, 0);
    const float ru = p.uvRepeat[0], rv = p.uvRepeat[1];
    auto uv = [&](int i, int j, float out[2]) {
        out[0] = ru * j / n;
        out[1] = rv * (1.0f - float(i) / rings);
    };
    for (int j = 0; j < n; ++j) {
        const int k = (j + 1) % n;
        float a[2], b[2], c[2], d[2];
        const float pole[2] = {ru * (j + 0.5f) / n, rv};
        uv(1, j, a);
        uv(1, j + 1, b);
        addMeshTriangle(m, north, ring[0][j], ring[0][k], pole, a, b);
        for (int i = 1; i + 1 < rings; ++i) {
            uv(i, j, a);
            uv(i, j + 1, b);
            uv(i + 1, j + 1, c);
            uv(i + 1, j, d);
            const auto& up = ring[i - 1];
            const auto& lo = ring[i];
            addMeshTriangle(m, lo[j], lo[k], up[k], d, c, b);
            addMeshTriangle(m, lo[j], up[k], up[j], d, b, a);
        }
        const float spole[2] = {ru * (j + 0.5f) / n, 0};
        uv(rings - 1, j, a);
        uv(rings - 1, j + 1, b);
        addMeshTriangle(m, south, ring[rings - 2][k], ring[rings - 2][j], spole, b, a);
    }
    return m;
}

Mesh makeTorus(const PrimitiveParams& p) {
    Mesh m;
    const int n = atLeast(p.segments, 3), sides = atLeast(p.rings, 3);
    const double R = p.radius, r = p.tubeRadius;
    std::vector<uint32_t> grid(size_t(n) * sides);
    for (int i = 0; i < n; ++i) {
        const double t = 2 * kPi * i / n;
        for (int j = 0; j < sides; ++j) {
            const double f = 2 * kPi * j / sides, w = R + r * std::cos(f);
            grid[size_t(i) * sides + j] = addPos(m, w * std::sin(t), r * std::sin(f), w * std::cos(t));
        }
    }
    const float ru = p.uvRepeat[0], rv = p.uvRepeat[1];
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < sides; ++j) {
            const int i1 = (i + 1) % n, j1 = (j + 1) % sides;
            const uint32_t a = grid[size_t(i) * sides + j], b = grid[size_t(i1) * sides + j];
            const uint32_t c = grid[size_t(i1) * sides + j1], d = grid[size_t(i) * sides + j1];
            const float ua[2] = {ru * i / n, rv * j / sides}, ub[2] = {ru * (i + 1) / n, rv * j / sides};
            const float uc[2] = {ru * (i + 1) / n, rv * (j + 1) / sides};
            const float ud[2] = {ru * i / n, rv * (j + 1) / sides};
            addMeshTriangle(m, a, b, c, ua, ub, uc);
            addMeshTriangle(m, a, c, d, ua, uc, ud);
        }
    }
    return m;
}
