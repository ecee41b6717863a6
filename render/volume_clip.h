// Shadow-volume triangles as the rasterizer gets them: a triangle with a corner near or behind the
// eye plane, or far outside the view, is first cut to a guard band around the view, so that every
// corner a driver sees projects to a window position of sensible size. The cut keeps the part of
// the triangle any pixel ray can meet, so the stencil counts stay exact.
//
// Why: the driver decides facing and clipping from the projected corners, and a corner at w = 0
// (a point at infinity square to the view direction) or a hair from it projects to no usable
// position. SwiftShader (Chromium's software WebGL) then drops the whole triangle, and the volume
// loses a face: a wedge from the silhouette edge to the border of the picture keeps a wrong count.
#pragma once

#include <cstdint>
#include <vector>

#include "render/clip_space.h"
#include "world/world.h"

// |x| and |y| at most this times w: one and a half viewports beyond each border.
constexpr double kVolumeGuardBand = 4.0;

// One corner as glVertex4f sends it (object space, w 1 in place or 0 at infinity) and its clip
// coordinates.
struct VolumeCorner {
    double object[4];
    double clip[4];
};

// Module state: the volume being drawn (its clip space, model vertices and light) and its corners,
// two per model vertex (in place, then at infinity), each computed the first time a triangle
// asks for it after beginVolumeCorners; counts for tests.
struct VolumeClipState {
    ClipSpace clip;
    Vec3** vertices;
    Vec3 light;
    uint32_t generation;
    std::vector<VolumeCorner> corners;
    std::vector<uint32_t> stamps;  // corners[i] belongs to this volume when stamps[i] == generation
    std::vector<uint8_t> inside;   // per corner: within the guard band and in front of the eye
    uint64_t cut;                  // triangles cut since the last reset
    uint64_t dropped;              // of those, triangles nothing was left of
};
extern VolumeClipState volumeClipState;
void resetVolumeClip();

// Whether a clip-space point lies inside every plane of the guard band (|x| <= G w, |y| <= G w)
// and on the far side of the plane z + 2w = 0, which lies between the eye and the near plane.
bool insideGuardBand(const double clip[4]);
// The convex polygon `in` (n corners, at most 3) cut to the guard band into `out` (room for 8);
// its corner count (0 when nothing is left). A cut edge's new corner is computed from the edge's
// two ends in one fixed order, so two triangles that share an edge cut it at the very same point.
int cutToGuardBand(const VolumeCorner* in, int n, VolumeCorner* out);

// Starts a volume: model vertices `vertices` in place and at infinity away from `light` (both in
// model space, as the volume is drawn), under `clip`. The vertices must stay as they are until
// the volume is drawn.
void beginVolumeCorners(const ClipSpace& clip, Vec3** vertices, const Vec3& light);
// Whether corner (vertex, form) of the volume lies inside the guard band.
bool cornerInside(uint32_t vertex, int form);
// Between glBegin(GL_TRIANGLES) and glEnd: the triangle of corners (v[i], form[i]) of the volume,
// as it is when all three lie inside the guard band, otherwise cut to it (a fan of triangles with
// the same winding; nothing when nothing is left).
void emitVolumeTriangle(const uint32_t v[3], const int form[3]);
