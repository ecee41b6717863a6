// Path-aware JSON access for the scene compiler.
#include "tools/world/scene_json.h"

#include <cctype>
#include <cmath>
#include <cstdio>

std::string jsonTypeName(const SceneJson& v) {
    switch (v.type()) {
        case SceneJson::value_t::null: return "null";
        case SceneJson::value_t::object: return "an object";
        case SceneJson::value_t::array: return "an array";
        case SceneJson::value_t::string: return "a string";
        case SceneJson::value_t::boolean: return "a boolean";
        case SceneJson::value_t::binary: return "binary data";
        case SceneJson::value_t::discarded: return "nothing";
        default: return "a number";
    }
}

void JsonAt::fail(const std::string& what) const {
    throw SceneError(path_.empty() ? "(top level)" : path_, what);
}

bool JsonAt::has(const char* key) const { return value_.is_object() && value_.contains(key); }

namespace {

std::string childPath(const std::string& parent, const std::string& key) {
    bool plain = !key.empty() && !std::isdigit(static_cast<unsigned char>(key[0]));
    for (char c : key) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    std::string quoted = plain ? key : SceneJson(key).dump();
    if (parent.empty()) return plain ? quoted : "[" + quoted + "]";
    return plain ? parent + "." + quoted : parent + "[" + quoted + "]";
}

}  // namespace

JsonAt JsonAt::operator[](const char* key) const { return member(key); }

JsonAt JsonAt::member(const std::string& key) const {
    if (!value_.is_object()) fail("expected an object, got " + jsonTypeName(value_));
    auto it = value_.find(key);
    if (it == value_.end()) fail("missing required key \"" + key + "\"");
    return JsonAt(*it, childPath(path_, key));
}

JsonAt JsonAt::element(size_t i) const {
    if (!value_.is_array()) fail("expected an array, got " + jsonTypeName(value_));
    if (i >= value_.size()) fail("needs at least " + std::to_string(i + 1) + " elements");
    return JsonAt(value_[i], path_ + "[" + std::to_string(i) + "]");
}

size_t JsonAt::size() const {
    if (!value_.is_array()) fail("expected an array, got " + jsonTypeName(value_));
    return value_.size();
}

void JsonAt::expectObject(std::initializer_list<const char*> allowed) const {
    if (!value_.is_object()) fail("expected an object, got " + jsonTypeName(value_));
    for (auto it = value_.begin(); it != value_.end(); ++it) {
        bool known = false;
        for (const char* a : allowed) known = known || it.key() == a;
        if (!known) {
            std::string list;
            for (const char* a : allowed) list += std::string(list.empty() ? "" : ", ") + a;
            throw SceneError(childPath(path_, it.key()),
                             "unknown key (expected one of: " + list + ")");
        }
    }
}

float JsonAt::number() const {
    if (!value_.is_number()) fail("expected a number, got " + jsonTypeName(value_));
    const double d = value_.get<double>();
    if (!std::isfinite(d) || std::fabs(d) > 3.0e38) fail("number out of range");
    return static_cast<float>(d);
}

float JsonAt::numberIn(float lo, float hi) const {
    const float v = number();
    if (!(v >= lo && v <= hi))
    {
        char range[96];
        std::snprintf(range, sizeof range, "must be between %g and %g, got ", lo, hi);
        fail(range + value_.dump());
    }
    return v;
}

int JsonAt::integer(int lo, int hi) const {
    if (!value_.is_number_integer() &&
        !(value_.is_number_float() && std::floor(value_.get<double>()) == value_.get<double>()))
        fail("expected a whole number, got " + (value_.is_number() ? value_.dump() : jsonTypeName(value_)));
    const double d = value_.get<double>();
    if (d < lo || d > hi)
        fail("must be between " + std::to_string(lo) + " and " + std::to_string(hi) + ", got " +
             value_.dump());
    return static_cast<int>(d);
}

bool JsonAt::boolean() const {
    if (!value_.is_boolean()) fail("expected true or false, got " + jsonTypeName(value_));
    return value_.get<bool>();
}

std::string JsonAt::string() const {
    if (!value_.is_string()) fail("expected a string, got " + jsonTypeName(value_));
    return value_.get<std::string>();
}

Vec3 JsonAt::vec3() const {
    if (!value_.is_array() || value_.size() != 3)
        fail("expected an array of 3 numbers, got " +
             (value_.is_array() ? std::to_string(value_.size()) + " elements" : jsonTypeName(value_)));
    return {element(0).number(), element(1).number(), element(2).number()};
}

Rgba JsonAt::color() const {
    if (value_.is_string()) {
        const std::string s = value_.get<std::string>();
        bool hex = s.size() == 7 || s.size() == 9;
        hex = hex && s[0] == '#';
        for (size_t i = 1; hex && i < s.size(); ++i) hex = std::isxdigit(static_cast<unsigned char>(s[i]));
        if (!hex) fail("expected a colour \"#rrggbb\" or \"#rrggbbaa\", got \"" + s + "\"");
        float c[4] = {1, 1, 1, 1};
        for (size_t i = 0; i * 2 + 1 < s.size(); ++i)
            c[i] = std::stoi(s.substr(1 + i * 2, 2), nullptr, 16) / 255.0f;
        return {c[0], c[1], c[2], c[3]};
    }
    if (!value_.is_array() || (value_.size() != 3 && value_.size() != 4))
        fail("expected a colour: [r, g, b], [r, g, b, a] (0 to 1) or \"#rrggbb\", got " +
             jsonTypeName(value_));
    float c[4] = {1, 1, 1, 1};
    for (size_t i = 0; i < value_.size(); ++i) c[i] = element(i).number();
    return {c[0], c[1], c[2], c[3]};
}

float JsonAt::number(const char* key, float fallback) const {
    return has(key) ? member(key).number() : fallback;
}

int JsonAt::integer(const char* key, int lo, int hi, int fallback) const {
    return has(key) ? member(key).integer(lo, hi) : fallback;
}

bool JsonAt::boolean(const char* key, bool fallback) const {
    return has(key) ? member(key).boolean() : fallback;
}

Vec3 JsonAt::vec3(const char* key, const Vec3& fallback) const {
    return has(key) ? member(key).vec3() : fallback;
}

Rgba JsonAt::color(const char* key, const Rgba& fallback) const {
    return has(key) ? member(key).color() : fallback;
}

SceneJson parseSceneText(const std::string& text) {
    try {
        return SceneJson::parse(text);
    } catch (const SceneJson::parse_error& e) {
        // Work the line and column out from the byte offset; the message carries the reason.
        const size_t at = e.byte > 0 ? std::min<size_t>(e.byte - 1, text.size()) : 0;
        size_t line = 1, col = 1;
        for (size_t i = 0; i < at; ++i) {
            if (text[i] == '\n') {
                ++line;
                col = 1;
            } else {
                ++col;
            }
        }
        std::string why = e.what();
        const size_t cut = why.find(": ", why.find("parse error"));
        if (cut != std::string::npos) why = why.substr(cut + 2);
        throw SceneError("line " + std::to_string(line) + ", column " + std::to_string(col),
                         "JSON syntax error: " + why);
    }
}
