// Capabilities, the state that passes straight through to ES (depth, stencil, blend, masks,
// cull, scissor, viewport) and clears; glPushAttrib / glPopAttrib are in attrib_stack.cpp. The
// program's values are kept here and sent to ES only when something is drawn, cleared or read,
// and only where they differ from what ES was last told; a change flushes the pending batch
// first, which was gathered under the old value.
#include <cstring>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

bool insideBegin() {
    if (!gc.inBegin) return false;
    setError(GL_INVALID_OPERATION);
    return true;
}

// Sets `field` to `value`, flushing the pending batch first when that changes anything.
template <class T>
void update(T& field, const T& value) {
    if (std::memcmp(&field, &value, sizeof(T)) == 0) return;
    flushBatch(GlcompatBatchEnd::State);
    field = value;
}

void enableEs(unsigned cap, bool on) {
    if (on)
        gc.es.Enable(cap);
    else
        gc.es.Disable(cap);
}

}  // namespace

void resetAttribState(AttribState& s) {
    s = AttribState{};
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    std::memcpy(s.color, white, sizeof white);
    s.normal[2] = 1;
    s.texCoord[3] = 1;
    s.raster = RasterPos{{0, 0, 0, 1}, {1, 1, 1, 1}, true};
    s.dither = true;
    for (int i = 0; i < kMaxLights; ++i) {
        Light& l = s.lights[i];
        std::memcpy(l.ambient, black, sizeof black);
        std::memcpy(l.diffuse, i == 0 ? white : black, sizeof white);
        std::memcpy(l.specular, i == 0 ? white : black, sizeof white);
        l.eyePosition[2] = 1;
        l.attenuation[0] = 1;
    }
    for (Material* m : {&s.front, &s.back}) {
        const float ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
        std::memcpy(m->ambient, ambient, sizeof ambient);
        std::memcpy(m->diffuse, diffuse, sizeof diffuse);
        std::memcpy(m->specular, black, sizeof black);
        std::memcpy(m->emission, black, sizeof black);
    }
    const float modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
    std::memcpy(s.modelAmbient, modelAmbient, sizeof modelAmbient);
    s.depthFunc = GL_LESS;
    s.depthMask = true;
    s.clearDepth = 1;
    s.stencilFunc = GL_ALWAYS;
    s.stencilValueMask = ~0u;
    s.stencilWriteMask = ~0u;
    s.stencilFail = s.stencilZFail = s.stencilZPass = GL_KEEP;
    s.blendSrc = GL_ONE;
    s.blendDst = GL_ZERO;
    for (bool& m : s.colorMask) m = true;
    s.cullMode = GL_BACK;
    s.frontFace = GL_CCW;
    s.depthRange[1] = 1;
    s.envMode = GL_MODULATE;
    s.lineWidth = 1;
    s.matrixMode = GL_MODELVIEW;
}

namespace {

// The values of `s` that syncRaster sends, in a record whose padding is zero so it compares whole.
void rasterOf(const AttribState& s, EsRaster& r) {
    std::memset(&r, 0, sizeof r);
    r.depthTest = s.depthTest;
    r.stencilTest = s.stencilTest;
    r.blend = s.blend;
    r.cullFace = s.cullFace;
    r.scissorTest = s.scissorTest;
    r.dither = s.dither;
    r.polygonOffsetFill = s.polygonOffsetFill;
    r.depthFunc = s.depthFunc;
    r.depthMask = s.depthMask;
    r.clearDepth = s.clearDepth;
    r.stencilFunc = s.stencilFunc;
    r.stencilRef = s.stencilRef;
    r.stencilValueMask = s.stencilValueMask;
    r.stencilWriteMask = s.stencilWriteMask;
    r.stencilFail = s.stencilFail;
    r.stencilZFail = s.stencilZFail;
    r.stencilZPass = s.stencilZPass;
    r.clearStencil = s.clearStencil;
    r.blendSrc = s.blendSrc;
    r.blendDst = s.blendDst;
    std::memcpy(r.colorMask, s.colorMask, sizeof r.colorMask);
    std::memcpy(r.clearColor, s.clearColor, sizeof r.clearColor);
    r.cullMode = s.cullMode;
    r.frontFace = s.frontFace;
    r.offsetFactor = s.offsetFactor;
    r.offsetUnits = s.offsetUnits;
    std::memcpy(r.viewport, s.viewport, sizeof r.viewport);
    std::memcpy(r.depthRange, s.depthRange, sizeof r.depthRange);
    std::memcpy(r.scissor, s.scissor, sizeof r.scissor);
    r.lineWidth = s.lineWidth;
}

}  // namespace

bool sameRaster(const AttribState& a, const AttribState& b) {
    EsRaster x, y;
    rasterOf(a, x);
    rasterOf(b, y);
    return std::memcmp(&x, &y, sizeof x) == 0;
}

bool* capability(AttribState& s, GLenum cap) {
    switch (cap) {
    case GL_LIGHTING: return &s.lighting;
    case GL_TEXTURE_2D: return &s.texture2d;
    case GL_DEPTH_TEST: return &s.depthTest;
    case GL_STENCIL_TEST: return &s.stencilTest;
    case GL_BLEND: return &s.blend;
    case GL_CULL_FACE: return &s.cullFace;
    case GL_SCISSOR_TEST: return &s.scissorTest;
    case GL_DITHER: return &s.dither;
    case GL_NORMALIZE: return &s.normalize;
    case GL_POLYGON_OFFSET_FILL: return &s.polygonOffsetFill;
    default:
        if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + kMaxLights) return &s.lightEnabled[cap - GL_LIGHT0];
        return nullptr;
    }
}

void syncRaster(const AttribState& s) {
    EsRaster& a = gc.applied;
    const EsTable& es = gc.es;
    const bool all = !gc.appliedValid;
    gc.appliedValid = true;
    auto differs = [all](const auto& x, const auto& y) { return all || std::memcmp(&x, &y, sizeof x) != 0; };
    const struct {
        bool AttribState::*want;
        bool EsRaster::*have;
        unsigned cap;
    } caps[] = {{&AttribState::depthTest, &EsRaster::depthTest, GL_DEPTH_TEST},
                {&AttribState::stencilTest, &EsRaster::stencilTest, GL_STENCIL_TEST},
                {&AttribState::blend, &EsRaster::blend, GL_BLEND},
                {&AttribState::cullFace, &EsRaster::cullFace, GL_CULL_FACE},
                {&AttribState::scissorTest, &EsRaster::scissorTest, GL_SCISSOR_TEST},
                {&AttribState::dither, &EsRaster::dither, GL_DITHER},
                {&AttribState::polygonOffsetFill, &EsRaster::polygonOffsetFill, GL_POLYGON_OFFSET_FILL}};
    for (const auto& c : caps)
        if (all || s.*c.want != a.*c.have) {
            enableEs(c.cap, s.*c.want);
            a.*c.have = s.*c.want;
        }
    if (all || s.depthFunc != a.depthFunc) es.DepthFunc(a.depthFunc = s.depthFunc);
    if (all || s.depthMask != a.depthMask) es.DepthMask(a.depthMask = s.depthMask);
    if (all || s.clearDepth != a.clearDepth) es.ClearDepthf(a.clearDepth = s.clearDepth);
    if (all || s.stencilFunc != a.stencilFunc || s.stencilRef != a.stencilRef ||
        s.stencilValueMask != a.stencilValueMask) {
        a.stencilFunc = s.stencilFunc;
        a.stencilRef = s.stencilRef;
        a.stencilValueMask = s.stencilValueMask;
        es.StencilFunc(s.stencilFunc, s.stencilRef, s.stencilValueMask);
    }
    if (all || s.stencilFail != a.stencilFail || s.stencilZFail != a.stencilZFail || s.stencilZPass != a.stencilZPass) {
        a.stencilFail = s.stencilFail;
        a.stencilZFail = s.stencilZFail;
        a.stencilZPass = s.stencilZPass;
        es.StencilOp(s.stencilFail, s.stencilZFail, s.stencilZPass);
    }
    if (all || s.stencilWriteMask != a.stencilWriteMask) es.StencilMask(a.stencilWriteMask = s.stencilWriteMask);
    if (all || s.clearStencil != a.clearStencil) es.ClearStencil(a.clearStencil = s.clearStencil);
    if (all || s.blendSrc != a.blendSrc || s.blendDst != a.blendDst) {
        a.blendSrc = s.blendSrc;
        a.blendDst = s.blendDst;
        es.BlendFunc(s.blendSrc, s.blendDst);
    }
    if (differs(s.colorMask, a.colorMask)) {
        std::memcpy(a.colorMask, s.colorMask, sizeof a.colorMask);
        es.ColorMask(s.colorMask[0], s.colorMask[1], s.colorMask[2], s.colorMask[3]);
    }
    if (differs(s.clearColor, a.clearColor)) {
        std::memcpy(a.clearColor, s.clearColor, sizeof a.clearColor);
        es.ClearColor(s.clearColor[0], s.clearColor[1], s.clearColor[2], s.clearColor[3]);
    }
    if (all || s.cullMode != a.cullMode) es.CullFace(a.cullMode = s.cullMode);
    if (all || s.frontFace != a.frontFace) es.FrontFace(a.frontFace = s.frontFace);
    if (all || s.offsetFactor != a.offsetFactor || s.offsetUnits != a.offsetUnits) {
        a.offsetFactor = s.offsetFactor;
        a.offsetUnits = s.offsetUnits;
        es.PolygonOffset(s.offsetFactor, s.offsetUnits);
    }
    if (differs(s.viewport, a.viewport)) {
        std::memcpy(a.viewport, s.viewport, sizeof a.viewport);
        es.Viewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    }
    if (differs(s.depthRange, a.depthRange)) {
        std::memcpy(a.depthRange, s.depthRange, sizeof a.depthRange);
        es.DepthRangef(s.depthRange[0], s.depthRange[1]);
    }
    if (differs(s.scissor, a.scissor)) {
        std::memcpy(a.scissor, s.scissor, sizeof a.scissor);
        es.Scissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
    }
    if (all || s.lineWidth != a.lineWidth) es.LineWidth(a.lineWidth = s.lineWidth);
}

}  // namespace glcompat

using namespace glcompat;

namespace {

void setCapability(GLenum cap, bool on) {
    if (insideBegin()) return;
    bool* flag = capability(gc.cur, cap);
    if (!flag) return setError(GL_INVALID_ENUM);
    if (*flag == on) return;
    const bool light = cap >= GL_LIGHT0 && cap < GL_LIGHT0 + kMaxLights;
    flushBatch(light || cap == GL_LIGHTING ? GlcompatBatchEnd::Lighting
               : cap == GL_TEXTURE_2D      ? GlcompatBatchEnd::Texture
                                           : GlcompatBatchEnd::State);
    *flag = on;
    if (light) gc.lightSerial++;
}

bool validFunc(GLenum f) { return f >= GL_NEVER && f <= GL_ALWAYS; }

}  // namespace

void glEnable(GLenum cap) { setCapability(cap, true); }
void glDisable(GLenum cap) { setCapability(cap, false); }

GLboolean glIsEnabled(GLenum cap) {
    const bool* flag = capability(gc.cur, cap);
    if (!flag) {
        setError(GL_INVALID_ENUM);
        return GL_FALSE;
    }
    return *flag ? GL_TRUE : GL_FALSE;
}

void glDepthFunc(GLenum func) {
    if (insideBegin()) return;
    if (!validFunc(func)) return setError(GL_INVALID_ENUM);
    update(gc.cur.depthFunc, func);
}

void glDepthMask(GLboolean flag) {
    if (!insideBegin()) update(gc.cur.depthMask, flag != GL_FALSE);
}

void glClearDepth(GLclampd depth) {
    if (insideBegin()) return;
    update(gc.cur.clearDepth, float(depth < 0 ? 0 : depth > 1 ? 1 : depth));
}

void glStencilFunc(GLenum func, GLint ref, GLuint mask) {
    if (insideBegin()) return;
    if (!validFunc(func)) return setError(GL_INVALID_ENUM);
    AttribState& s = gc.cur;
    if (s.stencilFunc == func && s.stencilRef == ref && s.stencilValueMask == mask) return;
    flushBatch(GlcompatBatchEnd::State);
    s.stencilFunc = func;
    s.stencilRef = ref;
    s.stencilValueMask = mask;
}

void glStencilOp(GLenum fail, GLenum zfail, GLenum zpass) {
    if (insideBegin()) return;
    AttribState& s = gc.cur;
    if (s.stencilFail == fail && s.stencilZFail == zfail && s.stencilZPass == zpass) return;
    flushBatch(GlcompatBatchEnd::State);
    s.stencilFail = fail;
    s.stencilZFail = zfail;
    s.stencilZPass = zpass;
}

void glStencilMask(GLuint mask) {
    if (!insideBegin()) update(gc.cur.stencilWriteMask, mask);
}

void glClearStencil(GLint s) {
    if (!insideBegin()) update(gc.cur.clearStencil, s);
}

void glBlendFunc(GLenum sfactor, GLenum dfactor) {
    if (insideBegin()) return;
    AttribState& s = gc.cur;
    if (s.blendSrc == sfactor && s.blendDst == dfactor) return;
    flushBatch(GlcompatBatchEnd::State);
    s.blendSrc = sfactor;
    s.blendDst = dfactor;
}

void glColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha) {
    if (insideBegin()) return;
    bool m[4] = {red != GL_FALSE, green != GL_FALSE, blue != GL_FALSE, alpha != GL_FALSE};
    if (std::memcmp(m, gc.cur.colorMask, sizeof m) == 0) return;
    flushBatch(GlcompatBatchEnd::State);
    std::memcpy(gc.cur.colorMask, m, sizeof m);
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    if (insideBegin()) return;
    auto clamp = [](float v) { return v < 0 ? 0.0f : v > 1 ? 1.0f : v; };
    float c[4] = {clamp(red), clamp(green), clamp(blue), clamp(alpha)};
    if (std::memcmp(c, gc.cur.clearColor, sizeof c) == 0) return;
    flushBatch(GlcompatBatchEnd::State);
    std::memcpy(gc.cur.clearColor, c, sizeof c);
}

void glCullFace(GLenum mode) {
    if (insideBegin()) return;
    if (mode != GL_FRONT && mode != GL_BACK && mode != GL_FRONT_AND_BACK) return setError(GL_INVALID_ENUM);
    update(gc.cur.cullMode, mode);
}

void glFrontFace(GLenum mode) {
    if (insideBegin()) return;
    if (mode != GL_CW && mode != GL_CCW) return setError(GL_INVALID_ENUM);
    update(gc.cur.frontFace, mode);
}

void glPolygonOffset(GLfloat factor, GLfloat units) {
    if (insideBegin()) return;
    if (gc.cur.offsetFactor == factor && gc.cur.offsetUnits == units) return;
    flushBatch(GlcompatBatchEnd::State);
    gc.cur.offsetFactor = factor;
    gc.cur.offsetUnits = units;
}

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (insideBegin()) return;
    if (width < 0 || height < 0) return setError(GL_INVALID_VALUE);
    GLint box[4] = {x, y, width, height};
    gc.scissorSet = true;
    if (std::memcmp(box, gc.cur.scissor, sizeof box) == 0) return;
    flushBatch(GlcompatBatchEnd::State);
    std::memcpy(gc.cur.scissor, box, sizeof box);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (insideBegin()) return;
    if (width < 0 || height < 0) return setError(GL_INVALID_VALUE);
    GLint box[4] = {x, y, width, height};
    gc.viewportSet = true;
    if (std::memcmp(box, gc.cur.viewport, sizeof box) == 0) return;
    flushBatch(GlcompatBatchEnd::State);
    std::memcpy(gc.cur.viewport, box, sizeof box);
}

void glDepthRange(GLclampd zNear, GLclampd zFar) {
    if (insideBegin()) return;
    auto clamp = [](double v) { return float(v < 0 ? 0 : v > 1 ? 1 : v); };
    float r[2] = {clamp(zNear), clamp(zFar)};
    if (std::memcmp(r, gc.cur.depthRange, sizeof r) == 0) return;
    flushBatch(GlcompatBatchEnd::State);
    std::memcpy(gc.cur.depthRange, r, sizeof r);
}

void glLineWidth(GLfloat width) {
    if (insideBegin()) return;
    if (width <= 0) return setError(GL_INVALID_VALUE);
    update(gc.cur.lineWidth, width);
}

void glClear(GLbitfield mask) {
    if (insideBegin()) return;
    flushBatch(GlcompatBatchEnd::Clear);
    if (!esReady()) return;
    syncRaster(gc.cur);
    gc.es.Clear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void glFinish() {
    if (insideBegin()) return;
    flushBatch(GlcompatBatchEnd::Finish);
    if (esReady()) gc.es.Finish();
}

void glFlush() {
    if (insideBegin()) return;
    flushBatch(GlcompatBatchEnd::Finish);
    if (esReady()) gc.es.Flush();
}
