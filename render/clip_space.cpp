// Conservative screen bounds and the frame's shadow cover map.
#include "render/clip_space.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

// Relative slack on every clip plane and the padding in pixels: our double-precision transform
// and the driver's single-precision one may disagree by far less than either.
constexpr double kPlaneSlack = 1e-4;
constexpr double kPadPixels = 2.0;
// A vertex this close to the eye plane projects unreliably: the bound becomes the whole viewport.
constexpr double kMinW = 1e-9;
// Corners a polygon may have; clipping against four planes adds at most four.
constexpr int kMaxPolygon = 12;

void multiply(const double a[16], const double b[16], double out[16]) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = s;
        }
}

void transform(const ClipSpace& clip, const double p[4], double out[4]) {
    for (int r = 0; r < 4; ++r)
        out[r] = clip.m[r] * p[0] + clip.m[4 + r] * p[1] + clip.m[8 + r] * p[2] + clip.m[12 + r] * p[3];
}

// Distance inside side plane `plane` (0 left, 1 right, 2 bottom, 3 top), loosened by the slack.
double inside(const double v[4], int plane) {
    const double w = v[3] + kPlaneSlack * (std::fabs(v[3]) + 1e-3);
    switch (plane) {
        case 0: return w + v[0];
        case 1: return w - v[0];
        case 2: return w + v[1];
        default: return w - v[1];
    }
}

}  // namespace

ClipSpace currentClipSpace() {
    ClipSpace out{};
    GLfloat projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, out.viewport);
    double p[16], mv[16];
    for (int i = 0; i < 16; ++i) {
        p[i] = projection[i];
        mv[i] = modelview[i];
    }
    multiply(p, mv, out.m);
    out.reach = std::sqrt(double(modelview[12]) * modelview[12] + double(modelview[13]) * modelview[13] +
                          double(modelview[14]) * modelview[14]);
    return out;
}

ClipSpace entityClipSpace(const ClipSpace& view, const Vec3& position, const float rotation[16]) {
    double model[16];
    for (int i = 0; i < 16; ++i) model[i] = rotation[i];
    // translate * rotation: the rotation's columns stay, the translation adds to the last column.
    for (int r = 0; r < 3; ++r) model[12 + r] += position[r] * model[15];
    ClipSpace out = view;
    multiply(view.m, model, out.m);
    out.reach = view.reach + std::fabs(position.x) + std::fabs(position.y) + std::fabs(position.z);
    return out;
}

uint8_t vertexOutcode(const ClipSpace& clip, const Vec3& p) {
    const double in[4] = {p.x, p.y, p.z, 1};
    double v[4];
    transform(clip, in, v);
    uint8_t code = 0;
    for (int plane = 0; plane < 4; ++plane)
        if (inside(v, plane) < 0) code |= static_cast<uint8_t>(1u << plane);
    // Behind the near plane (z < -w) by a margin.
    if (v[2] + v[3] + kPlaneSlack * (std::fabs(v[3]) + 1e-3) < 0) code |= 1u << 4;
    return code;
}

void vertexOutcodes(const ClipSpace& clip, Vec3** vertices, uint32_t count, std::vector<uint8_t>& out) {
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i) out[i] = vertexOutcode(clip, *vertices[i]);
}

void PoolOutcodes::begin(const ClipSpace& view, Vec3** vertices, uint32_t count) {
    view_ = view;
    vertices_ = vertices;
    count_ = vertices ? count : 0;
    computed_ = 0;
    // The stamps only grow with the largest pool seen; a new generation forgets every code.
    if (stamps_.size() < count_) {
        stamps_.resize(count_, 0);
        codes_.resize(count_);
    }
    if (++generation_ == 0) {
        std::fill(stamps_.begin(), stamps_.end(), 0);
        generation_ = 1;
    }
}

uint8_t PoolOutcodes::code(uint32_t i) {
    if (stamps_[i] != generation_) {
        codes_[i] = vertexOutcode(view_, *vertices_[i]);
        stamps_[i] = generation_;
        ++computed_;
    }
    return codes_[i];
}

bool PoolOutcodes::outside(const uint32_t v[3]) {
    if (v[0] >= count_ || v[1] >= count_ || v[2] >= count_) return false;
    // Once two corners share no plane, the third cannot make the three share one.
    const uint8_t ab = code(v[0]) & code(v[1]);
    return ab != 0 && (ab & code(v[2])) != 0;
}

ScreenRect paddedRect(const int viewport[4], double x0, double y0, double x1, double y1) {
    // Clamped in double first: a corner near the eye plane projects far outside any int.
    auto clamp = [](double v, int lo, int hi) { return int(std::min<double>(hi, std::max<double>(lo, v))); };
    const int* vp = viewport;
    return {clamp(std::floor(x0 - kPadPixels), vp[0], vp[0] + vp[2]),
            clamp(std::floor(y0 - kPadPixels), vp[1], vp[1] + vp[3]),
            clamp(std::ceil(x1 + kPadPixels), vp[0], vp[0] + vp[2]),
            clamp(std::ceil(y1 + kPadPixels), vp[1], vp[1] + vp[3])};
}

ScreenRect clipPolygonRect(const int viewport[4], const double (*clipPoints)[4], int count) {
    // Sutherland-Hodgman against the four side planes; afterwards every vertex has w >= 0, so the
    // projection of the clipped polygon is bounded by its projected vertices.
    double a[kMaxPolygon + 4][4], b[kMaxPolygon + 4][4];
    int n = std::min(count, kMaxPolygon);
    for (int i = 0; i < n; ++i) std::copy(clipPoints[i], clipPoints[i] + 4, a[i]);
    double (*cur)[4] = a;
    double (*next)[4] = b;
    for (int plane = 0; plane < 4 && n > 0; ++plane) {
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const double* p = cur[i];
            const double* q = cur[(i + 1) % n];
            const double dp = inside(p, plane), dq = inside(q, plane);
            if (dp >= 0) std::copy(p, p + 4, next[m++]);
            if ((dp >= 0) != (dq >= 0)) {
                const double t = dp / (dp - dq);
                for (int k = 0; k < 4; ++k) next[m][k] = p[k] + t * (q[k] - p[k]);
                ++m;
            }
        }
        n = m;
        std::swap(cur, next);
    }
    if (n == 0) return {0, 0, 0, 0};
    const int* vp = viewport;
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    for (int i = 0; i < n; ++i) {
        const double w = cur[i][3];
        if (!(w > kMinW)) return {vp[0], vp[1], vp[0] + vp[2], vp[1] + vp[3]};
        const double x = vp[0] + (cur[i][0] / w + 1) * 0.5 * vp[2];
        const double y = vp[1] + (cur[i][1] / w + 1) * 0.5 * vp[3];
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    return paddedRect(viewport, x0, y0, x1, y1);
}

void CoverMap::reset(const int viewport[4]) {
    x_ = viewport[0];
    y_ = viewport[1];
    width_ = std::max(0, viewport[2]);
    height_ = std::max(0, viewport[3]);
    tile_ = std::max(1, (width_ + 63) / 64);
    rows_ = (height_ + tile_ - 1) / tile_;
    rowBits_.assign(rows_, 0);
    rects_.clear();
    marked_ = 0;
    rectsValid_ = true;
}

void CoverMap::mark(const ScreenRect& r) {
    const int x0 = std::max(r.x0, x_) - x_, x1 = std::min(r.x1, x_ + width_) - x_;
    const int y0 = std::max(r.y0, y_) - y_, y1 = std::min(r.y1, y_ + height_) - y_;
    if (x0 >= x1 || y0 >= y1) return;
    const int c0 = x0 / tile_, c1 = (x1 - 1) / tile_;
    const uint64_t bits = (c1 - c0 == 63 ? ~0ull : ((1ull << (c1 - c0 + 1)) - 1)) << c0;
    for (int row = y0 / tile_; row <= (y1 - 1) / tile_; ++row) {
        if ((rowBits_[row] | bits) != rowBits_[row]) rectsValid_ = false;
        rowBits_[row] |= bits;
    }
    ++marked_;
}

const std::vector<ScreenRect>& CoverMap::rects() {
    if (rectsValid_) return rects_;
    rects_.clear();
    // Runs of marked tiles per row; a run that repeats the one directly below grows upwards.
    std::vector<size_t> open;  // rects_ indices that end at the previous row
    for (int row = 0; row < rows_; ++row) {
        std::vector<size_t> now;
        const uint64_t bits = rowBits_[row];
        for (int c = 0; c < 64;) {
            if (!(bits >> c & 1)) {
                ++c;
                continue;
            }
            int e = c;
            while (e < 64 && (bits >> e & 1)) ++e;
            const int rx0 = x_ + c * tile_, rx1 = x_ + std::min(width_, e * tile_);
            const int ry0 = y_ + row * tile_, ry1 = y_ + std::min(height_, (row + 1) * tile_);
            bool grown = false;
            for (size_t i : open)
                if (rects_[i].x0 == rx0 && rects_[i].x1 == rx1) {
                    rects_[i].y1 = ry1;
                    now.push_back(i);
                    grown = true;
                    break;
                }
            if (!grown) {
                now.push_back(rects_.size());
                rects_.push_back({rx0, ry0, rx1, ry1});
            }
            c = e;
        }
        open.swap(now);
    }
    rectsValid_ = true;
    return rects_;
}
