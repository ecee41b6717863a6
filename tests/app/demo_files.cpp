// Builds the test demo world in memory with the world builder and writes it with the writer.
#include "tests/app/demo_files.h"

#include <cstdio>
#include <vector>

#include "world/world_build.h"
#include "world/world_file.h"

namespace {

Material material(float r, float g, float b) {
    Material m{};
    const float ambient[4] = {r * 0.3f, g * 0.3f, b * 0.3f, 1};
    const float diffuse[4] = {r, g, b, 1};
    const float specular[4] = {0.5f, 0.5f, 0.5f, 1};
    for (int i = 0; i < 4; ++i) {
        m.ambient[i] = ambient[i];
        m.diffuse[i] = diffuse[i];
        m.specular[i] = specular[i];
    }
    m.emission[3] = 1;
    m.shininess = 30;
    return m;
}

// A quad as two room triangles, wound so that it faces `inside`.
void quad(World* w, Room* room, Vec3 a, Vec3 b, Vec3 c, Vec3 d, const Vec3& inside, uint16_t mat) {
    Vec3 n;
    faceNormal(a, b, c, n);
    if (n.x * (inside.x - a.x) + n.y * (inside.y - a.y) + n.z * (inside.z - a.z) < 0) std::swap(b, d);
    const uint32_t ia = addWorldVertex(w, a), ib = addWorldVertex(w, b);
    const uint32_t ic = addWorldVertex(w, c), id = addWorldVertex(w, d);
    Triangle* t1 = addRoomTriangle(w, room, ia, ib, ic, mat, 0);
    Triangle* t2 = addRoomTriangle(w, room, ia, ic, id, mat, 0);
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int c1[3] = {0, 1, 2}, c2[3] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        t1->uv[k][0] = uv[c1[k]][0];
        t1->uv[k][1] = uv[c1[k]][1];
        t2->uv[k][0] = uv[c2[k]][0];
        t2->uv[k][1] = uv[c2[k]][1];
    }
}

// A closed box of half size h with outward faces and every edge's neighbour filled in, so that
// the shadow pass sees a closed mesh.
uint16_t boxModel(World* w, float h, uint16_t mat) {
    Model* m = addEmptyModel(w);
    for (int i = 0; i < 8; ++i)
        addModelVertex(m, {(i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h});
    static const uint32_t faces[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3},
                                         {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    for (const auto& f : faces) {
        addModelTriangle(m, f[0], f[1], f[2], mat, 0);
        addModelTriangle(m, f[0], f[2], f[3], mat, 0);
    }
    for (int i = 0; i < m->triangleCount; ++i)
        for (int k = 0; k < 3; ++k) {
            Triangle* t = m->triangles[i];
            const uint32_t a = t->v[k], b = t->v[(k + 1) % 3];
            for (int j = 0; j < m->triangleCount; ++j)
                for (int e = 0; e < 3; ++e)
                    if (m->triangles[j]->v[e] == b && m->triangles[j]->v[(e + 1) % 3] == a) t->adj[k] = j;
        }
    return uint16_t(w->modelCount - 1);
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        if (f) std::fclose(f);
        error = "cannot write " + path;
        return false;
    }
    return std::fclose(f) == 0;
}

}  // namespace

bool writeTestWorldOnly(const std::string& dir, std::string& error, const TestDemoOptions& options) {
    const float sx = options.shiftX;
    auto at = [sx](float x, float y, float z) { return Vec3{x + sx, y, z}; };
    World* w = newWorld();
    const uint16_t grey = addMaterial(w, material(0.8f, 0.8f, 0.8f));
    const uint16_t red = addMaterial(w, material(1.0f, 0.15f, 0.1f));
    Room* room = addRoom(w, at(-4, -1, -8), at(4, 3, 2));
    const Vec3 inside = at(0, 1, -3);
    quad(w, room, at(-4, -1, 2), at(4, -1, 2), at(4, -1, -8), at(-4, -1, -8), inside, grey);  // floor
    quad(w, room, at(-4, 3, 2), at(4, 3, 2), at(4, 3, -8), at(-4, 3, -8), inside, grey);      // ceiling
    quad(w, room, at(-4, -1, -8), at(4, -1, -8), at(4, 3, -8), at(-4, 3, -8), inside, grey);  // back
    quad(w, room, at(-4, -1, 2), at(4, -1, 2), at(4, 3, 2), at(-4, 3, 2), inside, grey);      // front
    quad(w, room, at(-4, -1, 2), at(-4, -1, -8), at(-4, 3, -8), at(-4, 3, 2), inside, grey);  // left
    quad(w, room, at(4, -1, 2), at(4, -1, -8), at(4, 3, -8), at(4, 3, 2), inside, grey);      // right
    const uint16_t box = boxModel(w, 0.5f, red);
    addEntity(w, room, box, at(0, 0, -4), {0, 20, 0});  // the spinner: head of room 0's list
    addEntity(w, room, box, at(2.5f, -0.5f, -6));
    RoomLight& l = room->lights[0];
    l.enabled = 1;
    l.type = 0;
    const float amb[4] = {0.15f, 0.15f, 0.15f, 1};
    const float dif[4] = {options.light[0], options.light[1], options.light[2], 1};
    const float specular[4] = {0.6f, 0.6f, 0.6f, 1}, pos[4] = {0.5f + sx, 2.5f, -1.5f, 1};
    for (int i = 0; i < 4; ++i) {
        l.ambient[i] = amb[i];
        l.diffuse[i] = dif[i];
        l.specular[i] = specular[i];
        l.position[i] = pos[i];
    }
    const bool ok = saveWorld(*w, (dir + "/demo.kbw").c_str(), error);
    freeWorld(w);
    return ok;
}

bool writeTestDemo(const std::string& dir, std::string& error, const TestDemoOptions& options) {
    if (!writeTestWorldOnly(dir, error, options)) return false;
    // A 4 x 4 light/dark checker, RGB.
    std::vector<unsigned char> image = {4, 0, 4, 0, 0};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c) image.push_back(((x + y) & 1) ? 255 : 170);
    const std::string name = "checker.raw";
    std::vector<unsigned char> list = {'T', 'L', 'S', 'T', 1, 0, uint8_t(name.size() + 1), 0, 0, 0};
    list.insert(list.end(), name.begin(), name.end());
    list.push_back(0);
    return writeBytes(dir + "/" + name, image, error) && writeBytes(dir + "/demo.ktl", list, error);
}
