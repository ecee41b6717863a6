// quorvel-world: one command for everything people do with world files.
#include <cstdio>
#include <cstring>

#include "quorvel_version.h"
#include "tools/world/verbs.h"

namespace {

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: quorvel-world <verb> ...\n"
                 "  info [--json] WORLD.kbw          describe a world file\n"
                 "  build [--watch] SCENE.json -o DIR\n"
                 "                                   compile a scene into DIR (--watch: again on\n"
                 "                                   every change, until Ctrl-C)\n"
                 "  validate WORLD.kbw [--textures LIST.ktl] [--json]\n"
                 "                                   check what the renderer relies on\n"
                 "  sample WORLD.kbw                 write a small sample world\n"
                 "  example-meshes DIR               write the mesh files of the scene guide's example\n"
                 "  --version                        print the version\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 1;
    }
    const char* verb = argv[1];
    if (!std::strcmp(verb, "info")) return infoMain(argc - 1, argv + 1);
    if (!std::strcmp(verb, "build")) return buildMain(argc - 1, argv + 1);
    if (!std::strcmp(verb, "validate")) return validateMain(argc - 1, argv + 1);
    if (!std::strcmp(verb, "sample")) return sampleMain(argc - 1, argv + 1);
    if (!std::strcmp(verb, "example-meshes")) return exampleMeshesMain(argc - 1, argv + 1);
    if (!std::strcmp(verb, "--version")) {
        std::printf("quorvel-world %s\n", QV_VERSION);
        return 0;
    }
    if (!std::strcmp(verb, "--help") || !std::strcmp(verb, "-h") || !std::strcmp(verb, "help")) {
        usage(stdout);
        return 0;
    }
    std::fprintf(stderr, "quorvel-world: unknown verb \"%s\"\n", verb);
    usage(stderr);
    return 1;
}
