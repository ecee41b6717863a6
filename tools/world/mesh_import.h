// Mesh files of every format a model may name (glTF 2.0 as .gltf or .glb, PLY, STL and OBJ), read
// into one compiler mesh with node transforms applied and texture coordinates in OBJ's
// convention (v = 0 at the bottom of the image).
#pragma once

#include <cstddef>
#include <string>

#include "tools/world/mesh.h"

// True when the file name ends in an extension importMeshFile reads (case-insensitive).
bool meshFormatKnown(const std::string& path);

// Reads every triangle of the file, each mesh placed by its node's transform, merged into one
// mesh; or, when `node` is not empty, only the node (or mesh) of that name and the nodes below
// it. Positions are not welded. Fails with a message that names the file and quotes the
// importer; lines and points are skipped, and a file with no triangles is an error.
bool importMeshFile(const std::string& path, const std::string& node, Mesh& mesh, std::string& error);

// The same from bytes in memory, the format given by `extension` ("glb", "ply", ...); files a
// glTF refers to cannot be read this way. `name` stands for the file in messages.
bool importMeshMemory(const void* data, size_t size, const std::string& extension, const std::string& node,
                      const std::string& name, Mesh& mesh, std::string& error);
