// Triangle meshes as the world compiler handles them before they become world records: a position
// pool and triangles with per-corner texture coordinates. Primitives, OBJ import and generated room
// geometry all produce this form; welding and adjacency work on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "math/vecmath.h"

struct MeshTri {
    uint32_t v[3];
    float uv[3][2];
    int32_t adj[3];  // triangle across edge k (v[k] -> v[(k + 1) % 3]); -1 when open
};

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<MeshTri> triangles;
};

// Appends a triangle with the given corners and texture coordinates; adjacency starts open.
void addMeshTriangle(Mesh& mesh, uint32_t a, uint32_t b, uint32_t c, const float uvA[2],
                     const float uvB[2], const float uvC[2]);

// True when the triangle has (next to) no area: its face plane would be noise.
bool degenerateTriangle(const Vec3& a, const Vec3& b, const Vec3& c);

// Merges vertices with identical positions (OBJ files repeat positions along UV seams, which would
// otherwise leave the seam's edges open) and drops vertices no triangle uses.
void weldMesh(Mesh& mesh);

// Gives each distinct position one index in a growing pool (-0 and +0 count as the same).
class PositionIndex {
public:
    explicit PositionIndex(std::vector<Vec3>& pool);
    PositionIndex(const PositionIndex&) = delete;
    PositionIndex& operator=(const PositionIndex&) = delete;
    ~PositionIndex();
    uint32_t add(const Vec3& p);

private:
    struct Impl;
    Impl* impl_;
    std::vector<Vec3>& pool_;
};

// Finds, for every edge of every triangle, the one triangle on the other side. Vertices must be
// welded first. Fails with a message naming the first offending triangle when a triangle is
// degenerate (repeated corner or zero area), when an edge is shared by three or more triangles,
// or when two neighbours run along their shared edge in the same direction (inconsistent winding,
// which would make shadow volumes wrong). `openEdges` receives the number of edges with no
// neighbour.
bool computeAdjacency(Mesh& mesh, std::string& error, size_t* openEdges = nullptr);

// Six times the signed volume enclosed by the mesh: positive when the triangles wind
// counter-clockwise seen from outside. Meaningful for closed meshes.
double signedVolume6(const Mesh& mesh);

// Affine transform applied to positions: scale, then rotations about x, y and z (degrees), then
// translation. Reverses the winding when the scale mirrors the mesh, so faces stay outward.
struct MeshTransform {
    Vec3 scale{1, 1, 1};
    Vec3 rotate{0, 0, 0};
    Vec3 translate{0, 0, 0};
};
void transformMesh(Mesh& mesh, const MeshTransform& transform);
