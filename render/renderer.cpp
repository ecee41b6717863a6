// Portal renderer: room recursion, portal frusta, entities, triangles, materials and lights.
#include "render/renderer.h"

#include <GL/gl.h>

#include <vector>

#include "render/clip_space.h"
#include "render/depth_walk.h"
#include "render/entity_models.h"
#include "render/shadows.h"
#include "scene/entity.h"

static_assert(kLightIdBase == GL_LIGHT0, "World.lightIds hold OpenGL light names");

namespace {

RendererState state{};

// The standing state every frame relies on (the same values setupFixedState gives).
void applyStandingState() {
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
}

// Draws the triangles; with `pool` (the outcodes of the world's pool) or `codes` (those of a
// model's vertices), those wholly outside the view are skipped before they bind or apply
// anything, so the next drawn triangle binds what it needs just as it would have.
void drawTriangleList(int count, Triangle** triangles, Vec3** vertices, PoolOutcodes* pool,
                      const std::vector<uint8_t>* codes) {
    World* world = state.world;
    if (!world) return;
    const int16_t n = static_cast<int16_t>(count);
    for (int i = 0; i < n; ++i) {
        const Triangle& t = *triangles[i];
        if (pool && pool->outside(t.v)) continue;
        if (codes && outsideView(*codes, t.v)) continue;
        if (static_cast<int16_t>(t.texture) != world->boundTexture) {
            const bool valid = world->textures && world->textureCount > 0 &&
                               t.texture < static_cast<uint16_t>(world->textureCount);
            glBindTexture(GL_TEXTURE_2D, valid ? world->textures[t.texture] : 0);
            world->boundTexture = static_cast<int16_t>(t.texture);
        }
        if (static_cast<int16_t>(t.material) != world->boundMaterial) {
            applyMaterial(t.material, world);
            world->boundMaterial = static_cast<int16_t>(t.material);
        }
        glBegin(GL_TRIANGLES);
        glNormal3fv(&t.plane.nx);
        for (int k = 0; k < 3; ++k) {
            glTexCoord2fv(t.uv[k]);
            glVertex3fv(&vertices[t.v[k]]->x);
        }
        glEnd();
    }
}

// The renderer's work at each room the walk reaches: the room's lights, triangles and entities
// before the rooms behind its portals, its shadow pass after them.
class DrawRooms : public RoomVisitor {
public:
    void enterRoom(Room* room, World* world) override {
        setupRoomLights(room);
        if (room->triangles)
            drawTriangleList(room->triangleCount, room->triangles, world->vertices,
                             state.shortcuts && world == state.world ? &state.poolCodes : nullptr, nullptr);
        renderEntities(room->entities);
    }
    void leaveRoom(Room* room, World*) override {
        findSilhouettes(room);
        renderShadows(room);
    }
};

DrawRooms drawRooms;

}  // namespace

const RendererState& rendererState() { return state; }

void resetRenderer() { state = RendererState{}; }

void setReferencePath(bool on) { state.referencePath = on; }

void setShadowDepth(ShadowDepth mode) { state.shadowDepth = mode; }

void renderWorld(Entity* camera, World* world) {
    state.world = world;
    world->boundMaterial = -1;
    world->boundTexture = -1;
    if (!camera->room || camera->room->world != world || !pointInRoom(camera, camera->room)) {
        unlinkEntity(camera);
        locateRoom(camera, world);
        if (!camera->room && world->roomCount > 0 && world->rooms) camera->room = world->rooms[0];
        if (camera->room) linkEntity(camera, camera->room);
    }
    applyStandingState();
    applyView(camera);
    if (state.shortcuts) {
        // Outcodes come per vertex of what the walks draw, as they draw it: never the whole pool.
        state.view = currentClipSpace();
        state.poolCodes.begin(state.view, world->vertices, world->vertexCount);
    }
    if (state.shadowDepth == ShadowDepth::Complete && camera->room)
        drawDepthWalk(camera, world, state.shortcuts ? &state.view : nullptr,
                      state.shortcuts ? &state.poolCodes : nullptr);
    walkVisibleRooms(camera, world, drawRooms, RoomMarks::FrameStamp);
}

void drawWorldFrame(Entity* camera, World* world) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glPushMatrix();
    // The stencil buffer is now all 0, which is what the shortcuts rely on.
    state.shortcuts = !state.referencePath;
    if (state.shortcuts) beginShadowFrame();
    renderWorld(camera, world);
    endShadowFrame();
    state.shortcuts = false;
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glPopMatrix();
}

void renderRoom(Room* room, Entity* camera, const Frustum* frustum) {
    walkRoom(room, state.world, camera, frustum, drawRooms);
}

void renderThroughPortal(Entity* camera, const Portal* portal) {
    walkThroughPortal(camera, portal, state.world, drawRooms);
}

void renderEntities(Entity* first) {
    World* world = state.world;
    for (Entity* e = first; e; e = e->next) {
        glPushMatrix();
        updateRotation(e);
        glTranslatef(e->position.x, e->position.y, e->position.z);
        glMultMatrixf(e->rotation);
        const Model* m = entityModel(world, e);
        const bool hidden = e->flags & kEntityHidden;
        const bool translucent = e->flags & kEntityTranslucent;
        if (m && !hidden) {
            if (translucent) {
                glBlendFunc(GL_SRC_ALPHA, GL_ONE);
                glEnable(GL_BLEND);
                glDepthMask(GL_FALSE);
            }
            if (state.shortcuts) {
                vertexOutcodes(entityClipSpace(state.view, e->position, e->rotation), m->vertices,
                               m->vertices ? m->vertexCount : 0, state.modelCodes);
                drawTriangleList(m->triangleCount, m->triangles, m->vertices, nullptr, &state.modelCodes);
            } else {
                drawTriangles(m->triangleCount, m->triangles, m->vertices);
            }
            if (translucent) {
                glDepthMask(GL_TRUE);
                glDisable(GL_BLEND);
            }
        }
        glPopMatrix();
    }
}

void drawTriangles(int count, Triangle** triangles, Vec3** vertices) {
    drawTriangleList(count, triangles, vertices, nullptr, nullptr);
}

void applyMaterial(int index, World* world) {
    if (static_cast<unsigned>(index) >= world->materialCount || !world->materials) return;
    const Material& m = world->materials[index];
    glMaterialfv(GL_FRONT, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, m.specular);
    glMaterialf(GL_FRONT, GL_SHININESS, m.shininess);
    glMaterialfv(GL_FRONT, GL_EMISSION, m.emission);
}

void setupRoomLights(Room* room) {
    const World* world = state.world ? state.world : room->world;
    for (int i = 0; i < 8; ++i) {
        const GLenum id = static_cast<GLenum>(world ? world->lightIds[i] : kLightIdBase + i);
        RoomLight& L = room->lights[i];
        if (L.enabled) {
            glLightfv(id, GL_AMBIENT, L.ambient);
            glLightfv(id, GL_DIFFUSE, L.diffuse);
            glLightfv(id, GL_SPECULAR, L.specular);
            L.position[3] = L.type == kLightDirectional ? 0.0f : 1.0f;
            glLightfv(id, GL_POSITION, L.position);
            glEnable(id);
        } else {
            glDisable(id);
        }
    }
}
