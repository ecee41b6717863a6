// libFuzzer target for the scene compiler: any text either fails with a message or compiles to
// a world whose every index is in range, and frees completely. Files named by the scene are looked
// up in a folder holding the guide's example meshes and the shipped scenes' files (set up once).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/world_check.h"
#include "tools/world/mesh_export.h"
#include "tools/world/mesh_isolate.h"
#include "tools/world/scene_compile.h"

namespace {

std::string meshDir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Meshes are read in this process, so that a fault in the importer is reported where it happens.
    setMeshImportIsolated(false);
    meshDir = "/tmp/qv_fuzz_scene_" + std::to_string(::getpid());
    std::system(("mkdir -p '" + meshDir + "'").c_str());
    std::string error;
    writeExampleMeshes(meshDir, error);
    // The files the shipped scenes name, when run from the repository's root (as scripts/fuzz.sh
    // does), so that their seeds compile whole.
    std::system(("cp data/demo/*.obj data/examples/*/*.obj data/examples/*/*.png '" + meshDir + "/' 2>/dev/null").c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CompiledScene out;
    std::string error;
    if (!compileSceneText(std::string(reinterpret_cast<const char*>(data), size), meshDir, out, error)) {
        if (error.empty() || out.world) __builtin_trap();  // every failure says why and leaves nothing
        return 0;
    }
    if (!out.world || checkWorld(*out.world)) __builtin_trap();
    releaseCompiledScene(out);
    return 0;
}
