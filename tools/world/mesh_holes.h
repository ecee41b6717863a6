// Holes in compiler meshes: the boundary loops their open edges form, and caps that close them
// so that shadow volumes built from the mesh are closed too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/world/mesh.h"

// Each loop of open edges as vertex indices, in the order a cap must run to join its
// neighbours consistently: each open edge a -> b of a triangle appears as b -> a. Needs the
// adjacency of computeAdjacency. A vertex where two holes touch starts one loop per open edge.
std::vector<std::vector<uint32_t>> boundaryLoops(const Mesh& mesh);

// Caps every boundary loop with triangles: each loop is ear-clipped in the plane that fits it
// best, so the cap does not fold over itself, and runs against the loop's own edges, so it faces
// the way the surrounding surface does (outward for an outward mesh). The cap takes each
// corner's texture coordinates from the triangle at that corner's open edge. Adjacency is left
// to the caller. Returns the number of loops capped.
size_t closeHoles(Mesh& mesh);

// Edges joined by three or more triangles (which shadow volumes cannot use: an edge has one
// neighbour), each as its two vertex indices, smaller first.
std::vector<std::array<uint32_t, 2>> crowdedEdges(const Mesh& mesh);
