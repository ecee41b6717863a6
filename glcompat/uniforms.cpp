// A batch's uniforms: its matrices, and the per-light products and scene colour as fixed-function
// lighting precomputes them. Each program keeps the values its uniforms hold, and a uniform is
// sent only when its new value differs from that.
#include <cstring>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

enum UniformBit : uint32_t {
    kMvpBit = 1, kModelViewBit = 2, kNormalBit = 4, kTexBit = 8, kSceneBit = 16, kShininessBit = 32,
    kLightPosBit = 64, kLightAttBit = 128, kLightAmbBit = 256, kLightDifBit = 512, kLightSpeBit = 1024,
    kPaletteBit = 2048
};

// True when `value` (n floats) is not what `held` says the uniform holds; `held` takes it.
bool changes(Program& p, uint32_t bit, float* held, const float* value, int n) {
    const size_t bytes = sizeof(float) * size_t(n);
    if ((p.known & bit) && std::memcmp(held, value, bytes) == 0) return false;
    std::memcpy(held, value, bytes);
    p.known |= bit;
    return true;
}

}  // namespace

void uploadMatrices(Program& p) {
    const EsTable& es = gc.es;
    UniformValues& h = p.held;
    if (p.matrixSerial == gc.snapshotSerial) return;
    p.matrixSerial = gc.snapshotSerial;
    float mvp[16];
    multiply(gc.batchProjection.m, gc.batchModelView.m, mvp);
    if (changes(p, kMvpBit, h.mvp, mvp, 16)) es.UniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp);
    if (p.modelView >= 0 && changes(p, kModelViewBit, h.modelView, gc.batchModelView.m, 16))
        es.UniformMatrix4fv(p.modelView, 1, GL_FALSE, gc.batchModelView.m);
    if (p.normalMatrix >= 0) {
        float n[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        invertUpper3x3Transposed(gc.batchModelView.m, n);
        if (changes(p, kNormalBit, h.normalMatrix, n, 9)) es.UniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, n);
    }
    if (p.texMatrix >= 0 && changes(p, kTexBit, h.texMatrix, gc.batchTexture.m, 16))
        es.UniformMatrix4fv(p.texMatrix, 1, GL_FALSE, gc.batchTexture.m);
}

void uploadLighting(Program& p) {
    if (p.lightSerial == gc.lightSerial) return;
    p.lightSerial = gc.lightSerial;
    const EsTable& es = gc.es;
    const AttribState& s = gc.cur;
    const Material& m = s.front;
    UniformValues& h = p.held;
    float scene[4];
    for (int k = 0; k < 3; ++k) scene[k] = m.emission[k] + s.modelAmbient[k] * m.ambient[k];
    scene[3] = m.diffuse[3];
    if (p.sceneColor >= 0 && changes(p, kSceneBit, h.sceneColor, scene, 4)) es.Uniform4fv(p.sceneColor, 1, scene);
    if (p.shininess >= 0 && changes(p, kShininessBit, &h.shininess, &m.shininess, 1))
        es.Uniform1f(p.shininess, m.shininess);
    float pos[4 * kMaxLights], att[3 * kMaxLights], amb[3 * kMaxLights], dif[3 * kMaxLights], spe[3 * kMaxLights];
    int n = 0;
    for (int i = 0; i < kMaxLights; ++i) {
        if (!s.lightEnabled[i]) continue;
        const Light& l = s.lights[i];
        std::memcpy(pos + 4 * n, l.eyePosition, sizeof l.eyePosition);
        std::memcpy(att + 3 * n, l.attenuation, sizeof l.attenuation);
        for (int k = 0; k < 3; ++k) {
            amb[3 * n + k] = l.ambient[k] * m.ambient[k];
            dif[3 * n + k] = l.diffuse[k] * m.diffuse[k];
            spe[3 * n + k] = l.specular[k] * m.specular[k];
        }
        ++n;
    }
    if (n == 0) return;
    // A program specialised on its lights may have dropped a uniform it does not read (-1).
    if (p.lightPos >= 0 && changes(p, kLightPosBit, h.lightPos, pos, 4 * n)) es.Uniform4fv(p.lightPos, n, pos);
    if (p.lightAtt >= 0 && changes(p, kLightAttBit, h.lightAtt, att, 3 * n)) es.Uniform3fv(p.lightAtt, n, att);
    if (p.lightAmb >= 0 && changes(p, kLightAmbBit, h.lightAmb, amb, 3 * n)) es.Uniform3fv(p.lightAmb, n, amb);
    if (p.lightDif >= 0 && changes(p, kLightDifBit, h.lightDif, dif, 3 * n)) es.Uniform3fv(p.lightDif, n, dif);
    if (p.lightSpe >= 0 && changes(p, kLightSpeBit, h.lightSpe, spe, 3 * n)) es.Uniform3fv(p.lightSpe, n, spe);
}

void uploadPalette(Program& p) {
    const int n = int(gc.heldModelViews.size());
    float palette[16 * kPaletteSize];
    for (int i = 0; i < n; ++i) multiply(gc.heldProjections[size_t(i)].m, gc.heldModelViews[size_t(i)].m, palette + 16 * i);
    if (changes(p, kPaletteBit, p.held.palette, palette, 16 * n))
        gc.es.UniformMatrix4fv(p.palette, n, GL_FALSE, palette);
}

}  // namespace glcompat
