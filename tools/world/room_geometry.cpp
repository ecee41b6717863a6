// Generated room geometry: floor, ceiling and four walls of a room's box, facing into the room,
// with rectangular openings cut where doors are. Each surface is a grid whose lines run through
// the room's corners, every opening's edges and regular steps of about cellSize, so openings fall
// on cell borders (no T-junctions, no cracks) and per-vertex lighting has vertices to work with.
#include <algorithm>
#include <cmath>

#include "tools/world/scene_internal.h"

namespace {

// One surface: fixed axis and its value, the in-plane axes p (across) and q (up), which way
// faces into the room, and how world coordinates become texture coordinates.
struct SurfaceFrame {
    int fixed;
    float value;
    int p, q;
    int inward;  // +1: the normal points along +fixed
    int uAxis, vAxis;
    float uSign, vSign;
};

// A wall moved into its room (inset) stands that far inside the box.
SurfaceFrame frameOf(const RoomBuild& r, int side) {
    switch (side) {
        case kWest: return {0, r.boxMin.x + r.inset[kWest], 2, 1, +1, 2, 1, -1, 1};
        case kEast: return {0, r.boxMax.x - r.inset[kEast], 2, 1, -1, 2, 1, +1, 1};
        case kNorth: return {2, r.boxMin.z + r.inset[kNorth], 0, 1, +1, 0, 1, +1, 1};
        case kSouth: return {2, r.boxMax.z - r.inset[kSouth], 0, 1, -1, 0, 1, -1, 1};
        case kFloor: return {1, r.boxMin.y, 0, 2, +1, 0, 2, +1, -1};
        default: return {1, r.boxMax.y, 0, 2, -1, 0, 2, +1, +1};
    }
}

std::vector<float> gridLines(float lo, float hi, float cell, const std::vector<float>& extra) {
    std::vector<float> lines{lo, hi};
    const int steps = std::clamp(static_cast<int>(std::ceil((hi - lo) / cell)), 1, 64);
    for (int i = 1; i < steps; ++i) lines.push_back(lo + (hi - lo) * i / steps);
    for (float e : extra)
        if (e > lo && e < hi) lines.push_back(e);
    std::sort(lines.begin(), lines.end());
    std::vector<float> out;
    for (float v : lines)
        if (out.empty() || v - out.back() > 1e-4f) out.push_back(v);
    if (out.back() != hi) out.back() = hi;
    return out;
}

// One quad of a jamb, wound so that its face normal points along `normal`; texture coordinates
// are world coordinates along the two axes given, over the wall's texture scale.
void addJambQuad(RoomBuild& room, const SurfaceSpec& s, const Vec3 (&c)[4], const Vec3& normal, int uAxis,
                 int vAxis, PositionIndex& pool) {
    const Vec3 e1{c[1].x - c[0].x, c[1].y - c[0].y, c[1].z - c[0].z};
    const Vec3 e2{c[2].x - c[0].x, c[2].y - c[0].y, c[2].z - c[0].z};
    const Vec3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    const bool flip = n.x * normal.x + n.y * normal.y + n.z * normal.z < 0;
    uint32_t idx[4];
    for (int k = 0; k < 4; ++k) idx[k] = pool.add(c[k]);
    const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& tri : order) {
        RoomTri t{};
        for (int k = 0; k < 3; ++k) {
            const int corner = tri[flip ? (3 - k) % 3 : k];
            t.v[k] = idx[corner];
            t.uv[k][0] = c[corner][uAxis] / s.scaleU;
            t.uv[k][1] = c[corner][vAxis] / s.scaleV;
        }
        t.material = s.material;
        t.texture = s.texture;
        room.triangles.push_back(t);
    }
}

// The sides, sill and lintel of a door opening in a moved wall: from the box's face to the wall,
// split where the wall's own grid lines meet the opening's edges so the two share every vertex.
// Edges that lie on the room's floor, ceiling or side walls need none: those surfaces run on
// through the opening.
void emitJambs(RoomBuild& room, int side, const SurfaceFrame& f, const Opening& o, const std::vector<float>& ps,
               const std::vector<float>& qs, PositionIndex& pool) {
    const SurfaceSpec& s = room.surfaces[side];
    const float face = f.value - f.inward * room.inset[side];  // the box's own face
    const float eps = 1e-3f;
    auto point = [&](float depth, float a, float c) {
        Vec3 v{};
        v[f.fixed] = depth;
        v[f.p] = a;
        v[f.q] = c;
        return v;
    };
    // Side jambs: planes p = a0 (facing +p) and p = a1 (facing -p), split along q.
    for (int end = 0; end < 2; ++end) {
        const float a = end ? o.a1 : o.a0;
        if (end ? a >= room.boxMax[f.p] - eps : a <= room.boxMin[f.p] + eps) continue;
        Vec3 normal{};
        normal[f.p] = end ? -1.0f : 1.0f;
        for (size_t j = 0; j + 1 < qs.size(); ++j) {
            if (qs[j] < o.y0 - eps || qs[j + 1] > o.y1 + eps) continue;
            const Vec3 c[4] = {point(face, a, qs[j]), point(f.value, a, qs[j]), point(f.value, a, qs[j + 1]),
                               point(face, a, qs[j + 1])};
            addJambQuad(room, s, c, normal, f.fixed, f.q, pool);
        }
    }
    // Sill (q = y0, facing up) and lintel (q = y1, facing down), split along p.
    for (int top = 0; top < 2; ++top) {
        const float y = top ? o.y1 : o.y0;
        if (top ? y >= room.boxMax[f.q] - eps : y <= room.boxMin[f.q] + eps) continue;
        Vec3 normal{};
        normal[f.q] = top ? -1.0f : 1.0f;
        for (size_t i = 0; i + 1 < ps.size(); ++i) {
            if (ps[i] < o.a0 - eps || ps[i + 1] > o.a1 + eps) continue;
            const Vec3 c[4] = {point(face, ps[i], y), point(f.value, ps[i], y), point(f.value, ps[i + 1], y),
                               point(face, ps[i + 1], y)};
            addJambQuad(room, s, c, normal, f.p, f.fixed, pool);
        }
    }
}

void emitSurface(SceneBuild& b, RoomBuild& room, int side, PositionIndex& pool) {
    const SurfaceSpec& surface = room.surfaces[side];
    if (!surface.present) return;
    const SurfaceFrame f = frameOf(room, side);
    std::vector<float> extraP, extraQ;
    std::vector<const Opening*> holes;
    for (const Opening& o : room.openings)
        if (o.side == side) {
            holes.push_back(&o);
            extraP.insert(extraP.end(), {o.a0, o.a1});
            extraQ.insert(extraQ.end(), {o.y0, o.y1});
        }
    const std::vector<float> ps = gridLines(room.boxMin[f.p], room.boxMax[f.p], room.cellSize, extraP);
    const std::vector<float> qs = gridLines(room.boxMin[f.q], room.boxMax[f.q], room.cellSize, extraQ);
    // Orientation: (p, q) cells turn counter-clockwise around +fixed when p x q points along it.
    Vec3 ep{}, eq{};
    ep[f.p] = 1;
    eq[f.q] = 1;
    const Vec3 cr{ep.y * eq.z - ep.z * eq.y, ep.z * eq.x - ep.x * eq.z, ep.x * eq.y - ep.y * eq.x};
    const bool flip = cr[f.fixed] * f.inward < 0;
    auto vertex = [&](float a, float c, uint32_t& index, float uv[2]) {
        Vec3 v{};
        v[f.fixed] = f.value;
        v[f.p] = a;
        v[f.q] = c;
        index = pool.add(v);
        uv[0] = f.uSign * v[f.uAxis] / surface.scaleU;
        uv[1] = f.vSign * v[f.vAxis] / surface.scaleV;
    };
    for (size_t i = 0; i + 1 < ps.size(); ++i)
        for (size_t j = 0; j + 1 < qs.size(); ++j) {
            const float mp = (ps[i] + ps[i + 1]) / 2, mq = (qs[j] + qs[j + 1]) / 2;
            bool open = false;
            for (const Opening* o : holes) open = open || (mp > o->a0 && mp < o->a1 && mq > o->y0 && mq < o->y1);
            if (open) continue;
            RoomTri quad[2]{};
            uint32_t idx[4];
            float uv[4][2];
            vertex(ps[i], qs[j], idx[0], uv[0]);
            vertex(ps[i + 1], qs[j], idx[1], uv[1]);
            vertex(ps[i + 1], qs[j + 1], idx[2], uv[2]);
            vertex(ps[i], qs[j + 1], idx[3], uv[3]);
            const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
            for (int t = 0; t < 2; ++t) {
                for (int k = 0; k < 3; ++k) {
                    const int c = order[t][flip ? (3 - k) % 3 : k];
                    quad[t].v[k] = idx[c];
                    quad[t].uv[k][0] = uv[c][0];
                    quad[t].uv[k][1] = uv[c][1];
                }
                quad[t].material = surface.material;
                quad[t].texture = surface.texture;
                room.triangles.push_back(quad[t]);
            }
        }
    if (side < kFloor && room.inset[side] > 0)
        for (const Opening* o : holes) emitJambs(room, side, f, *o, ps, qs, pool);
    (void)b;
}

}  // namespace

void generateRoomGeometry(SceneBuild& b) {
    for (RoomBuild& room : b.rooms) {
        if (!room.generated) continue;
        // Two doors may not cut overlapping holes in one wall.
        for (size_t i = 0; i < room.openings.size(); ++i)
            for (size_t j = 0; j < i; ++j) {
                const Opening& x = room.openings[i];
                const Opening& y = room.openings[j];
                if (x.side == y.side && x.a0 < y.a1 && y.a0 < x.a1 && x.y0 < y.y1 && y.y0 < x.y1)
                    throw SceneError(x.path, "overlaps " + y.path + " in the wall of room \"" + room.name + "\"");
            }
        PositionIndex pool(room.positions);
        for (int side = 0; side < 6; ++side) emitSurface(b, room, side, pool);
    }
}
