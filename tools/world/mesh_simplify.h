// The triangle budget: simplifying a compiler mesh to at most a given number of triangles.
#pragma once

#include <cstddef>
#include <string>

#include "tools/world/mesh.h"

// Collapses edges of a welded mesh (meshoptimizer's simplifier, which weighs each collapse by
// how far it moves the surface) until at most `maxTriangles` remain. Open borders are locked, so
// holes keep their outline and a closed mesh stays closed. Each vertex keeps the texture
// coordinates of the first triangle corner that used it, so seams may smear. Fails when the
// mesh cannot be brought under the budget without moving its borders. Triangles the collapses
// leave with no area are removed without opening the surface (see repairDegenerateTriangles);
// `degenerateDropped`, when given, receives how many there were.
bool simplifyMesh(Mesh& mesh, size_t maxTriangles, std::string& error, size_t* degenerateDropped = nullptr);
