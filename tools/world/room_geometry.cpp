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

SurfaceFrame frameOf(const RoomBuild& r, int side) {
    switch (side) {
        case kWest: return {0, r.boxMin.x, 2, 1, +1, 2, 1, -1, 1};
        case kEast: return {0, r.boxMax.x, 2, 1, -1, 2, 1, +1, 1};
        case kNorth: return {2, r.boxMin.z, 0, 1, +1, 0, 1, +1, 1};
        case kSouth: return {2, r.boxMax.z, 0, 1, -1, 0, 1, -1, 1};
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
