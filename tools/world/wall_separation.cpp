// Back-to-back walls of touching rooms. Two generated rooms that touch along a wall each have a
// wall in that plane, facing opposite ways; wherever both are solid (beside or above a door that is
// smaller than the shared part of the wall), the renderer draws two coplanar surfaces and the room
// drawn later shows through as slivers. One of the two walls is moved a little into its own room,
// so the door becomes a short opening whose jambs belong to that room; the boxes, and with them
// room tracking and the portals, stay as the author wrote them.
#include <algorithm>
#include <cmath>

#include "tools/world/scene_internal.h"

namespace {

const float kTouch = 1e-3f;          // how close two walls must be to count as one plane
const float kWallThickness = 0.1f;   // depth of a moved wall's door opening

bool inOpening(const std::vector<Opening>& openings, int side, float a, float y) {
    for (const Opening& o : openings)
        if (o.side == side && a > o.a0 && a < o.a1 && y > o.y0 && y < o.y1) return true;
    return false;
}

// Whether the two walls are both solid somewhere in their shared rectangle.
bool wallsOverlap(const RoomBuild& A, int sideA, const RoomBuild& B, int sideB, float lo, float hi, float ylo,
                  float yhi) {
    std::vector<float> as{lo, hi}, ys{ylo, yhi};
    for (const RoomBuild* r : {&A, &B})
        for (const Opening& o : r->openings) {
            as.insert(as.end(), {o.a0, o.a1});
            ys.insert(ys.end(), {o.y0, o.y1});
        }
    std::sort(as.begin(), as.end());
    std::sort(ys.begin(), ys.end());
    for (size_t i = 0; i + 1 < as.size(); ++i)
        for (size_t j = 0; j + 1 < ys.size(); ++j) {
            const float a = (as[i] + as[i + 1]) / 2, y = (ys[j] + ys[j + 1]) / 2;
            if (as[i + 1] - as[i] <= kTouch || ys[j + 1] - ys[j] <= kTouch) continue;
            if (a <= lo || a >= hi || y <= ylo || y >= yhi) continue;
            if (!inOpening(A.openings, sideA, a, y) && !inOpening(B.openings, sideB, a, y)) return true;
        }
    return false;
}

float wallArea(const RoomBuild& r, int axis) {
    const int along = axis == 0 ? 2 : 0;
    return (r.boxMax[along] - r.boxMin[along]) * (r.boxMax.y - r.boxMin.y);
}

}  // namespace

void separateSharedWalls(SceneBuild& b) {
    for (size_t i = 0; i < b.rooms.size(); ++i)
        for (size_t j = i + 1; j < b.rooms.size(); ++j) {
            RoomBuild& A = b.rooms[i];
            RoomBuild& B = b.rooms[j];
            if (!A.generated || !B.generated) continue;  // OBJ rooms bring their own walls
            for (int axis : {0, 2}) {
                for (int aLow = 0; aLow < 2; ++aLow) {
                    const float wa = aLow ? A.boxMin[axis] : A.boxMax[axis];
                    const float wb = aLow ? B.boxMax[axis] : B.boxMin[axis];
                    if (std::fabs(wa - wb) > kTouch) continue;
                    const int sideA = axis == 0 ? (aLow ? kWest : kEast) : (aLow ? kNorth : kSouth);
                    const int sideB = axis == 0 ? (aLow ? kEast : kWest) : (aLow ? kSouth : kNorth);
                    if (!A.surfaces[sideA].present || !B.surfaces[sideB].present) continue;
                    if (A.inset[sideA] > 0 || B.inset[sideB] > 0) continue;
                    const int along = axis == 0 ? 2 : 0;
                    const float lo = std::max(A.boxMin[along], B.boxMin[along]);
                    const float hi = std::min(A.boxMax[along], B.boxMax[along]);
                    const float ylo = std::max(A.boxMin.y, B.boxMin.y), yhi = std::min(A.boxMax.y, B.boxMax.y);
                    if (hi - lo <= kTouch || yhi - ylo <= kTouch) continue;
                    if (!wallsOverlap(A, sideA, B, sideB, lo, hi, ylo, yhi)) continue;
                    // The smaller wall moves (usually the corridor's end); on a tie, the later room's.
                    const bool moveA = wallArea(A, axis) < wallArea(B, axis);
                    RoomBuild& r = moveA ? A : B;
                    r.inset[moveA ? sideA : sideB] =
                        std::min(kWallThickness, (r.boxMax[axis] - r.boxMin[axis]) / 4);
                }
            }
        }
}
