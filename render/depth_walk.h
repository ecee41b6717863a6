// The complete-depth shadow mode: before the frame's room walk, the same walk draws depth only, so
// every room's shadow pass counts against the frame's final depth buffer. In the default order a
// room's volumes are counted before the rooms beside it are drawn, and a volume that reaches
// into a room drawn later darkens that room's pixels where nothing shadows them.
#pragma once

#include <cstdint>

#include "world/world.h"

struct ClipSpace;
class PoolOutcodes;

enum class ShadowDepth {
    Default,   // each room's pass counts against the depth drawn so far
    Complete,  // a depth-only walk runs first
};

// Walks the rooms from the camera's exactly as renderRoom does (each room once, through the
// portals renderRoom would follow) and draws the opaque room triangles and the entities that are
// neither hidden nor translucent into the depth buffer, colour writes off. Uses (and advances) the
// world's frame stamp. Expects the camera view on the modelview matrix; restores colour writes,
// texturing and lighting. With `cull` (the view) and `poolCodes` (the outcodes of the world's
// vertex pool under it, begun for this view), triangles wholly outside the view are not sent.
void drawDepthWalk(Entity* camera, World* world, const ClipSpace* cull, PoolOutcodes* poolCodes);
