// libFuzzer targets for mesh files, one per importer (QV_FUZZ_MESH_FORMATS: "gltf glb", "ply",
// "stl" or "obj"): the first byte picks the format among the target's own (seeds keep the byte
// of the mixed layout: 0 glTF, 1 GLB, 2 PLY, 3 STL, 4 OBJ), the rest is the file. Any bytes either
// fail the import with a message naming the file, or give a mesh every index of which is in range
// and that welds, loses its triangles with no area, closes and simplifies without fault, with no
// triangle left with no area after either.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tools/world/mesh_degenerate.h"
#include "tools/world/mesh_holes.h"
#include "tools/world/mesh_import.h"
#include "tools/world/mesh_simplify.h"

namespace {

#ifndef QV_FUZZ_MESH_FORMATS
#define QV_FUZZ_MESH_FORMATS "gltf glb ply stl obj"
#endif

std::vector<std::string> targetFormats() {
    std::vector<std::string> out;
    std::istringstream in(QV_FUZZ_MESH_FORMATS);
    for (std::string f; in >> f;) out.push_back(f);
    return out;
}

// A seed's leading byte in the mixed layout keeps its format when the target reads that format.
std::string formatFor(uint8_t byte) {
    static const std::vector<std::string> own = targetFormats();
    static const char* const mixed[] = {"gltf", "glb", "ply", "stl", "obj"};
    for (const std::string& f : own)
        if (f == mixed[byte % 5]) return f;
    return own[byte % own.size()];
}

// Every index in range and, when asked, no triangle the adjacency check would call degenerate.
void checkMesh(const Mesh& mesh, bool areas) {
    for (const MeshTri& t : mesh.triangles) {
        for (uint32_t v : t.v)
            if (v >= mesh.positions.size()) __builtin_trap();
        if (areas && (t.v[0] == t.v[1] || t.v[1] == t.v[2] || t.v[2] == t.v[0] ||
                      degenerateTriangle(mesh.positions[t.v[0]], mesh.positions[t.v[1]], mesh.positions[t.v[2]])))
            __builtin_trap();
    }
}

bool importObjBytes(const uint8_t* data, size_t size, Mesh& mesh, std::string& error) {
    // The OBJ reader takes a path: the bytes go through one file per fuzzing process.
    static const std::string path = "/tmp/qv_fuzz_mesh_" + std::to_string(::getpid()) + ".obj";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    return written && importMeshFile(path, "", mesh, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string ext = formatFor(data[0]);
    Mesh mesh;
    std::string error;
    const bool ok = ext == "obj" ? importObjBytes(data + 1, size - 1, mesh, error)
                                 : importMeshMemory(data + 1, size - 1, ext, "", "fuzz." + ext, mesh, error);
    if (!ok) {
        if (ext != "obj" && error.find("\"fuzz." + ext + "\": ") != 0) __builtin_trap();  // names the file
        return 0;
    }
    checkMesh(mesh, false);
    // What the compiler does next with a model, each step on its own output.
    weldMesh(mesh);
    if (mesh.triangles.empty() || mesh.triangles.size() > 20000) return 0;
    repairDegenerateTriangles(mesh);
    checkMesh(mesh, true);
    if (!computeAdjacency(mesh, error)) return 0;
    closeHoles(mesh);
    if (!computeAdjacency(mesh, error)) return 0;
    if (mesh.triangles.size() > 8 && simplifyMesh(mesh, mesh.triangles.size() / 2, error)) checkMesh(mesh, true);
    return 0;
}
