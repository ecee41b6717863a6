// Writes a World as a world file: the exact inverse of the reader, so that a written file loads
// into a world equal to the one written, and writing that world again gives the same bytes.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "world/world_file.h"

namespace {

class ByteWriter {
public:
    explicit ByteWriter(std::vector<unsigned char>& out) : out_(out) {}
    void bytes(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        out_.insert(out_.end(), b, b + n);
    }
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) { bytes(&v, 2); }  // the host is little-endian (checked in byte_reader.h)
    void u32(uint32_t v) { bytes(&v, 4); }
    void i32(int32_t v) { bytes(&v, 4); }
    void floats(const float* v, size_t n) { bytes(v, 4 * n); }
    void vec3(const Vec3& v) { floats(&v.x, 3); }

private:
    std::vector<unsigned char>& out_;
};

void writeTriangle(ByteWriter& w, const Triangle& t) {
    w.u16(t.texture);
    w.u16(t.material);
    for (uint32_t v : t.v) w.u32(v);
    for (int32_t a : t.adj) w.i32(a);
    for (const auto& uv : t.uv) w.floats(uv, 2);
}

// The room index a portal leads to: its stored index when that still names its target, else the
// position of the target in the world's room table.
uint16_t portalTargetIndex(const World& world, const Portal& portal) {
    if (!portal.target) return portal.targetIndex;
    if (portal.targetIndex < world.roomCount && world.rooms[portal.targetIndex] == portal.target)
        return portal.targetIndex;
    for (int r = 0; r < world.roomCount; ++r)
        if (world.rooms[r] == portal.target) return static_cast<uint16_t>(r);
    return portal.targetIndex;
}

void writeRoom(ByteWriter& w, const World& world, const Room& room) {
    uint16_t entityCount = 0;
    const Entity* tail = nullptr;
    for (const Entity* e = room.entities; e; e = e->next) {
        ++entityCount;
        tail = e;
    }
    w.u16(entityCount);
    w.u16(static_cast<uint16_t>(room.triangleCount));
    w.u16(static_cast<uint16_t>(room.portalCount));
    w.vec3(room.boxMin);
    w.vec3(room.boxMax);
    for (const RoomLight& light : room.lights) {
        w.floats(light.position, 3);
        w.floats(light.ambient, 4);
        w.floats(light.diffuse, 4);
        w.floats(light.specular, 4);
        w.u8(light.enabled);
        w.u8(light.type);
    }
    // Tail first: the reader pushes each record at the head, which restores this list's order.
    for (const Entity* e = tail; e; e = e->prev) {
        w.u16(e->model);
        w.vec3(e->position);
        w.vec3(e->angles);
        w.u8(e->flags);
    }
    for (int i = 0; i < room.triangleCount; ++i) writeTriangle(w, *room.triangles[i]);
    for (int i = 0; i < room.portalCount; ++i) {
        const Portal& portal = *room.portals[i];
        w.u16(static_cast<uint16_t>(portal.vertexCount));
        w.u16(portalTargetIndex(world, portal));
        for (int v = 0; v < portal.vertexCount; ++v) w.vec3(*portal.vertices[v]);
    }
}

}  // namespace

std::vector<unsigned char> serializeWorld(const World& world) {
    std::vector<unsigned char> out;
    ByteWriter w(out);
    w.bytes("BINWLD", 6);
    w.u16(10);  // the body follows the header directly
    w.u16(5);
    w.u32(world.vertexCount);
    for (uint32_t i = 0; i < world.vertexCount; ++i) w.vec3(*world.vertices[i]);
    w.u16(world.materialCount);
    if (world.materialCount) w.bytes(world.materials, sizeof(Material) * world.materialCount);
    w.u16(static_cast<uint16_t>(world.modelCount));
    for (int m = 0; m < world.modelCount; ++m) {
        const Model& model = *world.models[m];
        w.u32(model.vertexCount);
        for (uint32_t i = 0; i < model.vertexCount; ++i) w.vec3(*model.vertices[i]);
        w.u16(static_cast<uint16_t>(model.triangleCount));
        for (int i = 0; i < model.triangleCount; ++i) writeTriangle(w, *model.triangles[i]);
    }
    w.u16(static_cast<uint16_t>(world.roomCount));
    for (int r = 0; r < world.roomCount; ++r) writeRoom(w, world, *world.rooms[r]);
    return out;
}

bool saveWorld(const World& world, const char* fileName, std::string& error) {
    const std::vector<unsigned char> bytes = serializeWorld(world);
    FILE* f = std::fopen(fileName, "wb");
    if (!f) {
        error = std::string("cannot create \"") + fileName + "\": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!(written && closed)) {
        error = std::string("cannot write \"") + fileName + "\"";
        return false;
    }
    return true;
}
