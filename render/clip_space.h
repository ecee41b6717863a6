// Conservative screen bounds for the renderer's exact shortcuts: where a primitive can put
// fragments, computed in double precision from the GL matrices, and a coarse frame-wide map of
// the pixels that shadow volumes have touched. Every bound errs on the large side, so skipping
// what lies outside one never changes a pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "math/vecmath.h"

// Object space to clip space (column-major, clip = m * v) and the viewport in window pixels.
struct ClipSpace {
    double m[16];
    int viewport[4];  // x, y, width, height
    // How far from the origin the translations folded into m reach (world units): the driver's
    // single-precision products lose accuracy in proportion to it, even where the terms cancel.
    double reach;
};

// projection * modelview and the viewport, read from the current GL state.
ClipSpace currentClipSpace();
// clip * translate(position) * rotation: the space of an entity's model as renderEntities sets it.
ClipSpace entityClipSpace(const ClipSpace& view, const Vec3& position, const float rotation[16]);

// Which planes of the view volume the point lies beyond, with a margin: bits 0-3 the left, right,
// bottom and top side planes, bit 4 the near plane.
uint8_t vertexOutcode(const ClipSpace& clip, const Vec3& p);
// The outcodes of vertices[0 .. count), into `out` (resized to count).
void vertexOutcodes(const ClipSpace& clip, Vec3** vertices, uint32_t count, std::vector<uint8_t>& out);
// A triangle whose corners' outcodes share a bit (all beyond one side plane, or all behind the
// near plane) has no fragments.
inline bool outsideView(uint8_t a, uint8_t b, uint8_t c) { return (a & b & c) != 0; }
// The same for triangle corners v[0..2] indexing `codes`; false when a corner has no code.
inline bool outsideView(const std::vector<uint8_t>& codes, const uint32_t v[3]) {
    const size_t n = codes.size();
    return v[0] < n && v[1] < n && v[2] < n && outsideView(codes[v[0]], codes[v[1]], codes[v[2]]);
}

// The outcodes of one vertex pool under one view, each computed the first time a triangle asks
// for it and kept until the next begin: a frame pays for the vertices of the rooms it draws, not
// for every vertex of the world.
class PoolOutcodes {
public:
    // Starts over with a view and a pool (which must stay as they are until the next begin).
    void begin(const ClipSpace& view, Vec3** vertices, uint32_t count);
    // outsideView for triangle corners v[0..2] of the pool; false when a corner is not in it.
    bool outside(const uint32_t v[3]);
    // Codes computed since begin.
    uint32_t computed() const { return computed_; }

private:
    uint8_t code(uint32_t i);

    ClipSpace view_{};
    Vec3** vertices_ = nullptr;
    uint32_t count_ = 0;
    uint32_t generation_ = 0;
    uint32_t computed_ = 0;
    std::vector<uint8_t> codes_;
    std::vector<uint32_t> stamps_;  // codes_[i] belongs to this begin when stamps_[i] == generation_
};

// Window pixels [x0, x1) x [y0, y1); empty when x0 >= x1 or y0 >= y1.
struct ScreenRect {
    int x0, y0, x1, y1;
};
inline bool rectEmpty(const ScreenRect& r) { return r.x0 >= r.x1 || r.y0 >= r.y1; }

// The pixels a convex polygon of up to 12 clip-space points (points at infinity included) can
// cover: its part inside the view volume's side planes, projected, padded by two pixels and
// clamped to the viewport. Empty when the polygon lies wholly off screen.
ScreenRect clipPolygonRect(const int viewport[4], const double (*clipPoints)[4], int count);
// The window box x0..x1, y0..y1 (any doubles) padded by two pixels and clamped to the viewport.
ScreenRect paddedRect(const int viewport[4], double x0, double y0, double x1, double y1);

// A frame-wide map of the viewport in square tiles: a tile is marked once any primitive's rect
// touches it. Pixels in unmarked tiles are known to keep the stencil value the frame cleared.
class CoverMap {
public:
    // Forgets every mark and fits the tiles to the viewport (at most 64 tile columns).
    void reset(const int viewport[4]);
    void mark(const ScreenRect& r);
    bool empty() const { return marked_ == 0; }
    // Disjoint rectangles that together cover exactly the marked tiles (clamped to the viewport).
    const std::vector<ScreenRect>& rects();

private:
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0, tile_ = 1, rows_ = 0;
    std::vector<uint64_t> rowBits_;  // bit c of row r: tile (c, r) is marked
    std::vector<ScreenRect> rects_;
    uint64_t marked_ = 0;  // marks since the last reset
    bool rectsValid_ = false;
};
