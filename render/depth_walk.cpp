// The depth-only walk of the complete-depth shadow mode.
#include "render/depth_walk.h"

#include <GL/gl.h>

#include <vector>

#include "render/clip_space.h"
#include "render/renderer.h"
#include "scene/entity.h"

namespace {

// The view, the outcodes of the world's pool under it and, one entity at a time, of a model,
// while the walk culls.
struct Culling {
    const ClipSpace* view;
    const std::vector<uint8_t>* pool;
    std::vector<uint8_t> model;
};

void depthTriangles(int count, Triangle** triangles, Vec3** vertices, const std::vector<uint8_t>* codes) {
    const int16_t n = static_cast<int16_t>(count);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < n; ++i) {
        const Triangle& t = *triangles[i];
        const Vec3 &a = *vertices[t.v[0]], &b = *vertices[t.v[1]], &c = *vertices[t.v[2]];
        if (codes && outsideView(*codes, t.v)) continue;
        glVertex3fv(&a.x);
        glVertex3fv(&b.x);
        glVertex3fv(&c.x);
    }
    glEnd();
}

void depthEntities(const World* world, Entity* first, Culling& cull) {
    for (Entity* e = first; e; e = e->next) {
        if (e->flags & (kEntityHidden | kEntityTranslucent)) continue;  // translucent ones write no depth
        if (e->model >= static_cast<uint16_t>(world->modelCount) || !world->models) continue;
        const Model* m = world->models[e->model];
        if (!m) continue;
        glPushMatrix();
        updateRotation(e);
        glTranslatef(e->position.x, e->position.y, e->position.z);
        glMultMatrixf(e->rotation);
        if (cull.view)
            vertexOutcodes(entityClipSpace(*cull.view, e->position, e->rotation), m->vertices,
                           m->vertices ? m->vertexCount : 0, cull.model);
        depthTriangles(m->triangleCount, m->triangles, m->vertices, cull.view ? &cull.model : nullptr);
        glPopMatrix();
    }
}

void depthRoom(Room* room, World* world, Entity* camera, const Frustum* frustum, Culling& cull) {
    if (room->lastFrame == world->frame) return;
    room->lastFrame = world->frame;
    if (room->triangles)
        depthTriangles(room->triangleCount, room->triangles, world->vertices, cull.pool);
    depthEntities(world, room->entities, cull);
    for (int i = 0; room->portals && i < room->portalCount; ++i) {
        const Portal* portal = room->portals[i];
        if (!portalFollowable(portal)) continue;
        if (frustum && !portalVisible(camera, portal, frustum)) continue;
        Frustum* next = buildFrustum(camera, portal);
        if (portal->target) depthRoom(portal->target, world, camera, next, cull);
        freeFrustum(next);
    }
}

}  // namespace

void drawDepthWalk(Entity* camera, World* world, const ClipSpace* cull, const std::vector<uint8_t>* poolCodes) {
    if (!camera->room) return;
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_TRUE);
    world->frame++;
    Culling culling{poolCodes ? cull : nullptr, cull ? poolCodes : nullptr, {}};
    depthRoom(camera->room, world, camera, nullptr, culling);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}
