// Where one shadow volume can put fragments: the screen rectangles of its sides and caps, marked
// into the frame's cover map, so that the darkening step only visits tiles a volume has touched
// and a volume wholly off screen is not drawn at all.
#pragma once

#include "render/clip_space.h"
#include "world/world.h"

// Marks the rect of every side and cap of the volume that drawShadowVolume draws for `entity`
// (model `model`, edge list of slot 0, local light `light`) under the entity's clip space. Returns
// false when no part of the volume can reach the viewport; nothing is marked then.
bool markVolumeCover(const ClipSpace& clip, const Model& model, const SilhouetteEdge* edges,
                     uint32_t edgeCount, const Vec3& light, const uint8_t* litMask, CoverMap& cover);
