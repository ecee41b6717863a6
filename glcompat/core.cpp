// The layer's one state record, its start and stop for an ES context, errors and queries.
#include <cstring>

#include "glcompat/compat.h"
#include "glcompat/glcompat.h"

namespace glcompat {

namespace {

State freshState() {
    State s{};
    resetAttribState(s.cur);
    for (PixelStore* p : {&s.client.pack, &s.client.unpack}) p->alignment = 4;
    for (auto& stack : s.stacks) stack.assign(1, Mat4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}});
    s.nextList = 1;
    return s;
}

}  // namespace

State gc = freshState();

void setError(GLenum e) {
    if (gc.error == GL_NO_ERROR) gc.error = e;
}

bool esReady() {
    if (gc.ready) return true;
    if (gc.initTried) return false;
    gc.initTried = true;
    if (!loadEsTable(gc.esReal, gc.initError)) return false;
    countEsCalls();
    gc.es.GenBuffers(kStreamBuffers, gc.ring);
    gc.vertexBuffer = gc.ring[0];
    if (!gc.vertexBuffer) {
        // No buffer name: no context is current yet. Try again on a later call.
        gc.initError = "no OpenGL ES context is current";
        gc.initTried = false;
        return false;
    }
    // Images reach ES in tight rows; the program's own unpack state is applied by the layer.
    gc.es.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // GL's first viewport and scissor box are the window: the surface the context was made for.
    GLint vp[4] = {0, 0, 0, 0};
    gc.es.GetIntegerv(GL_VIEWPORT, vp);
    if (!gc.viewportSet) std::memcpy(gc.cur.viewport, vp, sizeof vp);
    if (!gc.scissorSet) std::memcpy(gc.cur.scissor, vp, sizeof vp);
    gc.appliedValid = false;
    gc.ready = true;
    return true;
}

}  // namespace glcompat

using namespace glcompat;

bool glcompatInit(std::string& error) {
    if (esReady()) return true;
    error = gc.initError.empty() ? "the layer could not start" : gc.initError;
    return false;
}

void glcompatShutdown() {
    if (gc.ready) {
        flushBatch(GlcompatBatchEnd::Shutdown);
        releasePrograms();
        if (gc.ring[0]) gc.es.DeleteBuffers(kStreamBuffers, gc.ring);
        if (gc.atlas) gc.es.DeleteTextures(1, &gc.atlas);
        if (gc.scratchBitmap) gc.es.DeleteTextures(1, &gc.scratchBitmap);
    }
    glcompatForget();
}

void glcompatForget() {
    // The counts are the process's, so that a program can report them after its context has gone.
    const uint64_t draws = gc.draws, vertices = gc.verticesDrawn;
    const GlcompatCounters counters = gc.counters;
    gc = freshState();
    gc.draws = draws;
    gc.verticesDrawn = vertices;
    gc.counters = counters;
}

void glcompatEndFrame() {
    if (gc.inBegin) return;
    flushBatch(GlcompatBatchEnd::Frame);
    gc.streamRenew = true;
    gc.counters.frames++;
}

const char* glcompatBatchEndName(GlcompatBatchEnd reason) {
    static const char* const names[] = {"state", "lighting", "texture", "program", "matrices", "bitmap",
                                        "full", "clear", "read", "finish", "frame", "shutdown"};
    static_assert(sizeof names / sizeof names[0] == size_t(GlcompatBatchEnd::Count), "a name per reason");
    const int i = int(reason);
    return i >= 0 && i < int(GlcompatBatchEnd::Count) ? names[i] : "";
}

GlcompatCounters glcompatCounters() {
    GlcompatCounters c = gc.counters;
    c.draws = gc.draws;
    c.uniformCalls = 0;
    for (int f : {kEsUniform1f, kEsUniform1i, kEsUniform3fv, kEsUniform4fv, kEsUniformMatrix3fv, kEsUniformMatrix4fv})
        c.uniformCalls += c.calls[f];
    return c;
}

void glcompatSetLoader(GlcompatLoader loader) { setEsLoader(loader); }

GlcompatStats glcompatStats() { return {gc.draws, gc.verticesDrawn}; }

GLenum glGetError() {
    const GLenum e = gc.error;
    gc.error = GL_NO_ERROR;
    if (e == GL_NO_ERROR && gc.ready) return gc.es.GetError();
    return e;
}

const GLubyte* glGetString(GLenum name) {
    if (!esReady()) return nullptr;
    return gc.es.GetString(name);
}

namespace {

// Fills `out` with the values of `pname` (as GL lists them) and returns how many; 0 for a name
// the layer does not answer.
int query(GLenum pname, double out[16]) {
    const AttribState& s = gc.cur;
    auto copy = [out](const auto* v, int n) {
        for (int i = 0; i < n; ++i) out[i] = double(v[i]);
        return n;
    };
    auto one = [out](double v) {
        out[0] = v;
        return 1;
    };
    switch (pname) {
    case GL_VIEWPORT: esReady(); return copy(s.viewport, 4);
    case GL_SCISSOR_BOX: esReady(); return copy(s.scissor, 4);
    case GL_MODELVIEW_MATRIX: return copy(top(0).m, 16);
    case GL_PROJECTION_MATRIX: return copy(top(1).m, 16);
    case GL_TEXTURE_MATRIX: return copy(top(2).m, 16);
    case GL_MATRIX_MODE: return one(s.matrixMode);
    case GL_MODELVIEW_STACK_DEPTH: return one(double(gc.stacks[0].size()));
    case GL_PROJECTION_STACK_DEPTH: return one(double(gc.stacks[1].size()));
    case GL_TEXTURE_STACK_DEPTH: return one(double(gc.stacks[2].size()));
    case GL_MAX_MODELVIEW_STACK_DEPTH: return one(kModelviewDepth);
    case GL_MAX_PROJECTION_STACK_DEPTH: return one(kProjectionDepth);
    case GL_MAX_TEXTURE_STACK_DEPTH: return one(kTextureDepth);
    case GL_UNPACK_ALIGNMENT: return one(gc.client.unpack.alignment);
    case GL_UNPACK_ROW_LENGTH: return one(gc.client.unpack.rowLength);
    case GL_UNPACK_SKIP_ROWS: return one(gc.client.unpack.skipRows);
    case GL_UNPACK_SKIP_PIXELS: return one(gc.client.unpack.skipPixels);
    case GL_UNPACK_LSB_FIRST: return one(gc.client.unpack.lsbFirst);
    case GL_UNPACK_SWAP_BYTES: return one(gc.client.unpack.swapBytes);
    case GL_PACK_ALIGNMENT: return one(gc.client.pack.alignment);
    case GL_PACK_ROW_LENGTH: return one(gc.client.pack.rowLength);
    case GL_PACK_SKIP_ROWS: return one(gc.client.pack.skipRows);
    case GL_PACK_SKIP_PIXELS: return one(gc.client.pack.skipPixels);
    case GL_PACK_LSB_FIRST: return one(gc.client.pack.lsbFirst);
    case GL_PACK_SWAP_BYTES: return one(gc.client.pack.swapBytes);
    case GL_LIST_BASE: return one(s.listBase);
    case GL_LIST_INDEX: return one(gc.compiling);
    case GL_LIST_MODE: return one(gc.compiling ? gc.compileMode : 0);
    case GL_CURRENT_COLOR: return copy(s.color, 4);
    case GL_CURRENT_NORMAL: return copy(s.normal, 3);
    case GL_CURRENT_TEXTURE_COORDS: return copy(s.texCoord, 4);
    case GL_CURRENT_RASTER_POSITION: return copy(s.raster.window, 4);
    case GL_CURRENT_RASTER_COLOR: return copy(s.raster.color, 4);
    case GL_CURRENT_RASTER_POSITION_VALID: return one(s.raster.valid);
    case GL_DEPTH_FUNC: return one(s.depthFunc);
    case GL_DEPTH_WRITEMASK: return one(s.depthMask);
    case GL_DEPTH_CLEAR_VALUE: return one(s.clearDepth);
    case GL_DEPTH_RANGE: return copy(s.depthRange, 2);
    case GL_STENCIL_FUNC: return one(s.stencilFunc);
    case GL_STENCIL_REF: return one(s.stencilRef);
    case GL_STENCIL_VALUE_MASK: return one(s.stencilValueMask);
    case GL_STENCIL_WRITEMASK: return one(s.stencilWriteMask);
    case GL_STENCIL_FAIL: return one(s.stencilFail);
    case GL_STENCIL_PASS_DEPTH_FAIL: return one(s.stencilZFail);
    case GL_STENCIL_PASS_DEPTH_PASS: return one(s.stencilZPass);
    case GL_STENCIL_CLEAR_VALUE: return one(s.clearStencil);
    case GL_BLEND_SRC: return one(s.blendSrc);
    case GL_BLEND_DST: return one(s.blendDst);
    case GL_COLOR_WRITEMASK: return copy(s.colorMask, 4);
    case GL_COLOR_CLEAR_VALUE: return copy(s.clearColor, 4);
    case GL_CULL_FACE_MODE: return one(s.cullMode);
    case GL_FRONT_FACE: return one(s.frontFace);
    case GL_LINE_WIDTH: return one(s.lineWidth);
    case GL_TEXTURE_BINDING_2D: return one(s.boundTexture);
    case GL_LIGHT_MODEL_AMBIENT: return copy(s.modelAmbient, 4);
    case GL_RED_BITS: case GL_GREEN_BITS: case GL_BLUE_BITS: case GL_ALPHA_BITS:
    case GL_DEPTH_BITS: case GL_STENCIL_BITS: case GL_MAX_TEXTURE_SIZE: {
        if (!esReady()) return 0;
        GLint v = 0;
        gc.es.GetIntegerv(pname, &v);
        return one(v);
    }
    default: {
        // Capabilities read back as booleans.
        const bool* flag = capability(const_cast<AttribState&>(s), pname);
        return flag ? one(*flag) : 0;
    }
    }
}

bool isColor(GLenum pname) {
    return pname == GL_CURRENT_COLOR || pname == GL_CURRENT_RASTER_COLOR || pname == GL_COLOR_CLEAR_VALUE ||
           pname == GL_LIGHT_MODEL_AMBIENT;
}

}  // namespace

void glGetFloatv(GLenum pname, GLfloat* params) {
    double v[16];
    const int n = query(pname, v);
    if (n == 0) return setError(GL_INVALID_ENUM);
    for (int i = 0; i < n; ++i) params[i] = float(v[i]);
}

void glGetIntegerv(GLenum pname, GLint* params) {
    double v[16];
    const int n = query(pname, v);
    if (n == 0) return setError(GL_INVALID_ENUM);
    for (int i = 0; i < n; ++i) {
        // Colours map [-1, 1] onto the whole integer range, as GL converts them.
        const double x = isColor(pname) ? v[i] * 2147483647.0 : v[i];
        params[i] = GLint(x < 0 ? x - 0.5 : x + 0.5);
    }
}

void glGetBooleanv(GLenum pname, GLboolean* params) {
    double v[16];
    const int n = query(pname, v);
    if (n == 0) return setError(GL_INVALID_ENUM);
    for (int i = 0; i < n; ++i) params[i] = v[i] != 0.0 ? GL_TRUE : GL_FALSE;
}
