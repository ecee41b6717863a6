// The demo's clip space for render tests: its projection (glFrustum +-0.2 at 0.5, so x and y
// scaled by 2.5, far plane at infinity) with an identity view, on an 800 x 600 viewport.
#pragma once

#include "render/clip_space.h"

inline ClipSpace demoClip() {
    ClipSpace c{};
    c.m[0] = 2.5;
    c.m[5] = 2.5;
    c.m[10] = -1;
    c.m[11] = -1;
    c.m[14] = -1;
    c.viewport[2] = 800;
    c.viewport[3] = 600;
    return c;
}
