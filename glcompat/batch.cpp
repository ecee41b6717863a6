// The pending batch: vertices of primitives that share one kind, one program and one state,
// sent to ES as one buffer upload and one draw when anything they depend on is about to change,
// or when the program reads, clears or finishes. Matrices are compared when a primitive joins,
// not when they change, because the renderer moves them and puts them back (glPushMatrix, a
// read-back, glPopMatrix) between primitives that still belong together.
#include <cstring>

#include "glcompat/compat.h"

namespace glcompat {

namespace {

constexpr size_t kMaxBatchFloats = size_t(kFloatsPerVertex) * 65536;

bool sameMatrices() {
    if (gc.batchMatrixSerial == gc.matrixSerial) return true;
    if (std::memcmp(&gc.batchModelView, &top(0), sizeof(Mat4)) != 0 ||
        std::memcmp(&gc.batchProjection, &top(1), sizeof(Mat4)) != 0 ||
        std::memcmp(&gc.batchTexture, &top(2), sizeof(Mat4)) != 0)
        return false;
    gc.batchMatrixSerial = gc.matrixSerial;
    return true;
}

int enabledLights() {
    int n = 0;
    for (bool on : gc.cur.lightEnabled) n += on;
    return n;
}

void uploadMatrices(Program& p) {
    if (p.matrixSerial == gc.snapshotSerial) return;
    p.matrixSerial = gc.snapshotSerial;
    const EsTable& es = gc.es;
    float mvp[16];
    multiply(gc.batchProjection.m, gc.batchModelView.m, mvp);
    es.UniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp);
    if (p.modelView >= 0) es.UniformMatrix4fv(p.modelView, 1, GL_FALSE, gc.batchModelView.m);
    if (p.normalMatrix >= 0) {
        float n[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        invertUpper3x3Transposed(gc.batchModelView.m, n);
        es.UniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, n);
    }
    if (p.texMatrix >= 0) es.UniformMatrix4fv(p.texMatrix, 1, GL_FALSE, gc.batchTexture.m);
}

// The per-light products and the scene colour, as fixed-function lighting precomputes them.
void uploadLighting(Program& p) {
    if (p.lightSerial == gc.lightSerial) return;
    p.lightSerial = gc.lightSerial;
    const EsTable& es = gc.es;
    const AttribState& s = gc.cur;
    const Material& m = s.front;
    float scene[4];
    for (int k = 0; k < 3; ++k) scene[k] = m.emission[k] + s.modelAmbient[k] * m.ambient[k];
    scene[3] = m.diffuse[3];
    es.Uniform4fv(p.sceneColor, 1, scene);
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
    es.Uniform4fv(p.lightPos, n, pos);
    es.Uniform3fv(p.lightAtt, n, att);
    es.Uniform3fv(p.lightAmb, n, amb);
    es.Uniform3fv(p.lightDif, n, dif);
    es.Uniform3fv(p.lightSpe, n, spe);
}

unsigned esMode(BatchKind kind) {
    switch (kind) {
    case BatchKind::Lines: return GL_LINES;
    case BatchKind::Points: return GL_POINTS;
    default: return GL_TRIANGLES;
    }
}

void discardBatch() {
    gc.batch.clear();
    gc.batchKind = BatchKind::None;
}

}  // namespace

void beginBatch(BatchKind kind, bool lit, bool textured) {
    if (gc.batchKind == kind && gc.batchLit == lit && gc.batchTextured == textured &&
        gc.batch.size() < kMaxBatchFloats && (kind == BatchKind::Bitmaps || sameMatrices()))
        return;
    flushBatch();
    gc.batchKind = kind;
    gc.batchLit = lit;
    gc.batchTextured = textured;
    if (kind == BatchKind::Bitmaps) return;
    if (std::memcmp(&gc.batchModelView, &top(0), sizeof(Mat4)) != 0 ||
        std::memcmp(&gc.batchProjection, &top(1), sizeof(Mat4)) != 0 ||
        std::memcmp(&gc.batchTexture, &top(2), sizeof(Mat4)) != 0) {
        gc.batchModelView = top(0);
        gc.batchProjection = top(1);
        gc.batchTexture = top(2);
        gc.snapshotSerial++;
    }
    gc.batchMatrixSerial = gc.matrixSerial;
}

void appendVertex(const float v[kFloatsPerVertex]) { gc.batch.insert(gc.batch.end(), v, v + kFloatsPerVertex); }

void flushBatch() {
    if (gc.batchKind == BatchKind::None) return;
    if (gc.batch.empty() || !esReady()) return discardBatch();
    syncRaster();
    const bool bitmap = gc.batchKind == BatchKind::Bitmaps;
    Program* p = useProgram(gc.batchLit && !bitmap, gc.batchTextured && !bitmap, bitmap,
                            gc.batchLit && !bitmap ? enabledLights() : 0);
    if (!p) return discardBatch();
    const EsTable& es = gc.es;
    if (bitmap) {
        es.BindTexture(GL_TEXTURE_2D, gc.bitmapTexture);
        gc.appliedTexture = gc.bitmapTexture;
    } else {
        uploadMatrices(*p);
        if (gc.batchLit) uploadLighting(*p);
        if (gc.batchTextured) syncTextureBinding();
    }
    es.BindBuffer(es::kArrayBuffer, gc.vertexBuffer);
    es.BufferData(es::kArrayBuffer, long(gc.batch.size() * sizeof(float)), gc.batch.data(), es::kStreamDraw);
    pointAttributes();
    const int count = int(gc.batch.size() / kFloatsPerVertex);
    es.DrawArrays(esMode(gc.batchKind), 0, count);
    gc.draws++;
    gc.verticesDrawn += uint64_t(count);
    discardBatch();
}

}  // namespace glcompat
