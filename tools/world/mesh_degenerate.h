// Triangles with no area (a repeated corner, or corners on one line) taken out of a compiler mesh
// without opening it: collapses on flat regions leave such slivers behind, files bring their own,
// and the adjacency check refuses them.
#pragma once

#include <cstddef>

#include "tools/world/mesh.h"

struct DegenerateRepair {
    size_t found = 0;    // triangles degenerateTriangle (or a repeated corner) rejects
    size_t removed = 0;  // how many fewer triangles the mesh has afterwards
    size_t opened = 0;   // of `found`, those that could only be dropped where they were, leaving open edges
    Vec3 firstAt{0, 0, 0};  // the centre of the first one found, for messages
};

// Removes every degenerate triangle of a welded mesh. One with a repeated corner is dropped
// (its other two edges cancel). One with its corners on a line is collapsed away: a corner moves
// onto another along one of its edges, which takes it and its neighbour across that edge out,
// provided no edge would join more than two triangles and no other triangle would flip or lose
// its area; where no corner may move, the neighbour across its longest edge is split at the
// middle corner instead (no vertex moves, the count stays). A corner on an open border never
// moves, so holes keep their outline. What neither can fix is dropped and counted in `opened`.
// The mesh is welded again afterwards, so vertices no triangle uses any more are gone.
DegenerateRepair repairDegenerateTriangles(Mesh& mesh);
