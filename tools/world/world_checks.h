// Checks of where things stand in a world: the camera's start, lights and entities against the
// room boxes, and shadow volumes against the other rooms. Shared by `validate`, which knows rooms
// by index, and `build`, which also knows their names and each entry's JSON path.
#pragma once

#include <string>
#include <vector>

#include "tools/world/world_validate.h"
#include "world/world.h"

// What the compiler knows about a world's entries, for messages.
struct WorldNames {
    std::vector<std::string> rooms;                  // room names, in file order
    std::vector<std::vector<std::string>> entities;  // per room, each entity's JSON path in list order
};

// The demo camera starts at the origin; it must stand strictly inside room 0 (an error).
void checkCameraStart(const World& world, const WorldNames* names, std::vector<ValidationIssue>& out);
// Point lights outside their room's box (warnings); entities outside every room (errors) or
// standing in another room than the one that lists them (warnings).
void checkPlacement(const World& world, const WorldNames* names, std::vector<ValidationIssue>& out);
// Shadow volumes that reach into other rooms' boxes (warnings), every such room named once with a
// point of it that the volume covers.
void checkShadowVolumes(const World& world, const WorldNames* names, std::vector<ValidationIssue>& out);
