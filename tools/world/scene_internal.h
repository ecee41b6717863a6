// Shared state of one scene compilation, used by the parts of the compiler (assets, rooms,
// assembly). Not part of the tools' interface.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "image/image_files.h"
#include "tools/world/mesh.h"
#include "tools/world/scene_json.h"
#include "world/world.h"

// A model as compiled: its mesh with adjacency, material and texture indices. A model with more
// triangles than one model record holds is stored as consecutive parts (see assembly).
struct ModelBuild {
    std::string name;
    std::string path;  // "models.name", for messages
    Mesh mesh;
    // How the mesh was placed from its file's coordinates: scale and rotate, then multiply by
    // `fit` and add `shift` (fitting and translate). Gives points in the file's units in messages.
    MeshTransform placed;
    float fit = 1;
    Vec3 shift{0, 0, 0};
    bool fromFile = false;
    size_t simplifiedFrom = 0;  // triangles before the budget applied; 0 when it did not
    size_t slivers = 0;         // triangles simplifying or fitting left with no area, removed
    uint16_t material = 0;
    uint16_t texture = 0;
    uint16_t firstIndex = 0;  // index of its first part in the world's model table
    uint16_t partCount = 1;
};

struct RoomTri {
    uint32_t v[3];  // the room's own pool; moved into the world pool at assembly
    float uv[3][2];
    uint16_t material, texture;
};

struct EntityBuild {
    size_t model;  // index into SceneBuild::models
    Vec3 position, angles;
    uint8_t flags;
    std::string path;  // "rooms[i].entities[k]", for messages
};

struct PortalBuild {
    size_t target;
    std::vector<Vec3> polygon;  // wound toward the owning room
};

// A rectangular opening cut into one generated wall: the wall's side (0 west, 1 east, 2 north,
// 3 south), the horizontal range along the wall and the vertical range.
struct Opening {
    int side;
    float a0, a1, y0, y1;
    std::string path;  // the door that made it, for messages
};

// One generated surface: whether it is there, its material, texture and texture scale (world
// units per repeat of the texture along u and v).
struct SurfaceSpec {
    bool present = true;
    uint16_t material = 0, texture = 0;
    float scaleU = 2, scaleV = 2;
};

// Surface slots of a generated room.
enum { kWest, kEast, kNorth, kSouth, kFloor, kCeiling };

struct RoomBuild {
    std::string name;
    std::string path;  // "rooms[i]"
    Vec3 boxMin, boxMax;
    RoomLight lights[8];
    std::vector<EntityBuild> entities;
    std::vector<PortalBuild> portals;
    std::vector<Opening> openings;
    std::vector<Vec3> positions;
    std::vector<RoomTri> triangles;
    bool generated = true;  // walls from the box (false: static geometry from OBJ)
    SurfaceSpec surfaces[6];
    float cellSize = 2;     // generated surfaces are split into cells about this size
    // How far each wall (kWest..kSouth) stands inside the box: non-zero where the wall backs onto
    // another room's and the two would otherwise lie in one plane (see separateSharedWalls).
    float inset[4] = {0, 0, 0, 0};
};

struct SceneBuild {
    std::string baseDir;
    std::string baseName = "demo";
    std::vector<Material> materials;
    std::map<std::string, uint16_t> materialIndex;
    std::vector<std::string> textureNames;
    std::vector<Image> images;
    std::map<std::string, uint16_t> textureIndex;
    std::vector<ModelBuild> models;
    std::map<std::string, size_t> modelIndex;
    std::vector<RoomBuild> rooms;
    std::map<std::string, size_t> roomIndex;
    std::vector<std::string> warnings;
    std::vector<std::string> notes;  // what the compiler did on its own account, for the build's output
    std::vector<std::string> inputs;  // every file the scene named that was read, as opened
    int defaultMaterial = -1;  // created on first use
    int defaultTexture = -1;
};

// A file named in the scene, resolved against the scene's folder unless absolute; noted in
// b.inputs, since it is about to be read.
std::string scenePath(SceneBuild& b, const std::string& name);

// Material and texture references: the named entry, or the default white one when absent.
uint16_t materialRef(SceneBuild& b, const JsonAt& owner);
uint16_t textureRef(SceneBuild& b, const JsonAt& owner);

void parseMaterials(SceneBuild& b, const JsonAt& materials);
void parseTextures(SceneBuild& b, const JsonAt& textures);
void parseModels(SceneBuild& b, const JsonAt& models);
// Reads the mesh of an OBJ-based model or room, with its optional transform.
Mesh loadObjWithTransform(SceneBuild& b, const JsonAt& entry);
// Triangles one model record holds: its count is a 16-bit signed number in the world file.
const size_t kMaxRecordTriangles = 32767;
// Warnings about models as the rooms use them: holes and crowded edges of models that entities
// use, entities sticking out of their room's box, and room lights inside an entity's bounds.
// Run after the rooms are parsed.
void checkModelUse(SceneBuild& b);

void parseRooms(SceneBuild& b, const JsonAt& rooms);
void parseDoors(SceneBuild& b, const JsonAt& doors);
// Moves one of each pair of back-to-back generated walls into its room where the two would
// overlap in one plane beside their doors; the moved wall's doors get jambs. Run after the doors.
void separateSharedWalls(SceneBuild& b);
// Floor, ceiling and walls (with door openings and jambs) of every generated room.
void generateRoomGeometry(SceneBuild& b);

// Orders a convex polygon so that the face normal of its first three vertices points into the
// room's box; fails (via `at`) when those three are collinear.
void windTowardRoom(std::vector<Vec3>& polygon, const RoomBuild& room, const JsonAt& at);
