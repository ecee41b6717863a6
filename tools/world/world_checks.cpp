// Placement and shadow-volume checks (see world_checks.h).
#include "tools/world/world_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scene/entity.h"

namespace {

const float kEps = 1e-3f;

std::string fmt(const char* f, double a, double b, double c) {
    char buf[96];
    std::snprintf(buf, sizeof buf, f, a, b, c);
    return buf;
}

std::string point(const Vec3& p) { return fmt("(%g, %g, %g)", p.x, p.y, p.z); }

std::string roomLabel(const WorldNames* names, int r) {
    const std::string path = "rooms[" + std::to_string(r) + "]";
    if (names && size_t(r) < names->rooms.size()) return "room \"" + names->rooms[size_t(r)] + "\" (" + path + ")";
    return "room " + std::to_string(r) + " (" + path + ")";
}

std::string boxText(const Room& r) { return point(r.boxMin) + " to " + point(r.boxMax); }

std::string entityWhere(const WorldNames* names, int r, int k) {
    if (names && size_t(r) < names->entities.size() && size_t(k) < names->entities[size_t(r)].size())
        return names->entities[size_t(r)][size_t(k)];
    return "room " + std::to_string(r) + " entity " + std::to_string(k);
}

bool inBox(const Room& r, const Vec3& p, float eps) {
    for (int a = 0; a < 3; ++a)
        if (!(p[a] >= r.boxMin[a] - eps && p[a] <= r.boxMax[a] + eps)) return false;
    return true;
}

// The stretch of the ray from `from` along `dir` (t > 0) inside the box, as [t0, t1]; false when
// it misses the box's inside.
bool rayThroughBox(const Vec3& from, const Vec3& dir, const Vec3& lo, const Vec3& hi, float& t0, float& t1) {
    t0 = 0.0f;
    t1 = INFINITY;
    for (int axis = 0; axis < 3; ++axis) {
        if (dir[axis] == 0.0f) {
            if (!(lo[axis] < from[axis] && from[axis] < hi[axis])) return false;
            continue;
        }
        float a = (lo[axis] - from[axis]) / dir[axis], b = (hi[axis] - from[axis]) / dir[axis];
        if (a > b) std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
    }
    return t1 > t0 + 1e-4f;
}

}  // namespace

void checkCameraStart(const World& w, const WorldNames* names, std::vector<ValidationIssue>& out) {
    if (w.roomCount <= 0) return;
    const Room& r = *w.rooms[0];
    for (int a = 0; a < 3; ++a)
        if (!(r.boxMin[a] < 0 && r.boxMax[a] > 0)) {
            out.push_back({true, names ? "rooms[0]" : "room 0",
                           "the camera starts at the origin (0, 0, 0), which is not strictly inside " + roomLabel(names, 0) +
                               ", box " + boxText(r) +
                               ": the first frame is drawn from outside every room. Place room 0 so that its "
                               "box holds the origin clear of its floor, ceiling and walls"});
            return;
        }
}

void checkPlacement(const World& w, const WorldNames* names, std::vector<ValidationIssue>& out) {
    for (int ri = 0; ri < w.roomCount; ++ri) {
        const Room& room = *w.rooms[ri];
        for (int l = 0; l < 8; ++l) {
            const RoomLight& light = room.lights[l];
            if (light.enabled == 0 || light.type != 0) continue;
            const Vec3 p{light.position[0], light.position[1], light.position[2]};
            if (inBox(room, p, kEps)) continue;
            const std::string where = names ? "rooms[" + std::to_string(ri) + "].lights[" + std::to_string(l) + "]"
                                            : "room " + std::to_string(ri) + " light " + std::to_string(l);
            out.push_back({false, where,
                           "the light at " + point(p) + " is outside the box of " + roomLabel(names, ri) + ", " +
                               boxText(room) + ": it lights the room from beyond its walls; move it inside the box"});
        }
        int k = 0;
        for (const Entity* e = room.entities; e; e = e->next, ++k) {
            if (inBox(room, e->position, kEps)) continue;
            int standsIn = -1;
            for (int o = 0; o < w.roomCount && standsIn < 0; ++o)
                if (inBox(*w.rooms[o], e->position, kEps)) standsIn = o;
            const std::string where = entityWhere(names, ri, k);
            if (standsIn < 0) {
                out.push_back({true, where,
                               "stands at " + point(e->position) + ", outside every room; it is listed in " +
                                   roomLabel(names, ri) + ": move it inside that room's box, " + boxText(room)});
            } else {
                out.push_back({false, where,
                               "stands at " + point(e->position) + " in " + roomLabel(names, standsIn) +
                                   " but is listed in " + roomLabel(names, ri) +
                                   ", so it is drawn and lit with that room: list it in rooms[" +
                                   std::to_string(standsIn) + "].entities, or move it inside " + boxText(room)});
            }
        }
    }
}

// Shadow volumes are not clipped to their room: each runs from the caster away from the slot-0
// light without end, through walls, and every pixel inside it is darkened whatever room that
// pixel shows. A caster whose volume passes into another room's box darkens that room's surfaces
// whenever both rooms are drawn in one frame (one seen through the other's door). The volume is
// traced by rays from the light through points along every edge of the model, spaced at most a
// quarter unit apart, which follows it closely enough to find such rooms.
void checkShadowVolumes(const World& w, const WorldNames* names, std::vector<ValidationIssue>& out) {
    for (int ri = 0; ri < w.roomCount; ++ri) {
        const Room& room = *w.rooms[ri];
        if (room.lights[0].enabled != kLightShadowing) continue;
        const Vec3 light{room.lights[0].position[0], room.lights[0].position[1], room.lights[0].position[2]};
        int k = 0;
        for (const Entity* e = room.entities; e; e = e->next, ++k) {
            if ((e->flags & kEntityHidden) || e->model >= w.modelCount) continue;
            const Model& model = *w.models[e->model];
            float m[16];
            rotationMatrix(e->angles, m);
            auto place = [&](const Vec3& v) {
                return Vec3{e->position.x + m[0] * v.x + m[4] * v.y + m[8] * v.z,
                            e->position.y + m[1] * v.x + m[5] * v.y + m[9] * v.z,
                            e->position.z + m[2] * v.x + m[6] * v.y + m[10] * v.z};
            };
            std::vector<bool> reached(size_t(w.roomCount), false);
            std::vector<Vec3> where(size_t(w.roomCount));
            for (int t = 0; t < model.triangleCount; ++t) {
                const Triangle& tri = *model.triangles[t];
                for (int c = 0; c < 3; ++c) {
                    if (tri.v[c] >= model.vertexCount || tri.v[(c + 1) % 3] >= model.vertexCount) continue;
                    if (tri.adj[c] >= 0 && tri.adj[c] < t) continue;  // traced from its neighbour already
                    const Vec3 a = place(*model.vertices[tri.v[c]]), b = place(*model.vertices[tri.v[(c + 1) % 3]]);
                    const float length =
                        std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
                    const int steps = std::min(1000, 1 + static_cast<int>(length / 0.25f));
                    for (int i = 0; i < steps; ++i) {  // the far end is the next edge's start
                        const float f = static_cast<float>(i) / steps;
                        const Vec3 p{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
                        const Vec3 dir{p.x - light.x, p.y - light.y, p.z - light.z};
                        for (int o = 0; o < w.roomCount; ++o) {
                            float t0, t1;
                            if (o == ri || reached[size_t(o)] ||
                                !rayThroughBox(p, dir, w.rooms[o]->boxMin, w.rooms[o]->boxMax, t0, t1))
                                continue;
                            const float mid = (t0 + t1) / 2;
                            reached[size_t(o)] = true;
                            where[size_t(o)] = {p.x + dir.x * mid, p.y + dir.y * mid, p.z + dir.z * mid};
                        }
                    }
                }
            }
            std::string list;
            int count = 0;
            for (int o = 0; o < w.roomCount; ++o)
                if (reached[size_t(o)]) {
                    list += std::string(count ? ", " : "") + roomLabel(names, o) + " at " + point(where[size_t(o)]);
                    ++count;
                }
            if (count)
                out.push_back({false, entityWhere(names, ri, k),
                               "its shadow volume reaches into " + list + ": it darkens " +
                                   (count > 1 ? "those rooms" : "that room") + " whenever " +
                                   (count > 1 ? "they are" : "it is") + " drawn with " + roomLabel(names, ri) +
                                   "; lower the object, move it nearer the light or away from that side, raise the "
                                   "light, or turn the light's shadows off"});
        }
    }
}
