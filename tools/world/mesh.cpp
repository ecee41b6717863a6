// Welding, adjacency, volume and transforms of compiler meshes.
#include "tools/world/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

void addMeshTriangle(Mesh& mesh, uint32_t a, uint32_t b, uint32_t c, const float uvA[2],
                     const float uvB[2], const float uvC[2]) {
    MeshTri t{};
    t.v[0] = a;
    t.v[1] = b;
    t.v[2] = c;
    const float* uvs[3] = {uvA, uvB, uvC};
    for (int k = 0; k < 3; ++k) {
        t.uv[k][0] = uvs[k][0];
        t.uv[k][1] = uvs[k][1];
        t.adj[k] = -1;
    }
    mesh.triangles.push_back(t);
}

namespace {

// Position key for welding: the exact bits of the three floats, with -0 folded into +0.
struct PosKey {
    uint32_t b[3];
    bool operator==(const PosKey& o) const {
        return b[0] == o.b[0] && b[1] == o.b[1] && b[2] == o.b[2];
    }
};
struct PosKeyHash {
    size_t operator()(const PosKey& k) const {
        uint64_t h = k.b[0] * 0x9E3779B97F4A7C15ull;
        h ^= (h >> 29) + k.b[1] * 0xBF58476D1CE4E5B9ull;
        h ^= (h >> 31) + k.b[2] * 0x94D049BB133111EBull;
        return static_cast<size_t>(h ^ (h >> 32));
    }
};

PosKey keyOf(const Vec3& p) {
    PosKey k;
    const float f[3] = {p.x == 0.0f ? 0.0f : p.x, p.y == 0.0f ? 0.0f : p.y,
                        p.z == 0.0f ? 0.0f : p.z};
    std::memcpy(k.b, f, sizeof(k.b));
    return k;
}

}  // namespace

struct PositionIndex::Impl {
    std::unordered_map<PosKey, uint32_t, PosKeyHash> map;
};

PositionIndex::PositionIndex(std::vector<Vec3>& pool) : impl_(new Impl), pool_(pool) {
    for (size_t i = 0; i < pool.size(); ++i)
        impl_->map.emplace(keyOf(pool[i]), static_cast<uint32_t>(i));
}

PositionIndex::~PositionIndex() { delete impl_; }

uint32_t PositionIndex::add(const Vec3& p) {
    auto ins = impl_->map.emplace(keyOf(p), static_cast<uint32_t>(pool_.size()));
    if (ins.second) pool_.push_back(p);
    return ins.first->second;
}

void weldMesh(Mesh& mesh) {
    std::unordered_map<PosKey, uint32_t, PosKeyHash> index;
    index.reserve(mesh.positions.size());
    std::vector<uint32_t> remap(mesh.positions.size(), UINT32_MAX);
    std::vector<Vec3> welded;
    welded.reserve(mesh.positions.size());
    for (MeshTri& t : mesh.triangles) {
        for (uint32_t& v : t.v) {
            if (remap[v] == UINT32_MAX) {
                auto ins = index.emplace(keyOf(mesh.positions[v]),
                                         static_cast<uint32_t>(welded.size()));
                if (ins.second) welded.push_back(mesh.positions[v]);
                remap[v] = ins.first->second;
            }
            v = remap[v];
        }
    }
    mesh.positions.swap(welded);
}

bool degenerateTriangle(const Vec3& a, const Vec3& b, const Vec3& c) {
    const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    const double cross2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    const double l1 = e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2];
    const double l2 = e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2];
    // |e1 x e2| = |e1||e2| sin(angle): a sine below about 1e-6 is below float precision, and the
    // face plane the loader computes from it would be noise.
    return !(cross2 > 1e-12 * l1 * l2);
}

namespace {

bool degenerate(const Mesh& mesh, const MeshTri& t) {
    if (t.v[0] == t.v[1] || t.v[1] == t.v[2] || t.v[2] == t.v[0]) return true;
    return degenerateTriangle(mesh.positions[t.v[0]], mesh.positions[t.v[1]], mesh.positions[t.v[2]]);
}

struct EdgeRef {
    uint64_t key;   // smaller vertex index in the high half, larger in the low half
    uint32_t slot;  // triangle * 3 + edge
};

}  // namespace

bool computeAdjacency(Mesh& mesh, std::string& error, size_t* openEdges) {
    const size_t n = mesh.triangles.size();
    for (size_t i = 0; i < n; ++i) {
        if (degenerate(mesh, mesh.triangles[i])) {
            error = "triangle " + std::to_string(i) + " is degenerate (zero area)";
            return false;
        }
    }
    std::vector<EdgeRef> edges(n * 3);
    for (size_t i = 0; i < n; ++i) {
        const MeshTri& t = mesh.triangles[i];
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = t.v[k], b = t.v[(k + 1) % 3];
            const uint64_t lo = std::min(a, b), hi = std::max(a, b);
            edges[i * 3 + k] = {lo << 32 | hi, static_cast<uint32_t>(i * 3 + k)};
        }
    }
    std::sort(edges.begin(), edges.end(), [](const EdgeRef& x, const EdgeRef& y) {
        return x.key != y.key ? x.key < y.key : x.slot < y.slot;
    });
    size_t open = 0;
    for (MeshTri& t : mesh.triangles) t.adj[0] = t.adj[1] = t.adj[2] = -1;
    for (size_t i = 0; i < edges.size();) {
        size_t j = i + 1;
        while (j < edges.size() && edges[j].key == edges[i].key) ++j;
        const uint32_t s0 = edges[i].slot;
        if (j - i == 1) {
            ++open;
        } else if (j - i == 2) {
            const uint32_t s1 = edges[i + 1].slot;
            MeshTri& t0 = mesh.triangles[s0 / 3];
            MeshTri& t1 = mesh.triangles[s1 / 3];
            if (t0.v[s0 % 3] == t1.v[s1 % 3]) {
                error = "triangles " + std::to_string(s0 / 3) + " and " + std::to_string(s1 / 3) +
                        " run the same way along their shared edge (inconsistent winding: one "
                        "of them faces the wrong way)";
                return false;
            }
            t0.adj[s0 % 3] = static_cast<int32_t>(s1 / 3);
            t1.adj[s1 % 3] = static_cast<int32_t>(s0 / 3);
        } else {
            const Vec3& a = mesh.positions[edges[i].key >> 32];
            const Vec3& b = mesh.positions[edges[i].key & 0xFFFFFFFFu];
            char where[160];
            std::snprintf(where, sizeof where, "(%g %g %g)-(%g %g %g)", a.x, a.y, a.z, b.x, b.y,
                          b.z);
            error = "triangle " + std::to_string(edges[i + 2].slot / 3) + ": edge " + where +
                    " is shared by " + std::to_string(j - i) +
                    " triangles (non-manifold; an edge may join at most two)";
            return false;
        }
        i = j;
    }
    if (openEdges) *openEdges = open;
    return true;
}

double signedVolume6(const Mesh& mesh) {
    double sum = 0;
    for (const MeshTri& t : mesh.triangles) {
        const Vec3& a = mesh.positions[t.v[0]];
        const Vec3& b = mesh.positions[t.v[1]];
        const Vec3& c = mesh.positions[t.v[2]];
        sum += double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) +
               double(a.y) * (double(b.z) * c.x - double(b.x) * c.z) +
               double(a.z) * (double(b.x) * c.y - double(b.y) * c.x);
    }
    return sum;
}

void transformMesh(Mesh& mesh, const MeshTransform& tf) {
    const double k = 3.14159265358979323846 / 180.0;
    const double cx = std::cos(tf.rotate.x * k), sx = std::sin(tf.rotate.x * k);
    const double cy = std::cos(tf.rotate.y * k), sy = std::sin(tf.rotate.y * k);
    const double cz = std::cos(tf.rotate.z * k), sz = std::sin(tf.rotate.z * k);
    for (Vec3& p : mesh.positions) {
        double x = double(p.x) * tf.scale.x, y = double(p.y) * tf.scale.y,
               z = double(p.z) * tf.scale.z;
        double y1 = y * cx - z * sx, z1 = y * sx + z * cx;  // about x
        y = y1;
        z = z1;
        double x1 = x * cy + z * sy;  // about y
        z1 = -x * sy + z * cy;
        x = x1;
        z = z1;
        x1 = x * cz - y * sz;  // about z
        y1 = x * sz + y * cz;
        p.x = static_cast<float>(x1 + tf.translate.x);
        p.y = static_cast<float>(y1 + tf.translate.y);
        p.z = static_cast<float>(z + tf.translate.z);
    }
    if (double(tf.scale.x) * tf.scale.y * tf.scale.z < 0) {
        for (MeshTri& t : mesh.triangles) {
            std::swap(t.v[1], t.v[2]);
            std::swap(t.uv[1][0], t.uv[2][0]);
            std::swap(t.uv[1][1], t.uv[2][1]);
        }
    }
}
