// Wavefront OBJ import through tinyobjloader: positions, texture coordinates and faces of every
// object in the file merged into one mesh. Normals and materials in the file are not used (faces
// are lit with their flat face normals; the scene assigns material and texture).
#pragma once

#include <string>

#include "tools/world/mesh.h"

// Loads `path` into `mesh` (not welded). Polygons with more than three corners are split into a
// fan from their first corner, so they should be convex. Every face index is checked against the
// file's attribute arrays before use. False with a reason naming the face on failure.
bool importObj(const std::string& path, Mesh& mesh, std::string& error);
