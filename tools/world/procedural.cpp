// Procedural texture generators. Images are built bottom row first, like every image here.
#include "tools/world/procedural.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t hash3(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

float unit(uint32_t h) { return (h >> 8) * (1.0f / 16777216.0f); }

float smooth(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

float lerp(float a, float b, float t) { return a + (b - a) * t; }

Rgba mix(const Rgba& a, const Rgba& b, float t) {
    return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t), lerp(a.a, b.a, t)};
}

Rgba shade(const Rgba& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

Image blank(const ProceduralParams& p, bool alpha) {
    Image img;
    img.width = std::clamp(p.width, 1, kMaxImageSide);
    img.height = std::clamp(p.height, 1, kMaxImageSide);
    img.alpha = alpha;
    img.pixels.resize(size_t(img.width) * img.height * img.components());
    return img;
}

bool usesAlpha(const ProceduralParams& p) { return p.colorA.a < 1.0f || p.colorB.a < 1.0f; }

void put(Image& img, int x, int y, const Rgba& c) {
    uint8_t* px = &img.pixels[(size_t(y) * img.width + x) * img.components()];
    px[0] = toByte(c.r);
    px[1] = toByte(c.g);
    px[2] = toByte(c.b);
    if (img.alpha) px[3] = toByte(c.a);
}

// Fine grain so flat faces do not look plastic: one octave pair of high-frequency noise.
float grain(const ProceduralParams& p, const Image& img, int x, int y) {
    const float fx = float(x) / img.width * 32, fy = float(y) / img.height * 32;
    return tileNoise(fx, fy, 32, 2, 0.5f, p.seed * 7 + 3) - 0.5f;
}

// Distance (in pixels) from a point inside a cell to the cell's nearest border.
float edgeDistance(float fx, float fy, float w, float h) {
    return std::min(std::min(fx, w - fx), std::min(fy, h - fy));
}

}  // namespace

float tileNoise(float x, float y, int period, int octaves, float persistence, uint32_t seed) {
    float sum = 0, amp = 1, norm = 0;
    int per = std::max(period, 1);
    for (int o = 0; o < std::max(octaves, 1); ++o) {
        const float fx = std::floor(x), fy = std::floor(y);
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        const float tx = smooth(x - fx), ty = smooth(y - fy);
        auto at = [&](int cx, int cy) {
            const uint32_t wx = static_cast<uint32_t>(((cx % per) + per) % per);
            const uint32_t wy = static_cast<uint32_t>(((cy % per) + per) % per);
            return unit(hash3(wx, wy, seed + uint32_t(o) * 101u));
        };
        const float v = lerp(lerp(at(ix, iy), at(ix + 1, iy), tx),
                             lerp(at(ix, iy + 1), at(ix + 1, iy + 1), tx), ty);
        sum += v * amp;
        norm += amp;
        amp *= persistence;
        x *= 2;
        y *= 2;
        per *= 2;
    }
    return sum / norm;
}

Image makeChecker(const ProceduralParams& p) {
    Image img = blank(p, usesAlpha(p));
    const int cx = std::max(p.countX, 1), cy = std::max(p.countY, 1);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int i = x * cx / img.width, j = y * cy / img.height;
            const Rgba& c = ((i + j) & 1) ? p.colorB : p.colorA;
            put(img, x, y, shade(c, 1.0f + p.variation * 0.5f * grain(p, img, x, y)));
        }
    return img;
}

Image makeBricks(const ProceduralParams& p) {
    Image img = blank(p, usesAlpha(p));
    const int cols = std::max(p.countX, 1), rows = std::max(p.countY, 1);
    const float bw = float(img.width) / cols, bh = float(img.height) / rows;
    const float mortar = std::max(p.gap * bh, 1.0f);
    for (int y = 0; y < img.height; ++y) {
        const int row = std::min(int(y / bh), rows - 1);
        const float shift = (row & 1) ? bw / 2 : 0;  // running bond
        for (int x = 0; x < img.width; ++x) {
            float sx = x + shift;
            if (sx >= img.width) sx -= img.width;
            const int col = std::min(int(sx / bw), cols - 1);
            const float fx = sx - col * bw, fy = y - row * bh;
            const float d = edgeDistance(fx, fy, bw, bh);
            const float g = grain(p, img, x, y);
            if (d < mortar / 2) {
                put(img, x, y, shade(p.colorB, 1.0f + 0.6f * p.variation * g));
                continue;
            }
            // Each brick its own shade; edges rounded off darker so the courses read clearly.
            const float tone = 1.0f + p.variation * (unit(hash3(col, row, p.seed)) * 2 - 1);
            const float bevel = std::min((d - mortar / 2) / std::max(mortar, 1.0f), 1.0f);
            const float k = tone * (0.78f + 0.22f * bevel) * (1.0f + p.variation * g);
            put(img, x, y, shade(p.colorA, k));
        }
    }
    return img;
}

Image makeTiles(const ProceduralParams& p) {
    Image img = blank(p, usesAlpha(p));
    const int cols = std::max(p.countX, 1), rows = std::max(p.countY, 1);
    const float tw = float(img.width) / cols, th = float(img.height) / rows;
    const float grout = std::max(p.gap * th, 1.0f);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int col = std::min(int(x / tw), cols - 1), row = std::min(int(y / th), rows - 1);
            const float fx = x - col * tw, fy = y - row * th;
            const float d = edgeDistance(fx, fy, tw, th);
            const float g = grain(p, img, x, y);
            if (d < grout / 2) {
                put(img, x, y, shade(p.colorB, 1.0f + 0.5f * p.variation * g));
                continue;
            }
            // Glazed tile: lit from the upper left, so the top and left rims are brighter.
            const float rim = std::max(grout, 2.0f);
            float k = 1.0f + 0.5f * p.variation * (unit(hash3(col, row, p.seed)) * 2 - 1);
            if (d - grout / 2 < rim) {
                const bool lit = fy > th - rim - grout / 2 || fx < rim + grout / 2;
                k *= lit ? 1.12f : 0.82f;
            }
            k *= 1.0f + 0.3f * p.variation * g;
            put(img, x, y, shade(p.colorA, k));
        }
    return img;
}

Image makeNoise(const ProceduralParams& p) {
    Image img = blank(p, usesAlpha(p));
    const int period = std::max(p.countX, 1);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const float n = tileNoise(float(x) / img.width * period, float(y) / img.height * period,
                                      period, p.octaves, p.persistence, p.seed);
            // Stretch the fractal sum, which clusters around the middle, to use both colours.
            const float t = std::clamp((n - 0.5f) * 1.8f + 0.5f, 0.0f, 1.0f);
            put(img, x, y, mix(p.colorA, p.colorB, t));
        }
    return img;
}

Image makeGradient(const ProceduralParams& p) {
    Image img = blank(p, usesAlpha(p));
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            float t;
            if (p.direction == 1) {
                t = img.width > 1 ? float(x) / (img.width - 1) : 0;
            } else if (p.direction == 2) {
                const float dx = (x + 0.5f) / img.width - 0.5f, dy = (y + 0.5f) / img.height - 0.5f;
                t = std::min(std::sqrt(dx * dx + dy * dy) * 2.0f, 1.0f);
            } else {
                t = img.height > 1 ? float(y) / (img.height - 1) : 0;
            }
            put(img, x, y, mix(p.colorA, p.colorB, smooth(t) * 0.5f + t * 0.5f));
        }
    return img;
}
