// The depth-only walk of the complete-depth shadow mode.
#include "render/depth_walk.h"

#include <GL/gl.h>

#include "render/clip_space.h"
#include "render/renderer.h"
#include "scene/entity.h"

namespace {

bool followable(const Portal* portal) {
    return portal && portal->target && portal->vertices && portal->vertexCount >= 3;
}

void depthTriangles(int count, Triangle** triangles, Vec3** vertices, const ClipSpace* cull) {
    const int16_t n = static_cast<int16_t>(count);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < n; ++i) {
        const Triangle& t = *triangles[i];
        const Vec3 &a = *vertices[t.v[0]], &b = *vertices[t.v[1]], &c = *vertices[t.v[2]];
        if (cull && triangleOutsideView(*cull, a, b, c)) continue;
        glVertex3fv(&a.x);
        glVertex3fv(&b.x);
        glVertex3fv(&c.x);
    }
    glEnd();
}

void depthEntities(const World* world, Entity* first) {
    for (Entity* e = first; e; e = e->next) {
        if (e->flags & (kEntityHidden | kEntityTranslucent)) continue;  // translucent ones write no depth
        if (e->model >= static_cast<uint16_t>(world->modelCount) || !world->models) continue;
        const Model* m = world->models[e->model];
        if (!m) continue;
        glPushMatrix();
        updateRotation(e);
        glTranslatef(e->position.x, e->position.y, e->position.z);
        glMultMatrixf(e->rotation);
        depthTriangles(m->triangleCount, m->triangles, m->vertices, nullptr);
        glPopMatrix();
    }
}

void depthRoom(Room* room, World* world, Entity* camera, const Frustum* frustum, const ClipSpace* cull) {
    if (room->lastFrame == world->frame) return;
    room->lastFrame = world->frame;
    if (room->triangles) depthTriangles(room->triangleCount, room->triangles, world->vertices, cull);
    depthEntities(world, room->entities);
    for (int i = 0; room->portals && i < room->portalCount; ++i) {
        const Portal* portal = room->portals[i];
        if (!followable(portal)) continue;
        if (frustum && !portalVisible(camera, portal, frustum)) continue;
        Frustum* next = buildFrustum(camera, portal);
        if (portal->target) depthRoom(portal->target, world, camera, next, cull);
        freeFrustum(next);
    }
}

}  // namespace

void drawDepthWalk(Entity* camera, World* world, const ClipSpace* cull) {
    if (!camera->room) return;
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_TRUE);
    world->frame++;
    depthRoom(camera->room, world, camera, nullptr, cull);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}
