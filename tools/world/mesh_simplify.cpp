// Mesh simplification with meshoptimizer (see mesh_simplify.h).
#include "tools/world/mesh_simplify.h"

#include "tools/world/mesh_degenerate.h"

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

// One meshoptimizer pass down to about `target` triangles. The error bound (relative to the
// mesh's size) is left wide open: collapses are made in order of least surface error until the
// target is met, so the bound never decides quality.
Mesh collapseTo(const Mesh& mesh, size_t target) {
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
    std::vector<unsigned> out(indices.size());
    out.resize(meshopt_simplify(out.data(), indices.data(), indices.size(), &mesh.positions[0].x,
                                mesh.positions.size(), sizeof(Vec3), target * 3, 1.0f, meshopt_SimplifyLockBorder,
                                nullptr));
    dropOppositePairs(out);
    Mesh result;
    result.positions = mesh.positions;
    for (size_t i = 0; i + 2 < out.size(); i += 3) {
        MeshTri t{};
        for (int k = 0; k < 3; ++k) {
            t.v[k] = out[i + size_t(k)];
            t.uv[k][0] = uvs[2 * t.v[k]];
            t.uv[k][1] = uvs[2 * t.v[k] + 1];
            t.adj[k] = -1;
        }
        result.triangles.push_back(t);
    }
    weldMesh(result);  // drops the vertices no triangle uses any more
    return result;
}

// The fewest collapses a step is cut down to before an unsound result is kept (and the whole
// attempt judged by it).
const size_t kSmallestStep = 16;

struct Simplified {
    Mesh mesh;
    size_t slivers = 0;  // triangles left with no area, removed between the steps
    bool sound = false;  // closed where it was, and every edge joins at most two triangles
    bool stuck = false;  // meshoptimizer could collapse no more (the borders are locked)
};

// Collapses in steps, with the slivers (triangles whose corners end up on one line, common on
// flat regions) removed after each. A sliver has no facing, so meshoptimizer's check that a
// collapse turns no triangle over passes every collapse beside it, and on flat regions those fold
// the surface onto itself (an edge then joins four triangles). A step that leaves the surface
// unsound is made again with half as many collapses, and the next step may be twice as large
// again; steps start at halving the count. Once even a small step is unsound the attempt has
// failed, and the rest is collapsed in one step, only to have a result under the target.
Simplified simplifyInSteps(const Mesh& mesh, size_t target) {
    Simplified s;
    s.mesh = mesh;
    bool sound = true;
    size_t fewer = mesh.triangles.size() / 2;
    while (s.mesh.triangles.size() > target) {
        const size_t count = s.mesh.triangles.size();
        if (!sound) fewer = count;
        for (;; fewer /= 2) {
            fewer = std::max<size_t>(fewer, 1);
            Mesh next = collapseTo(s.mesh, count - std::min(fewer, count - target));
            if (next.triangles.empty() || next.triangles.size() >= count) {  // nothing more to collapse
                s.stuck = true;
                break;
            }
            const DegenerateRepair repair = repairDegenerateTriangles(next);
            std::string why;
            const bool stepSound = repair.opened == 0 && computeAdjacency(next, why);
            if (stepSound || !sound || fewer <= kSmallestStep) {
                sound = sound && stepSound;
                s.slivers += repair.found;
                s.mesh = std::move(next);
                break;
            }
        }
        if (s.stuck) break;
        fewer = std::min(fewer * 2, s.mesh.triangles.size() / 2);
    }
    s.sound = sound;
    return s;
}

}  // namespace

bool simplifyMesh(Mesh& mesh, size_t maxTriangles, std::string& error, size_t* degenerateDropped) {
    if (degenerateDropped) *degenerateDropped = 0;
    if (mesh.triangles.size() <= maxTriangles) return true;
    // A result whose topology shadows cannot use (an edge joined by more than two triangles, or a
    // sliver that could only be dropped by opening the surface) is tried again a little further
    // down the budget, where other collapses are made.
    Simplified best;
    for (int attempt = 0; attempt < 4; ++attempt) {
        Simplified candidate = simplifyInSteps(mesh, maxTriangles - maxTriangles * size_t(attempt) / 10);
        if (candidate.stuck && candidate.mesh.triangles.size() > maxTriangles) {
            error = "cannot simplify " + std::to_string(mesh.triangles.size()) + " triangles to " +
                    std::to_string(maxTriangles) + " while keeping its open borders in place (" +
                    std::to_string(candidate.mesh.triangles.size()) + " is as far as it goes); raise maxTriangles";
            return false;
        }
        const bool sound = candidate.sound;
        if (attempt == 0 || sound) best = std::move(candidate);
        if (sound) break;
    }
    mesh = std::move(best.mesh);  // when no attempt is sound, the first: the caller reports its fault
    if (degenerateDropped) *degenerateDropped = best.slivers;
    return true;
}

