// Reading the scene description with the JSON path of every value at hand, so that each error
// says where in the file it is ("rooms[2].lights[0].position: ...").
#pragma once

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "math/vecmath.h"
#include "tools/world/procedural.h"

using SceneJson = nlohmann::ordered_json;  // keeps the author's order of materials, textures...

// An error in the scene: where (a JSON path) and what.
struct SceneError : std::runtime_error {
    SceneError(const std::string& where, const std::string& what)
        : std::runtime_error(where + ": " + what), path(where) {}
    std::string path;
};

// A JSON value together with its path from the root.
class JsonAt {
public:
    JsonAt(const SceneJson& value, std::string path) : value_(value), path_(std::move(path)) {}

    const SceneJson& json() const { return value_; }
    const std::string& path() const { return path_; }
    [[noreturn]] void fail(const std::string& what) const;

    bool has(const char* key) const;
    // The member `key`, which must exist (this value must be an object).
    JsonAt operator[](const char* key) const;
    JsonAt member(const std::string& key) const;
    JsonAt element(size_t i) const;
    size_t size() const;  // elements of an array; fails when this is not an array

    // Rejects members other than `allowed`, so that misspelt keys do not pass silently.
    void expectObject(std::initializer_list<const char*> allowed) const;

    float number() const;
    float numberIn(float lo, float hi) const;
    int integer(int lo, int hi) const;
    bool boolean() const;
    std::string string() const;
    Vec3 vec3() const;
    // [r, g, b] or [r, g, b, a] with components in 0..1, or "#rrggbb" / "#rrggbbaa".
    Rgba color() const;

    // Optional members with defaults.
    float number(const char* key, float fallback) const;
    int integer(const char* key, int lo, int hi, int fallback) const;
    bool boolean(const char* key, bool fallback) const;
    Vec3 vec3(const char* key, const Vec3& fallback) const;
    Rgba color(const char* key, const Rgba& fallback) const;

private:
    const SceneJson& value_;
    std::string path_;
};

// Name of a JSON type for messages ("a string", "an array"...).
std::string jsonTypeName(const SceneJson& v);

// Parses scene text; on a syntax error throws SceneError whose path is "line L, column C".
SceneJson parseSceneText(const std::string& text);
