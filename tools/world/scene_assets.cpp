// Scene materials and textures, and the file names the scene gives.
#include <cctype>
#include <cmath>

#include "image/png_io.h"
#include "tools/world/procedural.h"
#include "tools/world/scene_internal.h"

std::string scenePath(SceneBuild& b, const std::string& name) {
    const std::string path = name.empty() || name[0] == '/' || b.baseDir.empty() ? name : b.baseDir + "/" + name;
    b.inputs.push_back(path);
    return path;
}

namespace {

void colour4(float out[4], const Rgba& c) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

Material defaultMaterialValue() {
    Material m{};
    colour4(m.emission, {0, 0, 0, 1});
    colour4(m.ambient, {0.2f, 0.2f, 0.2f, 1});
    colour4(m.diffuse, {0.8f, 0.8f, 0.8f, 1});
    colour4(m.specular, {0, 0, 0, 1});
    m.shininess = 0;
    return m;
}

// Texture names become file names, so they are kept to a safe alphabet.
void checkAssetName(const JsonAt& at, const std::string& name, const char* what) {
    bool ok = !name.empty() && name.size() <= 64 && name[0] != '_' && name[0] != '.' && name[0] != '-';
    for (char c : name)
        ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.');
    if (!ok)
        at.fail(std::string(what) +
                " names use letters, digits, '_', '-' and '.', up to 64, and do not start with "
                "'_', '.' or '-'");
}

bool powerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

}  // namespace

uint16_t materialRef(SceneBuild& b, const JsonAt& owner) {
    if (owner.has("material")) {
        const JsonAt at = owner["material"];
        auto it = b.materialIndex.find(at.string());
        if (it == b.materialIndex.end()) at.fail("no material named \"" + at.string() + "\"");
        return it->second;
    }
    if (b.defaultMaterial < 0) {
        b.defaultMaterial = static_cast<int>(b.materials.size());
        b.materials.push_back(defaultMaterialValue());
    }
    return static_cast<uint16_t>(b.defaultMaterial);
}

uint16_t textureRef(SceneBuild& b, const JsonAt& owner) {
    if (owner.has("texture")) {
        const JsonAt at = owner["texture"];
        auto it = b.textureIndex.find(at.string());
        if (it == b.textureIndex.end()) at.fail("no texture named \"" + at.string() + "\"");
        return it->second;
    }
    if (b.defaultTexture < 0) {
        // Untextured surfaces still bind a texture; plain white leaves the material's colour.
        b.defaultTexture = static_cast<int>(b.images.size());
        Image white;
        white.width = white.height = 8;
        white.pixels.assign(8 * 8 * 3, 255);
        b.images.push_back(white);
        b.textureNames.push_back("textures/_white.raw");
    }
    return static_cast<uint16_t>(b.defaultTexture);
}

void parseMaterials(SceneBuild& b, const JsonAt& materials) {
    if (!materials.json().is_object())
        materials.fail("expected an object of named materials, got " + jsonTypeName(materials.json()));
    for (auto it = materials.json().begin(); it != materials.json().end(); ++it) {
        const JsonAt m = materials.member(it.key());
        m.expectObject({"emission", "ambient", "diffuse", "specular", "shininess"});
        if (b.materials.size() >= 65535) m.fail("too many materials (at most 65535)");
        Material out = defaultMaterialValue();
        const Rgba e{out.emission[0], out.emission[1], out.emission[2], out.emission[3]};
        colour4(out.emission, m.color("emission", e));
        colour4(out.ambient, m.color("ambient", {0.2f, 0.2f, 0.2f, 1}));
        colour4(out.diffuse, m.color("diffuse", {0.8f, 0.8f, 0.8f, 1}));
        colour4(out.specular, m.color("specular", {0, 0, 0, 1}));
        out.shininess = m.has("shininess") ? m["shininess"].numberIn(0, 128) : 0;
        b.materialIndex[it.key()] = static_cast<uint16_t>(b.materials.size());
        b.materials.push_back(out);
    }
}

namespace {

void sizeOf(const JsonAt& t, ProceduralParams& p) {
    if (!t.has("size")) return;
    const JsonAt s = t["size"];
    if (s.json().is_array()) {
        if (s.size() != 2) s.fail("expected a side length or [width, height]");
        p.width = s.element(0).integer(1, kMaxImageSide);
        p.height = s.element(1).integer(1, kMaxImageSide);
    } else {
        p.width = p.height = s.integer(1, kMaxImageSide);
    }
}

void countsOf(const JsonAt& t, const char* key, ProceduralParams& p) {
    if (!t.has(key)) return;
    const JsonAt c = t[key];
    if (c.json().is_array()) {
        if (c.size() != 2) c.fail("expected a count or [across, down]");
        p.countX = c.element(0).integer(1, 1024);
        p.countY = c.element(1).integer(1, 1024);
    } else {
        p.countX = p.countY = c.integer(1, 1024);
    }
}

void twoColours(const JsonAt& t, ProceduralParams& p) {
    if (!t.has("colors")) return;
    const JsonAt c = t["colors"];
    if (c.size() != 2) c.fail("expected two colours");
    p.colorA = c.element(0).color();
    p.colorB = c.element(1).color();
}

Image proceduralTexture(SceneBuild& b, const JsonAt& t, const std::string& type) {
    ProceduralParams p;
    sizeOf(t, p);
    p.seed = static_cast<uint32_t>(t.integer("seed", 0, 1 << 30, 1));
    p.variation = t.has("variation") ? t["variation"].numberIn(0, 1) : p.variation;
    Image img;
    if (type == "checker") {
        t.expectObject({"type", "size", "seed", "variation", "colors", "cells"});
        p.variation = t.has("variation") ? p.variation : 0.0f;
        twoColours(t, p);
        countsOf(t, "cells", p);
        img = makeChecker(p);
    } else if (type == "bricks") {
        t.expectObject({"type", "size", "seed", "variation", "brick", "mortar", "columns", "rows",
                        "mortarWidth"});
        p.colorA = t.color("brick", {0.62f, 0.30f, 0.22f, 1});
        p.colorB = t.color("mortar", {0.72f, 0.70f, 0.66f, 1});
        p.countX = t.integer("columns", 1, 256, 4);
        p.countY = t.integer("rows", 1, 256, 8);
        p.gap = t.has("mortarWidth") ? t["mortarWidth"].numberIn(0, 0.5f) : 0.08f;
        if (p.countY % 2) b.warnings.push_back(t.path() + ": an odd number of brick rows does not tile vertically");
        img = makeBricks(p);
    } else if (type == "tiles") {
        t.expectObject({"type", "size", "seed", "variation", "tile", "grout", "count", "groutWidth"});
        p.colorA = t.color("tile", {0.85f, 0.85f, 0.82f, 1});
        p.colorB = t.color("grout", {0.35f, 0.35f, 0.33f, 1});
        p.countX = p.countY = 4;
        countsOf(t, "count", p);
        p.gap = t.has("groutWidth") ? t["groutWidth"].numberIn(0, 0.5f) : 0.05f;
        img = makeTiles(p);
    } else if (type == "noise") {
        t.expectObject({"type", "size", "seed", "variation", "colors", "scale", "octaves", "persistence"});
        twoColours(t, p);
        p.countX = t.integer("scale", 1, 1024, 8);
        p.octaves = t.integer("octaves", 1, 8, 4);
        p.persistence = t.has("persistence") ? t["persistence"].numberIn(0, 1) : 0.5f;
        img = makeNoise(p);
    } else if (type == "gradient") {
        t.expectObject({"type", "size", "seed", "variation", "colors", "direction"});
        twoColours(t, p);
        const std::string dir = t.has("direction") ? t["direction"].string() : "vertical";
        if (dir == "vertical") p.direction = 0;
        else if (dir == "horizontal") p.direction = 1;
        else if (dir == "radial") p.direction = 2;
        else t["direction"].fail("expected \"vertical\", \"horizontal\" or \"radial\"");
        img = makeGradient(p);
    } else {
        t["type"].fail("unknown texture type \"" + type +
                       "\" (expected checker, bricks, tiles, noise or gradient)");
    }
    return img;
}

}  // namespace

void parseTextures(SceneBuild& b, const JsonAt& textures) {
    if (!textures.json().is_object())
        textures.fail("expected an object of named textures, got " + jsonTypeName(textures.json()));
    for (auto it = textures.json().begin(); it != textures.json().end(); ++it) {
        const JsonAt t = textures.member(it.key());
        checkAssetName(t, it.key(), "texture");
        if (b.images.size() >= 32767) t.fail("too many textures (at most 32767)");
        Image img;
        if (t.has("png")) {
            t.expectObject({"png"});
            std::string why;
            if (!readPng(scenePath(b, t["png"].string()), img, why)) t["png"].fail(why);
        } else if (t.has("type")) {
            img = proceduralTexture(b, t, t["type"].string());
        } else {
            t.fail("a texture needs \"png\" (an image file) or \"type\" (a generator)");
        }
        if (!powerOfTwo(img.width) || !powerOfTwo(img.height))
            b.warnings.push_back(t.path() + ": " + std::to_string(img.width) + "x" +
                                 std::to_string(img.height) +
                                 " is not a power of two on each side; OpenGL 1.1 may refuse it");
        b.textureIndex[it.key()] = static_cast<uint16_t>(b.images.size());
        b.textureNames.push_back("textures/" + it.key() + ".raw");
        b.images.push_back(std::move(img));
    }
}
