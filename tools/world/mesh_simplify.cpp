// Mesh simplification with meshoptimizer (see mesh_simplify.h).
#include "tools/world/mesh_simplify.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace {

// Collapses can fold a thin region into two triangles on the same three corners facing opposite
// ways (a sheet enclosing nothing): both are dropped, which keeps the surface closed and leaves
// no edge joined by more than two triangles there.
void dropOppositePairs(std::vector<unsigned>& idx) {
    std::map<std::array<unsigned, 3>, std::vector<size_t>> byCorners;
    for (size_t t = 0; t * 3 < idx.size(); ++t) {
        std::array<unsigned, 3> key = {idx[3 * t], idx[3 * t + 1], idx[3 * t + 2]};
        std::sort(key.begin(), key.end());
        byCorners[key].push_back(t);
    }
    std::vector<bool> drop(idx.size() / 3, false);
    for (const auto& entry : byCorners) {
        const std::vector<size_t>& ts = entry.second;
        for (size_t i = 0; i < ts.size(); ++i)
            for (size_t j = i + 1; j < ts.size(); ++j) {
                if (drop[ts[i]] || drop[ts[j]]) continue;
                // Same corners, opposite winding: j's corners are i's in reverse cyclic order.
                const unsigned* a = &idx[3 * ts[i]];
                const unsigned* b = &idx[3 * ts[j]];
                bool opposite = false;
                for (int r = 0; r < 3; ++r)
                    opposite = opposite || (b[0] == a[r] && b[1] == a[(r + 2) % 3] && b[2] == a[(r + 1) % 3]);
                if (opposite) drop[ts[i]] = drop[ts[j]] = true;
            }
    }
    size_t out = 0;
    for (size_t t = 0; t < drop.size(); ++t)
        if (!drop[t])
            for (int k = 0; k < 3; ++k) idx[out++] = idx[3 * t + size_t(k)];
    idx.resize(out);
}

}  // namespace

bool simplifyMesh(Mesh& mesh, size_t maxTriangles, std::string& error) {
    if (mesh.triangles.size() <= maxTriangles) return true;
    std::vector<unsigned> indices;
    indices.reserve(mesh.triangles.size() * 3);
    std::vector<float> uvs(mesh.positions.size() * 2, 0.0f);
    std::vector<bool> seen(mesh.positions.size(), false);
    for (const MeshTri& t : mesh.triangles)
        for (int k = 0; k < 3; ++k) {
            indices.push_back(t.v[k]);
            if (!seen[t.v[k]]) {
                seen[t.v[k]] = true;
                uvs[2 * t.v[k]] = t.uv[k][0];
                uvs[2 * t.v[k] + 1] = t.uv[k][1];
            }
        }
    // The error bound (relative to the mesh's size) is left wide open: collapses are made in
    // order of least surface error until the budget is met, so the bound never decides quality.
    // A result whose topology shadows cannot use (an edge joined by more than two triangles) is
    // tried again a little further down the budget, where other collapses are made.
    Mesh best;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const size_t target = maxTriangles - maxTriangles * size_t(attempt) / 10;
        std::vector<unsigned> out(indices.size());
        const size_t kept = meshopt_simplify(out.data(), indices.data(), indices.size(), &mesh.positions[0].x,
                                             mesh.positions.size(), sizeof(Vec3), target * 3, 1.0f,
                                             meshopt_SimplifyLockBorder, nullptr);
        if (kept / 3 > maxTriangles || kept == 0) {
            error = "cannot simplify " + std::to_string(mesh.triangles.size()) + " triangles to " +
                    std::to_string(maxTriangles) + " while keeping its open borders in place (" +
                    std::to_string(kept / 3) + " is as far as it goes); raise maxTriangles";
            return false;
        }
        out.resize(kept);
        dropOppositePairs(out);
        Mesh candidate;
        candidate.positions = mesh.positions;
        for (size_t i = 0; i + 2 < out.size(); i += 3) {
            MeshTri t{};
            for (int k = 0; k < 3; ++k) {
                t.v[k] = out[i + size_t(k)];
                t.uv[k][0] = uvs[2 * t.v[k]];
                t.uv[k][1] = uvs[2 * t.v[k] + 1];
                t.adj[k] = -1;
            }
            candidate.triangles.push_back(t);
        }
        weldMesh(candidate);  // drops the vertices no triangle uses any more
        std::string why;
        const bool sound = computeAdjacency(candidate, why);
        if (attempt == 0 || sound) best = std::move(candidate);
        if (sound) break;
    }
    mesh = std::move(best);  // when no attempt is sound, the first: the caller reports its fault
    return true;
}
