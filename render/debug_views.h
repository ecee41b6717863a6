// Debug views drawn over a finished frame: the portals the renderer followed and culled, the
// silhouette edges and shadow-volume outlines of light slot 0, and the stencil count as a heat
// map. Each call sets every GL state it needs and puts all of it back, so a frame drawn after one
// is exactly the frame it would have been.
#pragma once

#include <vector>

#include "world/world.h"

// Portal outlines of the rooms the frame drew: followed portals green, culled ones red.
void drawPortalOutlines(Entity* camera, World* world);
// For every room the frame drew: its casting entities' silhouette edges for light 0 (yellow) and
// the sides of their volumes, extruded away from the light (cyan).
void drawShadowOutlines(Entity* camera, World* world);
// Tints each pixel by its stencil count: 1 blue, 2 green, 3 yellow, 4 or more red.
void drawStencilHeat();

// The portals the renderer follows from the camera's room and those it culls, found by walking
// the rooms exactly as renderRoom does (each room once, depth first, in portal order).
struct PortalVisit {
    const Portal* portal;
    bool followed;
};
std::vector<PortalVisit> visitPortals(Entity* camera, World* world);
