// Depth-fail stencil shadow volumes: per entity, the triangles facing each of the room's lights,
// the silhouette edges between lit and unlit triangles, and the volumes of light slot 0 extruded
// to infinity, counted in the stencil buffer and darkened with one translucent overlay per room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/clip_space.h"
#include "render/volume_bounds.h"
#include "world/world.h"

enum { kSilhouetteBlock = 64 };

// A caster whose volume is on screen, with the room's light slot 0 in its model space and the
// model's clip space.
struct ShadowCaster {
    Entity* e;
    const Model* m;
    Vec3 light;
    ClipSpace clip;
};

// Module state. silhouetteStaging collects up to one block of edges before they are appended to
// an entity's list; it is shared by every room, entity and light slot and never cleared between
// uses (entries past the number staged hold an earlier block's leftovers).
struct ShadowState {
    SilhouetteEdge silhouetteStaging[kSilhouetteBlock];
    // Allocator for growing silhouette lists; null means malloc. Tests substitute a failing one.
    void* (*allocate)(size_t bytes);
    uint32_t flushes;  // blocks appended to lists since the last reset
    // Shortcuts for a frame whose stencil buffer was just cleared (beginShadowFrame): a volume
    // wholly off screen is not drawn, and darkening visits only the tiles that volumes counted so
    // far in the frame can have touched, since every other pixel still holds the cleared 0.
    bool shortcuts;
    CoverMap cover;
    std::vector<ShadowCaster> casters;  // scratch for one room's shortcut pass
    std::vector<VolumeFacing> facings;  // casters[i]'s facing is facings[i]
};
extern ShadowState shadowState;
void resetShadows();
// Starts a frame drawn right after clearing the stencil buffer to 0: turns the shortcuts on and
// forgets the cover of the last frame. endShadowFrame turns them off again, so direct calls to
// renderShadows outside such a frame draw every volume and darken the whole viewport.
void beginShadowFrame();
void endShadowFrame();

// The world-space light (x, y, z) in the entity's model space, through the inverse of the
// entity's model transform rebuilt from its angles and position.
Vec3 lightToLocal(const Entity* entity, const float light[3]);
// Sets bit `bit` of litMask[k] when the light's plane value against triangle k is > 0, clears it
// otherwise (also for NaN).
void classifyLit(Triangle** triangles, int count, const Vec3& light, uint8_t bit, Entity* entity);
// For each light slot with enabled == kLightShadowing, reclassifies every non-hidden entity of the room and
// rebuilds its silhouette list for that slot. Nothing when room->world is null.
void findSilhouettes(Room* room);
// Draws one entity's volume: the sides from the edge list, then the caps (lit triangles in place,
// the others at infinity) with GL_NEVER so that every cap fragment takes the depth-fail operation.
void drawShadowVolume(Triangle** triangles, int count, const SilhouetteEdge* edges,
                      uint32_t edgeCount, const float light[3], Vec3** vertices, Entity* entity);
// Counts the volumes of light slot 0 into the stencil buffer (back faces increment, front faces
// decrement, both where they lie behind the depth buffer), then darkens every pixel whose count
// is non-zero to 0.2 of its colour. Nothing when room->world is null. Leaves the scissor test off.
void renderShadows(Room* room);
