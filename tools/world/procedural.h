// Procedural textures, so that worlds can be built without any image files: checker, bricks,
// tiles, noise and gradient. Every pattern tiles seamlessly when repeated across a surface.
#pragma once

#include <cstdint>

#include "image/image_files.h"

struct Rgba {
    float r, g, b, a;  // 0..1
};

struct ProceduralParams {
    int width = 256;
    int height = 256;
    Rgba colorA{0.8f, 0.8f, 0.8f, 1};  // checker/noise/gradient first colour; brick or tile face
    Rgba colorB{0.2f, 0.2f, 0.2f, 1};  // second colour; mortar or grout
    int countX = 8;            // checker cells, tiles per row, bricks per row
    int countY = 8;            // checker cells, tiles per column, brick rows
    float gap = 0.06f;         // mortar or grout width as a fraction of one brick or tile height
    float variation = 0.12f;   // per-brick/per-tile brightness spread and surface grain strength
    int octaves = 4;           // noise
    float persistence = 0.5f;  // noise: amplitude kept per octave
    uint32_t seed = 1;
    int direction = 0;         // gradient: 0 vertical (A at the bottom), 1 horizontal, 2 radial
};

// The image has alpha only when a colour used has alpha below 1.
Image makeChecker(const ProceduralParams& p);
Image makeBricks(const ProceduralParams& p);
Image makeTiles(const ProceduralParams& p);
Image makeNoise(const ProceduralParams& p);
Image makeGradient(const ProceduralParams& p);

// Tileable value noise in [0, 1) with the given lattice period; fractal sum of octaves.
float tileNoise(float x, float y, int period, int octaves, float persistence, uint32_t seed);
