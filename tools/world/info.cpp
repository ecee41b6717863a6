// The `info` verb: a readable (or JSON) summary of a world file.
#include <cstdio>
#include <cstring>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tools/world/verbs.h"
#include "world/world_file.h"

namespace {

using nlohmann::ordered_json;

ordered_json vec(const Vec3& v) { return ordered_json::array({v.x, v.y, v.z}); }

// The room index of a resolved portal target.
int roomIndex(const World& world, const Room* room) {
    for (int i = 0; i < world.roomCount; ++i)
        if (world.rooms[i] == room) return i;
    return -1;
}

// Edges of a model with no neighbour: where its shadow volume can leak.
int openEdges(const Model& m) {
    int open = 0;
    for (int t = 0; t < m.triangleCount; ++t)
        for (int32_t a : m.triangles[t]->adj) open += a < 0;
    return open;
}

ordered_json worldJson(const World& world) {
    ordered_json j;
    j["vertexCount"] = world.vertexCount;
    j["materialCount"] = world.materialCount;
    j["modelCount"] = world.modelCount;
    j["roomCount"] = world.roomCount;
    ordered_json models = ordered_json::array();
    for (int m = 0; m < world.modelCount; ++m)
        models.push_back({{"index", m},
                          {"vertexCount", world.models[m]->vertexCount},
                          {"triangleCount", world.models[m]->triangleCount},
                          {"openEdges", openEdges(*world.models[m])}});
    j["models"] = models;
    ordered_json rooms = ordered_json::array();
    for (int r = 0; r < world.roomCount; ++r) {
        const Room& room = *world.rooms[r];
        ordered_json jr;
        jr["index"] = r;
        jr["boxMin"] = vec(room.boxMin);
        jr["boxMax"] = vec(room.boxMax);
        ordered_json lights = ordered_json::array();
        for (int i = 0; i < 8; ++i) {
            const RoomLight& l = room.lights[i];
            if (!l.enabled) continue;
            lights.push_back({{"slot", i},
                              {"enabled", l.enabled},
                              {"type", l.type == kLightDirectional ? "directional" : "positional"},
                              {"position", vec({l.position[0], l.position[1], l.position[2]})}});
        }
        jr["lights"] = lights;
        ordered_json entities = ordered_json::array();
        for (const Entity* e = room.entities; e; e = e->next)
            entities.push_back({{"model", e->model},
                                {"position", vec(e->position)},
                                {"angles", vec(e->angles)},
                                {"flags", e->flags}});
        jr["entities"] = entities;
        jr["triangleCount"] = room.triangleCount;
        ordered_json portals = ordered_json::array();
        for (int p = 0; p < room.portalCount; ++p)
            portals.push_back({{"target", roomIndex(world, room.portals[p]->target)},
                               {"vertexCount", room.portals[p]->vertexCount}});
        jr["portals"] = portals;
        rooms.push_back(jr);
    }
    j["rooms"] = rooms;
    return j;
}

std::string flagText(uint8_t flags) {
    std::string s = std::to_string(flags);
    if (flags & kEntityTranslucent) s += " translucent";
    if (flags & kEntityHidden) s += " hidden";
    return s;
}

}  // namespace

std::string describeWorldJson(const World& world) { return worldJson(world).dump(2) + "\n"; }

std::string describeWorld(const World& world) {
    std::ostringstream out;
    char line[256];
    auto v3 = [&](const Vec3& v) {
        std::snprintf(line, sizeof line, "(%g, %g, %g)", v.x, v.y, v.z);
        return std::string(line);
    };
    out << "vertices " << world.vertexCount << ", materials " << world.materialCount
        << ", models " << world.modelCount << ", rooms " << world.roomCount << "\n";
    for (int m = 0; m < world.modelCount; ++m)
        out << "model " << m << ": " << world.models[m]->vertexCount << " vertices, "
            << world.models[m]->triangleCount << " triangles, " << openEdges(*world.models[m])
            << " open edges\n";
    for (int r = 0; r < world.roomCount; ++r) {
        const Room& room = *world.rooms[r];
        out << "room " << r << ": box " << v3(room.boxMin) << " to " << v3(room.boxMax) << ", "
            << room.triangleCount << " triangles\n";
        for (int i = 0; i < 8; ++i) {
            const RoomLight& l = room.lights[i];
            if (!l.enabled) continue;
            out << "  light " << i << ": " << (l.type == kLightDirectional ? "directional" : "positional")
                << " at " << v3({l.position[0], l.position[1], l.position[2]})
                << (l.enabled == kLightShadowing ? "" : " (no shadows)") << "\n";
        }
        for (const Entity* e = room.entities; e; e = e->next)
            out << "  entity: model " << e->model << " at " << v3(e->position) << " angles "
                << v3(e->angles) << " flags " << flagText(e->flags) << "\n";
        for (int p = 0; p < room.portalCount; ++p)
            out << "  portal " << p << ": to room " << roomIndex(world, room.portals[p]->target)
                << ", " << room.portals[p]->vertexCount << " vertices\n";
    }
    return out.str();
}

int infoMain(int argc, char** argv) {
    bool json = false;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--json"))
            json = true;
        else if (!file)
            file = argv[i];
        else {
            std::fprintf(stderr, "quorvel-world info: unexpected argument \"%s\"\n", argv[i]);
            return 1;
        }
    }
    if (!file) {
        std::fprintf(stderr, "usage: quorvel-world info [--json] WORLD.kbw\n");
        return 1;
    }
    World* world = loadWorld(file);
    if (!world) {
        std::fprintf(stderr, "quorvel-world info: %s: %s\n", file, worldLoadError());
        return 1;
    }
    const std::string text = json ? describeWorldJson(*world) : describeWorld(*world);
    std::fputs(text.c_str(), stdout);
    freeWorld(world);
    return 0;
}
