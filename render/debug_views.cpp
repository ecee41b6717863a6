// Debug views over a finished frame. They read what the frame left (room frame stamps, silhouette
// lists, the stencil buffer) and never write depth or stencil.
#include "render/debug_views.h"

#include <GL/gl.h>

#include "render/renderer.h"
#include "render/screen_pass.h"
#include "render/entity_models.h"
#include "render/shadows.h"
#include "scene/entity.h"

namespace {

// Records each followable portal of the rooms walked and whether the walk went through it.
class PortalRecorder : public RoomVisitor {
public:
    explicit PortalRecorder(std::vector<PortalVisit>& out) : out_(out) {}
    void portalSeen(const Portal* portal, bool followed) override { out_.push_back({portal, followed}); }

private:
    std::vector<PortalVisit>& out_;
};

// Everything the line views touch is saved here and restored by the destructor.
struct LineState {
    explicit LineState(Entity* camera) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        applyView(camera);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glDepthMask(GL_FALSE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glLineWidth(2.0f);
    }
    ~LineState() {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
    }
};

} // namespace

std::vector<PortalVisit> visitPortals(Entity* camera, World* world) {
    std::vector<PortalVisit> out;
    // The frame stamps stay as the frame left them: the other views and the overlay read them.
    PortalRecorder recorder(out);
    if (camera && world && camera->room) walkVisibleRooms(camera, world, recorder, RoomMarks::Private);
    return out;
}

void drawPortalOutlines(Entity* camera, World* world) {
    if (!camera || !world) return;
    const std::vector<PortalVisit> visits = visitPortals(camera, world);
    LineState lines(camera);
    // A door is two portals on one outline, and the way back is always culled: culled ones go
    // first so that a followed door shows as followed.
    for (const bool followed : {false, true}) {
        if (followed)
            glColor3f(0.1f, 1.0f, 0.2f);
        else
            glColor3f(1.0f, 0.15f, 0.1f);
        for (const PortalVisit& v : visits) {
            if (v.followed != followed) continue;
            glBegin(GL_LINE_LOOP);
            for (int k = 0; k < v.portal->vertexCount; ++k) glVertex3fv(&v.portal->vertices[k]->x);
            glEnd();
        }
    }
}

void drawShadowOutlines(Entity* camera, World* world) {
    if (!camera || !world || !world->rooms) return;
    LineState lines(camera);
    for (int16_t r = 0; r < world->roomCount; ++r) {
        Room* room = world->rooms[r];
        if (!room || room->lastFrame != world->frame || room->lights[0].enabled != kLightShadowing) continue;
        for (Entity* e = room->entities; e; e = e->next) {
            const Model* m = castingModel(world, e);
            if (!m || !e->edges[0]) continue;
            const Vec3 L = lightToLocal(e, room->lights[0].position);
            glPushMatrix();
            glTranslatef(e->position.x, e->position.y, e->position.z);
            glMultMatrixf(e->rotation);
            for (int pass = 0; pass < 2; ++pass) {
                if (pass == 0)
                    glColor3f(1.0f, 0.9f, 0.1f);
                else
                    glColor3f(0.1f, 0.8f, 1.0f);
                glBegin(GL_LINES);
                for (uint32_t j = 0; j < e->edgeCount[0]; ++j) {
                    const SilhouetteEdge& edge = e->edges[0][j];
                    if (edge.triangle < 0 || edge.triangle >= m->triangleCount) continue;
                    const Triangle& t = *m->triangles[edge.triangle];
                    const int k = edge.edge;
                    const Vec3& a = *m->vertices[t.v[k]];
                    const Vec3& b = *m->vertices[k < 2 ? t.v[k + 1] : t.v[0]];
                    if (pass == 0) {
                        glVertex3f(a.x, a.y, a.z);
                        glVertex3f(b.x, b.y, b.z);
                    } else {
                        // The volume's side edges run from the silhouette to infinity (w = 0).
                        glVertex4f(a.x, a.y, a.z, 1);
                        glVertex4f(a.x - L.x, a.y - L.y, a.z - L.z, 0);
                        glVertex4f(b.x, b.y, b.z, 1);
                        glVertex4f(b.x - L.x, b.y - L.y, b.z - L.z, 0);
                    }
                }
                glEnd();
            }
            glPopMatrix();
        }
    }
}

void drawStencilHeat() {
    static const GLfloat kColours[4][3] = {{0.1f, 0.3f, 1.0f}, {0.1f, 1.0f, 0.2f}, {1.0f, 0.9f, 0.1f}, {1.0f, 0.1f, 0.1f}};
    beginScreenPass(false);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_STENCIL_TEST);
    glStencilMask(0);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    for (int level = 1; level <= 4; ++level) {
        // GL_LEQUAL passes where ref <= stencil: the last level takes every larger count.
        glStencilFunc(level < 4 ? GL_EQUAL : GL_LEQUAL, level, 0xFF);
        glColor4f(kColours[level - 1][0], kColours[level - 1][1], kColours[level - 1][2], 0.6f);
        glRectf(-1, -1, 1, 1);
    }
    endScreenPass();
}
