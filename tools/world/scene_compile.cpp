// The world compiler's driver: parses the scene in dependency order (materials and textures,
// then models, rooms, doors), generates room geometry, and assembles the World records.
#include "tools/world/scene_compile.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/world/scene_internal.h"
#include "world/alloc.h"
#include "tools/world/world_checks.h"
#include "world/world_file.h"

namespace {

Vec3* newVec(const Vec3& v) {
    Vec3* p = allocRecords<Vec3>(1);
    *p = v;
    return p;
}

Triangle* newTriangle(Vec3** pool, const uint32_t v[3], const float uv[3][2], const int32_t adj[3],
                      uint16_t material, uint16_t texture) {
    Triangle* t = allocRecords<Triangle>(1);
    for (int k = 0; k < 3; ++k) {
        t->v[k] = v[k];
        t->uv[k][0] = uv[k][0];
        t->uv[k][1] = uv[k][1];
        t->adj[k] = adj[k];
    }
    t->material = material;
    t->texture = texture;
    planeFromPoints(*pool[v[0]], *pool[v[1]], *pool[v[2]], t->plane);
    return t;
}

// Models over 32767 triangles become consecutive parts, each with the vertices it uses. A
// neighbour in another part becomes an open edge; each entity of the model gets one entity per
// part, and since all parts share one placement, the side faces their shadow volumes gain along
// a cut cancel out in the stencil count, so the shadow is that of the whole model.
void assembleModels(SceneBuild& b, World* w, const JsonAt& root) {
    size_t total = 0;
    for (ModelBuild& m : b.models) {
        m.partCount = static_cast<uint16_t>((m.mesh.triangles.size() + kMaxRecordTriangles - 1) / kMaxRecordTriangles);
        m.firstIndex = static_cast<uint16_t>(total);
        total += m.partCount;
        if (total > 32767)
            root["models"].fail("more than 32767 model records (large models count once per " +
                                std::to_string(kMaxRecordTriangles) + " triangles)");
        if (m.partCount > 1)
            b.warnings.push_back("model \"" + m.name + "\" has " + std::to_string(m.mesh.triangles.size()) +
                                 " triangles and is stored as " + std::to_string(m.partCount) + " parts");
    }
    w->modelCount = static_cast<int16_t>(total);
    w->models = allocRecords<Model*>(total);
    for (const ModelBuild& m : b.models) {
        const size_t n = m.mesh.triangles.size();
        for (size_t part = 0; part < m.partCount; ++part) {
            const size_t first = part * kMaxRecordTriangles, last = std::min(n, first + kMaxRecordTriangles);
            Model* model = allocRecords<Model>(1);
            std::vector<uint32_t> remap(m.mesh.positions.size(), UINT32_MAX);
            std::vector<uint32_t> used;
            for (size_t t = first; t < last; ++t)
                for (uint32_t v : m.mesh.triangles[t].v)
                    if (remap[v] == UINT32_MAX) {
                        remap[v] = static_cast<uint32_t>(used.size());
                        used.push_back(v);
                    }
            model->vertexCount = static_cast<uint32_t>(used.size());
            model->vertices = allocRecords<Vec3*>(used.size());
            for (size_t i = 0; i < used.size(); ++i) model->vertices[i] = newVec(m.mesh.positions[used[i]]);
            model->triangleCount = static_cast<int16_t>(last - first);
            model->triangles = allocRecords<Triangle*>(last - first);
            for (size_t t = first; t < last; ++t) {
                const MeshTri& src = m.mesh.triangles[t];
                uint32_t v[3];
                int32_t adj[3];
                for (int k = 0; k < 3; ++k) {
                    v[k] = remap[src.v[k]];
                    const int32_t a = src.adj[k];
                    adj[k] = (a >= 0 && size_t(a) >= first && size_t(a) < last) ? int32_t(a - first) : -1;
                }
                model->triangles[t - first] = newTriangle(model->vertices, v, src.uv, adj, m.material, m.texture);
            }
            w->models[m.firstIndex + part] = model;
        }
    }
}

// Limits of the file format, checked before anything is built so assembly cannot stop half-way.
void checkRoomLimits(const SceneBuild& b) {
    for (const RoomBuild& src : b.rooms) {
        if (src.triangles.size() > kMaxRecordTriangles)
            throw SceneError(src.path, "room \"" + src.name + "\" has " + std::to_string(src.triangles.size()) +
                                           " triangles; a room holds at most " + std::to_string(kMaxRecordTriangles) + " (raise cellSize or split the room)");
        if (src.portals.size() > 32767) throw SceneError(src.path, "more than 32767 portals");
        size_t entities = 0;
        for (const EntityBuild& e : src.entities) entities += b.models[e.model].partCount;
        if (entities > 65535) throw SceneError(src.path, "more than 65535 entities");
    }
}

void assembleRooms(SceneBuild& b, World* w) {
    size_t vertices = 0;
    for (const RoomBuild& r : b.rooms) vertices += r.positions.size();
    w->vertexCount = static_cast<uint32_t>(vertices);
    w->vertices = allocRecords<Vec3*>(vertices);
    w->roomCount = static_cast<int16_t>(b.rooms.size());
    w->rooms = allocRecords<Room*>(b.rooms.size());
    uint32_t base = 0;
    for (size_t i = 0; i < b.rooms.size(); ++i) {
        const RoomBuild& src = b.rooms[i];
        for (size_t v = 0; v < src.positions.size(); ++v) w->vertices[base + v] = newVec(src.positions[v]);
        Room* room = allocRecords<Room>(1);
        room->world = w;
        room->boxMin = src.boxMin;
        room->boxMax = src.boxMax;
        for (int l = 0; l < 8; ++l) room->lights[l] = src.lights[l];
        room->triangleCount = static_cast<int16_t>(src.triangles.size());
        room->triangles = allocRecords<Triangle*>(src.triangles.size());
        const int32_t none[3] = {-1, -1, -1};
        for (size_t t = 0; t < src.triangles.size(); ++t) {
            const RoomTri& rt = src.triangles[t];
            const uint32_t v[3] = {rt.v[0] + base, rt.v[1] + base, rt.v[2] + base};
            room->triangles[t] = newTriangle(w->vertices, v, rt.uv, none, rt.material, rt.texture);
        }
        base += static_cast<uint32_t>(src.positions.size());
        room->portalCount = static_cast<int16_t>(src.portals.size());
        room->portals = allocRecords<Portal*>(src.portals.size());
        for (size_t p = 0; p < src.portals.size(); ++p) {
            Portal* portal = allocRecords<Portal>(1);
            portal->targetIndex = static_cast<uint16_t>(src.portals[p].target);
            portal->vertexCount = static_cast<int16_t>(src.portals[p].polygon.size());
            portal->vertices = allocRecords<Vec3*>(src.portals[p].polygon.size());
            for (size_t k = 0; k < src.portals[p].polygon.size(); ++k)
                portal->vertices[k] = newVec(src.portals[p].polygon[k]);
            room->portals[p] = portal;
        }
        // Entities in the author's order, the first at the head of the list.
        std::vector<Entity*> list;
        for (const EntityBuild& e : src.entities) {
            const ModelBuild& m = b.models[e.model];
            for (uint16_t part = 0; part < m.partCount; ++part) {
                Entity* ent = allocRecords<Entity>(1);
                ent->model = static_cast<uint16_t>(m.firstIndex + part);
                ent->position = e.position;
                ent->angles = e.angles;
                ent->flags = e.flags;
                ent->dirty = 0xFF;
                ent->litMask = allocRecords<uint8_t>(static_cast<size_t>(w->models[ent->model]->triangleCount));
                list.push_back(ent);
            }
        }
        for (size_t k = 0; k < list.size(); ++k) {
            list[k]->next = k + 1 < list.size() ? list[k + 1] : nullptr;
            list[k]->prev = k > 0 ? list[k - 1] : nullptr;
        }
        room->entities = list.empty() ? nullptr : list[0];
        w->rooms[i] = room;
    }
    resolvePortals(w);
}

// The validator's checks of where things stand, with the scene's names and paths: a misplaced
// entity stops the build; the rest (the camera's start included, which validate calls an error)
// are warnings, so a world in progress still builds.
void checkPlaces(SceneBuild& b, const World& w) {
    WorldNames names;
    for (const RoomBuild& r : b.rooms) {
        names.rooms.push_back(r.name);
        names.entities.emplace_back();
        for (const EntityBuild& e : r.entities)
            for (uint16_t part = 0; part < b.models[e.model].partCount; ++part) names.entities.back().push_back(e.path);
    }
    std::vector<ValidationIssue> issues;
    checkCameraStart(w, &names, issues);
    const size_t cameraIssues = issues.size();
    checkPlacement(w, &names, issues);
    for (size_t i = cameraIssues; i < issues.size(); ++i)
        if (issues[i].error) throw SceneError(issues[i].where, issues[i].what);
    checkShadowVolumes(w, &names, issues);
    for (const ValidationIssue& i : issues) b.warnings.push_back(i.where + ": " + i.what);
}

bool safeBaseName(const std::string& s) {
    if (s.empty() || s.size() > 64 || s[0] == '.') return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.') return false;
    return true;
}

void compile(SceneBuild& b, const SceneJson& json, CompiledScene& out) {
    const JsonAt root(json, "");
    root.expectObject({"name", "materials", "textures", "models", "rooms", "doors"});
    if (root.has("name")) {
        b.baseName = root["name"].string();
        if (!safeBaseName(b.baseName))
            root["name"].fail("the output name uses letters, digits, '_', '-' and '.' only");
    }
    if (root.has("materials")) parseMaterials(b, root["materials"]);
    if (root.has("textures")) parseTextures(b, root["textures"]);
    if (root.has("models")) parseModels(b, root["models"]);
    parseRooms(b, root["rooms"]);
    if (root.has("doors")) parseDoors(b, root["doors"]);
    separateSharedWalls(b);
    generateRoomGeometry(b);
    checkModelUse(b);
    if (b.rooms[0].entities.empty())
        b.warnings.push_back("rooms[0]: room \"" + b.rooms[0].name +
                             "\" has no entities; the demo spins the first entity of the first room");
    else if (b.models[b.rooms[0].entities[0].model].partCount > 1)
        b.warnings.push_back("rooms[0].entities[0]: the demo spins only the first part of a split model");

    World* w = allocRecords<World>(1);
    initLightIds(w);
    w->boundTexture = w->boundMaterial = -1;
    out.world = w;
    w->materialCount = static_cast<uint16_t>(b.materials.size());
    w->materials = allocRecords<Material>(b.materials.size());
    for (size_t i = 0; i < b.materials.size(); ++i) w->materials[i] = b.materials[i];
    assembleModels(b, w, root);
    checkRoomLimits(b);
    assembleRooms(b, w);
    checkPlaces(b, *w);
    w->textureCount = static_cast<int16_t>(b.images.size());
    out.baseName = b.baseName;
    out.textureNames = b.textureNames;
    out.images = std::move(b.images);
    out.warnings = b.warnings;
    out.notes = b.notes;
}

}  // namespace

bool compileSceneText(const std::string& text, const std::string& baseDir, CompiledScene& out,
                      std::string& error) {
    releaseCompiledScene(out);
    SceneBuild b;
    b.baseDir = baseDir;
    try {
        compile(b, parseSceneText(text), out);
        out.inputs = b.inputs;
        return true;
    } catch (const SceneError& e) {
        error = e.what();
    } catch (const std::exception& e) {
        error = std::string("cannot compile the scene: ") + e.what();
    }
    releaseCompiledScene(out);
    out.inputs = b.inputs;
    return false;
}

bool compileSceneFile(const std::string& path, CompiledScene& out, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, bytes)) {
        error = "cannot read \"" + path + "\"";
        return false;
    }
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
    const bool ok = compileSceneText(std::string(bytes.begin(), bytes.end()), dir, out, error);
    if (!ok) error = path + ": " + error;
    return ok;
}

namespace {

bool makeDirs(const std::string& dir, std::string& error) {
    std::string partial;
    size_t pos = 0;
    while (pos <= dir.size()) {
        const size_t next = dir.find('/', pos);
        partial = dir.substr(0, next == std::string::npos ? dir.size() : next);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot create folder \"" + partial + "\": " + std::strerror(errno);
            return false;
        }
        if (next == std::string::npos) break;
        pos = next + 1;
    }
    return true;
}

}  // namespace

bool writeCompiledScene(const CompiledScene& scene, const std::string& dir, std::string& error) {
    if (!scene.world) {
        error = "nothing compiled";
        return false;
    }
    const std::string root = dir.empty() ? "." : dir;
    std::vector<std::pair<std::string, std::vector<unsigned char>>> files;
    files.push_back({root + "/" + scene.baseName + ".kbw", serializeWorld(*scene.world)});
    files.push_back({root + "/" + scene.baseName + ".ktl", textureListBytes(scene.textureNames)});
    for (size_t i = 0; i < scene.images.size(); ++i)
        files.push_back({root + "/" + scene.textureNames[i], rawImageBytes(scene.images[i])});
    if (!makeDirs(root, error) || (!scene.images.empty() && !makeDirs(root + "/textures", error)))
        return false;
    for (const auto& f : files) {
        if (!writeFileBytes(f.first + ".tmp", f.second, error)) {
            for (const auto& g : files) std::remove((g.first + ".tmp").c_str());
            return false;
        }
    }
    for (const auto& f : files) {
        if (std::rename((f.first + ".tmp").c_str(), f.first.c_str()) != 0) {
            error = "cannot rename \"" + f.first + ".tmp\": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void releaseCompiledScene(CompiledScene& scene) {
    if (scene.world) freeWorld(scene.world);
    scene = CompiledScene{};
}
