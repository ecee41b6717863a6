// The `validate` verb: quorvel-world validate WORLD.kbw [--textures LIST.ktl] [--json].
// Exit status 0 when the world (and list) are valid, 1 when not, 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/world/verbs.h"
#include "tools/world/world_validate.h"
#include "world/world_file.h"

int validateMain(int argc, char** argv) {
    const char* worldPath = nullptr;
    const char* listPath = nullptr;
    bool json = false;
    bool usage = false;
    for (int i = 1; i < argc && !usage; ++i) {
        if (!std::strcmp(argv[i], "--json")) json = true;
        else if (!std::strcmp(argv[i], "--textures") && i + 1 < argc) listPath = argv[++i];
        else if (argv[i][0] == '-' || worldPath) usage = true;
        else worldPath = argv[i];
    }
    if (usage || !worldPath) {
        std::fprintf(stderr, "usage: quorvel-world validate WORLD.kbw [--textures LIST.ktl] [--json]\n");
        return 2;
    }
    std::vector<ValidationIssue> issues;
    int textureCount = -1;
    if (listPath) issues = validateTextureList(listPath, &textureCount);
    World* world = loadWorld(worldPath);
    if (!world) {
        issues.insert(issues.begin(), {true, "world", std::string("cannot load \"") + worldPath + "\": " + worldLoadError()});
    } else {
        std::vector<ValidationIssue> more = validateWorld(*world, textureCount);
        issues.insert(issues.begin(), more.begin(), more.end());
        freeWorld(world);
    }
    if (!listPath)
        issues.push_back({false, "textures", "no --textures list given; texture indices and images were not checked"});
    bool valid = true;
    for (const ValidationIssue& i : issues) valid = valid && !i.error;
    const std::string text = json ? formatIssuesJson(issues) : formatIssues(issues);
    std::fputs(text.c_str(), stdout);
    if (!json) std::printf("%s\n", valid ? "valid" : "invalid");
    return valid ? 0 : 1;
}
