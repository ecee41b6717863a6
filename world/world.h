// The in-memory world: records, ownership and teardown. The world file reader fills these
// records, the texture loader fills the texture names, the renderer and the scene code read them.
#pragma once

#include <cstdint>

#include "math/vecmath.h"

struct Room;
struct World;

// One silhouette edge: triangle index in the model and which of its three edges (0-2).
struct SilhouetteEdge {
    int32_t triangle;
    uint8_t edge;
};

struct Material {
    float emission[4];
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float shininess;
};
static_assert(sizeof(Material) == 68, "Material must match its 68-byte file record");

// Edge k runs from v[k] to v[(k + 1) % 3]; adj[k] is the triangle across it, -1 when open.
struct Triangle {
    uint32_t v[3];
    float uv[3][2];
    int32_t adj[3];
    Plane plane;
    uint16_t material;
    uint16_t texture;
};

// A mesh that entities instance; its triangles index its own vertex pool.
struct Model {
    uint32_t vertexCount;
    Vec3** vertices;
    int16_t triangleCount;
    Triangle** triangles;
};

// Wound counter-clockwise seen from the owning room, so the face normal points back into it.
struct Portal {
    Room* target;          // resolved after every room is read
    Vec3** vertices;
    int16_t vertexCount;
    uint16_t targetIndex;  // the room index stored in the file; kept so the world can be written back
};

// RoomLight.enabled: any non-zero value lights the room; only kLightShadowing casts shadows.
constexpr uint8_t kLightOff = 0;
constexpr uint8_t kLightShadowing = 1;
constexpr uint8_t kLightNoShadows = 2;  // what the compiler writes for "shadows": false
// RoomLight.type: kLightDirectional, anything else is positional.
constexpr uint8_t kLightPositional = 0;
constexpr uint8_t kLightDirectional = 1;
// World.lightIds[i] = kLightIdBase + i: the value of GL_LIGHT0, kept here so the world layer
// needs no OpenGL header (the renderer checks the two agree at compile time).
constexpr int32_t kLightIdBase = 0x4000;

struct RoomLight {
    uint8_t enabled;  // kLightOff, kLightShadowing or kLightNoShadows (any non-zero lights)
    uint8_t type;     // kLightDirectional, anything else positional
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float position[4];  // w is written at render time
};

// Entity flag bits.
enum : uint8_t { kEntityTranslucent = 0x01, kEntityHidden = 0x02 };

struct Entity {
    uint16_t model;
    uint8_t flags;
    uint8_t* litMask;  // one byte per model triangle, bit i = faces light slot i
    Vec3 position;
    Vec3 angles;    // degrees: pitch (x), yaw (y), roll (z)
    Vec3 velocity;  // units per second
    uint8_t dirty;  // bits 0-2: the angle about x, y, z changed since rotation was built
    float rotation[16];
    uint32_t edgeCount[8];
    SilhouetteEdge* edges[8];
    Room* room;
    Entity* next;
    Entity* prev;
};

struct Room {
    Entity* entities;
    int16_t triangleCount;
    Triangle** triangles;
    int16_t portalCount;
    Portal** portals;
    RoomLight lights[8];
    Vec3 boxMax;
    Vec3 boxMin;
    World* world;
    int32_t lastFrame;
};

struct World {
    uint32_t vertexCount;
    Vec3** vertices;
    int16_t roomCount;
    Room** rooms;
    int16_t modelCount;
    Model** models;
    int16_t textureCount;
    uint32_t* textures;
    Material* materials;
    uint16_t materialCount;
    int32_t lightIds[8];
    int32_t frame;
    int16_t boundTexture;
    int16_t boundMaterial;
};

// Appends model to world.models; returns its index, or 0xFFFF when the table cannot grow
// (allocation failure or already 32767 models), in which case nothing changes.
uint16_t addModel(Model* model, World* world);

// Destroys the world and everything it owns, entities still linked into rooms included.
// Texture names must be released first (freeTextures); the camera must be unlinked first.
void freeWorld(World* world);
// World.lightIds[i] = kLightIdBase + i for every light slot.
void initLightIds(World* world);

// Releases one entity and what it owns (lit mask, silhouette edge lists).
void freeEntity(Entity* entity);
// Releases one model, one portal, one room and what each owns.
void freeModel(Model* model);
void freePortal(Portal* portal);
void freeRoom(Room* room);
