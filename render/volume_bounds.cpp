// Screen bounds of a shadow volume, primitive by primitive.
#include "render/volume_bounds.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// How far a conformant rasterizer's window position of a corner may lie from the one computed
// here. GL asks its floating-point operations for about 1 part in 1e5, which bounds the transform
// (a sum of products, measured against the magnitudes summed), the division by w and the viewport
// mapping; then the rasterizer snaps window coordinates to its subpixel grid, and GL ES lets that
// grid be as coarse as 4 bits (SwiftShader's, behind Chromium's software WebGL): a corner may move
// by up to 1/16 pixel, four times llvmpipe's 1/256 rounded up.
constexpr double kOperationError = 1e-5;
constexpr double kSubpixelSnap = 1.0 / 16;
// Operations between a clip coordinate and its window coordinate: a division, a multiplication
// and two additions.
constexpr int kWindowOperations = 4;

// Each model vertex in clip space twice: in place (w = 1) and pushed to infinity away from the
// light (w = 0), the two forms the volume draws.
struct ProjectedVertex {
    double clip[2][4];
    bool projects[2];  // w is clearly positive, so single and double precision agree on where it lands
    double window[2][2];
    double error[2];  // bound on how far the driver's window position may be from ours, pixels
    // Strictly inside the view volume, beyond the error: a triangle of such corners reaches the
    // rasterizer unclipped, so its facing there is the one its corners give.
    bool unclipped[2];
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
            const double* m = b.clip.m;
            for (int r = 0; r < 4; ++r)
                c[r] = m[r] * in[f][0] + m[4 + r] * in[f][1] + m[8 + r] * in[f][2] + m[12 + r] * in[f][3];
            const double w = c[3];
            out.projects[f] = w > 1e-3;
            out.unclipped[f] = false;
            if (out.projects[f]) {
                const double x = c[0] / w, y = c[1] / w;
                out.window[f][0] = vp[0] + (x + 1) * 0.5 * vp[2];
                out.window[f][1] = vp[1] + (y + 1) * 0.5 * vp[3];
                // The transform errs by at most kOperationError of the magnitudes summed into x,
                // y and w (and of the translations folded into the matrix); the division and the
                // viewport mapping by that much of their results; then the subpixel snap.
                double sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += (std::fabs(m[k * 4]) + std::fabs(m[k * 4 + 1]) + std::fabs(m[k * 4 + 3])) *
                           std::fabs(in[f][k]);
                const double clipError = kOperationError * (sum + 4 * b.clip.reach * in[f][3]) + 1e-7;
                const double halfX = 0.5 * vp[2], halfY = 0.5 * vp[3];
                const double mapping = kWindowOperations * kOperationError *
                                       ((1 + std::fabs(x)) * halfX + (1 + std::fabs(y)) * halfY +
                                        std::fabs(out.window[f][0]) + std::fabs(out.window[f][1]));
                out.error[f] = clipError / w * ((1 + std::fabs(x)) * halfX + (1 + std::fabs(y)) * halfY) +
                               mapping + kSubpixelSnap;
                // Points at infinity lie on the far plane exactly (the projection makes z = w for
                // them in any precision) and in front of the near plane whenever w > 0.
                const double inner = w * (1 - 1e-4) - clipError;
                out.unclipped[f] = std::fabs(c[0]) < inner && std::fabs(c[1]) < inner &&
                                   (in[f][3] == 0 || c[2] + c[3] > 1e-4 * w + 2 * clipError);
            }
        }
    }
}

// The facing of triangle (i0, i1, i2) in the given forms, or 0 when it is not beyond doubt. Only
// unclipped triangles count: the pieces clipping makes are culled one by one, and a sliver among
// them could come out facing either way.
int8_t facingOf(const Bounds& b, const uint32_t index[3], const int form[3]) {
    const ProjectedVertex* v[3];
    double error = 0;
    for (int i = 0; i < 3; ++i) {
        v[i] = &b.vertices[index[i]];
        if (!v[i]->unclipped[form[i]]) return 0;
        error += v[i]->error[form[i]];
    }
    const double* p0 = v[0]->window[form[0]];
    const double* p1 = v[1]->window[form[1]];
    const double* p2 = v[2]->window[form[2]];
    const double ax = p1[0] - p0[0], ay = p1[1] - p0[1], bx = p2[0] - p0[0], by = p2[1] - p0[1];
    const double area2 = ax * by - ay * bx;
    // Moving each corner by up to its error changes twice the area by at most 2 * (sum of the
    // errors) * (longest edge) plus a second-order term.
    const double edge = std::max({std::fabs(ax) + std::fabs(ay), std::fabs(bx) + std::fabs(by),
                                  std::fabs(bx - ax) + std::fabs(by - ay)});
    const double margin = 2 * error * edge + 4 * error * error;
    if (area2 > margin) return 1;
    if (area2 < -margin) return -1;
    return 0;
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
                     uint32_t edgeCount, const Vec3& light, const uint8_t* litMask, CoverMap& cover,
                     VolumeFacing* facing) {
    Bounds b{clip, model, light, scratch, false};
    project(b);
    const uint32_t vertexCount = model.vertexCount;
    if (facing) {
        facing->sides.assign(2 * static_cast<size_t>(edgeCount), 0);
        facing->caps.assign(model.triangleCount > 0 ? model.triangleCount : 0, 0);
    }
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
        if (facing) {
            const uint32_t first[3] = {a, a, c}, second[3] = {c, a, c};
            const int firstForm[3] = {0, 1, 0}, secondForm[3] = {0, 1, 1};
            facing->sides[2 * j] = facingOf(b, first, firstForm);
            facing->sides[2 * j + 1] = facingOf(b, second, secondForm);
        }
    }
    // Caps: light-facing triangles in place, the others at infinity. Each cap whose corners all
    // project is marked as the one padded box of them (it holds every triangle's box); a cap with
    // a corner near or behind the eye plane is marked triangle by triangle.
    const int16_t n = model.triangleCount;
    bool whole[2] = {true, true};
    double box[2][4] = {{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL}, {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
    for (int r = 0; r < n; ++r) {
        const Triangle& t = *model.triangles[r];
        if (!valid(t)) continue;
        const int f = litMask[r] & 1 ? 0 : 1;
        if (facing) {
            const int form[3] = {f, f, f};
            facing->caps[r] = facingOf(b, t.v, form);
        }
        for (int k = 0; k < 3 && whole[f]; ++k) {
            const ProjectedVertex& v = b.vertices[t.v[k]];
            if (!v.projects[f]) {
                whole[f] = false;
                break;
            }
            box[f][0] = std::min(box[f][0], v.window[f][0]);
            box[f][1] = std::min(box[f][1], v.window[f][1]);
            box[f][2] = std::max(box[f][2], v.window[f][0]);
            box[f][3] = std::max(box[f][3], v.window[f][1]);
        }
    }
    for (int f = 0; f < 2; ++f)
        if (whole[f] && box[f][0] <= box[f][2]) mark(b, cover, paddedRect(clip.viewport, box[f][0], box[f][1], box[f][2], box[f][3]));
    for (int r = 0; r < n; ++r) {
        const Triangle& t = *model.triangles[r];
        const int f = litMask[r] & 1 ? 0 : 1;
        if (whole[f] || !valid(t)) continue;
        const int form[3] = {f, f, f};
        markPrimitive(b, cover, t.v, form, 3);
    }
    return b.any;
}
