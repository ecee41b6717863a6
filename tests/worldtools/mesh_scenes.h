// Helpers for the mesh file tests: writing files the tests make, a one-room scene around one
// model, and looking at what a compiled model holds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <fstream>
#include <string>
#include <vector>

#include "tools/world/mesh.h"
#include "tools/world/scene_compile.h"

inline Vec3 v3(float x, float y, float z) { return {x, y, z}; }
inline bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline void PrintTo(const Vec3& v, std::ostream* os) { *os << "(" << v.x << ", " << v.y << ", " << v.z << ")"; }

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// A scene with the model `model` (its JSON object) in a 10 x 4 x 10 room whose floor is at
// y = -1, light near the ceiling, and `entities` (JSON array items) in it.
inline std::string oneModelScene(const std::string& model, const std::string& entities) {
    return R"({"models": {"m": )" + model + R"(}, "rooms": [{"name": "hall", "min": [-5, -1, -5], "max": [5, 3, 5],
      "lights": [{"position": [0, 2.8, 0]}], "entities": [)" + entities + "]}]}";
}

inline bool compileIn(const std::string& dir, const std::string& scene, CompiledScene& out, std::string& error) {
    std::ofstream(dir + "/scene.json", std::ios::binary) << scene;
    return compileSceneFile(dir + "/scene.json", out, error);
}

inline void modelBounds(const Model& m, Vec3& lo, Vec3& hi) {
    lo = hi = *m.vertices[0];
    for (uint32_t i = 0; i < m.vertexCount; ++i)
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], (*m.vertices[i])[a]);
            hi[a] = std::max(hi[a], (*m.vertices[i])[a]);
        }
}

inline int modelOpenEdges(const Model& m) {
    int open = 0;
    for (int t = 0; t < m.triangleCount; ++t)
        for (int32_t a : m.triangles[t]->adj) open += a < 0;
    return open;
}

inline std::string warningWith(const CompiledScene& s, const std::string& what) {
    for (const std::string& w : s.warnings)
        if (w.find(what) != std::string::npos) return w;
    return "";
}

inline std::string allOf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}
