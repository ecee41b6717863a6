// glPushAttrib / glPopAttrib: the layer's copy of the state saved whole and restored by the
// groups the mask names. ES is told the difference before the next draw (raster_state.cpp).
#include <cstring>

#include "glcompat/compat.h"

using namespace glcompat;

namespace {

bool insideBegin() {
    if (!gc.inBegin) return false;
    setError(GL_INVALID_OPERATION);
    return true;
}

}  // namespace

void glPushAttrib(GLbitfield mask) {
    if (insideBegin()) return;
    if (int(gc.attribStack.size()) >= kAttribDepth) return setError(GL_STACK_OVERFLOW);
    gc.attribStack.push_back(gc.cur);
    gc.attribMasks.push_back(mask);
}

void glPopAttrib() {
    if (insideBegin()) return;
    if (gc.attribStack.empty()) return setError(GL_STACK_UNDERFLOW);
    flushBatch(GlcompatBatchEnd::State);
    const AttribState saved = gc.attribStack.back();
    const GLbitfield mask = gc.attribMasks.back();
    gc.attribStack.pop_back();
    gc.attribMasks.pop_back();
    AttribState& s = gc.cur;
    if (mask & GL_CURRENT_BIT) {
        std::memcpy(s.color, saved.color, sizeof s.color);
        std::memcpy(s.normal, saved.normal, sizeof s.normal);
        std::memcpy(s.texCoord, saved.texCoord, sizeof s.texCoord);
        s.raster = saved.raster;
    }
    if (mask & GL_ENABLE_BIT) {
        for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_CULL_FACE,
                           GL_SCISSOR_TEST, GL_DITHER, GL_NORMALIZE, GL_POLYGON_OFFSET_FILL})
            *capability(s, cap) = *capability(const_cast<AttribState&>(saved), cap);
        std::memcpy(s.lightEnabled, saved.lightEnabled, sizeof s.lightEnabled);
    }
    if (mask & GL_LIGHTING_BIT) {
        std::memcpy(s.lights, saved.lights, sizeof s.lights);
        s.front = saved.front;
        s.back = saved.back;
        std::memcpy(s.modelAmbient, saved.modelAmbient, sizeof s.modelAmbient);
        s.lighting = saved.lighting;
        std::memcpy(s.lightEnabled, saved.lightEnabled, sizeof s.lightEnabled);
    }
    if (mask & (GL_LIGHTING_BIT | GL_ENABLE_BIT)) gc.lightSerial++;
    if (mask & GL_DEPTH_BUFFER_BIT) {
        s.depthFunc = saved.depthFunc;
        s.depthMask = saved.depthMask;
        s.clearDepth = saved.clearDepth;
        s.depthTest = saved.depthTest;
    }
    if (mask & GL_STENCIL_BUFFER_BIT) {
        s.stencilFunc = saved.stencilFunc;
        s.stencilRef = saved.stencilRef;
        s.stencilValueMask = saved.stencilValueMask;
        s.stencilWriteMask = saved.stencilWriteMask;
        s.stencilFail = saved.stencilFail;
        s.stencilZFail = saved.stencilZFail;
        s.stencilZPass = saved.stencilZPass;
        s.clearStencil = saved.clearStencil;
        s.stencilTest = saved.stencilTest;
    }
    if (mask & GL_COLOR_BUFFER_BIT) {
        s.blendSrc = saved.blendSrc;
        s.blendDst = saved.blendDst;
        std::memcpy(s.colorMask, saved.colorMask, sizeof s.colorMask);
        std::memcpy(s.clearColor, saved.clearColor, sizeof s.clearColor);
        s.blend = saved.blend;
        s.dither = saved.dither;
    }
    if (mask & GL_POLYGON_BIT) {
        s.cullMode = saved.cullMode;
        s.frontFace = saved.frontFace;
        s.offsetFactor = saved.offsetFactor;
        s.offsetUnits = saved.offsetUnits;
        s.cullFace = saved.cullFace;
        s.polygonOffsetFill = saved.polygonOffsetFill;
    }
    if (mask & GL_VIEWPORT_BIT) {
        std::memcpy(s.viewport, saved.viewport, sizeof s.viewport);
        std::memcpy(s.depthRange, saved.depthRange, sizeof s.depthRange);
    }
    if (mask & GL_SCISSOR_BIT) {
        std::memcpy(s.scissor, saved.scissor, sizeof s.scissor);
        s.scissorTest = saved.scissorTest;
    }
    if (mask & GL_TEXTURE_BIT) {
        s.boundTexture = saved.boundTexture;
        s.envMode = saved.envMode;
        s.texture2d = saved.texture2d;
    }
    if (mask & GL_LINE_BIT) s.lineWidth = saved.lineWidth;
    if (mask & GL_LIST_BIT) s.listBase = saved.listBase;
    if (mask & GL_TRANSFORM_BIT) {
        s.matrixMode = saved.matrixMode;
        s.normalize = saved.normalize;
    }
}
