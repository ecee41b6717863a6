// Boundary loops and hole caps (see mesh_holes.h).
#include "tools/world/mesh_holes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>

namespace {

struct OpenEdge {
    uint32_t from, to;  // as the cap runs: against the triangle's edge
    float uvFrom[2];
    bool used = false;
};

std::vector<OpenEdge> openEdges(const Mesh& mesh) {
    std::vector<OpenEdge> out;
    for (const MeshTri& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            if (t.adj[k] >= 0) continue;
            const int n = (k + 1) % 3;
            OpenEdge e;
            e.from = t.v[n];
            e.to = t.v[k];
            e.uvFrom[0] = t.uv[n][0];
            e.uvFrom[1] = t.uv[n][1];
            out.push_back(e);
        }
    return out;
}

// Loops as indices into the open-edge list, each edge used once.
std::vector<std::vector<size_t>> edgeLoops(std::vector<OpenEdge>& edges) {
    std::multimap<uint32_t, size_t> startingAt;
    for (size_t i = 0; i < edges.size(); ++i) startingAt.emplace(edges[i].from, i);
    std::vector<std::vector<size_t>> loops;
    for (size_t first = 0; first < edges.size(); ++first) {
        if (edges[first].used) continue;
        std::vector<size_t> loop;
        size_t at = first;
        while (true) {
            edges[at].used = true;
            loop.push_back(at);
            if (edges[at].to == edges[first].from) break;
            size_t next = SIZE_MAX;
            auto range = startingAt.equal_range(edges[at].to);
            for (auto it = range.first; it != range.second && next == SIZE_MAX; ++it)
                if (!edges[it->second].used) next = it->second;
            if (next == SIZE_MAX) break;  // a chain that does not come back: left as it is
            at = next;
        }
        loops.push_back(std::move(loop));
    }
    return loops;
}

struct P2 {
    double x, y;
};

double cross2(const P2& a, const P2& b, const P2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// On or inside the counter-clockwise triangle abc.
bool inTriangle(const P2& p, const P2& a, const P2& b, const P2& c) {
    return cross2(a, b, p) >= 0 && cross2(b, c, p) >= 0 && cross2(c, a, p) >= 0;
}

// Ear clipping of a polygon given counter-clockwise in 2D. Corners are never cut where the
// corner turns the wrong way (which would fold the cap over itself) or where another corner
// lies in the ear; when the projection is not a simple polygon and no such ear is left, the
// sharpest convex corner is cut anyway so that the cap is still closed.
void earClip(const std::vector<P2>& pts, const std::vector<Vec3>& at3,
             std::vector<std::array<size_t, 3>>& out) {
    std::vector<size_t> ring(pts.size());
    for (size_t i = 0; i < ring.size(); ++i) ring[i] = i;
    size_t start = 0;
    auto flat = [&](size_t a, size_t b, size_t c) { return degenerateTriangle(at3[a], at3[b], at3[c]); };
    while (ring.size() > 3) {
        const size_t m = ring.size();
        size_t cut = SIZE_MAX, best = SIZE_MAX;
        double bestTurn = 0;
        for (size_t s = 0; s < m && cut == SIZE_MAX; ++s) {
            const size_t i = (start + s) % m;
            const size_t a = ring[(i + m - 1) % m], b = ring[i], c = ring[(i + 1) % m];
            const double turn = cross2(pts[a], pts[b], pts[c]);
            if (!(turn > 0) || flat(a, b, c)) continue;
            if (turn > bestTurn) {
                bestTurn = turn;
                best = i;
            }
            bool empty = true;
            for (size_t o = 0; o < m && empty; ++o) {
                const size_t q = ring[o];
                if (q == a || q == b || q == c) continue;
                const P2& p = pts[q];
                const bool sameSpot = (p.x == pts[a].x && p.y == pts[a].y) || (p.x == pts[b].x && p.y == pts[b].y) ||
                                      (p.x == pts[c].x && p.y == pts[c].y);
                empty = sameSpot || !inTriangle(p, pts[a], pts[b], pts[c]);
            }
            if (empty) cut = i;
        }
        if (cut == SIZE_MAX) cut = best;
        if (cut == SIZE_MAX) return;  // every corner is straight or turns back: nothing sound to cut
        out.push_back({ring[(cut + m - 1) % m], ring[cut], ring[(cut + 1) % m]});
        ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(cut));
        start = cut % ring.size();
    }
    if (ring.size() == 3 && !flat(ring[0], ring[1], ring[2])) out.push_back({ring[0], ring[1], ring[2]});
}

}  // namespace

std::vector<std::vector<uint32_t>> boundaryLoops(const Mesh& mesh) {
    std::vector<OpenEdge> edges = openEdges(mesh);
    std::vector<std::vector<uint32_t>> out;
    for (const std::vector<size_t>& loop : edgeLoops(edges)) {
        out.emplace_back();
        for (size_t e : loop) out.back().push_back(edges[e].from);
    }
    return out;
}

size_t closeHoles(Mesh& mesh) {
    std::vector<OpenEdge> edges = openEdges(mesh);
    size_t capped = 0;
    for (const std::vector<size_t>& loop : edgeLoops(edges)) {
        if (loop.size() < 3) continue;
        std::vector<Vec3> p3;
        for (size_t e : loop) p3.push_back(mesh.positions[edges[e].from]);
        // Newell's normal: the plane the loop (as the cap runs) winds counter-clockwise about.
        double n[3] = {0, 0, 0}, c[3] = {0, 0, 0};
        for (size_t i = 0; i < p3.size(); ++i) {
            const Vec3& a = p3[i];
            const Vec3& b = p3[(i + 1) % p3.size()];
            n[0] += (double(a.y) - b.y) * (double(a.z) + b.z);
            n[1] += (double(a.z) - b.z) * (double(a.x) + b.x);
            n[2] += (double(a.x) - b.x) * (double(a.y) + b.y);
            c[0] += a.x;
            c[1] += a.y;
            c[2] += a.z;
        }
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(len > 0)) continue;
        for (double& v : n) v /= len;
        // u perpendicular to n, v = n x u, so that u x v = n and the loop runs counter-clockwise.
        double u[3];
        if (std::fabs(n[0]) < 0.9) u[0] = 0, u[1] = n[2], u[2] = -n[1];
        else u[0] = -n[2], u[1] = 0, u[2] = n[0];
        const double ul = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
        for (double& x : u) x /= ul;
        const double v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
        std::vector<P2> p2;
        for (const Vec3& p : p3) {
            const double d[3] = {p.x - c[0] / p3.size(), p.y - c[1] / p3.size(), p.z - c[2] / p3.size()};
            p2.push_back({d[0] * u[0] + d[1] * u[1] + d[2] * u[2], d[0] * v[0] + d[1] * v[1] + d[2] * v[2]});
        }
        std::vector<std::array<size_t, 3>> tris;
        earClip(p2, p3, tris);
        for (const auto& t : tris)
            addMeshTriangle(mesh, edges[loop[t[0]]].from, edges[loop[t[1]]].from, edges[loop[t[2]]].from,
                            edges[loop[t[0]]].uvFrom, edges[loop[t[1]]].uvFrom, edges[loop[t[2]]].uvFrom);
        if (!tris.empty()) ++capped;
    }
    return capped;
}

std::vector<std::array<uint32_t, 2>> crowdedEdges(const Mesh& mesh) {
    std::vector<uint64_t> keys;
    keys.reserve(mesh.triangles.size() * 3);
    for (const MeshTri& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            const uint64_t a = t.v[k], b = t.v[(k + 1) % 3];
            keys.push_back(std::min(a, b) << 32 | std::max(a, b));
        }
    std::sort(keys.begin(), keys.end());
    std::vector<std::array<uint32_t, 2>> out;
    for (size_t i = 0; i < keys.size();) {
        size_t j = i + 1;
        while (j < keys.size() && keys[j] == keys[i]) ++j;
        if (j - i >= 3) out.push_back({uint32_t(keys[i] >> 32), uint32_t(keys[i] & 0xFFFFFFFFu)});
        i = j;
    }
    return out;
}
