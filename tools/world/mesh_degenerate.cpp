// Removing triangles with no area from compiler meshes (see mesh_degenerate.h).
#include "tools/world/mesh_degenerate.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Normal {
    double x, y, z;
};

Normal normalOf(const Vec3& a, const Vec3& b, const Vec3& c) {
    const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    return {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
}

double dot(const Normal& a, const Normal& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double distance2(const Vec3& a, const Vec3& b) {
    const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

bool repeatedCorner(const MeshTri& t) { return t.v[0] == t.v[1] || t.v[1] == t.v[2] || t.v[2] == t.v[0]; }

int cornerOf(const MeshTri& t, uint32_t v) {
    for (int k = 0; k < 3; ++k)
        if (t.v[k] == v) return k;
    return -1;
}

bool sameCorners(const MeshTri& a, const MeshTri& b) {
    return cornerOf(b, a.v[0]) >= 0 && cornerOf(b, a.v[1]) >= 0 && cornerOf(b, a.v[2]) >= 0;
}

// The mesh with which triangles are still there and which triangles meet at each vertex. A
// vertex's list may hold triangles that have gone or no longer use it; `at` filters them out.
class Repairer {
public:
    explicit Repairer(Mesh& mesh) : mesh_(mesh), alive_(mesh.triangles.size(), true), around_(mesh.positions.size()) {
        for (size_t t = 0; t < mesh.triangles.size(); ++t)
            for (uint32_t v : mesh.triangles[t].v) around_[v].push_back(uint32_t(t));
    }

    bool alive(size_t t) const { return alive_[t]; }
    void drop(size_t t) { alive_[t] = false; }

    bool flat(size_t t) const {
        const MeshTri& tri = mesh_.triangles[t];
        return repeatedCorner(tri) || flatCorners(tri);
    }

    // Collapses one edge of triangle t, trying the shortest edges first and, at equal length, the
    // middle corner of the line (the one opposite the longest edge) as the corner that moves.
    bool collapse(size_t t) {
        const MeshTri tri = mesh_.triangles[t];
        struct Move {
            uint32_t from, to;
            double length2;
            int rank;
        };
        int longest = 0;
        double best = -1;
        for (int k = 0; k < 3; ++k) {
            const double d = distance2(pos(tri.v[k]), pos(tri.v[(k + 1) % 3]));
            if (d > best) best = d, longest = k;
        }
        const uint32_t middle = tri.v[(longest + 2) % 3];
        std::vector<Move> moves;
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = tri.v[k], b = tri.v[(k + 1) % 3];
            const double d = distance2(pos(a), pos(b));
            moves.push_back({a, b, d, a == middle ? 0 : 1});
            moves.push_back({b, a, d, b == middle ? 0 : 1});
        }
        std::stable_sort(moves.begin(), moves.end(), [](const Move& x, const Move& y) {
            return x.length2 != y.length2 ? x.length2 < y.length2 : x.rank < y.rank;
        });
        for (const Move& m : moves)
            if (collapseEdge(m.from, m.to, t)) return true;
        return false;
    }

    // Splits the neighbour across triangle t's longest edge at t's middle corner: t and that
    // neighbour become the neighbour's two halves, so nothing moves and the surface stays closed.
    bool flip(size_t t) {
        const MeshTri tri = mesh_.triangles[t];
        int k = 0;
        double best = -1;
        for (int e = 0; e < 3; ++e) {
            const double d = distance2(pos(tri.v[e]), pos(tri.v[(e + 1) % 3]));
            if (d > best) best = d, k = e;
        }
        const uint32_t p = tri.v[k], q = tri.v[(k + 1) % 3], r = tri.v[(k + 2) % 3];
        std::vector<uint32_t> onEdge;
        for (uint32_t s : at(p))
            if (cornerOf(mesh_.triangles[s], q) >= 0) onEdge.push_back(s);
        if (onEdge.size() != 2) return false;
        const uint32_t n = onEdge[0] == t ? onEdge[1] : onEdge[0];
        const MeshTri other = mesh_.triangles[n];
        if (flat(n)) return false;
        const int jq = cornerOf(other, q);
        if (other.v[(jq + 1) % 3] != p) return false;  // wound against t: not ours to mend
        const uint32_t s = other.v[(jq + 2) % 3];
        if (s == r) return false;
        for (uint32_t x : at(r))
            if (cornerOf(mesh_.triangles[x], s) >= 0) return false;  // the new edge r-s exists already
        const Normal before = normalOf(pos(q), pos(p), pos(s));  // the neighbour's facing
        // The halves keep the neighbour's texture mapping: r's coordinates lie on its edge q-p.
        const float* uvQ = other.uv[jq];
        const float* uvP = other.uv[(jq + 1) % 3];
        const float* uvS = other.uv[(jq + 2) % 3];
        const float f = float(std::sqrt(distance2(pos(p), pos(r)) / best));
        const float uvR[2] = {uvP[0] + (uvQ[0] - uvP[0]) * f, uvP[1] + (uvQ[1] - uvP[1]) * f};
        MeshTri first = tri, second = other;
        setCorner(first, 0, r, uvR);
        setCorner(first, 1, p, uvP);
        setCorner(first, 2, s, uvS);
        setCorner(second, 0, r, uvR);
        setCorner(second, 1, s, uvS);
        setCorner(second, 2, q, uvQ);
        for (const MeshTri* m : {&first, &second})
            if (flatCorners(*m) || !(dot(normalOf(pos(m->v[0]), pos(m->v[1]), pos(m->v[2])), before) > 0))
                return false;
        mesh_.triangles[t] = first;
        mesh_.triangles[n] = second;
        around_[s].push_back(uint32_t(t));
        around_[r].push_back(n);
        return true;
    }

private:
    const Vec3& pos(uint32_t v) const { return mesh_.positions[v]; }

    bool flatCorners(const MeshTri& t) const {
        return degenerateTriangle(pos(t.v[0]), pos(t.v[1]), pos(t.v[2]));
    }

    static void setCorner(MeshTri& t, int k, uint32_t v, const float uv[2]) {
        t.v[k] = v;
        t.uv[k][0] = uv[0];
        t.uv[k][1] = uv[1];
    }

    // The triangles still there that use vertex v.
    const std::vector<uint32_t>& at(uint32_t v) {
        std::vector<uint32_t>& list = around_[v];
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](uint32_t t) { return !alive_[t] || cornerOf(mesh_.triangles[t], v) < 0; }),
                   list.end());
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        return list;
    }

    // The other corners of the triangles at u, once per triangle edge they share with u.
    std::vector<uint32_t> ring(uint32_t u) {
        std::vector<uint32_t> out;
        for (uint32_t t : at(u))
            for (uint32_t w : mesh_.triangles[t].v)
                if (w != u) out.push_back(w);
        std::sort(out.begin(), out.end());
        return out;
    }

    // Moves vertex u onto v; the two triangles on edge u-v go. Refused where u is on an open
    // border, where the edge is not shared by exactly two triangles, where u and v have a common
    // neighbour other than those two triangles' third corners (an edge would then join more than
    // two triangles), or where another triangle at u would lose its area, turn over or repeat one
    // already there.
    bool collapseEdge(uint32_t u, uint32_t v, size_t self) {
        const std::vector<uint32_t> around = at(u);
        std::vector<uint32_t> onEdge, others;
        for (uint32_t t : around) (cornerOf(mesh_.triangles[t], v) >= 0 ? onEdge : others).push_back(t);
        if (onEdge.size() != 2) return false;
        const std::vector<uint32_t> ringU = ring(u);
        for (size_t i = 0; i < ringU.size();) {  // every edge at u joins two triangles
            size_t j = i;
            while (j < ringU.size() && ringU[j] == ringU[i]) ++j;
            if (j - i != 2) return false;
            i = j;
        }
        uint32_t opposite[2];
        for (int i = 0; i < 2; ++i) {
            const MeshTri& t = mesh_.triangles[onEdge[size_t(i)]];
            opposite[i] = t.v[(cornerOf(t, u) + 1) % 3] == v ? t.v[(cornerOf(t, u) + 2) % 3]
                                                              : t.v[(cornerOf(t, u) + 1) % 3];
        }
        if (opposite[0] == opposite[1]) return false;
        std::vector<uint32_t> ringV = ring(v), common;
        std::vector<uint32_t> distinctU(ringU);
        distinctU.erase(std::unique(distinctU.begin(), distinctU.end()), distinctU.end());
        ringV.erase(std::unique(ringV.begin(), ringV.end()), ringV.end());
        std::set_intersection(distinctU.begin(), distinctU.end(), ringV.begin(), ringV.end(),
                              std::back_inserter(common));
        if (common.size() != 2 || std::find(common.begin(), common.end(), opposite[0]) == common.end() ||
            std::find(common.begin(), common.end(), opposite[1]) == common.end())
            return false;
        const std::vector<uint32_t> atV = at(v);
        for (uint32_t t : others) {
            const MeshTri& old = mesh_.triangles[t];
            MeshTri moved = old;
            moved.v[cornerOf(old, u)] = v;
            const bool wasFlat = flatCorners(old), nowFlat = flatCorners(moved);
            // A triangle with no area has no facing to keep, so it may not gain an area either.
            if (wasFlat != nowFlat) return false;
            if (!wasFlat && !(dot(normalOf(pos(old.v[0]), pos(old.v[1]), pos(old.v[2])),
                                  normalOf(pos(moved.v[0]), pos(moved.v[1]), pos(moved.v[2]))) > 0))
                return false;
            for (uint32_t s : atV)
                if (cornerOf(mesh_.triangles[s], u) < 0 && sameCorners(mesh_.triangles[s], moved)) return false;
        }
        const MeshTri& mine = mesh_.triangles[self];
        const float uvV[2] = {mine.uv[cornerOf(mine, v)][0], mine.uv[cornerOf(mine, v)][1]};
        alive_[onEdge[0]] = alive_[onEdge[1]] = false;
        for (uint32_t t : others) {
            MeshTri& tri = mesh_.triangles[t];
            setCorner(tri, cornerOf(tri, u), v, uvV);
            around_[v].push_back(t);
        }
        around_[u].clear();
        return true;
    }

    Mesh& mesh_;
    std::vector<bool> alive_;
    std::vector<std::vector<uint32_t>> around_;
};

}  // namespace

DegenerateRepair repairDegenerateTriangles(Mesh& mesh) {
    DegenerateRepair out;
    const size_t before = mesh.triangles.size();
    std::vector<size_t> flatOnes;
    {
        const Repairer probe(mesh);
        for (size_t t = 0; t < before; ++t)
            if (probe.flat(t)) flatOnes.push_back(t);
    }
    if (flatOnes.empty()) return out;
    out.found = flatOnes.size();
    const MeshTri& first = mesh.triangles[flatOnes[0]];
    for (uint32_t v : first.v) {
        out.firstAt.x += mesh.positions[v].x / 3;
        out.firstAt.y += mesh.positions[v].y / 3;
        out.firstAt.z += mesh.positions[v].z / 3;
    }
    Repairer r(mesh);
    for (size_t t : flatOnes)
        if (repeatedCorner(mesh.triangles[t])) r.drop(t);
    // Mending one sliver can free a neighbouring one (a run of them along a crease), so passes
    // repeat while any makes progress. Every step removes a degenerate triangle or two triangles
    // and makes none, so this ends.
    for (bool progress = true; progress;) {
        progress = false;
        for (size_t t : flatOnes)
            if (r.alive(t) && r.flat(t) && (r.collapse(t) || r.flip(t))) progress = true;
    }
    for (size_t t : flatOnes)
        if (r.alive(t) && r.flat(t)) {
            r.drop(t);
            ++out.opened;
        }
    size_t kept = 0;
    for (size_t t = 0; t < before; ++t)
        if (r.alive(t)) mesh.triangles[kept++] = mesh.triangles[t];
    mesh.triangles.resize(kept);
    weldMesh(mesh);  // drops the vertices that moved away
    out.removed = before - kept;
    return out;
}
