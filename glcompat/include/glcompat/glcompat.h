// Start and stop of the OpenGL 1.1 layer on OpenGL ES 2.0 / WebGL 1 (glcompat/), for the ES
// context current on this thread. The layer starts by itself on its first call that needs ES;
// a backend calls glcompatInit to learn at once whether it can, and why not.
#pragma once

#include <cstdint>
#include <string>

// Loads the ES functions and makes the layer's ES objects; GL 1.1's initial state is sent to the
// context on the first draw. True when ready (also when it already was).
bool glcompatInit(std::string& error);
// Where the layer finds the ES functions on Linux: eglGetProcAddress unless a windowing library
// that made the context says otherwise (SDL_GL_GetProcAddress). Null restores the default.
using GlcompatLoader = void* (*)(const char* name);
void glcompatSetLoader(GlcompatLoader loader);
// Deletes the layer's ES objects (the context must still be current) and forgets all state.
void glcompatShutdown();
// Forgets all state without any ES call, for when the context itself has gone.
void glcompatForget();

struct GlcompatStats {
    uint64_t draws;     // ES draw calls made
    uint64_t vertices;  // vertices sent in them
};
GlcompatStats glcompatStats();
