// Scene rooms: boxes, light slots, surfaces or OBJ geometry, entities, explicit portals; and
// doors, which join two side-by-side rooms with an opening and a portal in each.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/world/scene_internal.h"

namespace {

const float kTouch = 1e-3f;  // how close two walls must be to count as one

size_t roomRefOf(const SceneBuild& b, const JsonAt& at) {
    if (at.json().is_number()) {
        const int i = at.integer(0, 32766);
        if (size_t(i) >= b.rooms.size()) at.fail("there is no room " + std::to_string(i));
        return size_t(i);
    }
    auto it = b.roomIndex.find(at.string());
    if (it == b.roomIndex.end()) at.fail("no room named \"" + at.string() + "\"");
    return it->second;
}

void setColour(float out[4], const Rgba& c) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

void parseLights(RoomBuild& room, const JsonAt& lights) {
    const size_t n = lights.size();
    if (n > 8) lights.fail("a room has 8 light slots; " + std::to_string(n) + " lights given");
    for (size_t i = 0; i < n; ++i) {
        const JsonAt l = lights.element(i);
        l.expectObject({"type", "position", "direction", "ambient", "diffuse", "specular", "enabled", "shadows"});
        RoomLight& out = room.lights[i];
        const std::string type = l.has("type") ? l["type"].string() : "point";
        if (type == "directional") {
            out.type = kLightDirectional;
            if (l.has("position")) l["position"].fail("a directional light has \"direction\", not \"position\"");
            const Vec3 d = l["direction"].vec3();  // towards the light, as OpenGL takes it
            if (d.x == 0 && d.y == 0 && d.z == 0) l["direction"].fail("direction must not be zero");
            out.position[0] = d.x, out.position[1] = d.y, out.position[2] = d.z;
        } else if (type == "point") {
            out.type = kLightPositional;
            if (l.has("direction")) l["direction"].fail("a point light has \"position\", not \"direction\"");
            const Vec3 c{(room.boxMin.x + room.boxMax.x) / 2, room.boxMin.y + 0.9f * (room.boxMax.y - room.boxMin.y),
                         (room.boxMin.z + room.boxMax.z) / 2};
            const Vec3 p = l.vec3("position", c);
            out.position[0] = p.x, out.position[1] = p.y, out.position[2] = p.z;
        } else {
            l["type"].fail("expected \"point\" or \"directional\"");
        }
        setColour(out.ambient, l.color("ambient", {0, 0, 0, 1}));
        setColour(out.diffuse, l.color("diffuse", {1, 1, 1, 1}));
        setColour(out.specular, l.color("specular", {1, 1, 1, 1}));
        // 1: lit and casting shadows; 2: lit only (the renderer finds silhouettes for 1 alone).
        const bool enabled = l.boolean("enabled", true), shadows = l.boolean("shadows", true);
        out.enabled = enabled ? (shadows ? kLightShadowing : kLightNoShadows) : kLightOff;
    }
}

void applySurface(SceneBuild& b, SurfaceSpec& s, const JsonAt& at) {
    if (at.json().is_null()) {
        s.present = false;
        return;
    }
    at.expectObject({"material", "texture", "scale"});
    s.present = true;
    if (at.has("material")) s.material = materialRef(b, at);
    if (at.has("texture")) s.texture = textureRef(b, at);
    if (at.has("scale")) {
        const JsonAt k = at["scale"];
        if (k.json().is_array()) {
            if (k.size() != 2) k.fail("expected a number or [u, v]");
            s.scaleU = k.element(0).numberIn(1e-3f, 1e6f);
            s.scaleV = k.element(1).numberIn(1e-3f, 1e6f);
        } else {
            s.scaleU = s.scaleV = k.numberIn(1e-3f, 1e6f);
        }
    }
}

void parseSurfaces(SceneBuild& b, RoomBuild& room, const JsonAt& room_) {
    SurfaceSpec base;
    base.material = materialRef(b, JsonAt(SceneJson::object(), room.path));
    base.texture = textureRef(b, JsonAt(SceneJson::object(), room.path));
    for (SurfaceSpec& s : room.surfaces) s = base;
    if (!room_.has("surfaces")) return;
    const JsonAt s = room_["surfaces"];
    s.expectObject({"walls", "floor", "ceiling", "west", "east", "north", "south"});
    if (s.has("walls"))
        for (int side : {kWest, kEast, kNorth, kSouth}) applySurface(b, room.surfaces[side], s["walls"]);
    const char* names[6] = {"west", "east", "north", "south", "floor", "ceiling"};
    for (int i = 0; i < 6; ++i)
        if (s.has(names[i])) applySurface(b, room.surfaces[i], s[names[i]]);
}

void addObjGeometry(SceneBuild& b, RoomBuild& room, const JsonAt& g) {
    g.expectObject({"obj", "material", "texture", "scale", "rotate", "translate"});
    const Mesh mesh = loadObjWithTransform(b, g);
    const uint16_t material = materialRef(b, g), texture = textureRef(b, g);
    PositionIndex pool(room.positions);
    for (size_t i = 0; i < mesh.triangles.size(); ++i) {
        const MeshTri& t = mesh.triangles[i];
        RoomTri out{};
        for (int k = 0; k < 3; ++k) {
            out.v[k] = pool.add(mesh.positions[t.v[k]]);
            out.uv[k][0] = t.uv[k][0];
            out.uv[k][1] = t.uv[k][1];
        }
        out.material = material;
        out.texture = texture;
        // The loader computes each face plane from the corners; a zero-area face has none.
        if (out.v[0] == out.v[1] || out.v[1] == out.v[2] || out.v[0] == out.v[2] ||
            degenerateTriangle(room.positions[out.v[0]], room.positions[out.v[1]], room.positions[out.v[2]]))
            g.fail("room \"" + room.name + "\": triangle " + std::to_string(i) + " is degenerate (zero area)");
        room.triangles.push_back(out);
    }
}

void parseEntities(SceneBuild& b, RoomBuild& room, const JsonAt& list) {
    const size_t n = list.size();
    for (size_t i = 0; i < n; ++i) {
        const JsonAt e = list.element(i);
        e.expectObject({"model", "position", "angles", "translucent", "hidden"});
        const JsonAt m = e["model"];
        auto it = b.modelIndex.find(m.string());
        if (it == b.modelIndex.end()) m.fail("no model named \"" + m.string() + "\"");
        EntityBuild out{};
        out.model = it->second;
        out.position = e["position"].vec3();
        out.angles = e.vec3("angles", {0, 0, 0});
        out.flags = static_cast<uint8_t>((e.boolean("translucent", false) ? kEntityTranslucent : 0) |
                                         (e.boolean("hidden", false) ? kEntityHidden : 0));
        out.path = e.path();
        room.entities.push_back(out);
    }
}

}  // namespace

void windTowardRoom(std::vector<Vec3>& poly, const RoomBuild& room, const JsonAt& at) {
    const size_t n = poly.size();
    if (n < 3) at.fail("a portal needs at least 3 vertices");
    const Vec3 c{(room.boxMin.x + room.boxMax.x) / 2, (room.boxMin.y + room.boxMax.y) / 2,
                 (room.boxMin.z + room.boxMax.z) / 2};
    for (int pass = 0; pass < 2; ++pass) {
        // The renderer takes the portal's plane from its first three vertices: start the polygon
        // at a corner where those are not in a line.
        size_t start = n;
        Plane pl{};
        for (size_t r = 0; r < n && start == n; ++r) {
            planeFromPoints(poly[r], poly[(r + 1) % n], poly[(r + 2) % n], pl);
            if (pl.nx != 0 || pl.ny != 0 || pl.nz != 0) start = r;
        }
        if (start == n) at.fail("portal polygon has no area");
        std::rotate(poly.begin(), poly.begin() + static_cast<ptrdiff_t>(start), poly.end());
        const float side = planeValue(pl, c);
        if (side > 0) return;
        if (side == 0) at.fail("portal plane passes through the centre of room \"" + room.name +
                               "\"; cannot tell which side faces the room");
        std::reverse(poly.begin(), poly.end());
    }
}

void parseRooms(SceneBuild& b, const JsonAt& rooms) {
    const size_t n = rooms.size();
    if (n == 0) rooms.fail("a world needs at least one room");
    if (n > 32767) rooms.fail("at most 32767 rooms");
    b.rooms.resize(n);
    for (size_t i = 0; i < n; ++i) {  // names first: portals and doors may refer forwards
        const JsonAt r = rooms.element(i);
        RoomBuild& room = b.rooms[i];
        room.path = r.path();
        room.name = r.has("name") ? r["name"].string() : "room" + std::to_string(i);
        if (!b.roomIndex.emplace(room.name, i).second)
            (r.has("name") ? r["name"] : r).fail("another room is already named \"" + room.name + "\"");
    }
    for (size_t i = 0; i < n; ++i) {
        const JsonAt r = rooms.element(i);
        RoomBuild& room = b.rooms[i];
        r.expectObject({"name", "min", "max", "lights", "surfaces", "geometry", "cellSize", "entities", "portals"});
        room.boxMin = r["min"].vec3();
        room.boxMax = r["max"].vec3();
        if (!(room.boxMin.x < room.boxMax.x && room.boxMin.y < room.boxMax.y && room.boxMin.z < room.boxMax.z))
            r["max"].fail("every component of max must be greater than min");
        if (r.has("lights")) parseLights(room, r["lights"]);
        if (r.has("geometry")) {
            if (r.has("surfaces")) r["surfaces"].fail("a room has either \"surfaces\" or \"geometry\", not both");
            room.generated = false;
            addObjGeometry(b, room, r["geometry"]);
        } else {
            parseSurfaces(b, room, r);
            room.cellSize = r.has("cellSize") ? r["cellSize"].numberIn(0.05f, 1e6f) : room.cellSize;
        }
        if (r.has("entities")) parseEntities(b, room, r["entities"]);
        if (r.has("portals")) {
            const JsonAt list = r["portals"];
            for (size_t k = 0; k < list.size(); ++k) {
                const JsonAt p = list.element(k);
                p.expectObject({"to", "vertices"});
                PortalBuild out;
                out.target = roomRefOf(b, p["to"]);
                if (out.target == i) p["to"].fail("a portal cannot lead into its own room");
                const JsonAt v = p["vertices"];
                for (size_t j = 0; j < v.size(); ++j) out.polygon.push_back(v.element(j).vec3());
                windTowardRoom(out.polygon, room, v);
                room.portals.push_back(std::move(out));
            }
        }
    }
}

void parseDoors(SceneBuild& b, const JsonAt& doors) {
    for (size_t i = 0; i < doors.size(); ++i) {
        const JsonAt d = doors.element(i);
        d.expectObject({"rooms", "width", "height", "at", "bottom"});
        const JsonAt pair = d["rooms"];
        if (pair.size() != 2) pair.fail("a door joins exactly two rooms");
        const size_t ia = roomRefOf(b, pair.element(0)), ib = roomRefOf(b, pair.element(1));
        if (ia == ib) pair.fail("a door joins two different rooms");
        RoomBuild& A = b.rooms[ia];
        RoomBuild& B = b.rooms[ib];
        // The shared wall: A's side on axis x or z touching B's opposite side.
        int axis = -1;
        bool aLow = false;  // the wall is A's minimum side
        for (int ax : {0, 2}) {
            if (std::fabs(A.boxMax[ax] - B.boxMin[ax]) <= kTouch) axis = ax, aLow = false;
            else if (std::fabs(A.boxMin[ax] - B.boxMax[ax]) <= kTouch) axis = ax, aLow = true;
            if (axis >= 0) break;
        }
        if (axis < 0)
            pair.fail("rooms \"" + A.name + "\" and \"" + B.name +
                      "\" share no wall (a door needs one room's x or z side to touch the other's)");
        const int along = axis == 0 ? 2 : 0;
        const float lo = std::max(A.boxMin[along], B.boxMin[along]), hi = std::min(A.boxMax[along], B.boxMax[along]);
        const float ylo = std::max(A.boxMin.y, B.boxMin.y), yhi = std::min(A.boxMax.y, B.boxMax.y);
        if (!(hi - lo > kTouch) || !(yhi - ylo > kTouch))
            pair.fail("the walls of \"" + A.name + "\" and \"" + B.name + "\" do not overlap");
        const float w = d["width"].numberIn(1e-3f, 1e6f), h = d["height"].numberIn(1e-3f, 1e6f);
        const float at = d.number("at", (lo + hi) / 2), bottom = d.number("bottom", ylo);
        const float a0 = at - w / 2, a1 = at + w / 2, y0 = bottom, y1 = bottom + h;
        if (a0 < lo - kTouch || a1 > hi + kTouch || y0 < ylo - kTouch || y1 > yhi + kTouch) {
            char msg[256];
            std::snprintf(msg, sizeof msg,
                          "the door (%g to %g along the wall, %g to %g high) does not fit the wall "
                          "the rooms share (%g to %g, %g to %g high)",
                          a0, a1, y0, y1, lo, hi, ylo, yhi);
            d.fail(msg);
        }
        const float c = aLow ? A.boxMin[axis] : A.boxMax[axis];
        auto corner = [&](float a, float y) {
            Vec3 p{};
            p[axis] = c;
            p[along] = a;
            p.y = y;
            return p;
        };
        const std::vector<Vec3> rect{corner(a0, y0), corner(a1, y0), corner(a1, y1), corner(a0, y1)};
        const int sideA = axis == 0 ? (aLow ? kWest : kEast) : (aLow ? kNorth : kSouth);
        const int sideB = axis == 0 ? (aLow ? kEast : kWest) : (aLow ? kSouth : kNorth);
        A.openings.push_back({sideA, a0, a1, y0, y1, d.path()});
        B.openings.push_back({sideB, a0, a1, y0, y1, d.path()});
        PortalBuild pa{ib, rect}, pb{ia, rect};
        windTowardRoom(pa.polygon, A, d);
        windTowardRoom(pb.polygon, B, d);
        A.portals.push_back(std::move(pa));
        B.portals.push_back(std::move(pb));
    }
}
