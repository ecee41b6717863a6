// Portal renderer: room recursion, portal frusta, entities, triangles, materials and lights.
#include "render/renderer.h"

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "render/clip_space.h"
#include "render/depth_walk.h"
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

// Draws the triangles; with `codes` (the vertices' outcodes), those wholly outside the view are
// skipped before they bind or apply anything, so the next drawn triangle binds what it needs just
// as it would have.
void drawTriangleList(int count, Triangle** triangles, Vec3** vertices, const std::vector<uint8_t>* codes) {
    World* world = state.world;
    if (!world) return;
    const int16_t n = static_cast<int16_t>(count);
    for (int i = 0; i < n; ++i) {
        const Triangle& t = *triangles[i];
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

}  // namespace

bool portalFollowable(const Portal* portal) {
    return portal && portal->target && portal->vertices && portal->vertexCount >= 3;
}

const RendererState& rendererState() { return state; }

void resetRenderer() { state = RendererState{}; }

void setReferencePath(bool on) { state.referencePath = on; }

void setShadowDepth(ShadowDepth mode) { state.shadowDepth = mode; }

void initLightIds(World* world) {
    for (int i = 0; i < 8; ++i) world->lightIds[i] = kLightIdBase + i;
}

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
        state.view = currentClipSpace();
        vertexOutcodes(state.view, world->vertices, world->vertices ? world->vertexCount : 0, state.poolCodes);
    }
    if (state.shadowDepth == ShadowDepth::Complete && camera->room)
        drawDepthWalk(camera, world, state.shortcuts ? &state.view : nullptr,
                      state.shortcuts ? &state.poolCodes : nullptr);
    world->frame++;
    if (camera->room) renderRoom(camera->room, camera, nullptr);
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
    World* world = room->world ? room->world : state.world;
    if (!world) return;
    if (room->lastFrame == world->frame) return;
    room->lastFrame = world->frame;
    setupRoomLights(room);
    if (room->triangles)
        drawTriangleList(room->triangleCount, room->triangles, world->vertices,
                         state.shortcuts && world == state.world ? &state.poolCodes : nullptr);
    renderEntities(room->entities);
    for (int i = 0; room->portals && i < room->portalCount; ++i) {
        const Portal* portal = room->portals[i];
        if (!portalFollowable(portal)) continue;
        if (!frustum || portalVisible(camera, portal, frustum)) renderThroughPortal(camera, portal);
    }
    findSilhouettes(room);
    renderShadows(room);
}

void renderThroughPortal(Entity* camera, const Portal* portal) {
    if (!portalFollowable(portal)) return;
    Frustum* frustum = buildFrustum(camera, portal);
    // Without a frustum the target room follows all its portals, like the camera's room.
    renderRoom(portal->target, camera, frustum);
    freeFrustum(frustum);
}

Frustum* buildFrustum(const Entity* camera, const Portal* portal) {
    if (!portalFollowable(portal)) return nullptr;
    const int n = portal->vertexCount;
    auto* frustum = static_cast<Frustum*>(std::calloc(1, sizeof(Frustum)));
    if (!frustum) return nullptr;
    frustum->planes = static_cast<Plane**>(std::calloc(n, sizeof(Plane*)));
    if (!frustum->planes) {
        std::free(frustum);
        return nullptr;
    }
    frustum->planeCount = static_cast<int16_t>(n);
    const Vec3& p = camera->position;
    Vec3** v = portal->vertices;
    for (int i = 0; i < n; ++i) {
        frustum->planes[i] = static_cast<Plane*>(std::malloc(sizeof(Plane)));
        if (!frustum->planes[i]) {
            freeFrustum(frustum);
            return nullptr;
        }
        const Vec3& a = i == 0 ? *v[n - 1] : *v[i - 1];
        planeFromPoints(a, *v[i], p, *frustum->planes[i]);
    }
    return frustum;
}

void freeFrustum(Frustum* frustum) {
    if (!frustum) return;
    if (frustum->planes)
        for (int i = 0; i < frustum->planeCount; ++i) std::free(frustum->planes[i]);
    std::free(frustum->planes);
    std::free(frustum);
}

bool portalVisible(const Entity* camera, const Portal* portal, const Frustum* frustum) {
    if (!portalFollowable(portal)) return false;
    Vec3** v = portal->vertices;
    // The portal's own plane, reversed so its normal points away from the owning room.
    Plane q;
    planeFromPoints(*v[2], *v[1], *v[0], q);
    if (planeValue(q, camera->position) >= 0) return false;
    for (int i = 0; i < portal->vertexCount; ++i) {
        bool inside = true;
        for (int k = 0; k < frustum->planeCount && inside; ++k)
            inside = planeValue(*frustum->planes[k], *v[i]) < 0;
        if (inside) return true;
    }
    return false;
}

void renderEntities(Entity* first) {
    World* world = state.world;
    for (Entity* e = first; e; e = e->next) {
        glPushMatrix();
        updateRotation(e);
        glTranslatef(e->position.x, e->position.y, e->position.z);
        glMultMatrixf(e->rotation);
        const Model* m = world && e->model < static_cast<uint16_t>(world->modelCount)
                             ? world->models[e->model] : nullptr;
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
                drawTriangleList(m->triangleCount, m->triangles, m->vertices, &state.modelCodes);
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
    drawTriangleList(count, triangles, vertices, nullptr);
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
        const GLenum id = world ? static_cast<GLenum>(world->lightIds[i]) : static_cast<GLenum>(kLightIdBase + i);
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
