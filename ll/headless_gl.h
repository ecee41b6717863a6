// An off-screen OpenGL context with no display: EGL on Mesa's surfaceless platform, a pbuffer
// surface and a desktop-OpenGL compatibility context, or an OpenGL ES 2.0 one for the GL 1.1
// layer (llvmpipe on machines without a GPU).
// Used by the rendering tests, the tools and the offscreen platform backend.
#pragma once

#include <string>

struct HeadlessGLConfig {
    int width = 800;
    int height = 600;
    int depthBits = 16;   // at least this many
    int stencilBits = 8;  // at least this many
    bool es2 = false;     // an OpenGL ES 2.0 context instead of desktop OpenGL
};

// Creates the context and makes it current on this thread. One context per process; calling
// again while one exists fails. False with a reason in `error` when EGL cannot give one.
bool createHeadlessGL(const HeadlessGLConfig& config, std::string& error);
// The context for a whole test process: created with `config` on the first call and kept until the
// process ends (tearing it down unloads Mesa's driver, whose allocations for the context's life
// would then read as leaks). Later calls only report whether it exists.
bool processHeadlessGL(const HeadlessGLConfig& config, std::string& error);
// Releases the context and surface; safe when none exists.
void destroyHeadlessGL();
// Presents the pbuffer (eglSwapBuffers); a pbuffer has one buffer, so this only flushes.
void swapHeadlessGL();
