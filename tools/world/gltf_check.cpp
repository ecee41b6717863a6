// The glTF check and rebuild (see gltf_check.h). Each part of the file is checked in the order
// its references point (buffers, views, accessors, meshes, nodes, scenes), so a reference is
// only followed once its target has been checked; the first fault ends the check with its path.
#include "tools/world/gltf_check.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>

#include "tools/world/gltf_buffers.h"

namespace {

using nlohmann::json;

struct GltfFault {
    std::string message;
};

[[noreturn]] void fail(const std::string& path, const std::string& why) { throw GltfFault{path + ": " + why}; }

// More bytes than the rebuilt GLB's 32-bit lengths can hold.
const uint64_t kMaxBufferBytes = uint64_t(1) << 31;
// More positions and indices, over all primitives, than the compiler's triangle limit needs.
const uint64_t kMaxVertices = 24000000;
// Deeper than the importer's and the compiler's walks over the node tree go.
const int kMaxNodeDepth = 256;

const json& arrayOf(const json& top, const char* key) {
    static const json empty = json::array();
    if (!top.contains(key)) return empty;
    const json& a = top[key];
    if (!a.is_array()) fail(key, "expected an array");
    return a;
}

const json& objectAt(const json& a, size_t i, const std::string& path) {
    if (!a[i].is_object()) fail(path, "expected an object");
    return a[i];
}

bool nonNegativeInteger(const json& v) {
    return v.is_number_unsigned() || (v.is_number_integer() && v.get<int64_t>() >= 0);
}

uint64_t wholeNumber(const json& v, const std::string& path, uint64_t lo, uint64_t hi) {
    if (!nonNegativeInteger(v) || v.get<uint64_t>() < lo || v.get<uint64_t>() > hi)
        fail(path, "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return v.get<uint64_t>();
}

uint64_t indexInto(const json& v, const std::string& path, size_t count, const char* what) {
    if (!nonNegativeInteger(v) || v.get<uint64_t>() >= count)
        fail(path, "expected the index of one of the file's " + std::to_string(count) + " " + what);
    return v.get<uint64_t>();
}

uint64_t optionalWhole(const json& o, const char* key, const std::string& path, uint64_t lo, uint64_t hi,
                       uint64_t fallback) {
    return o.contains(key) ? wholeNumber(o[key], path + "." + key, lo, hi) : fallback;
}

void copyName(const json& from, json& to, const std::string& path) {
    if (!from.contains("name")) return;
    if (!from["name"].is_string()) fail(path + ".name", "expected a string");
    to["name"] = from["name"];
}

struct View {
    uint64_t buffer, offset, length, stride;
};

struct Accessor {
    bool hasView = false;
    uint64_t view = 0, offset = 0, count = 0, stride = 0, elementSize = 0;
    int componentType = 0, components = 0;
    bool normalized = false, sparse = false;
};

int componentSize(int type) {
    switch (type) {
    case 5120: case 5121: return 1;
    case 5122: case 5123: return 2;
    case 5125: case 5126: return 4;
    default: return 0;
    }
}

int componentCount(const std::string& type) {
    static const struct { const char* name; int n; } types[] = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
    for (const auto& t : types)
        if (type == t.name) return t.n;
    return 0;
}

struct Checker {
    const json& top;
    bool binary;
    const uint8_t* bin;
    size_t binSize;
    const std::string& baseDir;
    std::vector<GltfBufferBytes> buffers;
    std::vector<uint64_t> bufferBase;  // where each buffer starts in the rebuilt binary chunk
    std::vector<View> views;
    std::vector<Accessor> accessors;
    json out = json::object();
    uint64_t vertices = 0;  // positions and indices of all primitives so far

    void checkExtensions() {
        const json& required = arrayOf(top, "extensionsRequired");
        for (size_t i = 0; i < required.size(); ++i)
            fail("extensionsRequired[" + std::to_string(i) + "]",
                 "the file needs the extension " + required[i].dump() + ", which is not read");
        if (!top.contains("asset") || !top["asset"].is_object() || !top["asset"].contains("version") ||
            !top["asset"]["version"].is_string())
            fail("asset.version", "a glTF file gives its version, \"2.0\"");
        const std::string version = top["asset"]["version"];
        if (version.rfind("2.", 0) != 0) fail("asset.version", "version \"" + version + "\" is not read; 2.0 is");
        out["asset"] = {{"version", "2.0"}};
    }

    void checkBuffers() {
        const json& list = arrayOf(top, "buffers");
        uint64_t total = 0;
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "buffers[" + std::to_string(i) + "]";
            const json& b = objectAt(list, i, path);
            if (!b.contains("byteLength")) fail(path, "a buffer gives its byteLength");
            const uint64_t length = wholeNumber(b["byteLength"], path + ".byteLength", 1, kMaxBufferBytes);
            const bool hasUri = b.contains("uri");
            if (hasUri && !b["uri"].is_string()) fail(path + ".uri", "expected a string");
            GltfBufferBytes bytes;
            std::string why;
            if (!loadGltfBuffer(hasUri ? b["uri"].get<std::string>() : "", hasUri, i == 0 ? bin : nullptr,
                                i == 0 ? binSize : 0, binary, baseDir, bytes, why))
                fail(hasUri ? path + ".uri" : path, why);
            if (bytes.size < length)
                fail(path + ".byteLength", "declares " + std::to_string(length) + " bytes but the data holds " +
                                               std::to_string(bytes.size));
            bytes.size = length;
            bufferBase.push_back(total);
            total += (length + 3) & ~uint64_t(3);
            if (total > kMaxBufferBytes) fail(path, "the buffers hold more than 2 GiB together");
            buffers.push_back(std::move(bytes));
        }
    }

    void checkViews() {
        const json& list = arrayOf(top, "bufferViews");
        json outViews = json::array();
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "bufferViews[" + std::to_string(i) + "]";
            const json& v = objectAt(list, i, path);
            if (!v.contains("buffer")) fail(path, "a buffer view names its buffer");
            View view{};
            view.buffer = indexInto(v["buffer"], path + ".buffer", buffers.size(), "buffers");
            view.offset = optionalWhole(v, "byteOffset", path, 0, kMaxBufferBytes, 0);
            if (!v.contains("byteLength")) fail(path, "a buffer view gives its byteLength");
            view.length = wholeNumber(v["byteLength"], path + ".byteLength", 1, kMaxBufferBytes);
            view.stride = optionalWhole(v, "byteStride", path, 4, 252, 0);
            if (view.stride % 4) fail(path + ".byteStride", "expected a multiple of 4");
            if (view.offset + view.length > buffers[view.buffer].size)
                fail(path, "bytes " + std::to_string(view.offset) + " to " + std::to_string(view.offset + view.length) +
                               " run past the end of buffer " + std::to_string(view.buffer) + " (" +
                               std::to_string(buffers[view.buffer].size) + " bytes)");
            json o = {{"buffer", 0}, {"byteOffset", bufferBase[view.buffer] + view.offset}, {"byteLength", view.length}};
            if (view.stride) o["byteStride"] = view.stride;
            outViews.push_back(o);
            views.push_back(view);
        }
        if (!outViews.empty()) out["bufferViews"] = outViews;
    }

    void checkAccessors() {
        const json& list = arrayOf(top, "accessors");
        json outAccessors = json::array();
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "accessors[" + std::to_string(i) + "]";
            const json& a = objectAt(list, i, path);
            Accessor acc;
            if (!a.contains("componentType")) fail(path, "an accessor gives its componentType");
            acc.componentType = int(wholeNumber(a["componentType"], path + ".componentType", 5120, 5126));
            const int size = componentSize(acc.componentType);
            if (!size) fail(path + ".componentType", "expected 5120, 5121, 5122, 5123, 5125 or 5126");
            if (!a.contains("type") || !a["type"].is_string() || !(acc.components = componentCount(a["type"])))
                fail(path + ".type", "expected \"SCALAR\", \"VEC2\", \"VEC3\", \"VEC4\", \"MAT2\", \"MAT3\" or \"MAT4\"");
            if (!a.contains("count")) fail(path, "an accessor gives its count");
            acc.count = wholeNumber(a["count"], path + ".count", 1, kMaxBufferBytes);
            acc.offset = optionalWhole(a, "byteOffset", path, 0, kMaxBufferBytes, 0);
            if (acc.offset % size) fail(path + ".byteOffset", "expected a multiple of the component size");
            if (a.contains("normalized") && !a["normalized"].is_boolean()) fail(path + ".normalized", "expected true or false");
            acc.normalized = a.value("normalized", false);
            acc.sparse = a.contains("sparse");
            // Matrix columns start on 4-byte boundaries.
            const int rows = acc.components == 4 && a["type"] == "MAT2" ? 2 : acc.components == 9 ? 3 : 0;
            acc.elementSize = rows ? uint64_t(rows) * ((uint64_t(rows) * size + 3) & ~uint64_t(3))
                                   : uint64_t(acc.components) * size;
            json o = {{"componentType", acc.componentType}, {"type", a["type"]}, {"count", acc.count}};
            if (a.contains("bufferView")) {
                acc.hasView = true;
                acc.view = indexInto(a["bufferView"], path + ".bufferView", views.size(), "bufferViews");
                const View& view = views[acc.view];
                acc.stride = view.stride ? view.stride : acc.elementSize;
                if (acc.stride < acc.elementSize)
                    fail(path, "elements of " + std::to_string(acc.elementSize) + " bytes do not fit bufferViews[" +
                                   std::to_string(acc.view) + "]'s stride of " + std::to_string(acc.stride));
                const uint64_t end = acc.offset + acc.stride * (acc.count - 1) + acc.elementSize;
                if (end > view.length)
                    fail(path, std::to_string(acc.count) + " elements need " + std::to_string(end) + " bytes of bufferViews[" +
                                   std::to_string(acc.view) + "], which has " + std::to_string(view.length));
                o["bufferView"] = acc.view;
                o["byteOffset"] = acc.offset;
            }
            if (acc.normalized) o["normalized"] = true;
            outAccessors.push_back(o);
            accessors.push_back(acc);
        }
        if (!outAccessors.empty()) out["accessors"] = outAccessors;
    }

    // The accessor `v` names, checked to be read as `what` wants.
    const Accessor& usedAccessor(const json& v, const std::string& path) {
        const Accessor& a = accessors[indexInto(v, path, accessors.size(), "accessors")];
        if (a.sparse) fail(path, "the accessor is sparse, which is not read");
        if (!a.hasView) fail(path, "the accessor has no bufferView (all zeros), which is not read");
        return a;
    }

    const uint8_t* elementAt(const Accessor& a, uint64_t k) const {
        const View& v = views[a.view];
        return buffers[v.buffer].bytes + v.offset + a.offset + a.stride * k;
    }

    uint32_t indexValue(const Accessor& a, uint64_t k) const {
        const uint8_t* p = elementAt(a, k);
        if (a.componentType == 5121) return p[0];
        if (a.componentType == 5123) return uint32_t(p[0]) | uint32_t(p[1]) << 8;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }

    json checkPrimitive(const json& p, const std::string& path) {
        const json* attributes = p.contains("attributes") ? &p["attributes"] : nullptr;
        if (!attributes || !attributes->is_object()) fail(path + ".attributes", "expected an object");
        if (!attributes->contains("POSITION")) fail(path + ".attributes", "a primitive needs POSITION");
        json o = {{"attributes", json::object()}};
        const Accessor& position = usedAccessor((*attributes)["POSITION"], path + ".attributes.POSITION");
        if (position.components != 3 || position.componentType != 5126)
            fail(path + ".attributes.POSITION", "positions are float VEC3 (quantized positions are not read)");
        o["attributes"]["POSITION"] = (*attributes)["POSITION"];
        if (attributes->contains("TEXCOORD_0")) {
            const std::string at = path + ".attributes.TEXCOORD_0";
            const Accessor& uv = usedAccessor((*attributes)["TEXCOORD_0"], at);
            if (uv.components != 2 || uv.componentType != 5126)
                fail(at, "texture coordinates are float VEC2 (quantized coordinates are not read)");
            if (uv.count != position.count)
                fail(at, std::to_string(uv.count) + " texture coordinates for " + std::to_string(position.count) + " positions");
            o["attributes"]["TEXCOORD_0"] = (*attributes)["TEXCOORD_0"];
        }
        // Every primitive is copied out whole by the importer, however many refer to the same data.
        vertices += position.count;
        if (vertices > kMaxVertices)
            fail(path, "the meshes hold more than " + std::to_string(kMaxVertices) + " vertices together");
        const uint64_t mode = optionalWhole(p, "mode", path, 0, 6, 4);
        o["mode"] = mode;
        uint64_t corners = position.count;
        if (p.contains("indices")) {
            const std::string at = path + ".indices";
            const Accessor& indices = usedAccessor(p["indices"], at);
            if (indices.components != 1 || indices.componentType == 5126 || indices.componentType % 2 == 0)
                fail(at, "indices are SCALAR of unsigned byte, short or int");
            if (views[indices.view].stride) fail(at, "the bufferView of indices must not have a byteStride");
            for (uint64_t k = 0; k < indices.count; ++k)
                if (indexValue(indices, k) >= position.count)
                    fail(at, "index " + std::to_string(k) + " is " + std::to_string(indexValue(indices, k)) +
                                 ", past the " + std::to_string(position.count) + " positions");
            o["indices"] = p["indices"];
            corners = indices.count;
            vertices += corners;
            if (vertices > kMaxVertices)
                fail(path, "the meshes hold more than " + std::to_string(kMaxVertices) + " vertices together");
        }
        // Whole primitives: a triangle list in threes, a line list in twos, strips and fans
        // with at least one triangle or line.
        const uint64_t least[] = {1, 2, 2, 2, 3, 3, 3};
        if (corners < least[mode] || (mode == 4 && corners % 3) || (mode == 1 && corners % 2))
            fail(path, std::to_string(corners) + " vertices do not make whole primitives of mode " + std::to_string(mode));
        return o;
    }

    void checkMeshes() {
        const json& list = arrayOf(top, "meshes");
        json outMeshes = json::array();
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "meshes[" + std::to_string(i) + "]";
            const json& m = objectAt(list, i, path);
            json o = json::object();
            copyName(m, o, path);
            if (!m.contains("primitives") || !m["primitives"].is_array() || m["primitives"].empty())
                fail(path + ".primitives", "expected an array of at least one primitive");
            o["primitives"] = json::array();
            for (size_t k = 0; k < m["primitives"].size(); ++k) {
                const std::string at = path + ".primitives[" + std::to_string(k) + "]";
                o["primitives"].push_back(checkPrimitive(objectAt(m["primitives"], k, at), at));
            }
            outMeshes.push_back(o);
        }
        if (!outMeshes.empty()) out["meshes"] = outMeshes;
    }

    void numbers(const json& n, const char* key, size_t count, const std::string& path, json& o) {
        if (!n.contains(key)) return;
        const json& v = n[key];
        bool ok = v.is_array() && v.size() == count;
        for (size_t i = 0; ok && i < count; ++i) ok = v[i].is_number() && std::isfinite(v[i].get<double>());
        if (!ok) fail(path + "." + key, "expected " + std::to_string(count) + " finite numbers");
        o[key] = v;
    }

    void checkNodes() {
        const json& list = arrayOf(top, "nodes");
        std::vector<int64_t> parent(list.size(), -1);
        json outNodes = json::array();
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "nodes[" + std::to_string(i) + "]";
            const json& n = objectAt(list, i, path);
            json o = json::object();
            copyName(n, o, path);
            if (n.contains("mesh")) o["mesh"] = indexInto(n["mesh"], path + ".mesh", arrayOf(top, "meshes").size(), "meshes");
            numbers(n, "matrix", 16, path, o);
            numbers(n, "translation", 3, path, o);
            numbers(n, "rotation", 4, path, o);
            numbers(n, "scale", 3, path, o);
            if (o.contains("matrix") && (o.contains("translation") || o.contains("rotation") || o.contains("scale")))
                fail(path, "a node has a matrix or translation, rotation and scale, not both");
            if (n.contains("children")) {
                if (!n["children"].is_array()) fail(path + ".children", "expected an array");
                for (size_t k = 0; k < n["children"].size(); ++k) {
                    const std::string at = path + ".children[" + std::to_string(k) + "]";
                    const uint64_t c = indexInto(n["children"][k], at, list.size(), "nodes");
                    if (parent[c] >= 0 || c == i) fail(at, "node " + std::to_string(c) + " already has a parent");
                    parent[c] = int64_t(i);
                }
                o["children"] = n["children"];
            }
            outNodes.push_back(o);
        }
        // With one parent each, a cycle is a walk up the parents that never reaches a root.
        for (size_t i = 0; i < list.size(); ++i) {
            int depth = 0;
            for (int64_t n = int64_t(i); parent[size_t(n)] >= 0; n = parent[size_t(n)])
                if (++depth > kMaxNodeDepth)
                    fail("nodes[" + std::to_string(i) + "]", "the node tree holds a cycle or is deeper than " +
                                                                 std::to_string(kMaxNodeDepth));
        }
        if (!outNodes.empty()) out["nodes"] = outNodes;
        checkScenes(parent);
    }

    void checkScenes(const std::vector<int64_t>& parent) {
        const json& list = arrayOf(top, "scenes");
        json outScenes = json::array();
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = "scenes[" + std::to_string(i) + "]";
            const json& s = objectAt(list, i, path);
            json o = json::object();
            copyName(s, o, path);
            if (s.contains("nodes")) {
                if (!s["nodes"].is_array()) fail(path + ".nodes", "expected an array");
                std::vector<bool> seen(parent.size(), false);
                for (size_t k = 0; k < s["nodes"].size(); ++k) {
                    const std::string at = path + ".nodes[" + std::to_string(k) + "]";
                    const uint64_t n = indexInto(s["nodes"][k], at, parent.size(), "nodes");
                    if (parent[n] >= 0 || seen[n]) fail(at, "a scene lists root nodes, each once");
                    seen[n] = true;
                }
                o["nodes"] = s["nodes"];
            }
            outScenes.push_back(o);
        }
        if (!outScenes.empty()) out["scenes"] = outScenes;
        if (top.contains("scene")) out["scene"] = indexInto(top["scene"], "scene", list.size(), "scenes");
    }

    std::vector<uint8_t> rebuiltBinary() const {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < buffers.size(); ++i) {
            bytes.resize(bufferBase[i]);
            bytes.insert(bytes.end(), buffers[i].bytes, buffers[i].bytes + buffers[i].size);
        }
        return bytes;
    }
};

}  // namespace

bool checkGltf(const uint8_t* data, size_t size, bool binary, const std::string& baseDir, std::vector<uint8_t>& glb,
               std::string& error) {
    const uint8_t* text = data;
    size_t textSize = size;
    const uint8_t* bin = nullptr;
    size_t binSize = 0;
    if (binary && !splitGlb(data, size, text, textSize, bin, binSize, error)) return false;
    const json top = json::parse(text, text + textSize, nullptr, false);
    if (top.is_discarded() || !top.is_object()) {
        error = "the glTF JSON does not parse as an object";
        return false;
    }
    try {
        Checker c{top, binary, bin, binSize, baseDir, {}, {}, {}, {}};
        c.checkExtensions();
        c.checkBuffers();
        c.checkViews();
        c.checkAccessors();
        c.checkMeshes();
        c.checkNodes();
        const std::vector<uint8_t> chunk = c.rebuiltBinary();
        if (!chunk.empty()) c.out["buffers"] = json::array({{{"byteLength", chunk.size()}}});
        glb = writeGlb(c.out.dump(-1, ' ', false, json::error_handler_t::replace), chunk);
        return true;
    } catch (const GltfFault& f) {
        error = f.message;
        return false;
    }
}
