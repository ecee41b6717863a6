// The projection and the fixed-function OpenGL state the renderer expects, set once at start-up.
#pragma once

// Projection: glFrustum(-0.2, 0.2, -0.2, 0.2, 0.5, 15) with the far plane moved to infinity
// (elements 10 and 14 set to -1), so the w = 0 ends of shadow volumes are never clipped.
// Leaves the matrix mode at GL_MODELVIEW with the identity loaded.
void setupProjection();
// Standing state: clear colour 0, colour (0, 0, 0), clear depth 1, depth test with GL_LEQUAL,
// GL_MODULATE texturing enabled, lighting enabled; face culling and blending disabled.
void setupFixedState();
// Both, in that order: what the driver calls once the context is current.
void setupRenderState();
