// The pending batch: vertices of primitives that share one kind, one program and one state,
// sent to ES as one append to the stream buffer and one draw. Matrices are compared when a
// primitive joins, not when they change, because the renderer moves them and puts them back
// (glPushMatrix, a read-back, glPopMatrix) between primitives that still belong together.
//
// What ends a batch (each is counted under its name in GlcompatCounters::batchEnds):
//   state     a change of a value the batch was drawn under: a capability other than lighting or
//             texturing, depth function or mask, stencil function, operations or mask, blend
//             factors, colour mask, cull face, front face, polygon offset, viewport, depth range,
//             scissor box, line width, a clear value; and every glPopAttrib;
//   lighting  glEnable/glDisable of GL_LIGHTING or a light, a change of a light, a material or the
//             light model's ambient;
//   texture   glEnable/glDisable of GL_TEXTURE_2D, glBindTexture of another texture,
//             glTexImage2D, glTexParameter*, glDeleteTextures;
//   program   the next primitive is lit where the batch is not (or the reverse), textured where
//             it is not (or the reverse), or of another kind (triangles, lines, points, glyphs);
//   matrices  the next primitive comes under a modelview, projection or texture matrix other
//             than the batch's (glyphs are placed in window coordinates and never end on this);
//   bitmap    the next glyph is in another texture, the glyph atlas must be sent again, or a
//             bitmap too large for the atlas is drawn alone;
//   full      the batch holds 65536 vertices;
//   clear, read, finish, frame, shutdown: glClear, glReadPixels, glFinish or glFlush,
//             glcompatEndFrame, glcompatShutdown.
// Nothing else ends one: not glBegin/glEnd, not glColor, glNormal or glTexCoord, not a state set
// to the value it has, not matrices changed and put back between two primitives, not a read of
// any state.
//
// Stencil-only batches held back: a batch drawn with GL_NEVER depth (every fragment fails the
// depth test and takes the stencil depth-fail operation, writing neither colour nor depth) under
// GL_ALWAYS stencil is not drawn when it ends but held, while later batches whose whole state
// is the same but for the depth function, and whose stencil operations are the held one's
// depth-fail operation or GL_KEEP, are drawn before it. All of them apply one and the same
// stencil operation to each fragment they cover, whatever it is, and the depth buffer they test
// is not written, so the order of such draws does not change the stencil buffer. A later
// holdable batch of the same state joins the held one, under other matrices too: each vertex
// then picks its matrix from a palette of up to kPaletteSize (the same projection-times-modelview
// product the plain program takes), so the caps of a pass's shadow volumes, each volume under its
// own matrices, become one draw. The held batch is drawn as soon as anything else comes: a batch
// of other state, a holdable batch that cannot join, or a clear, read, finish, frame end or
// shutdown.
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

bool isIdentity(const Mat4& m) {
    static const Mat4 identity{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    return std::memcmp(&m, &identity, sizeof m) == 0;
}

// The program the pending batch needs, specialised on the state it really uses.
ProgramKey keyOfBatch() {
    ProgramKey k{};
    k.bitmap = gc.batchKind == BatchKind::Bitmaps;
    if (k.bitmap) return k;
    k.lit = gc.batchLit;
    k.textured = gc.batchTextured;
    if (k.textured) k.textureMatrix = !isIdentity(gc.batchTexture);
    if (!k.lit) return k;
    for (int i = 0; i < kMaxLights; ++i) {
        if (!gc.cur.lightEnabled[i]) continue;
        const Light& l = gc.cur.lights[i];
        if (l.eyePosition[3] != 0.0f) {
            k.positional |= uint8_t(1u << k.lights);
            if (l.attenuation[0] != 1.0f || l.attenuation[1] != 0.0f || l.attenuation[2] != 0.0f)
                k.attenuated = true;
        }
        k.lights++;
    }
    return k;
}

// With every colour channel masked, a fragment's colour is never seen: what it writes to depth
// and stencil depends on where the vertices land alone. Glyphs keep their program, whose discard
// decides which fragments there are.
ProgramKey withColourMask(const ProgramKey& key, const AttribState& s) {
    if (key.bitmap || s.colorMask[0] || s.colorMask[1] || s.colorMask[2] || s.colorMask[3]) return key;
    ProgramKey k{};
    k.palette = key.palette;
    k.colorless = true;
    return k;
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

// One draw of `vertices` under raster state `s` and the batch record's matrices.
void draw(BatchKind kind, const std::vector<float>& vertices, const AttribState& s, const ProgramKey& batchKey) {
    syncRaster(s);
    const ProgramKey key = withColourMask(batchKey, s);
    Program* p = useProgram(key);
    if (!p) return;
    const EsTable& es = gc.es;
    if (key.bitmap) {
        if (gc.appliedTexture != gc.bitmapTexture) es.BindTexture(GL_TEXTURE_2D, gc.bitmapTexture);
        gc.appliedTexture = gc.bitmapTexture;
    } else if (key.palette) {
        uploadPalette(*p);
    } else {
        uploadMatrices(*p);
        if (key.lit) uploadLighting(*p);
        if (key.textured) syncTextureBinding();
    }
    const int first = streamBatch(key, vertices);
    if (first < 0) return;
    const int count = int(vertices.size() / kFloatsPerVertex);
    es.DrawArrays(esMode(kind), first, count);
    gc.draws++;
    gc.verticesDrawn += uint64_t(count);
}

// A batch that writes only stencil, the same operation to every fragment it covers.
bool holdable(const AttribState& s) {
    return s.depthTest && s.depthFunc == GL_NEVER && !s.depthMask && s.stencilTest && s.stencilFunc == GL_ALWAYS;
}

// Whether a batch under `s` may be drawn before the held batch: see the top of this file.
bool commutesWithHeld(const AttribState& s) {
    const AttribState& h = gc.heldState;
    const GLenum op = h.stencilZFail;
    if (s.stencilZPass != GL_KEEP && s.stencilZPass != op) return false;
    AttribState other = s;
    other.depthFunc = h.depthFunc;
    return sameRaster(other, h);
}

void drawHeld() {
    if (!gc.holding) return;
    gc.holding = false;
    ProgramKey key{};
    if (gc.heldModelViews.size() > 1) {
        key.palette = true;
        draw(gc.heldKind, gc.held, gc.heldState, key);
    } else {
        // One set of matrices: they stand in for the pending batch's while the plain program draws.
        std::swap(gc.batchModelView, gc.heldModelViews[0]);
        std::swap(gc.batchProjection, gc.heldProjections[0]);
        std::swap(gc.batchTexture, gc.heldTexture);
        gc.snapshotSerial++;
        draw(gc.heldKind, gc.held, gc.heldState, key);
        std::swap(gc.batchModelView, gc.heldModelViews[0]);
        std::swap(gc.batchProjection, gc.heldProjections[0]);
        std::swap(gc.batchTexture, gc.heldTexture);
        gc.snapshotSerial++;
    }
    gc.held.clear();
    gc.heldModelViews.clear();
    gc.heldProjections.clear();
}

// The index of the pending batch's matrices among the held ones, a new one if there is room,
// or -1.
int heldIndex() {
    const size_t n = gc.heldModelViews.size();
    for (size_t i = 0; i < n; ++i)
        if (std::memcmp(&gc.heldModelViews[i], &gc.batchModelView, sizeof(Mat4)) == 0 &&
            std::memcmp(&gc.heldProjections[i], &gc.batchProjection, sizeof(Mat4)) == 0)
            return int(i);
    if (n >= size_t(kPaletteSize)) return -1;
    gc.heldModelViews.push_back(gc.batchModelView);
    gc.heldProjections.push_back(gc.batchProjection);
    return int(n);
}

void appendHeld(int index) {
    const size_t start = gc.held.size();
    gc.held.insert(gc.held.end(), gc.batch.begin(), gc.batch.end());
    for (size_t v = start; v < gc.held.size(); v += kFloatsPerVertex) gc.held[v + kAttribOffset[kNormal]] = float(index);
}

void hold() {
    if (gc.holding && gc.heldKind == gc.batchKind && sameRaster(gc.heldState, gc.cur) &&
        gc.held.size() + gc.batch.size() <= kMaxBatchFloats) {
        const int index = heldIndex();
        if (index >= 0) return appendHeld(index);
    }
    drawHeld();
    gc.holding = true;
    gc.heldKind = gc.batchKind;
    gc.heldTexture = gc.batchTexture;
    gc.heldState = gc.cur;
    appendHeld(heldIndex());
}

bool barrier(GlcompatBatchEnd reason) {
    return reason == GlcompatBatchEnd::Clear || reason == GlcompatBatchEnd::Read ||
           reason == GlcompatBatchEnd::Finish || reason == GlcompatBatchEnd::Frame ||
           reason == GlcompatBatchEnd::Shutdown;
}

}  // namespace

void beginBatch(BatchKind kind, bool lit, bool textured) {
    if (gc.batchKind == kind && gc.batchLit == lit && gc.batchTextured == textured &&
        gc.batch.size() < kMaxBatchFloats && (kind == BatchKind::Bitmaps || sameMatrices()))
        return;
    GlcompatBatchEnd reason = GlcompatBatchEnd::Program;
    if (gc.batchKind == kind && gc.batchLit == lit && gc.batchTextured == textured)
        reason = gc.batch.size() >= kMaxBatchFloats ? GlcompatBatchEnd::Full : GlcompatBatchEnd::Matrices;
    flushBatch(reason);
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

void flushBatch(GlcompatBatchEnd reason) {
    if (gc.batchKind != BatchKind::None && (gc.batch.empty() || !esReady())) discardBatch();
    if (gc.batchKind != BatchKind::None) {
        gc.counters.batchEnds[int(reason)]++;
        const bool plain = gc.batchKind != BatchKind::Bitmaps && !gc.batchLit && !gc.batchTextured;
        if (plain && holdable(gc.cur)) {
            hold();
        } else {
            if (gc.holding && !commutesWithHeld(gc.cur)) drawHeld();
            draw(gc.batchKind, gc.batch, gc.cur, keyOfBatch());
        }
        discardBatch();
    }
    if (gc.holding && (barrier(reason) || !gc.ready)) drawHeld();
}

}  // namespace glcompat
