// World and texture list validation.
#include "tools/world/world_validate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "scene/entity.h"
#include "image/image_files.h"
#include "tools/world/world_checks.h"

namespace {

struct Report {
    std::vector<ValidationIssue> issues;
    void error(const std::string& where, const std::string& what) { issues.push_back({true, where, what}); }
    void warn(const std::string& where, const std::string& what) { issues.push_back({false, where, what}); }
};

std::string str(int v) { return std::to_string(v); }

bool samePos(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// Indices of one triangle against its pool and the world's tables.
bool checkTriangle(Report& r, const std::string& where, const Triangle& t, uint32_t vertexCount,
                   const World& w, int textureCount) {
    bool ok = true;
    for (int k = 0; k < 3; ++k)
        if (t.v[k] >= vertexCount) {
            r.error(where, "vertex index " + std::to_string(t.v[k]) + " is beyond the " +
                               std::to_string(vertexCount) + "-vertex pool");
            ok = false;
        }
    if (t.material >= w.materialCount)
        r.error(where, "material " + str(t.material) + " is beyond the " + str(w.materialCount) + " materials");
    if (textureCount >= 0 && t.texture >= textureCount)
        r.error(where, "texture " + str(t.texture) + " is beyond the " + str(textureCount) + " textures");
    return ok;
}

void checkModel(Report& r, const World& w, int m, int textureCount) {
    const Model& model = *w.models[m];
    const std::string name = "model " + str(m);
    const int n = model.triangleCount;
    std::vector<bool> usable(n > 0 ? n : 0);
    for (int i = 0; i < n; ++i) {
        const Triangle& t = *model.triangles[i];
        const std::string where = name + " triangle " + str(i);
        usable[i] = checkTriangle(r, where, t, model.vertexCount, w, textureCount);
        if (usable[i] && t.plane.nx == 0 && t.plane.ny == 0 && t.plane.nz == 0)
            r.warn(where, "has no area, so no face plane; it neither lights nor casts shadows");
    }
    int open = 0;
    for (int i = 0; i < n; ++i) {
        if (!usable[i]) continue;
        const Triangle& t = *model.triangles[i];
        for (int k = 0; k < 3; ++k) {
            const int32_t a = t.adj[k];
            const std::string where = name + " triangle " + str(i) + " edge " + str(k);
            if (a == -1) {
                ++open;
                continue;
            }
            if (a < -1 || a >= n) {
                r.error(where, "neighbour " + str(a) + " is neither -1 nor one of the " + str(n) + " triangles");
                continue;
            }
            if (a == i) {
                r.error(where, "names its own triangle as neighbour");
                continue;
            }
            if (!usable[a]) continue;
            // The neighbour must hold the same edge, the other way round, and point back here.
            const Triangle& o = *model.triangles[a];
            const Vec3& p0 = *model.vertices[t.v[k]];
            const Vec3& p1 = *model.vertices[t.v[(k + 1) % 3]];
            int shared = -1;
            for (int j = 0; j < 3 && shared < 0; ++j)
                if (samePos(*model.vertices[o.v[j]], p1) && samePos(*model.vertices[o.v[(j + 1) % 3]], p0)) shared = j;
            if (shared < 0)
                r.error(where, "neighbour " + str(a) + " does not have this edge (reversed, as a consistently wound neighbour would)");
            else if (o.adj[shared] != i)
                r.error(where, "neighbour " + str(a) + " names " + str(o.adj[shared]) + " across the shared edge, not " + str(i) +
                                   " (adjacency not symmetric)");
        }
    }
    if (open) r.warn(name, str(open) + " open edges: the model is not closed and shadows from it may leak");
}

void checkPortal(Report& r, const World& w, int ri, int pi) {
    const Room& room = *w.rooms[ri];
    const Portal& p = *room.portals[pi];
    const std::string where = "room " + str(ri) + " portal " + str(pi);
    if (p.vertexCount < 3) {
        r.error(where, "has " + str(p.vertexCount) + " vertices; a portal needs at least 3");
        return;
    }
    int target = -1;
    for (int i = 0; i < w.roomCount; ++i)
        if (w.rooms[i] == p.target) target = i;
    if (target < 0) {
        r.error(where, "does not lead into one of the world's rooms");
        return;
    }
    if (target == ri) r.error(where, "leads into its own room");
    Plane pl;
    planeFromPoints(*p.vertices[0], *p.vertices[1], *p.vertices[2], pl);
    if (pl.nx == 0 && pl.ny == 0 && pl.nz == 0) {
        r.error(where, "its first three vertices are in a line, so it has no plane");
    } else {
        const Vec3 c{(room.boxMin.x + room.boxMax.x) / 2, (room.boxMin.y + room.boxMax.y) / 2,
                     (room.boxMin.z + room.boxMax.z) / 2};
        if (!(planeValue(pl, c) > 0))
            r.error(where, "is wound away from its room: the face normal of its first three vertices must point back into room " + str(ri));
    }
    // The target's box must touch the portal: every vertex on or inside it, within rounding.
    const Room& t = *w.rooms[target];
    for (int k = 0; k < p.vertexCount; ++k) {
        const Vec3& v = *p.vertices[k];
        bool inside = true;
        for (int a = 0; a < 3; ++a) {
            const float eps = 1e-3f * std::fmax(1.0f, std::fabs(v[a]));
            inside = inside && v[a] >= std::fmin(t.boxMin[a], t.boxMax[a]) - eps &&
                     v[a] <= std::fmax(t.boxMin[a], t.boxMax[a]) + eps;
        }
        if (!inside) {
            char buf[200];
            std::snprintf(buf, sizeof buf, "vertex %d (%g %g %g) is outside the box of room %d it opens into", k, v.x, v.y, v.z, target);
            r.error(where, buf);
            break;
        }
    }
}

void checkRoom(Report& r, const World& w, int ri, int textureCount) {
    const Room& room = *w.rooms[ri];
    const std::string name = "room " + str(ri);
    if (!(room.boxMin.x <= room.boxMax.x && room.boxMin.y <= room.boxMax.y && room.boxMin.z <= room.boxMax.z))
        r.error(name, "box minimum is above its maximum");
    for (int i = 0; i < room.triangleCount; ++i)
        checkTriangle(r, name + " triangle " + str(i), *room.triangles[i], w.vertexCount, w, textureCount);
    int k = 0;
    for (const Entity* e = room.entities; e; e = e->next, ++k) {
        if (e->model >= w.modelCount)
            r.error(name + " entity " + str(k), "model " + str(e->model) + " is beyond the " + str(w.modelCount) + " models");
        if (e->next && e->next->prev != e) r.error(name + " entity " + str(k), "list links are inconsistent");
    }
    for (int p = 0; p < room.portalCount; ++p) checkPortal(r, w, ri, p);
}

}  // namespace

std::vector<ValidationIssue> validateWorld(const World& w, int textureCount) {
    Report r;
    if (w.roomCount <= 0) r.error("world", "has no rooms");
    else if (!w.rooms[0]->entities)
        r.error("room 0", "holds no entity; the demo spins the first entity of room 0");
    for (int m = 0; m < w.modelCount; ++m) checkModel(r, w, m, textureCount);
    for (int i = 0; i < w.roomCount; ++i) checkRoom(r, w, i, textureCount);
    checkCameraStart(w, nullptr, r.issues);
    checkPlacement(w, nullptr, r.issues);
    checkShadowVolumes(w, nullptr, r.issues);
    return r.issues;
}

std::vector<ValidationIssue> validateTextureList(const std::string& listPath, int* count) {
    Report r;
    *count = -1;
    std::vector<unsigned char> bytes;
    if (!readFileBytes(listPath, bytes)) {
        r.error("texture list", "cannot read \"" + listPath + "\"");
        return r.issues;
    }
    std::vector<std::string> names;
    std::string why;
    if (!parseTextureList(bytes, names, why)) {
        r.error("texture list", why);
        return r.issues;
    }
    *count = static_cast<int>(names.size());
    const size_t slash = listPath.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : listPath.substr(0, slash + 1);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string where = "texture " + std::to_string(i) + " \"" + names[i] + "\"";
        const std::string path = !names[i].empty() && names[i][0] == '/' ? names[i] : dir + names[i];
        std::vector<unsigned char> img;
        Image image;
        if (names[i].empty() || !readFileBytes(path, img)) {
            r.error(where, "cannot read \"" + path + "\"");
        } else if (!parseRawImage(img, image, why)) {
            r.error(where, why);
        } else if (image.width == 0 || image.height == 0) {
            r.error(where, "image is " + str(image.width) + "x" + str(image.height) + " and has no pixels");
        } else if ((image.width & (image.width - 1)) || (image.height & (image.height - 1))) {
            r.warn(where, str(image.width) + "x" + str(image.height) + " is not a power of two on each side; OpenGL 1.1 may refuse it");
        }
    }
    return r.issues;
}

std::string formatIssues(const std::vector<ValidationIssue>& issues) {
    std::string out;
    for (const ValidationIssue& i : issues)
        out += std::string(i.error ? "error: " : "warning: ") + i.where + ": " + i.what + "\n";
    return out;
}

std::string formatIssuesJson(const std::vector<ValidationIssue>& issues) {
    nlohmann::ordered_json j;
    size_t errors = 0;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ValidationIssue& i : issues) {
        errors += i.error;
        list.push_back({{"severity", i.error ? "error" : "warning"}, {"where", i.where}, {"message", i.what}});
    }
    j["valid"] = errors == 0;
    j["errors"] = errors;
    j["warnings"] = issues.size() - errors;
    j["issues"] = list;
    return j.dump(2) + "\n";
}
