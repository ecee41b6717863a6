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

// Since the process started (a forgotten context keeps its counts).
struct GlcompatStats {
    uint64_t draws;     // ES draw calls made
    uint64_t vertices;  // vertices sent in them
};
GlcompatStats glcompatStats();

// Ends a frame: draws what is pending and counts the frame. The first draw after it starts the
// stream buffer afresh. Backends call it when they present, before anything waits on the GPU.
void glcompatEndFrame();

// What made the layer draw its pending batch; see the top of glcompat/batch.cpp.
enum class GlcompatBatchEnd : int {
    State,     // a depth, stencil, blend, mask, cull, scissor, viewport or line state changed
    Lighting,  // a light, material, the light model or a light's switch changed
    Texture,   // the bound texture, its image or its parameters changed
    Program,   // the next primitive needs another program or another kind of primitive
    Matrices,  // the next primitive was given under other matrices
    Bitmap,    // the next glyph uses another texture, or the glyph atlas grew
    Full,      // the batch reached its vertex limit
    Clear,     // glClear
    Read,      // glReadPixels
    Finish,    // glFinish or glFlush
    Frame,     // glcompatEndFrame
    Shutdown,  // glcompatShutdown
    Count
};
// The name of a reason as reports print it ("state", "lighting" ...).
const char* glcompatBatchEndName(GlcompatBatchEnd reason);

// The layer's counts since the process started, as glcompatStats keeps them.
struct GlcompatCounters {
    uint64_t frames;         // glcompatEndFrame calls
    uint64_t draws;          // ES draw calls
    uint64_t esCalls;        // every ES function called, queries and set-up included
    uint64_t bufferUploads;  // vertex data sent to the stream buffer (glBufferSubData / glBufferData with data)
    uint64_t bytesUploaded;  // the bytes those carried
    uint64_t bufferRenewals; // a stream buffer started afresh (its first use, or when full)
    uint64_t uniformCalls;   // glUniform* calls
    uint64_t batchEnds[int(GlcompatBatchEnd::Count)];
    uint64_t calls[96];      // per ES function, in the order of glcompatEsFunctionName
};
GlcompatCounters glcompatCounters();
// The ES function counted at `index` of GlcompatCounters::calls ("glDrawArrays" ...); null past
// the last one.
const char* glcompatEsFunctionName(int index);
