// The depth-only walk of the complete-depth shadow mode.
#include "render/depth_walk.h"

#include <GL/gl.h>

#include <vector>

#include "render/clip_space.h"
#include "render/entity_models.h"
#include "render/room_walk.h"
#include "scene/entity.h"

namespace {

void depthTriangles(int count, Triangle** triangles, Vec3** vertices, PoolOutcodes* pool,
                    const std::vector<uint8_t>* codes) {
    const int16_t n = static_cast<int16_t>(count);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < n; ++i) {
        const Triangle& t = *triangles[i];
        const Vec3 &a = *vertices[t.v[0]], &b = *vertices[t.v[1]], &c = *vertices[t.v[2]];
        if (pool && pool->outside(t.v)) continue;
        if (codes && outsideView(*codes, t.v)) continue;
        glVertex3fv(&a.x);
        glVertex3fv(&b.x);
        glVertex3fv(&c.x);
    }
    glEnd();
}

// Depth for each room the walk reaches: its opaque triangles and the entities that are neither
// hidden nor translucent. With a view, triangles wholly outside it are not sent: the pool's
// outcodes are shared with the frame's colour walk, a model's are computed per entity.
class DepthRooms : public RoomVisitor {
public:
    DepthRooms(const ClipSpace* view, PoolOutcodes* pool) : view_(view), pool_(pool) {}
    void enterRoom(Room* room, World* world) override {
        if (room->triangles) depthTriangles(room->triangleCount, room->triangles, world->vertices, pool_, nullptr);
        for (Entity* e = room->entities; e; e = e->next) {
            if (e->flags & (kEntityHidden | kEntityTranslucent)) continue;  // translucent ones write no depth
            const Model* m = entityModel(world, e);
            if (!m) continue;
            glPushMatrix();
            updateRotation(e);
            glTranslatef(e->position.x, e->position.y, e->position.z);
            glMultMatrixf(e->rotation);
            if (view_)
                vertexOutcodes(entityClipSpace(*view_, e->position, e->rotation), m->vertices,
                               m->vertices ? m->vertexCount : 0, modelCodes_);
            depthTriangles(m->triangleCount, m->triangles, m->vertices, nullptr, view_ ? &modelCodes_ : nullptr);
            glPopMatrix();
        }
    }

private:
    const ClipSpace* view_;
    PoolOutcodes* pool_;
    std::vector<uint8_t> modelCodes_;
};

}  // namespace

void drawDepthWalk(Entity* camera, World* world, const ClipSpace* cull, PoolOutcodes* poolCodes) {
    if (!camera->room) return;
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_TRUE);
    DepthRooms depth(poolCodes ? cull : nullptr, cull ? poolCodes : nullptr);
    walkVisibleRooms(camera, world, depth, RoomMarks::FrameStamp);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
}
