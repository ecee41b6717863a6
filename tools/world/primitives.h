// Built-in closed meshes for models: box, wedge, cylinder, sphere and torus, centred on the origin,
// wound counter-clockwise seen from outside so that face normals point out (what lighting and
// shadow volumes expect).
#pragma once

#include "tools/world/mesh.h"

struct PrimitiveParams {
    Vec3 size{1, 1, 1};      // box, wedge: full extent along x, y, z
    float radius = 0.5f;     // cylinder, sphere; torus: radius of the tube's centre circle
    float tubeRadius = 0.2f; // torus: radius of the tube
    float height = 1.0f;     // cylinder: extent along y
    int segments = 24;       // divisions around the y axis (cylinder, sphere, torus)
    int rings = 12;          // sphere: divisions from pole to pole; torus: divisions around the tube
    float uvRepeat[2] = {1, 1};
};

// Wedge: a box whose top slopes from full height at -z down to the bottom edge at +z.
Mesh makeBox(const PrimitiveParams& p);
Mesh makeWedge(const PrimitiveParams& p);
Mesh makeCylinder(const PrimitiveParams& p);
Mesh makeSphere(const PrimitiveParams& p);
Mesh makeTorus(const PrimitiveParams& p);
