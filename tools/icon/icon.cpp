// Drawing the icon: every pixel is the mean of 4 x 4 samples of the shapes below, which are
// given in a unit square with y pointing down.
#include "tools/icon/icon.h"

#include <algorithm>
#include <cmath>

namespace {

struct Colour {
    float r, g, b, a;
};

constexpr Colour kClear{0, 0, 0, 0};
constexpr Colour kFrame{0.09f, 0.12f, 0.17f, 1};    // the rounded square
constexpr Colour kWall{0.35f, 0.42f, 0.50f, 1};     // the back wall
constexpr Colour kSide{0.25f, 0.31f, 0.38f, 1};     // the side walls
constexpr Colour kFloor{0.54f, 0.48f, 0.40f, 1};
constexpr Colour kShadow{0.27f, 0.23f, 0.19f, 1};   // the floor in the block's shadow
constexpr Colour kDoor{1.00f, 0.82f, 0.40f, 1};     // the light beyond the doorway
constexpr Colour kBlock{0.78f, 0.80f, 0.84f, 1};

// Inside the convex polygon (x[i], y[i]), corners in either turning order.
bool inside(float px, float py, const float* x, const float* y, int n) {
    int sign = 0;
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const float cross = (x[j] - x[i]) * (py - y[i]) - (y[j] - y[i]) * (px - x[i]);
        const int s = cross > 0 ? 1 : cross < 0 ? -1 : 0;
        if (s == 0) continue;
        if (sign == 0) sign = s;
        else if (s != sign) return false;
    }
    return true;
}

bool inRect(float px, float py, float x0, float y0, float x1, float y1) {
    return px >= x0 && px < x1 && py >= y0 && py < y1;
}

// The rounded square: margin 1/16, corner radius 3/16.
bool inFrame(float px, float py) {
    const float m = 1.0f / 16, r = 3.0f / 16;
    if (px < m || py < m || px > 1 - m || py > 1 - m) return false;
    const float cx = std::clamp(px, m + r, 1 - m - r), cy = std::clamp(py, m + r, 1 - m - r);
    return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
}

Colour sample(float px, float py) {
    if (!inFrame(px, py)) return kClear;
    // The block, on the floor at the left, lit from the doorway: its shadow falls forward-left.
    if (inRect(px, py, 0.26f, 0.58f, 0.40f, 0.74f)) return kBlock;
    const float shadowX[4] = {0.26f, 0.40f, 0.30f, 0.12f}, shadowY[4] = {0.74f, 0.74f, 0.88f, 0.88f};
    if (inside(px, py, shadowX, shadowY, 4) && py <= 0.88f) return kShadow;
    if (inRect(px, py, 0.44f, 0.34f, 0.56f, 0.62f)) return kDoor;
    if (inRect(px, py, 0.30f, 0.22f, 0.70f, 0.62f)) return kWall;
    const float floorX[4] = {0.30f, 0.70f, 0.94f, 0.06f}, floorY[4] = {0.62f, 0.62f, 0.94f, 0.94f};
    if (inside(px, py, floorX, floorY, 4)) return kFloor;
    const float leftX[4] = {0.06f, 0.30f, 0.30f, 0.06f}, leftY[4] = {0.06f, 0.22f, 0.62f, 0.94f};
    const float rightX[4] = {0.70f, 0.94f, 0.94f, 0.70f}, rightY[4] = {0.22f, 0.06f, 0.94f, 0.62f};
    if (inside(px, py, leftX, leftY, 4) || inside(px, py, rightX, rightY, 4)) return kSide;
    return kFrame;
}

uint8_t byte(float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); }

}  // namespace

Image drawIcon(int size) {
    Image image;
    if (size < 1) return image;
    image.width = image.height = size;
    image.alpha = true;
    image.pixels.resize(size_t(size) * size * 4);
    constexpr int kSamples = 4;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Colours are summed weighted by their coverage, so edges blend into transparency.
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Colour c = sample((x + (sx + 0.5f) / kSamples) / size, (y + (sy + 0.5f) / kSamples) / size);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            // The image type keeps the bottom row first.
            uint8_t* p = &image.pixels[(size_t(size - 1 - y) * size + x) * 4];
            p[0] = a > 0 ? byte(r / a) : 0;
            p[1] = a > 0 ? byte(g / a) : 0;
            p[2] = a > 0 ? byte(b / a) : 0;
            p[3] = byte(a / (kSamples * kSamples));
        }
    }
    return image;
}
