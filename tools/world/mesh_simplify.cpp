// Mesh simplification with meshoptimizer (see mesh_simplify.h).
#include "tools/world/mesh_simplify.h"

#include <meshoptimizer.h>

#include <cstdint>
#include <vector>

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
    std::vector<unsigned> out(indices.size());
    // The error bound (relative to the mesh's size) is left wide open: collapses are made in
    // order of least surface error until the budget is met, so the bound never decides quality.
    const size_t kept = meshopt_simplify(out.data(), indices.data(), indices.size(), &mesh.positions[0].x,
                                         mesh.positions.size(), sizeof(Vec3), maxTriangles * 3, 1.0f,
                                         meshopt_SimplifyLockBorder, nullptr);
    if (kept / 3 > maxTriangles || kept == 0) {
        error = "cannot simplify " + std::to_string(mesh.triangles.size()) + " triangles to " +
                std::to_string(maxTriangles) + " while keeping its open borders in place (" +
                std::to_string(kept / 3) + " is as far as it goes); raise maxTriangles";
        return false;
    }
    std::vector<MeshTri> triangles;
    triangles.reserve(kept / 3);
    for (size_t i = 0; i + 2 < kept; i += 3) {
        MeshTri t{};
        for (int k = 0; k < 3; ++k) {
            t.v[k] = out[i + size_t(k)];
            t.uv[k][0] = uvs[2 * t.v[k]];
            t.uv[k][1] = uvs[2 * t.v[k] + 1];
            t.adj[k] = -1;
        }
        triangles.push_back(t);
    }
    mesh.triangles.swap(triangles);
    weldMesh(mesh);  // drops the vertices no triangle uses any more
    return true;
}
