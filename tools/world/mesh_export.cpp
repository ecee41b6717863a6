// glTF, PLY and STL writers and the guide's example meshes (see mesh_export.h).
#include "tools/world/mesh_export.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "image/image_files.h"
#include "tools/world/verbs.h"

namespace {

void putBytes(std::vector<uint8_t>& out, const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}
void putF(std::vector<uint8_t>& out, float f) { putBytes(out, &f, 4); }  // x86 and ARM: little-endian
void putU32(std::vector<uint8_t>& out, uint32_t v) { putBytes(out, &v, 4); }

std::string base64(const std::vector<uint8_t>& in) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        const uint32_t n = uint32_t(in[i]) << 16 | (i + 1 < in.size() ? uint32_t(in[i + 1]) << 8 : 0) |
                           (i + 2 < in.size() ? in[i + 2] : 0);
        out += k[n >> 18 & 63];
        out += k[n >> 12 & 63];
        out += i + 1 < in.size() ? k[n >> 6 & 63] : '=';
        out += i + 2 < in.size() ? k[n & 63] : '=';
    }
    return out;
}

// The JSON of a glTF file and its binary buffer: per node, positions, texture coordinates and
// indices, each a buffer view and an accessor.
nlohmann::json gltfJson(const std::vector<GltfNode>& nodes, std::vector<uint8_t>& bin) {
    using nlohmann::json;
    json j = {{"asset", {{"version", "2.0"}, {"generator", "quorvel-world"}}}, {"scene", 0}};
    json jnodes = json::array(), meshes = json::array(), views = json::array(), accessors = json::array();
    json roots = json::array();
    std::vector<json> children(nodes.size(), json::array());
    for (size_t n = 0; n < nodes.size(); ++n) {
        const Mesh& m = nodes[n].mesh;
        const size_t corners = m.triangles.size() * 3;
        float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
        const size_t posAt = bin.size();
        for (const MeshTri& t : m.triangles)
            for (uint32_t v : t.v)
                for (int a = 0; a < 3; ++a) {
                    putF(bin, m.positions[v][a]);
                    lo[a] = std::min(lo[a], m.positions[v][a]);
                    hi[a] = std::max(hi[a], m.positions[v][a]);
                }
        const size_t uvAt = bin.size();
        for (const MeshTri& t : m.triangles)
            for (int k = 0; k < 3; ++k) {
                putF(bin, t.uv[k][0]);
                putF(bin, 1.0f - t.uv[k][1]);
            }
        const size_t idxAt = bin.size();
        for (size_t i = 0; i < corners; ++i) putU32(bin, uint32_t(i));
        const size_t base = views.size();
        views.push_back({{"buffer", 0}, {"byteOffset", posAt}, {"byteLength", uvAt - posAt}, {"target", 34962}});
        views.push_back({{"buffer", 0}, {"byteOffset", uvAt}, {"byteLength", idxAt - uvAt}, {"target", 34962}});
        views.push_back({{"buffer", 0}, {"byteOffset", idxAt}, {"byteLength", bin.size() - idxAt}, {"target", 34963}});
        accessors.push_back({{"bufferView", base}, {"componentType", 5126}, {"count", corners}, {"type", "VEC3"},
                             {"min", {lo[0], lo[1], lo[2]}}, {"max", {hi[0], hi[1], hi[2]}}});
        accessors.push_back({{"bufferView", base + 1}, {"componentType", 5126}, {"count", corners}, {"type", "VEC2"}});
        accessors.push_back({{"bufferView", base + 2}, {"componentType", 5125}, {"count", corners}, {"type", "SCALAR"}});
        meshes.push_back({{"name", nodes[n].name + "-mesh"},
                          {"primitives", json::array({{{"attributes", {{"POSITION", base}, {"TEXCOORD_0", base + 1}}},
                                                       {"indices", base + 2}, {"mode", 4}}})}});
        json node = {{"name", nodes[n].name}, {"mesh", n}};
        bool identity = true;
        for (float f : nodes[n].matrix) identity = identity && f == 0;
        if (!identity) node["matrix"] = std::vector<float>(nodes[n].matrix, nodes[n].matrix + 16);
        jnodes.push_back(node);
        if (nodes[n].parent >= 0 && size_t(nodes[n].parent) < nodes.size()) children[size_t(nodes[n].parent)].push_back(n);
        else roots.push_back(n);
    }
    for (size_t n = 0; n < nodes.size(); ++n)
        if (!children[n].empty()) jnodes[n]["children"] = children[n];
    j["scenes"] = json::array({{{"nodes", roots}}});
    j["nodes"] = jnodes;
    j["meshes"] = meshes;
    j["bufferViews"] = views;
    j["accessors"] = accessors;
    return j;
}

void plyHeader(std::string& out, const Mesh& m, const char* format) {
    out += "ply\nformat " + std::string(format) + " 1.0\ncomment written by quorvel-world\n";
    out += "element vertex " + std::to_string(m.triangles.size() * 3) + "\n";
    out += "property float x\nproperty float y\nproperty float z\nproperty float s\nproperty float t\n";
    out += "element face " + std::to_string(m.triangles.size()) + "\n";
    out += "property list uchar int vertex_indices\nend_header\n";
}

Vec3 faceNormal(const Mesh& m, const MeshTri& t) {
    const Vec3 &a = m.positions[t.v[0]], &b = m.positions[t.v[1]], &c = m.positions[t.v[2]];
    const Vec3 e{b.x - a.x, b.y - a.y, b.z - a.z}, f{c.x - a.x, c.y - a.y, c.z - a.z};
    Vec3 n{e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
    const float l = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return l > 0 ? Vec3{n.x / l, n.y / l, n.z / l} : n;
}

std::string num(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", f);
    return buf;
}

}  // namespace

std::string gltfText(const std::vector<GltfNode>& nodes) {
    std::vector<uint8_t> bin;
    nlohmann::json j = gltfJson(nodes, bin);
    j["buffers"] = {{{"byteLength", bin.size()}, {"uri", "data:application/octet-stream;base64," + base64(bin)}}};
    return j.dump(1) + "\n";
}

std::vector<uint8_t> glbBytes(const std::vector<GltfNode>& nodes) {
    std::vector<uint8_t> bin;
    nlohmann::json j = gltfJson(nodes, bin);
    j["buffers"] = {{{"byteLength", bin.size()}}};
    std::string text = j.dump();
    while (text.size() % 4) text += ' ';
    while (bin.size() % 4) bin.push_back(0);
    std::vector<uint8_t> out;
    putBytes(out, "glTF", 4);
    putU32(out, 2);
    putU32(out, uint32_t(12 + 8 + text.size() + 8 + bin.size()));
    putU32(out, uint32_t(text.size()));
    putBytes(out, "JSON", 4);
    putBytes(out, text.data(), text.size());
    putU32(out, uint32_t(bin.size()));
    putBytes(out, "BIN\0", 4);
    putBytes(out, bin.data(), bin.size());
    return out;
}

std::string plyAscii(const Mesh& m) {
    std::string out;
    plyHeader(out, m, "ascii");
    for (const MeshTri& t : m.triangles)
        for (int k = 0; k < 3; ++k) {
            const Vec3& p = m.positions[t.v[k]];
            out += num(p.x) + " " + num(p.y) + " " + num(p.z) + " " + num(t.uv[k][0]) + " " + num(t.uv[k][1]) + "\n";
        }
    for (size_t i = 0; i < m.triangles.size(); ++i)
        out += "3 " + std::to_string(3 * i) + " " + std::to_string(3 * i + 1) + " " + std::to_string(3 * i + 2) + "\n";
    return out;
}

std::vector<uint8_t> plyBinary(const Mesh& m) {
    std::string header;
    plyHeader(header, m, "binary_little_endian");
    std::vector<uint8_t> out(header.begin(), header.end());
    for (const MeshTri& t : m.triangles)
        for (int k = 0; k < 3; ++k) {
            for (int a = 0; a < 3; ++a) putF(out, m.positions[t.v[k]][a]);
            putF(out, t.uv[k][0]);
            putF(out, t.uv[k][1]);
        }
    for (size_t i = 0; i < m.triangles.size(); ++i) {
        out.push_back(3);
        for (uint32_t k = 0; k < 3; ++k) putU32(out, uint32_t(3 * i + k));
    }
    return out;
}

std::string stlAscii(const Mesh& m) {
    std::string out = "solid quorvel\n";
    for (const MeshTri& t : m.triangles) {
        const Vec3 n = faceNormal(m, t);
        out += " facet normal " + num(n.x) + " " + num(n.y) + " " + num(n.z) + "\n  outer loop\n";
        for (uint32_t v : t.v)
            out += "   vertex " + num(m.positions[v].x) + " " + num(m.positions[v].y) + " " + num(m.positions[v].z) + "\n";
        out += "  endloop\n endfacet\n";
    }
    return out + "endsolid quorvel\n";
}

std::vector<uint8_t> stlBinary(const Mesh& m) {
    std::vector<uint8_t> out(80, 0);
    const char* title = "binary STL written by quorvel-world";  // must not start with "solid"
    std::memcpy(out.data(), title, std::strlen(title));
    putU32(out, uint32_t(m.triangles.size()));
    for (const MeshTri& t : m.triangles) {
        const Vec3 n = faceNormal(m, t);
        putF(out, n.x);
        putF(out, n.y);
        putF(out, n.z);
        for (uint32_t v : t.v)
            for (int a = 0; a < 3; ++a) putF(out, m.positions[v][a]);
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

Mesh latheMesh(const std::vector<std::pair<float, float>>& profile, int segments, bool capBottom, bool capTop) {
    Mesh m;
    const size_t rings = profile.size();
    for (const auto& rp : profile)
        for (int i = 0; i < segments; ++i) {
            const double a = 2 * 3.14159265358979323846 * i / segments;
            m.positions.push_back({float(rp.first * std::cos(a)), rp.second, float(rp.first * std::sin(a))});
        }
    auto at = [&](size_t ring, int i) { return uint32_t(ring * size_t(segments) + size_t(i % segments)); };
    auto uvOf = [&](size_t ring, int i, float out[2]) {
        out[0] = float(i) / float(segments);
        out[1] = float(ring) / float(rings - 1);
    };
    for (size_t r = 0; r + 1 < rings; ++r)
        for (int i = 0; i < segments; ++i) {
            float a[2], b[2], c[2], d[2];
            uvOf(r, i, a);
            uvOf(r, i + 1, b);
            uvOf(r + 1, i + 1, c);
            uvOf(r + 1, i, d);
            // Seen from outside, (lower i, upper i, upper i+1) runs counter-clockwise.
            addMeshTriangle(m, at(r, i), at(r + 1, i), at(r + 1, i + 1), a, d, c);
            addMeshTriangle(m, at(r, i), at(r + 1, i + 1), at(r, i + 1), a, c, b);
        }
    const float mid[2] = {0.5f, 0.5f};
    if (capBottom) {
        m.positions.push_back({0, profile.front().second, 0});
        const uint32_t c = uint32_t(m.positions.size() - 1);
        for (int i = 0; i < segments; ++i) addMeshTriangle(m, c, at(0, i), at(0, i + 1), mid, mid, mid);
    }
    if (capTop) {
        m.positions.push_back({0, profile.back().second, 0});
        const uint32_t c = uint32_t(m.positions.size() - 1);
        for (int i = 0; i < segments; ++i) addMeshTriangle(m, c, at(rings - 1, i + 1), at(rings - 1, i), mid, mid, mid);
    }
    return m;
}

bool writeExampleMeshes(const std::string& dir, std::string& error) {
    // A vase modelled in centimetres, standing on y = 4 and open at its rim.
    GltfNode vase;
    vase.name = "vase";
    vase.mesh = latheMesh({{6, 4}, {11, 9}, {13, 16}, {9, 26}, {7, 31}, {8, 34}}, 24, true, false);
    const std::string text = gltfText({vase});
    if (!writeFileBytes(dir + "/vase.gltf", std::vector<unsigned char>(text.begin(), text.end()), error)) return false;
    // An octagonal pedestal in millimetres, centred on the origin, closed.
    const Mesh pedestal = latheMesh({{260, -200}, {260, -170}, {200, -140}, {200, 150}, {240, 170}, {240, 200}}, 8,
                                    true, true);
    return writeFileBytes(dir + "/pedestal.stl", stlBinary(pedestal), error);
}

int exampleMeshesMain(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel-world example-meshes DIR\n");
        return 1;
    }
    std::string error;
    if (!writeExampleMeshes(argv[1], error)) {
        std::fprintf(stderr, "quorvel-world example-meshes: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s/vase.gltf and %s/pedestal.stl\n", argv[1], argv[1]);
    return 0;
}
