// Stencil shadow volumes: light classification, silhouette lists and the counting passes.
#include "render/shadows.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/entity_models.h"
#include "render/volume_bounds.h"
#include "render/volume_clip.h"

ShadowState shadowState{};

void resetShadows() { shadowState = ShadowState{}; }

void beginShadowFrame() {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    shadowState.cover.reset(viewport);
    shadowState.shortcuts = true;
}

void endShadowFrame() { shadowState.shortcuts = false; }

namespace {

// The near-plane quad of the projection: it covers the whole viewport.
void drawDarkeningQuad() {
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(-0.2f, 0.2f, -0.5f);
    glVertex3f(-0.2f, -0.2f, -0.5f);
    glVertex3f(0.2f, 0.2f, -0.5f);
    glVertex3f(0.2f, -0.2f, -0.5f);
    glEnd();
    glPopMatrix();
}

// The darkening quad cut to the disjoint rects of the cover map, so each pixel is blended at most
// once, exactly as the whole quad would blend it; nothing at all while the map is empty.
void darkenCovered() {
    CoverMap& cover = shadowState.cover;
    if (cover.empty()) return;
    glEnable(GL_SCISSOR_TEST);
    for (const ScreenRect& r : cover.rects()) {
        glScissor(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
        drawDarkeningQuad();
    }
    glDisable(GL_SCISSOR_TEST);
}

// Appends the staged block to the list of slot `slot`. When the larger list cannot be allocated
// the list keeps what it had and the staged edges are dropped: the volume has a gap this frame,
// but the frame goes on.
void flush(Entity* e, int slot, int staged) {
    const uint32_t c = e->edgeCount[slot];
    const size_t bytes = (static_cast<size_t>(c) + kSilhouetteBlock) * sizeof(SilhouetteEdge);
    auto* grown = static_cast<SilhouetteEdge*>(shadowState.allocate ? shadowState.allocate(bytes)
                                                                     : std::malloc(bytes));
    if (!grown) return;
    if (c) std::memcpy(grown, e->edges[slot], c * sizeof(SilhouetteEdge));
    std::memcpy(grown + c, shadowState.silhouetteStaging, sizeof shadowState.silhouetteStaging);
    std::free(e->edges[slot]);
    e->edges[slot] = grown;
    e->edgeCount[slot] = c + staged;
    shadowState.flushes++;
}

void rebuildList(Entity* e, const Model& m, int slot) {
    const uint8_t bit = static_cast<uint8_t>(1u << slot);
    std::free(e->edges[slot]);
    e->edges[slot] = nullptr;
    e->edgeCount[slot] = 0;
    int staged = 0;
    const int count = m.triangleCount;
    for (int k = 0; k < count; ++k) {
        if (!(e->litMask[k] & bit)) continue;
        for (int l = 0; l < 3; ++l) {
            const int32_t n = m.triangles[k]->adj[l];
            // An index outside the model counts as an open edge.
            const bool open = n < 0 || n >= count;
            if (open || !(e->litMask[n] & bit)) {
                shadowState.silhouetteStaging[staged].triangle = k;
                shadowState.silhouetteStaging[staged].edge = static_cast<uint8_t>(l);
                if (++staged == kSilhouetteBlock) {
                    flush(e, slot, staged);
                    staged = 0;
                }
            }
        }
    }
    if (staged > 0) flush(e, slot, staged);
}

}  // namespace

Vec3 lightToLocal(const Entity* entity, const float light[3]) {
    GLfloat m[16];
    glPushMatrix();
    glLoadIdentity();
    glRotatef(entity->angles.z, 0, 0, 1);
    glRotatef(entity->angles.y, 0, 1, 0);
    glRotatef(entity->angles.x, 1, 0, 0);
    glTranslatef(-entity->position.x, -entity->position.y, -entity->position.z);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    Vec3 out;
    for (int r = 0; r < 3; ++r)
        out[r] = m[r] * light[0] + m[4 + r] * light[1] + m[8 + r] * light[2] + m[12 + r];
    return out;
}

void classifyLit(Triangle** triangles, int count, const Vec3& light, uint8_t bit, Entity* entity) {
    const int16_t n = static_cast<int16_t>(count);
    for (int k = 0; k < n; ++k) {
        if (planeValue(triangles[k]->plane, light) > 0)
            entity->litMask[k] |= bit;
        else
            entity->litMask[k] &= static_cast<uint8_t>(~bit);
    }
}

void findSilhouettes(Room* room) {
    const World* world = room->world;
    if (!world) return;
    for (int i = 0; i < 8; ++i) {
        if (room->lights[i].enabled != kLightShadowing) continue;
        for (Entity* e = room->entities; e; e = e->next) {
            const Model* m = castingModel(world, e);
            if (!m) continue;
            const Vec3 light = lightToLocal(e, room->lights[i].position);
            classifyLit(m->triangles, m->triangleCount, light, static_cast<uint8_t>(1u << i), e);
            rebuildList(e, *m, i);
        }
    }
}

namespace {

enum CapPart { kNearCap = 1, kFarCap = 2, kBothCaps = 3 };

// The caps of one volume in `parts`: light-facing triangles in place (near), the others at
// infinity (far), skipping those `facing` says this pass culls. The volume's corners are prepared
// (beginVolumeCorners).
void emitCaps(Triangle** triangles, int count, const Entity* entity, const VolumeFacing* facing,
              int8_t culled, int parts) {
    glBegin(GL_TRIANGLES);
    const int16_t n = static_cast<int16_t>(count);
    for (int r = 0; r < n; ++r) {
        if (facing && facing->caps[r] == culled) continue;
        const int f = entity->litMask[r] & 1 ? 0 : 1;
        if (!(parts & (f == 0 ? kNearCap : kFarCap))) continue;
        const int form[3] = {f, f, f};
        emitVolumeTriangle(triangles[r]->v, form);
    }
    glEnd();
}

// One volume in model space with the light already at L, under `clip` (the model's clip space).
// Every triangle goes through emitVolumeTriangle, which cuts those with a corner near the eye
// plane or far outside the view to the guard band. With `facing` (the shortcuts), the sides go out
// as one list of independent triangles instead of one strip per edge: the two triangles of each
// strip, with the very corners and corner order a strip gives them, so rasterization is the same;
// and triangles known to face the way this pass culls (`culled`) are not sent at all.
void emitVolume(Triangle** triangles, int count, const SilhouetteEdge* edges, uint32_t edgeCount,
                const Vec3& L, Vec3** vertices, Entity* entity, const ClipSpace& clip,
                const VolumeFacing* facing, int8_t culled) {
    const bool batched = facing != nullptr;
    glPushMatrix();
    glTranslatef(entity->position.x, entity->position.y, entity->position.z);
    glMultMatrixf(entity->rotation);
    beginVolumeCorners(clip, vertices, L);
    if (batched) {
        // Within a pass every fragment takes the same saturating step, so the order of the
        // volume's triangles does not matter. The near cap goes first in a draw of its own: its
        // corners are in place and mostly on screen, and a draw the driver need not clip is cheaper.
        glDepthFunc(GL_NEVER);
        emitCaps(triangles, count, entity, facing, culled, kNearCap);
        glDepthFunc(GL_LEQUAL);
        glBegin(GL_TRIANGLES);
    }
    for (uint32_t j = 0; j < edgeCount; ++j) {
        const Triangle& t = *triangles[edges[j].triangle];
        const int k = edges[j].edge;
        const uint32_t a = t.v[k], b = k < 2 ? t.v[k + 1] : t.v[0];
        // Strip (a, a', b, b') is the triangles (a, a', b) and (b, a', b').
        const uint32_t first[3] = {a, a, b}, second[3] = {b, a, b};
        const int firstForm[3] = {0, 1, 0}, secondForm[3] = {0, 1, 1};
        if (batched) {
            if (facing->sides[2 * j] != culled) emitVolumeTriangle(first, firstForm);
            if (facing->sides[2 * j + 1] != culled) emitVolumeTriangle(second, secondForm);
            continue;
        }
        if (cornerInside(a, 0) && cornerInside(a, 1) && cornerInside(b, 0) && cornerInside(b, 1)) {
            const Vec3& pa = *vertices[a];
            const Vec3& pb = *vertices[b];
            glBegin(GL_TRIANGLE_STRIP);
            glVertex4f(pa.x, pa.y, pa.z, 1);
            glVertex4f(pa.x - L.x, pa.y - L.y, pa.z - L.z, 0);
            glVertex4f(pb.x, pb.y, pb.z, 1);
            glVertex4f(pb.x - L.x, pb.y - L.y, pb.z - L.z, 0);
            glEnd();
        } else {
            glBegin(GL_TRIANGLES);
            emitVolumeTriangle(first, firstForm);
            emitVolumeTriangle(second, secondForm);
            glEnd();
        }
    }
    if (batched) glEnd();
    // Every cap fragment fails GL_NEVER and so always takes the depth-fail operation. Batched,
    // the near cap went out before the sides (see above).
    glDepthFunc(GL_NEVER);
    emitCaps(triangles, count, entity, facing, culled, batched ? kFarCap : kBothCaps);
    glDepthFunc(GL_LEQUAL);
    glPopMatrix();
}

}  // namespace

void drawShadowVolume(Triangle** triangles, int count, const SilhouetteEdge* edges,
                      uint32_t edgeCount, const float light[3], Vec3** vertices, Entity* entity) {
    const Vec3 L = lightToLocal(entity, light);
    glPushMatrix();
    glTranslatef(entity->position.x, entity->position.y, entity->position.z);
    glMultMatrixf(entity->rotation);
    const ClipSpace clip = currentClipSpace();
    glPopMatrix();
    emitVolume(triangles, count, edges, edgeCount, L, vertices, entity, clip, nullptr, 0);
}

void renderShadows(Room* room) {
    const World* world = room->world;
    if (!world) return;
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_STENCIL_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilFunc(GL_ALWAYS, 0, ~0u);
    glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
    glCullFace(GL_FRONT);
    // With the shortcuts, each caster's light is brought into model space once, its volume's
    // cover is marked once, volumes off screen are skipped in both passes and the sides are
    // batched.
    const bool shortcuts = shadowState.shortcuts;
    if (!shortcuts) {
        // Pass 1 counts back faces behind the visible surface up, pass 2 counts front faces down.
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) {
                glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
                glCullFace(GL_BACK);
            }
            for (Entity* e = room->entities; e; e = e->next) {
                const Model* m = castingModel(world, e);
                if (!m) continue;
                drawShadowVolume(m->triangles, m->triangleCount, e->edges[0], e->edgeCount[0],
                                 room->lights[0].position, m->vertices, e);
            }
        }
    } else {
        std::vector<ShadowCaster>& casters = shadowState.casters;
        std::vector<VolumeFacing>& facings = shadowState.facings;
        casters.clear();
        const ClipSpace view = currentClipSpace();
        for (Entity* e = room->entities; e; e = e->next) {
            const Model* m = castingModel(world, e);
            if (!m) continue;
            // Facing records keep their storage from room to room and frame to frame.
            if (facings.size() <= casters.size()) facings.resize(casters.size() + 1);
            const Vec3 light = lightToLocal(e, room->lights[0].position);
            const ClipSpace clip = entityClipSpace(view, e->position, e->rotation);
            if (markVolumeCover(clip, *m, e->edges[0], e->edgeCount[0], light, e->litMask,
                                shadowState.cover, &facings[casters.size()]))
                casters.push_back({e, m, light, clip});
        }
        for (int pass = 0; pass < 2; ++pass) {
            // Pass 1 culls front faces, pass 2 back faces.
            const int8_t culled = pass == 0 ? 1 : -1;
            if (pass == 1) {
                glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
                glCullFace(GL_BACK);
            }
            for (size_t i = 0; i < casters.size(); ++i) {
                const ShadowCaster& c = casters[i];
                emitVolume(c.m->triangles, c.m->triangleCount, c.e->edges[0], c.e->edgeCount[0],
                           c.light, c.m->vertices, c.e, c.clip, &facings[i], culled);
            }
        }
    }
    glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glColor4f(0, 0, 0, 0.8f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glStencilFunc(GL_NOTEQUAL, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    if (shortcuts)
        darkenCovered();
    else
        drawDarkeningQuad();
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glDisable(GL_STENCIL_TEST);
}
