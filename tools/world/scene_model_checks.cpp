// Warnings about models as the rooms use them: where a used model's holes are (in the file's
// units and in the world), entities that stick out of their room's box, and a room's shadow light
// inside an entity's bounds, which can drown the whole room in shadow.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scene/entity.h"
#include "tools/world/mesh_holes.h"
#include "tools/world/scene_internal.h"

namespace {

const float kEps = 1e-3f;
const size_t kHolesListed = 8;

std::string pointText(const Vec3& p) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%g, %g, %g)", p.x, p.y, p.z);
    return buf;
}

// A compiled model point back in the coordinates its file gives: undo the fit and shift, the
// rotations (z, then y, then x) and the scale.
Vec3 fileUnits(const ModelBuild& m, const Vec3& p) {
    if (!m.fromFile) return p;
    double x = (double(p.x) - m.shift.x) / m.fit, y = (double(p.y) - m.shift.y) / m.fit,
           z = (double(p.z) - m.shift.z) / m.fit;
    const double k = 3.14159265358979323846 / 180.0;
    const double az = -m.placed.rotate.z * k, ay = -m.placed.rotate.y * k, ax = -m.placed.rotate.x * k;
    double x1 = x * std::cos(az) - y * std::sin(az), y1 = x * std::sin(az) + y * std::cos(az);
    x = x1;
    y = y1;
    x1 = x * std::cos(ay) + z * std::sin(ay);
    double z1 = -x * std::sin(ay) + z * std::cos(ay);
    x = x1;
    z = z1;
    y1 = y * std::cos(ax) - z * std::sin(ax);
    z1 = y * std::sin(ax) + z * std::cos(ax);
    return {float(x / m.placed.scale.x), float(y1 / m.placed.scale.y), float(z1 / m.placed.scale.z)};
}

struct Placement {
    float m[16];
    Vec3 position;
    explicit Placement(const EntityBuild& e) : position(e.position) { rotationMatrix(e.angles, m); }
    Vec3 operator()(const Vec3& v) const {
        return {position.x + m[0] * v.x + m[4] * v.y + m[8] * v.z, position.y + m[1] * v.x + m[5] * v.y + m[9] * v.z,
                position.z + m[2] * v.x + m[6] * v.y + m[10] * v.z};
    }
};

void holeWarning(SceneBuild& b, const ModelBuild& model, const EntityBuild& user, size_t users) {
    size_t open = 0;
    for (const MeshTri& t : model.mesh.triangles)
        for (int32_t a : t.adj) open += a < 0;
    if (!open) return;
    const std::vector<std::vector<uint32_t>> loops = boundaryLoops(model.mesh);
    const Placement place(user);
    std::string where;
    for (size_t i = 0; i < loops.size() && i < kHolesListed; ++i) {
        const Vec3& p = model.mesh.positions[loops[i][0]];
        where += std::string(i ? "; " : ": ") + "hole " + std::to_string(i + 1) + " (" +
                 std::to_string(loops[i].size()) + " edges) at " + pointText(fileUnits(model, p)) +
                 (model.fromFile ? " in the file, " : " in the model, ") + pointText(place(p)) + " in the world";
    }
    if (loops.size() > kHolesListed) where += "; ...";
    b.warnings.push_back(model.path + ": model \"" + model.name + "\" has " + std::to_string(open) +
                         " open edges in " + std::to_string(loops.size()) + (loops.size() == 1 ? " hole" : " holes") +
                         ", so shadows from it may leak" + where + " (world points for " + user.path +
                         (users > 1 ? " and " + std::to_string(users - 1) + " more" : std::string()) + ")" +
                         (model.fromFile ? "; \"closeHoles\": true caps them" : ""));
}

void checkEntityBounds(SceneBuild& b, const RoomBuild& room) {
    for (const EntityBuild& e : room.entities) {
        const ModelBuild& model = b.models[e.model];
        const Placement place(e);
        Vec3 lo = place(model.mesh.positions[0]), hi = lo;
        for (const Vec3& v : model.mesh.positions) {
            const Vec3 p = place(v);
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
        }
        const std::string label = "room \"" + room.name + "\" (" + room.path + ")";
        const std::string span = pointText(lo) + " to " + pointText(hi);
        bool inside = true;
        for (int a = 0; a < 3; ++a) inside = inside && lo[a] >= room.boxMin[a] - kEps && hi[a] <= room.boxMax[a] + kEps;
        if (!inside)
            b.warnings.push_back(e.path + ": model \"" + model.name + "\" spans " + span + ", which sticks out of the box of " +
                                 label + ", " + pointText(room.boxMin) + " to " + pointText(room.boxMax) +
                                 "; fit the model with \"height\" or \"size\", or move it");
        // The shadow light (slot 0) inside a caster: every face of the caster faces away from it,
        // so its shadow volume wraps the light and darkens everything the room shows.
        const RoomLight& light = room.lights[0];
        if (light.enabled != kLightShadowing || (e.flags & kEntityHidden)) continue;
        const Vec3 p{light.position[0], light.position[1], light.position[2]};
        bool within = true;
        for (int a = 0; a < 3; ++a) within = within && p[a] > lo[a] && p[a] < hi[a];
        if (within)
            b.warnings.push_back(room.path + ".lights[0]: the shadow light of " + label + " at " + pointText(p) +
                                 " is inside the bounds of " + e.path + " (model \"" + model.name + "\", " + span +
                                 "): if the model closes around it, its shadow covers the whole room and the frame "
                                 "comes out black; make the model smaller or move the light out of it");
    }
}

}  // namespace

void checkModelUse(SceneBuild& b) {
    std::vector<const EntityBuild*> firstUser(b.models.size(), nullptr);
    std::vector<size_t> users(b.models.size(), 0);
    for (const RoomBuild& r : b.rooms)
        for (const EntityBuild& e : r.entities) {
            if (!users[e.model]++) firstUser[e.model] = &e;
        }
    for (size_t i = 0; i < b.models.size(); ++i)
        if (firstUser[i]) holeWarning(b, b.models[i], *firstUser[i], users[i]);
    for (const RoomBuild& r : b.rooms) checkEntityBounds(b, r);
}
