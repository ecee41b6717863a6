// Shadow-volume triangles cut to the guard band before the driver sees them.
#include "render/volume_clip.h"

#include <GL/gl.h>

#include <algorithm>

VolumeClipState volumeClipState{};

void resetVolumeClip() { volumeClipState = VolumeClipState{}; }

namespace {

constexpr int kPlanes = 5;
// A triangle cut by five planes keeps at most eight corners.
constexpr int kMaxCorners = 8;

// Signed distance inside plane `plane`: 0-3 the guard band's sides, 4 the plane between the eye
// and the near plane (for a perspective projection z = -w at the near plane and z < 0 = w at
// the eye, so z + 2w is positive at the one and negative at the other).
double inside(const double c[4], int plane) {
    switch (plane) {
        case 0: return kVolumeGuardBand * c[3] + c[0];
        case 1: return kVolumeGuardBand * c[3] - c[0];
        case 2: return kVolumeGuardBand * c[3] + c[1];
        case 3: return kVolumeGuardBand * c[3] - c[1];
        default: return c[2] + 2 * c[3];
    }
}

// The lexicographic order of object coordinates: which end of an edge a cut starts from.
bool before(const VolumeCorner& a, const VolumeCorner& b) {
    return std::lexicographical_compare(a.object, a.object + 4, b.object, b.object + 4);
}

// Where edge (p, q) crosses `plane`, computed from the earlier end in the fixed order.
VolumeCorner crossing(const VolumeCorner& p, const VolumeCorner& q, int plane) {
    const VolumeCorner& a = before(p, q) ? p : q;
    const VolumeCorner& b = before(p, q) ? q : p;
    const double da = inside(a.clip, plane), db = inside(b.clip, plane);
    const double t = da / (da - db);
    VolumeCorner out;
    for (int k = 0; k < 4; ++k) {
        out.object[k] = a.object[k] + t * (b.object[k] - a.object[k]);
        out.clip[k] = a.clip[k] + t * (b.clip[k] - a.clip[k]);
    }
    return out;
}

void vertex(const VolumeCorner& c) {
    glVertex4f(static_cast<float>(c.object[0]), static_cast<float>(c.object[1]),
               static_cast<float>(c.object[2]), static_cast<float>(c.object[3]));
}

}  // namespace

bool insideGuardBand(const double clip[4]) {
    for (int plane = 0; plane < kPlanes; ++plane)
        if (!(inside(clip, plane) >= 0)) return false;
    return true;
}

int cutToGuardBand(const VolumeCorner* in, int n, VolumeCorner* out) {
    VolumeCorner a[kMaxCorners], b[kMaxCorners];
    n = std::min(n, 3);
    std::copy(in, in + n, a);
    VolumeCorner* cur = a;
    VolumeCorner* next = b;
    for (int plane = 0; plane < kPlanes && n > 0; ++plane) {
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const VolumeCorner& p = cur[i];
            const VolumeCorner& q = cur[(i + 1) % n];
            const double dp = inside(p.clip, plane), dq = inside(q.clip, plane);
            if (dp >= 0) next[m++] = p;
            if ((dp >= 0) != (dq >= 0)) next[m++] = crossing(p, q, plane);
        }
        n = m;
        std::swap(cur, next);
    }
    // A polygon of fewer than three corners has no area.
    if (n < 3) return 0;
    std::copy(cur, cur + n, out);
    return n;
}

void beginVolumeCorners(const ClipSpace& clip, Vec3** vertices, const Vec3& light) {
    VolumeClipState& s = volumeClipState;
    s.clip = clip;
    s.vertices = vertices;
    s.light = light;
    if (++s.generation == 0) {
        std::fill(s.stamps.begin(), s.stamps.end(), 0);
        s.generation = 1;
    }
}

namespace {

// Corner (vertex, form) of the volume, computed on first use.
size_t corner(uint32_t vertex, int form) {
    VolumeClipState& s = volumeClipState;
    const size_t at = 2 * static_cast<size_t>(vertex) + form;
    if (at >= s.stamps.size()) {
        const size_t size = std::max(at + 2, 2 * s.stamps.size());
        s.corners.resize(size);
        s.stamps.resize(size, 0);
        s.inside.resize(size);
    }
    if (s.stamps[at] == s.generation) return at;
    s.stamps[at] = s.generation;
    const Vec3& p = *s.vertices[vertex];
    VolumeCorner& c = s.corners[at];
    if (form == 0) {
        c.object[0] = p.x, c.object[1] = p.y, c.object[2] = p.z, c.object[3] = 1;
    } else {
        // The very values glVertex4f gets: the single-precision difference.
        c.object[0] = p.x - s.light.x, c.object[1] = p.y - s.light.y, c.object[2] = p.z - s.light.z;
        c.object[3] = 0;
    }
    const double* m = s.clip.m;
    for (int r = 0; r < 4; ++r)
        c.clip[r] = m[r] * c.object[0] + m[4 + r] * c.object[1] + m[8 + r] * c.object[2] + m[12 + r] * c.object[3];
    s.inside[at] = insideGuardBand(c.clip);
    return at;
}

}  // namespace

bool cornerInside(uint32_t vertex, int form) { return volumeClipState.inside[corner(vertex, form)]; }

void emitVolumeTriangle(const uint32_t v[3], const int form[3]) {
    VolumeClipState& s = volumeClipState;
    size_t at[3];
    for (int i = 0; i < 3; ++i) at[i] = corner(v[i], form[i]);
    if (s.inside[at[0]] && s.inside[at[1]] && s.inside[at[2]]) {
        for (size_t i : at) vertex(s.corners[i]);
        return;
    }
    const VolumeCorner in[3] = {s.corners[at[0]], s.corners[at[1]], s.corners[at[2]]};
    VolumeCorner out[kMaxCorners];
    const int n = cutToGuardBand(in, 3, out);
    s.cut++;
    if (n == 0) s.dropped++;
    // A fan keeps the triangle's winding.
    for (int i = 1; i + 1 < n; ++i) {
        vertex(out[0]);
        vertex(out[i]);
        vertex(out[i + 1]);
    }
}
