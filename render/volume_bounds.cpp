// Screen bounds of a shadow volume, primitive by primitive.
#include "render/volume_bounds.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Each model vertex in clip space twice: in place (w = 1) and pushed to infinity away from the
// light (w = 0), the two forms the volume draws.
struct ProjectedVertex {
    double clip[2][4];
    bool projects[2];  // w is clearly positive, so single and double precision agree on where it lands
    double window[2][2];
};

struct Bounds {
    const ClipSpace& clip;
    const Model& model;
    const Vec3& light;
    std::vector<ProjectedVertex>& vertices;
    bool any = false;
};

// Reused from call to call: the frame loop bounds every caster of every room drawn.
std::vector<ProjectedVertex> scratch;

void project(Bounds& b) {
    const int* vp = b.clip.viewport;
    b.vertices.resize(b.model.vertexCount);
    for (uint32_t i = 0; i < b.model.vertexCount; ++i) {
        const Vec3& p = *b.model.vertices[i];
        const double in[2][4] = {{p.x, p.y, p.z, 1}, {p.x - b.light.x, p.y - b.light.y, p.z - b.light.z, 0}};
        ProjectedVertex& out = b.vertices[i];
        for (int f = 0; f < 2; ++f) {
            double* c = out.clip[f];
            for (int r = 0; r < 4; ++r)
                c[r] = b.clip.m[r] * in[f][0] + b.clip.m[4 + r] * in[f][1] + b.clip.m[8 + r] * in[f][2] +
                       b.clip.m[12 + r] * in[f][3];
            const double w = c[3];
            out.projects[f] = w > 1e-3;
            if (out.projects[f]) {
                out.window[f][0] = vp[0] + (c[0] / w + 1) * 0.5 * vp[2];
                out.window[f][1] = vp[1] + (c[1] / w + 1) * 0.5 * vp[3];
            }
        }
    }
}

void mark(Bounds& b, CoverMap& cover, const ScreenRect& r) {
    if (rectEmpty(r)) return;
    cover.mark(r);
    b.any = true;
}

// One primitive given by (vertex index, form) pairs. When every corner is on screen the rect is
// the padded box of the projected corners; otherwise the clipped polygon's rect, per triangle.
void markPrimitive(Bounds& b, CoverMap& cover, const uint32_t* index, const int* form, int n) {
    bool simple = true;
    for (int i = 0; i < n && simple; ++i) simple = b.vertices[index[i]].projects[form[i]];
    if (simple) {
        double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
        for (int i = 0; i < n; ++i) {
            const double* w = b.vertices[index[i]].window[form[i]];
            x0 = std::min(x0, w[0]);
            x1 = std::max(x1, w[0]);
            y0 = std::min(y0, w[1]);
            y1 = std::max(y1, w[1]);
        }
        mark(b, cover, paddedRect(b.clip.viewport, x0, y0, x1, y1));
        return;
    }
    // A triangle strip of n corners: triangles (i, i+1, i+2), each clipped on its own.
    for (int t = 0; t + 2 < n; ++t) {
        double corners[3][4];
        for (int i = 0; i < 3; ++i) {
            const double* c = b.vertices[index[t + i]].clip[form[t + i]];
            std::copy(c, c + 4, corners[i]);
        }
        mark(b, cover, clipPolygonRect(b.clip.viewport, corners, 3));
    }
}

}  // namespace

bool markVolumeCover(const ClipSpace& clip, const Model& model, const SilhouetteEdge* edges,
                     uint32_t edgeCount, const Vec3& light, const uint8_t* litMask, CoverMap& cover) {
    Bounds b{clip, model, light, scratch, false};
    project(b);
    const uint32_t vertexCount = model.vertexCount;
    auto valid = [&](const Triangle& t) {
        return t.v[0] < vertexCount && t.v[1] < vertexCount && t.v[2] < vertexCount;
    };
    // Sides: the strip a, a at infinity, b, b at infinity.
    for (uint32_t j = 0; j < edgeCount; ++j) {
        const Triangle& t = *model.triangles[edges[j].triangle];
        if (!valid(t)) continue;
        const int k = edges[j].edge;
        const uint32_t a = t.v[k], c = t.v[k < 2 ? k + 1 : 0];
        const uint32_t index[4] = {a, a, c, c};
        const int form[4] = {0, 1, 0, 1};
        markPrimitive(b, cover, index, form, 4);
    }
    // Caps: light-facing triangles in place, the others at infinity.
    const int16_t n = model.triangleCount;
    for (int r = 0; r < n; ++r) {
        const Triangle& t = *model.triangles[r];
        if (!valid(t)) continue;
        const int f = litMask[r] & 1 ? 0 : 1;
        const int form[3] = {f, f, f};
        markPrimitive(b, cover, t.v, form, 3);
    }
    return b.any;
}
