// The facing that the shadow volumes' culling takes as beyond doubt, against the rasterizers GL
// allows: single-precision transforms whose window coordinates are then snapped to a grid of 4
// subpixel bits (the fewest GL ES permits, and SwiftShader's) or 8 (llvmpipe's), rounding or
// truncating. A triangle called front or back that such a rasterizer sees facing the other way is
// dropped from the pass that should count it, and the stencil count streaks along it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "render/volume_bounds.h"
#include "tests/render/demo_clip.h"

namespace {

// A rasterizer's view of one corner: the transform in single precision, as the GL layer's
// combined matrix and the driver do it, then the window position snapped to 1 / 2^bits pixel.
struct Rasterizer {
    int bits;
    bool truncate;
    float m[16];
    int viewport[4];

    void snap(const double in[4], int64_t out[2]) const {
        const float v[4] = {float(in[0]), float(in[1]), float(in[2]), float(in[3])};
        float c[4];
        for (int r = 0; r < 4; ++r) c[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
        const float scale = float(1 << bits);
        for (int k = 0; k < 2; ++k) {
            const float window = float(viewport[k]) + (c[k] / c[3] + 1.0f) * 0.5f * float(viewport[2 + k]);
            out[k] = int64_t(truncate ? std::floor(window * scale) : std::nearbyint(window * scale));
        }
    }
    // The sign of the snapped triangle's area: 1 counter-clockwise, -1 clockwise, 0 none.
    int facing(const double corners[3][4]) const {
        int64_t p[3][2];
        for (int i = 0; i < 3; ++i) snap(corners[i], p[i]);
        const int64_t area = (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[1][1] - p[0][1]) * (p[2][0] - p[0][0]);
        return (area > 0) - (area < 0);
    }
};

// Random triangles, each with its own corners, all their edges as the silhouette: every side of
// every edge and every cap triangle gets a facing entry.
struct Scene {
    std::vector<Vec3> points;
    std::vector<Vec3*> vertices;
    std::vector<Triangle> triangles;
    std::vector<Triangle*> triangleList;
    std::vector<SilhouetteEdge> edges;
    std::vector<uint8_t> litMask;
    Model model{};

    Scene(std::mt19937& rng, int count) {
        std::uniform_real_distribution<float> corner(-1.0f, 1.0f);
        std::bernoulli_distribution lit(0.5);
        points.resize(3 * size_t(count));
        for (Vec3& p : points) p = {corner(rng), corner(rng), corner(rng)};
        for (Vec3& p : points) vertices.push_back(&p);
        triangles.resize(count);
        for (int t = 0; t < count; ++t) {
            triangles[t] = Triangle{};
            for (int k = 0; k < 3; ++k) {
                triangles[t].v[k] = uint32_t(3 * t + k);
                triangles[t].adj[k] = -1;
                edges.push_back({t, uint8_t(k)});
            }
            litMask.push_back(lit(rng) ? 1 : 0);
        }
        for (Triangle& t : triangles) triangleList.push_back(&t);
        model = {uint32_t(points.size()), vertices.data(), int16_t(count), triangleList.data()};
    }
    // Corner `v` of the volume in place (form 0) or at infinity away from `light` (form 1).
    void corner(uint32_t v, int form, const Vec3& light, double out[4]) const {
        const Vec3& p = points[v];
        if (form == 0) {
            out[0] = p.x, out[1] = p.y, out[2] = p.z, out[3] = 1;
        } else {
            out[0] = float(p.x - light.x), out[1] = float(p.y - light.y), out[2] = float(p.z - light.z), out[3] = 0;
        }
    }
};

struct Tally {
    long known = 0, unknown = 0, thin = 0, wrong = 0;
};

// Every facing entry markVolumeCover decides, against the rasterizer's: a decided entry whose
// snapped triangle has area must face the same way.
void check(const Scene& s, const ClipSpace& clip, const Vec3& light, const Rasterizer& r, Tally& tally) {
    CoverMap cover;
    cover.reset(clip.viewport);
    VolumeFacing facing;
    markVolumeCover(clip, s.model, s.edges.data(), uint32_t(s.edges.size()), light, s.litMask.data(), cover, &facing);
    auto one = [&](int8_t decided, const uint32_t v[3], const int form[3]) {
        if (!decided) {
            ++tally.unknown;
            return;
        }
        ++tally.known;
        double corners[3][4];
        for (int i = 0; i < 3; ++i) s.corner(v[i], form[i], light, corners[i]);
        const int seen = r.facing(corners);
        if (seen != 0 && seen != decided) ++tally.wrong;
        // Thin on screen: less than a pixel across its first edge, the triangles a coarse snap
        // can turn over.
        int64_t p[3][2];
        for (int i = 0; i < 3; ++i) r.snap(corners[i], p[i]);
        const double area = std::fabs(double((p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[1][1] - p[0][1]) * (p[2][0] - p[0][0])));
        const double edge = std::hypot(double(p[1][0] - p[0][0]), double(p[1][1] - p[0][1]));
        const double unit = double(1 << r.bits);
        if (area < edge * unit) ++tally.thin;
    };
    for (size_t j = 0; j < s.edges.size(); ++j) {
        const Triangle& t = s.triangles[s.edges[j].triangle];
        const int k = s.edges[j].edge;
        const uint32_t a = t.v[k], b = t.v[k < 2 ? k + 1 : 0];
        const uint32_t first[3] = {a, a, b}, second[3] = {b, a, b};
        const int firstForm[3] = {0, 1, 0}, secondForm[3] = {0, 1, 1};
        one(facing.sides[2 * j], first, firstForm);
        one(facing.sides[2 * j + 1], second, secondForm);
    }
    for (size_t t = 0; t < s.triangles.size(); ++t) {
        const int f = s.litMask[t] & 1 ? 0 : 1;
        const int form[3] = {f, f, f};
        one(facing.caps[t], s.triangles[t].v, form);
    }
}

// Casters a few units ahead with the light far off (Ahead) or close to the eye (EdgeOn: volume
// sides then run nearly edge-on across the screen, thin wedges from each silhouette edge out to the
// border), and small casters just beyond the near plane with the light far off (Close: there
// single-precision error is smallest beside the snap).
enum class Caster { Ahead, EdgeOn, Close };

Tally sweep(int bits, bool truncate, Caster setup) {
    std::mt19937 rng(1234 + bits * 2 + truncate);
    std::uniform_real_distribution<float> across(-1.5f, 1.5f), depth(-9.0f, -2.5f), unit(-1.0f, 1.0f);
    std::uniform_real_distribution<double> exponent(-4.0, -0.5);
    Tally tally;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 300; ++i) {
        Scene scene(rng, 40);
        Vec3 position{across(rng), across(rng), depth(rng)};
        Vec3 light;
        if (setup == Caster::Ahead) {
            light = {50 * unit(rng), 50 * unit(rng), 50 * unit(rng)};
        } else if (setup == Caster::EdgeOn) {
            // The eye in the model's space is -position; the light a little way off it.
            const double away = std::pow(10.0, exponent(rng));
            light = {float(-position.x + away * unit(rng)), float(-position.y + away * unit(rng)),
                     float(-position.z + away * unit(rng))};
        } else {
            const float size = 0.02f + 0.1f * (unit(rng) + 1);
            for (Vec3& p : scene.points) p = {p.x * size, p.y * size, p.z * size};
            position = {0.1f * unit(rng), 0.1f * unit(rng), -0.8f + 0.2f * unit(rng)};
            light = {50 * unit(rng), 50 * unit(rng), 50 * unit(rng)};
        }
        const ClipSpace clip = entityClipSpace(demoClip(), position, identity);
        Rasterizer r{bits, truncate, {}, {clip.viewport[0], clip.viewport[1], clip.viewport[2], clip.viewport[3]}};
        for (int k = 0; k < 16; ++k) r.m[k] = float(clip.m[k]);
        check(scene, clip, light, r, tally);
    }
    return tally;
}

TEST(VolumeFacing, DecidedFacingHoldsOnFourBitRasterizers) {
    for (Caster setup : {Caster::Ahead, Caster::EdgeOn, Caster::Close})
        for (bool truncate : {false, true}) {
            const Tally t = sweep(4, truncate, setup);
            const char* name = setup == Caster::Ahead ? "ahead" : setup == Caster::EdgeOn ? "edge-on" : "close";
            EXPECT_EQ(t.wrong, 0) << name << (truncate ? ", truncating" : ", rounding") << ": of " << t.known
                                  << " decided, " << t.thin << " thin";
            EXPECT_GT(t.known, 5000) << name;
        }
}

TEST(VolumeFacing, DecidedFacingHoldsOnAnEightBitRasterizer) {
    for (Caster setup : {Caster::Ahead, Caster::EdgeOn, Caster::Close}) {
        const Tally t = sweep(8, false, setup);
        EXPECT_EQ(t.wrong, 0) << "of " << t.known << " decided, " << t.thin << " thin";
    }
}

}  // namespace
