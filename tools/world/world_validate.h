// Checks a world against everything the renderer and the shadow code rely on, and a texture list
// against what the texture loader needs. Each problem is one issue with its location.
#pragma once

#include <string>
#include <vector>

#include "world/world.h"

struct ValidationIssue {
    bool error;         // false: a warning (the world works, but something may look wrong)
    std::string where;  // "room 2 portal 0", "model 1 triangle 40", "texture 3"...
    std::string what;
};

// textureCount < 0 when no texture list is known: texture indices are then not checked.
std::vector<ValidationIssue> validateWorld(const World& world, int textureCount);

// Reads the texture list and every image it names. Relative image names are resolved against the
// list's folder, where the demo runs. `count` receives the number of names (-1 if unreadable).
std::vector<ValidationIssue> validateTextureList(const std::string& listPath, int* count);

// One line per issue: "error: room 2 portal 0: ..." / "warning: ...".
std::string formatIssues(const std::vector<ValidationIssue>& issues);
std::string formatIssuesJson(const std::vector<ValidationIssue>& issues);
