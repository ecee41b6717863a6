// Where one shadow volume can put fragments: the screen rectangles of its sides and caps, marked
// into the frame's cover map, so that the darkening step only visits tiles a volume has touched
// and a volume wholly off screen is not drawn at all.
#pragma once

#include "render/clip_space.h"
#include "world/world.h"

#include <cstdint>
#include <vector>

// Which way each triangle of a volume faces on screen where that is beyond doubt: 1 front
// (counter-clockwise in window coordinates), -1 back, 0 unknown (a corner near or behind the eye
// plane, or too thin to tell in single precision). A culling pass draws nothing of a triangle
// that faces the culled way, so such triangles need not be sent. Each side gives two entries,
// (a, a', b) then (b, a', b'), the triangles of its strip.
struct VolumeFacing {
    std::vector<int8_t> sides;
    std::vector<int8_t> caps;
};

// Marks the rect of every side and cap of the volume that drawShadowVolume draws for `entity`
// (model `model`, edge list of slot 0, local light `light`) under the entity's clip space. Returns
// false when no part of the volume can reach the viewport; nothing is marked then.
// With `facing`, also fills it for the same sides and caps.
bool markVolumeCover(const ClipSpace& clip, const Model& model, const SilhouetteEdge* edges,
                     uint32_t edgeCount, const Vec3& light, const uint8_t* litMask, CoverMap& cover,
                     VolumeFacing* facing = nullptr);
