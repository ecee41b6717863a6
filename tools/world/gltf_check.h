// glTF 2.0 files checked whole before the importer reads them. Everything the import uses is
// validated against the file's own bytes: every index in range, the node tree a forest without
// cycles, every accessor inside its buffer view and every view inside its buffer, transforms of
// the right length, data URIs decoded and sized, every vertex index below its primitive's vertex
// count. What passes is rebuilt as a GLB that holds only that subset (scenes, nodes, meshes with
// positions, first texture coordinates and indices, accessors, views, one buffer), so the
// importer never sees the parts the compiler does not use. What the subset cannot express
// (required extensions, sparse or quantized data the geometry depends on) is refused by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// `data` is a .gltf's JSON text, or a whole .glb when `binary`. `baseDir` is the folder relative
// buffer URIs are read from; empty when the bytes came from memory, in which case a buffer in
// another file is refused. On failure `error` is "PATH: reason", PATH naming the JSON member
// (e.g. "nodes[3].matrix"), or a reason about the GLB container.
bool checkGltf(const uint8_t* data, size_t size, bool binary, const std::string& baseDir,
               std::vector<uint8_t>& glb, std::string& error);
