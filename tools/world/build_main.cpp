// The `build` verb: quorvel-world build [--watch] SCENE.json -o DIR.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/world/build_watch.h"
#include "tools/world/scene_compile.h"
#include "tools/world/verbs.h"

int buildMain(int argc, char** argv) {
    const char* scene = nullptr;
    const char* outDir = nullptr;
    bool watch = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
            outDir = argv[++i];
        } else if (!std::strcmp(argv[i], "--watch")) {
            watch = true;
        } else if (argv[i][0] == '-' || scene) {
            scene = nullptr;
            outDir = nullptr;
            break;
        } else {
            scene = argv[i];
        }
    }
    if (!scene || !outDir) {
        std::fprintf(stderr, "usage: quorvel-world build [--watch] SCENE.json -o DIR\n");
        return 2;
    }
    if (watch) return buildWatch(scene, outDir);
    CompiledScene compiled;
    std::string error;
    if (!compileSceneFile(scene, compiled, error)) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& w : compiled.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
    for (const std::string& n : compiled.notes) std::printf("%s\n", n.c_str());
    const bool ok = writeCompiledScene(compiled, outDir, error);
    if (!ok) {
        std::fprintf(stderr, "error: %s\n", error.c_str());
    } else {
        const World& w = *compiled.world;
        std::printf("wrote %s/%s.kbw (%d rooms, %d models, %u world vertices, %u materials) and %s.ktl "
                    "(%zu textures)\n",
                    outDir, compiled.baseName.c_str(), w.roomCount, w.modelCount, w.vertexCount,
                    w.materialCount, compiled.baseName.c_str(), compiled.images.size());
    }
    releaseCompiledScene(compiled);
    return ok ? 0 : 1;
}
