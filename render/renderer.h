// The portal renderer: draws the rooms visible from the camera, starting in the camera's room and
// spreading through portals, each room once per frame with its lights, static triangles and
// entities, followed by the room's stencil shadow pass.
#pragma once

#include <cstdint>
#include <vector>

#include "render/clip_space.h"
#include "render/depth_walk.h"
#include "render/room_walk.h"
#include "world/world.h"

// Renders one frame. The modelview matrix holds the identity (or a base transform) on entry and
// is left with the camera view multiplied in: bracket the call with glPushMatrix/glPopMatrix.
// Expects the projection and standing state of setupRenderState(); sets the standing state again
// itself so a frame never depends on what an earlier caller left behind.
void renderWorld(Entity* camera, World* world);
// One whole frame as the demo draws it: clears colour, depth and stencil, renders the world inside
// a pushed modelview matrix and puts back blending off and depth writes on (the shadow pass
// leaves blending on). Does not present the frame. Because the frame starts from a cleared
// stencil, it takes shortcuts that leave every pixel as renderWorld alone would make it: room and
// entity triangles wholly outside the view are not sent, volumes wholly off screen are not drawn,
// volume triangles a counting pass surely culls are not sent, and darkening covers only the tiles
// that volumes have touched (see setReferencePath).
void drawWorldFrame(Entity* camera, World* world);
// Renders a room and, recursively, the rooms behind its portals (the room walk with the
// renderer's work at each room: lights, triangles and entities, then the rooms behind its visible
// portals, then its shadow pass). frustum is null for the camera's own room, whose portals are
// all followed without facing or frustum tests.
void renderRoom(Room* room, Entity* camera, const Frustum* frustum);
void renderThroughPortal(Entity* camera, const Portal* portal);
// Draws every entity of a room list (hidden ones skipped, translucent ones additively).
void renderEntities(Entity* first);
// Draws triangles against a vertex pool, binding textures and applying materials of the world
// being rendered only when they change. A texture index outside the world's textures binds none.
void drawTriangles(int count, Triangle** triangles, Vec3** vertices);
// Loads material `index` into the front-face material; nothing when it is out of range.
void applyMaterial(int index, World* world);
// Loads the room's eight light slots into GL_LIGHT0 .. GL_LIGHT7 (positions in world space).
void setupRoomLights(Room* room);

// Module state: the world being rendered. (Which rooms a frame drew shows in their frame stamps:
// Room.lastFrame == World.frame.)
struct RendererState {
    World* world;
    bool referencePath;  // drawWorldFrame takes no shortcuts
    bool shortcuts;      // inside a drawWorldFrame that takes them
    ClipSpace view;      // world space to clip space for this frame, while shortcuts is set
    PoolOutcodes poolCodes;           // outcodes of the world's vertex pool under view
    std::vector<uint8_t> modelCodes;  // scratch: outcodes of the entity being drawn
    ShadowDepth shadowDepth;
};
const RendererState& rendererState();
void resetRenderer();
// With `on`, drawWorldFrame draws exactly what renderWorld does, without its shortcuts: for
// comparing pictures and timings. Off after resetRenderer.
void setReferencePath(bool on);
// Complete: renderWorld draws the depth-only walk first (see depth_walk.h), and the world's frame
// stamp then advances by 2 a frame. Default after resetRenderer.
void setShadowDepth(ShadowDepth mode);
