// Writing compiler meshes as glTF, PLY and STL files, and the example meshes the scene-format
// guide builds. The tests write their mesh files with these too. Every triangle is written
// with its own three vertices, as STL stores them; the compiler welds them again on import.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/world/mesh.h"

// One node of a glTF file: its name, its mesh and its transform (column-major; identity when
// all zero), and the index of its parent node (-1 at the root).
struct GltfNode {
    std::string name;
    Mesh mesh;
    float matrix[16] = {};
    int parent = -1;
};

// glTF 2.0 text with its one buffer inline as a data URI. Texture coordinates are written in
// glTF's convention (v = 0 at the top of the image), so they import back unchanged.
std::string gltfText(const std::vector<GltfNode>& nodes);
// The same as binary glTF (.glb): a JSON chunk and a binary chunk.
std::vector<uint8_t> glbBytes(const std::vector<GltfNode>& nodes);
std::string plyAscii(const Mesh& mesh);
std::vector<uint8_t> plyBinary(const Mesh& mesh);  // little-endian
std::string stlAscii(const Mesh& mesh);
std::vector<uint8_t> stlBinary(const Mesh& mesh);

// A surface of revolution about +y through the profile (radius, height) pairs, `segments`
// around, wound outward; the bottom and top rings are capped with fans only when asked.
Mesh latheMesh(const std::vector<std::pair<float, float>>& profile, int segments, bool capBottom, bool capTop);

// The guide's example meshes, written into `dir`: "vase.gltf" (30 units tall, open at the top)
// and "pedestal.stl" (an octagonal column 400 units tall, closed). False with a message when a
// file cannot be written.
bool writeExampleMeshes(const std::string& dir, std::string& error);
