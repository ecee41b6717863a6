// Reads a world file into a World. The whole file is read into memory first and parsed with a
// bounds-checked cursor: every count is checked against the bytes that remain before anything is
// allocated for it, and every index is checked against the table it refers to, so a truncated or
// hostile file fails the load cleanly instead of crashing or allocating out of proportion.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "world/alloc.h"
#include "world/byte_reader.h"
#include "world/file_bytes.h"
#include "world/world_file.h"

World* loadingWorld = nullptr;

namespace {

constexpr size_t kVec3Bytes = 12;
constexpr size_t kMaterialBytes = 68;
constexpr size_t kModelMinBytes = 4 + 2;
constexpr size_t kRoomHeadBytes = 526;
constexpr size_t kEntityBytes = 27;
constexpr size_t kTriangleBytes = 52;
constexpr size_t kPortalMinBytes = 4;
constexpr uint32_t kMaxSignedCount = 32767;

// Lit masks are the one allocation a file can multiply: every 27-byte entity record gets a mask
// as long as its model's triangle count, so many entities instancing one large model could ask
// for gigabytes from a few megabytes of file. Their total is held to this many times the file's
// size plus a constant, far above what real worlds use.
constexpr uint64_t kLitMaskPerFileByte = 16;
constexpr uint64_t kLitMaskSlack = 1u << 20;

struct ReaderState {
    std::string error;
    uint64_t litMaskBudget;  // bytes the lit masks of this load may still take
};
ReaderState reader{};

// Records why the load failed; only the first reason of a load is kept.
bool fail(const ByteReader& in, const char* section, const char* fmt, ...) {
    if (!reader.error.empty()) return false;
    char what[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(what, sizeof what, fmt, args);
    va_end(args);
    char line[384];
    std::snprintf(line, sizeof line, "%s: %s (at byte %zu)", section, what, in.offset());
    reader.error = line;
    return false;
}

bool checkCount(ByteReader& in, const char* section, const char* what, uint64_t count,
                uint64_t recordBytes, uint32_t maxCount) {
    if (count > maxCount)
        return fail(in, section, "%s %llu is over the limit of %u", what,
                    static_cast<unsigned long long>(count), maxCount);
    if (count * recordBytes > in.remaining())
        return fail(in, section, "%s %llu needs %llu bytes but only %zu remain", what,
                    static_cast<unsigned long long>(count),
                    static_cast<unsigned long long>(count * recordBytes), in.remaining());
    return true;
}

bool readVec3(ByteReader& in, Vec3& v) { return in.f32(v.x) && in.f32(v.y) && in.f32(v.z); }

// Fills an array of separately allocated Vec3 records; the array is zeroed first so a partial
// fill can be released by the owner's teardown.
bool readVec3Records(ByteReader& in, Vec3** out, uint32_t count, bool exitOnNoMemory) {
    for (uint32_t i = 0; i < count; ++i) {
        auto* v = static_cast<Vec3*>(exitOnNoMemory ? allocOrExit(sizeof(Vec3))
                                                    : std::malloc(sizeof(Vec3)));
        if (!v) return false;
        out[i] = v;
        if (!readVec3(in, *v)) return false;
    }
    return true;
}

Triangle* readTriangle(ByteReader& in, Vec3** vertices, uint32_t vertexCount, const char* section,
                       int32_t modelTriangleCount) {
    auto* t = static_cast<Triangle*>(allocOrExit(sizeof(Triangle)));
    bool ok = in.u16(t->texture) && in.u16(t->material);
    for (int k = 0; ok && k < 3; ++k) ok = in.u32(t->v[k]);
    for (int k = 0; ok && k < 3; ++k) ok = in.i32(t->adj[k]);
    for (int k = 0; ok && k < 3; ++k) ok = in.f32(t->uv[k][0]) && in.f32(t->uv[k][1]);
    if (!ok) {
        fail(in, section, "triangle record ends early");
        std::free(t);
        return nullptr;
    }
    for (int k = 0; k < 3; ++k) {
        if (t->v[k] >= vertexCount) {
            fail(in, section, "triangle vertex index %u is beyond the %u-vertex pool", t->v[k],
                 vertexCount);
            std::free(t);
            return nullptr;
        }
        // Neighbours matter only for model triangles, where the shadow code follows them.
        if (modelTriangleCount >= 0 && t->adj[k] != -1 &&
            (t->adj[k] < 0 || t->adj[k] >= modelTriangleCount)) {
            fail(in, section, "triangle neighbour %d is neither -1 nor one of the model's %d triangles",
                 t->adj[k], modelTriangleCount);
            std::free(t);
            return nullptr;
        }
    }
    planeFromPoints(*vertices[t->v[0]], *vertices[t->v[1]], *vertices[t->v[2]], t->plane);
    return t;
}

Model* readModel(ByteReader& in) {
    const char* section = "models";
    auto* model = static_cast<Model*>(allocOrExit(sizeof(Model)));
    uint32_t vertexCount = 0;
    uint16_t triangleCount = 0;
    if (!in.u32(vertexCount)) {
        fail(in, section, "model record ends before its vertex count");
        freeModel(model);
        return nullptr;
    }
    if (!checkCount(in, section, "model vertex count", vertexCount, kVec3Bytes, UINT32_MAX)) {
        freeModel(model);
        return nullptr;
    }
    model->vertices = static_cast<Vec3**>(allocOrExit(sizeof(Vec3*) * vertexCount));
    model->vertexCount = vertexCount;
    if (!readVec3Records(in, model->vertices, vertexCount, true) || !in.u16(triangleCount)) {
        fail(in, section, "model record ends early");
        freeModel(model);
        return nullptr;
    }
    if (!checkCount(in, section, "model triangle count", triangleCount, kTriangleBytes,
                    kMaxSignedCount)) {
        freeModel(model);
        return nullptr;
    }
    model->triangles = static_cast<Triangle**>(allocOrExit(sizeof(Triangle*) * triangleCount));
    model->triangleCount = static_cast<int16_t>(triangleCount);
    for (int i = 0; i < model->triangleCount; ++i) {
        model->triangles[i] =
            readTriangle(in, model->vertices, vertexCount, section, model->triangleCount);
        if (!model->triangles[i]) {
            freeModel(model);
            return nullptr;
        }
    }
    return model;
}

Entity* readEntity(ByteReader& in) {
    const char* section = "rooms";
    auto* e = static_cast<Entity*>(allocOrExit(sizeof(Entity)));
    const bool ok = in.u16(e->model) && readVec3(in, e->position) && readVec3(in, e->angles) &&
                    in.u8(e->flags);
    if (!ok) {
        fail(in, section, "entity record ends early");
        std::free(e);
        return nullptr;
    }
    if (e->model >= loadingWorld->modelCount) {
        fail(in, section, "entity model index %u is beyond the %d models", e->model,
             loadingWorld->modelCount);
        std::free(e);
        return nullptr;
    }
    e->dirty = 0xFF;
    const int16_t triangles = loadingWorld->models[e->model]->triangleCount;
    if (static_cast<uint64_t>(triangles) > reader.litMaskBudget) {
        fail(in, section, "entity lit masks would take more than %llu times the %zu-byte file plus 1 MiB",
             static_cast<unsigned long long>(kLitMaskPerFileByte), in.offset() + in.remaining());
        std::free(e);
        return nullptr;
    }
    reader.litMaskBudget -= static_cast<uint64_t>(triangles);
    e->litMask = static_cast<uint8_t*>(allocOrExit(static_cast<size_t>(triangles)));
    return e;
}

Portal* readPortal(ByteReader& in) {
    const char* section = "rooms";
    auto* portal = static_cast<Portal*>(allocOrExit(sizeof(Portal)));
    uint16_t vertexCount = 0;
    if (!in.u16(vertexCount) || !in.u16(portal->targetIndex)) {
        fail(in, section, "portal record ends early");
        freePortal(portal);
        return nullptr;
    }
    if (!checkCount(in, section, "portal vertex count", vertexCount, kVec3Bytes, kMaxSignedCount)) {
        freePortal(portal);
        return nullptr;
    }
    portal->vertices = static_cast<Vec3**>(allocOrExit(sizeof(Vec3*) * vertexCount));
    portal->vertexCount = static_cast<int16_t>(vertexCount);
    if (!readVec3Records(in, portal->vertices, vertexCount, true)) {
        fail(in, section, "portal vertices end early");
        freePortal(portal);
        return nullptr;
    }
    return portal;
}

bool readLight(ByteReader& in, RoomLight& light) {
    return in.floats(light.position, 3) && in.floats(light.ambient, 4) &&
           in.floats(light.diffuse, 4) && in.floats(light.specular, 4) && in.u8(light.enabled) &&
           in.u8(light.type);
}

Room* readRoom(ByteReader& in) {
    const char* section = "rooms";
    auto* room = static_cast<Room*>(allocOrExit(sizeof(Room)));
    uint16_t entityCount = 0, triangleCount = 0, portalCount = 0;
    bool ok = in.u16(entityCount) && in.u16(triangleCount) && in.u16(portalCount) &&
              readVec3(in, room->boxMin) && readVec3(in, room->boxMax);
    for (int i = 0; ok && i < 8; ++i) ok = readLight(in, room->lights[i]);
    if (!ok) {
        fail(in, section, "room head ends early");
        freeRoom(room);
        return nullptr;
    }
    if (triangleCount > kMaxSignedCount || portalCount > kMaxSignedCount) {
        fail(in, section, "room triangle count %u or portal count %u is over 32767", triangleCount,
             portalCount);
        freeRoom(room);
        return nullptr;
    }
    const uint64_t need = uint64_t{entityCount} * kEntityBytes +
                          uint64_t{triangleCount} * kTriangleBytes +
                          uint64_t{portalCount} * kPortalMinBytes;
    if (need > in.remaining()) {
        fail(in, section, "%u entities, %u triangles and %u portals need %llu bytes but only %zu remain",
             entityCount, triangleCount, portalCount, static_cast<unsigned long long>(need),
             in.remaining());
        freeRoom(room);
        return nullptr;
    }
    room->triangles = static_cast<Triangle**>(allocOrExit(sizeof(Triangle*) * triangleCount));
    room->portals = static_cast<Portal**>(allocOrExit(sizeof(Portal*) * portalCount));
    room->triangleCount = static_cast<int16_t>(triangleCount);
    room->portalCount = static_cast<int16_t>(portalCount);
    room->lastFrame = 0;

    for (uint32_t i = 0; i < entityCount; ++i) {
        Entity* e = readEntity(in);
        if (!e) {
            freeRoom(room);
            return nullptr;
        }
        // Each entity goes to the head, so the list runs in reverse file order.
        e->next = room->entities;
        e->prev = nullptr;
        if (room->entities) room->entities->prev = e;
        room->entities = e;
    }
    for (int i = 0; i < room->triangleCount; ++i) {
        room->triangles[i] =
            readTriangle(in, loadingWorld->vertices, loadingWorld->vertexCount, section, -1);
        if (!room->triangles[i]) {
            freeRoom(room);
            return nullptr;
        }
    }
    for (int i = 0; i < room->portalCount; ++i) {
        room->portals[i] = readPortal(in);
        if (!room->portals[i]) {
            freeRoom(room);
            return nullptr;
        }
    }
    return room;
}

bool readVertexPool(ByteReader& in, World* world) {
    uint32_t count = 0;
    if (!in.u32(count)) return fail(in, "vertex pool", "file ends before the vertex count");
    if (!checkCount(in, "vertex pool", "vertex count", count, kVec3Bytes, UINT32_MAX)) return false;
    world->vertices = static_cast<Vec3**>(std::calloc(count ? count : 1, sizeof(Vec3*)));
    if (!world->vertices) return fail(in, "vertex pool", "out of memory");
    world->vertexCount = count;
    if (!readVec3Records(in, world->vertices, count, false))
        return fail(in, "vertex pool", "out of memory");
    return true;
}

bool readMaterials(ByteReader& in, World* world) {
    uint16_t count = 0;
    if (!in.u16(count)) return fail(in, "materials", "file ends before the material count");
    if (!checkCount(in, "materials", "material count", count, kMaterialBytes, UINT16_MAX))
        return false;
    world->materials = static_cast<Material*>(std::calloc(count ? count : 1, sizeof(Material)));
    if (!world->materials) return fail(in, "materials", "out of memory");
    world->materialCount = count;
    return in.bytes(world->materials, kMaterialBytes * count);
}

World* readWorldBody(ByteReader& in) {
    auto* world = static_cast<World*>(std::calloc(1, sizeof(World)));
    if (!world) {
        fail(in, "header", "out of memory");
        return nullptr;
    }
    loadingWorld = world;
    uint16_t modelCount = 0, roomCount = 0;
    bool ok = readVertexPool(in, world) && readMaterials(in, world);

    if (ok && !in.u16(modelCount)) ok = fail(in, "models", "file ends before the model count");
    ok = ok && checkCount(in, "models", "model count", modelCount, kModelMinBytes, kMaxSignedCount);
    if (ok) {
        world->models = static_cast<Model**>(std::calloc(modelCount ? modelCount : 1, sizeof(Model*)));
        if (!world->models) ok = fail(in, "models", "out of memory");
    }
    for (uint32_t i = 0; ok && i < modelCount; ++i) {
        world->models[i] = readModel(in);
        ok = world->models[i] != nullptr;
        if (ok) world->modelCount = static_cast<int16_t>(i + 1);
    }

    if (ok && !in.u16(roomCount)) ok = fail(in, "rooms", "file ends before the room count");
    ok = ok && checkCount(in, "rooms", "room count", roomCount, kRoomHeadBytes, kMaxSignedCount);
    if (ok) {
        world->rooms = static_cast<Room**>(std::calloc(roomCount ? roomCount : 1, sizeof(Room*)));
        if (!world->rooms) ok = fail(in, "rooms", "out of memory");
    }
    for (uint32_t i = 0; ok && i < roomCount; ++i) {
        world->rooms[i] = readRoom(in);
        ok = world->rooms[i] != nullptr;
        if (ok) {
            world->rooms[i]->world = world;
            world->roomCount = static_cast<int16_t>(i + 1);
        }
    }

    // Portal targets are checked once every room count is known; indices may point either way.
    for (int r = 0; ok && r < world->roomCount; ++r) {
        const Room* room = world->rooms[r];
        for (int p = 0; p < room->portalCount; ++p) {
            if (room->portals[p]->targetIndex >= world->roomCount) {
                ok = fail(in, "rooms", "room %d portal %d targets room %u of %d", r, p,
                          room->portals[p]->targetIndex, world->roomCount);
                break;
            }
        }
    }
    if (!ok) {
        freeWorld(world);
        return nullptr;
    }
    return world;
}

}  // namespace

const char* worldLoadError() { return reader.error.c_str(); }

void resolvePortals(World* world) {
    for (int r = 0; r < world->roomCount; ++r) {
        Room* room = world->rooms[r];
        for (int p = 0; p < room->portalCount; ++p)
            room->portals[p]->target = world->rooms[room->portals[p]->targetIndex];
    }
}

World* loadWorld(const char* fileName) {
    reader.error.clear();
    std::vector<unsigned char> bytes;
    if (!readFileBytes(fileName, bytes)) {
        reader.error = std::string("cannot open or read \"") + fileName + "\"";
        return nullptr;
    }
    return loadWorldFromMemory(bytes.data(), bytes.size());
}

World* loadWorldFromMemory(const unsigned char* data, size_t size) {
    reader.error.clear();
    static const unsigned char kNoBytes = 0;
    ByteReader in(data ? data : &kNoBytes, data ? size : 0);
    reader.litMaskBudget = kLitMaskPerFileByte * in.remaining() + kLitMaskSlack;
    char magic[6];
    if (!in.bytes(magic, 6) || std::memcmp(magic, "BINWLD", 6) != 0) {
        fail(in, "header", "not a world file (magic \"BINWLD\" missing)");
        return nullptr;
    }
    uint16_t bodyOffset = 0, version = 0;
    if (!in.u16(bodyOffset) || !in.u16(version)) {
        fail(in, "header", "header ends early");
        return nullptr;
    }
    if (version > 5) {
        fail(in, "header", "version %u is newer than 5", version);
        return nullptr;
    }
    if (!in.seek(bodyOffset)) {
        fail(in, "header", "body offset %u is past the end of the %zu-byte file", bodyOffset,
             in.remaining() + in.offset());
        return nullptr;
    }
    World* world = readWorldBody(in);
    if (!world) return nullptr;
    resolvePortals(world);
    world->frame = 0;
    initLightIds(world);
    return world;
}
