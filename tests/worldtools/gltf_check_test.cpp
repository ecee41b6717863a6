// The glTF check: a file with one fault anywhere in the subset the import reads is refused with
// the JSON path of the fault, and what passes reaches the importer as a GLB of only that subset.
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "test_files.h"
#include "tests/worldtools/mesh_scenes.h"
#include "tools/world/gltf_check.h"
#include "tools/world/mesh_export.h"
#include "tools/world/mesh_import.h"
#include "tools/world/primitives.h"

namespace {

using nlohmann::json;

// Two boxes, the second below the first: 72 corners each way, three accessors per node
// (positions, texture coordinates, indices) in three views of one data-URI buffer.
json twoBoxes() {
    PrimitiveParams p;
    GltfNode base, lid;
    base.name = "base";
    base.mesh = makeBox(p);
    lid.name = "lid";
    lid.mesh = makeBox(p);
    lid.parent = 0;
    return json::parse(gltfText({base, lid}));
}

bool check(const json& j, std::vector<uint8_t>& glb, std::string& error) {
    const std::string text = j.dump();
    return checkGltf(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false, "", glb, error);
}

// The JSON of a rebuilt GLB.
json glbJson(const std::vector<uint8_t>& glb) {
    const uint32_t length = uint32_t(glb[12]) | uint32_t(glb[13]) << 8 | uint32_t(glb[14]) << 16 | uint32_t(glb[15]) << 24;
    return json::parse(glb.begin() + 20, glb.begin() + 20 + length);
}

TEST(GltfCheck, EveryFaultIsRefusedWithItsJsonPath) {
    const struct {
        const char* says;  // the error starts with the path, then this
        std::function<void(json&)> change;
    } cases[] = {
        {"asset.version: version \"1.0\" is not read", [](json& j) { j["asset"]["version"] = "1.0"; }},
        {"extensionsRequired[0]: the file needs the extension \"KHR_draco_mesh_compression\"",
         [](json& j) { j["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }},
        {"scene: expected the index of one of the file's 1 scenes", [](json& j) { j["scene"] = 1; }},
        {"scenes[0].nodes[0]: expected the index of one of the file's 2 nodes", [](json& j) { j["scenes"][0]["nodes"][0] = 2; }},
        {"scenes[0].nodes[1]: a scene lists root nodes", [](json& j) { j["scenes"][0]["nodes"].push_back(1); }},
        {"nodes[1].mesh: expected the index of one of the file's 2 meshes", [](json& j) { j["nodes"][1]["mesh"] = 2; }},
        {"nodes[0].children[0]: expected the index", [](json& j) { j["nodes"][0]["children"][0] = -1; }},
        {"nodes[0].children[1]: node 1 already has a parent", [](json& j) { j["nodes"][0]["children"].push_back(1); }},
        {"nodes[0]: the node tree holds a cycle", [](json& j) { j["nodes"][1]["children"] = {0}; }},
        {"nodes[0].matrix: expected 16 finite numbers", [](json& j) { j["nodes"][0]["matrix"] = std::vector<int>(15, 1); }},
        {"nodes[0].translation: expected 3 finite numbers", [](json& j) { j["nodes"][0]["translation"] = {1, 2}; }},
        {"nodes[0].rotation: expected 4 finite numbers", [](json& j) { j["nodes"][0]["rotation"] = {0, 0, 1}; }},
        {"nodes[1].scale: expected 3 finite numbers", [](json& j) { j["nodes"][1]["scale"] = {1, 1, "2"}; }},
        {"nodes[0]: a node has a matrix or translation", [](json& j) {
             j["nodes"][0]["matrix"] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
             j["nodes"][0]["translation"] = {1, 2, 3};
         }},
        {"meshes[0].primitives[0].attributes.POSITION: expected the index of one of the file's 6 accessors",
         [](json& j) { j["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 6; }},
        {"meshes[1].primitives[0].indices: expected the index", [](json& j) { j["meshes"][1]["primitives"][0]["indices"] = 1.5; }},
        {"meshes[0].primitives[0].attributes: a primitive needs POSITION",
         [](json& j) { j["meshes"][0]["primitives"][0]["attributes"].erase("POSITION"); }},
        {"meshes[0].primitives[0].attributes.POSITION: positions are float VEC3",
         [](json& j) { j["accessors"][0]["componentType"] = 5123; }},
        {"meshes[0].primitives[0].attributes.TEXCOORD_0: texture coordinates are float VEC2", [](json& j) {
             j["accessors"][1]["componentType"] = 5123;
             j["accessors"][1]["normalized"] = true;
         }},
        {"meshes[0].primitives[0].attributes.POSITION: the accessor is sparse",
         [](json& j) { j["accessors"][0]["sparse"] = {{"count", 1}}; }},
        {"meshes[0].primitives[0].attributes.TEXCOORD_0: 3 texture coordinates for 36 positions",
         [](json& j) { j["accessors"][1]["count"] = 3; }},
        {"meshes[0].primitives[0]: 35 vertices do not make whole primitives of mode 4",
         [](json& j) { j["accessors"][2]["count"] = 35; }},
        {"meshes[0].primitives[0].indices: index 3 is 3, past the 3 positions", [](json& j) {
             j["accessors"][0]["count"] = 3;
             j["accessors"][1]["count"] = 3;
         }},
        {"accessors[0].componentType: expected 5120, 5121", [](json& j) { j["accessors"][0]["componentType"] = 5124; }},
        {"accessors[0].componentType: expected a whole number", [](json& j) { j["accessors"][0]["componentType"] = 9807; }},
        {"accessors[1].type: expected \"SCALAR\"", [](json& j) { j["accessors"][1]["type"] = "VEC5"; }},
        {"accessors[0].bufferView: expected the index of one of the file's 6 bufferViews",
         [](json& j) { j["accessors"][0]["bufferView"] = 6; }},
        {"accessors[0]: 37 elements need 444 bytes of bufferViews[0], which has 432",
         [](json& j) { j["accessors"][0]["count"] = 37; }},
        {"accessors[2].byteOffset: expected a multiple of the component size", [](json& j) { j["accessors"][2]["byteOffset"] = 2; }},
        {"accessors[0]: elements of 12 bytes do not fit bufferViews[0]'s stride of 8",
         [](json& j) { j["bufferViews"][0]["byteStride"] = 8; }},
        {"bufferViews[0].byteStride: expected a whole number from 4 to 252", [](json& j) { j["bufferViews"][0]["byteStride"] = 256; }},
        {"bufferViews[5]: bytes ", [](json& j) { j["bufferViews"][5]["byteLength"] = j["bufferViews"][5]["byteLength"].get<int>() + 4; }},
        {"bufferViews[0].buffer: expected the index of one of the file's 1 buffers", [](json& j) { j["bufferViews"][0]["buffer"] = 1; }},
        {"buffers[0].byteLength: declares ", [](json& j) { j["buffers"][0]["byteLength"] = j["buffers"][0]["byteLength"].get<int>() + 1; }},
        {"buffers[0].uri: the data URI is not valid base64",
         [](json& j) { j["buffers"][0]["uri"] = "data:application/octet-stream;base64,AAA*"; }},
        {"buffers[0].uri: only base64 data URIs", [](json& j) { j["buffers"][0]["uri"] = "data:text/plain,abc"; }},
        {"buffers[0].uri: \"http://example.com/box.bin\" is not a data URI or a file name",
         [](json& j) { j["buffers"][0]["uri"] = "http://example.com/box.bin"; }},
        {"buffers[0].uri: \"box.bin\" is another file, which cannot be read", [](json& j) { j["buffers"][0]["uri"] = "box.bin"; }},
        {"buffers[0]: the buffer has no uri, which only a binary glTF", [](json& j) { j["buffers"][0].erase("uri"); }},
        {"nodes: expected an array", [](json& j) { j["nodes"] = {{"a", 1}}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        json j = twoBoxes();
        std::vector<uint8_t> glb;
        std::string error;
        ASSERT_TRUE(check(j, glb, error)) << error;  // the file before the change passes
        c.change(j);
        EXPECT_FALSE(check(j, glb, error));
        EXPECT_EQ(error.rfind(c.says, 0), 0u) << error;
    }
}

TEST(GltfCheck, ANodeTreeDeeperThanTheImporterWalksIsRefused) {
    json j = twoBoxes();
    for (int i = 2; i < 300; ++i) {
        j["nodes"][i - 1]["children"] = {i};
        j["nodes"].push_back({{"name", "n" + std::to_string(i)}});
    }
    std::vector<uint8_t> glb;
    std::string error;
    EXPECT_FALSE(check(j, glb, error));
    EXPECT_NE(error.find("the node tree holds a cycle or is deeper than 256"), std::string::npos) << error;
    j["nodes"][200].erase("children");  // 201 deep now
    EXPECT_TRUE(check(j, glb, error)) << error;
}

// Materials, animations, skins, normals and the rest go no further than the check: the
// importer gets scenes, nodes, meshes with positions, texture coordinates and indices, and one
// buffer, and reads the same triangles as from the plain file.
TEST(GltfCheck, TheImporterSeesOnlyTheCheckedSubset) {
    json j = twoBoxes();
    j["extensionsUsed"] = {"KHR_materials_unlit"};
    j["materials"] = {{{"name", "paint"}, {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 9}}}}}}};
    j["meshes"][0]["primitives"][0]["material"] = 0;
    j["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = 0;
    j["meshes"][0]["primitives"][0]["targets"] = {{{"POSITION", 0}}};
    j["animations"] = {{{"channels", {{{"sampler", 5}}}}}};
    j["skins"] = {{{"joints", {7}}}};
    j["nodes"][0]["skin"] = 0;
    j["images"] = {{{"uri", "/etc/passwd"}}};
    std::vector<uint8_t> glb;
    std::string error;
    ASSERT_TRUE(check(j, glb, error)) << error;
    const json seen = glbJson(glb);
    for (const char* gone : {"materials", "animations", "skins", "images", "extensionsUsed"})
        EXPECT_FALSE(seen.contains(gone)) << gone;
    EXPECT_FALSE(seen["nodes"][0].contains("skin"));
    EXPECT_EQ(seen["meshes"][0]["primitives"][0], json::parse(R"({"attributes": {"POSITION": 0, "TEXCOORD_0": 1},
                                                                   "indices": 2, "mode": 4})"));
    EXPECT_EQ(seen["buffers"], json::parse(R"([{"byteLength": 1728}])"));
    EXPECT_EQ(seen["nodes"][0]["children"], json::array({1}));

    Mesh plain, rich;
    const std::string a = twoBoxes().dump(), b = j.dump();
    ASSERT_TRUE(importMeshMemory(a.data(), a.size(), "gltf", "", "plain.gltf", plain, error)) << error;
    ASSERT_TRUE(importMeshMemory(b.data(), b.size(), "gltf", "", "rich.gltf", rich, error)) << error;
    EXPECT_EQ(rich.positions, plain.positions);
    ASSERT_EQ(rich.triangles.size(), 24u);
}

// Buffers in files beside the glTF, named with URI escapes, are read and sized; a GLB's binary
// chunk must hold what its buffer declares.
TEST(GltfCheck, BufferFilesAndBinaryChunksAreSized) {
    const std::string dir = freshDir("buffers");
    json j = twoBoxes();
    const std::string uri = j["buffers"][0]["uri"];
    std::vector<uint8_t> glb, bin;
    std::string error;
    ASSERT_TRUE(check(j, glb, error)) << error;
    const size_t jsonChunk = 20 + (size_t(glb[12]) | size_t(glb[13]) << 8);
    bin.assign(glb.begin() + long(jsonChunk) + 8, glb.end());
    writeBytes(dir + "/box data.bin", bin);
    j["buffers"][0]["uri"] = "box%20data.bin";
    writeText(dir + "/outside.gltf", j.dump());
    Mesh m;
    ASSERT_TRUE(importMeshFile(dir + "/outside.gltf", "lid", m, error)) << error;
    EXPECT_EQ(m.triangles.size(), 12u);

    bin.resize(bin.size() - 8);
    writeBytes(dir + "/box data.bin", bin);
    EXPECT_FALSE(importMeshFile(dir + "/outside.gltf", "", m, error));
    EXPECT_EQ(error, "\"" + dir + "/outside.gltf\": cannot read it as glTF: buffers[0].byteLength: declares 1728 "
                     "bytes but the data holds 1720");
    j["buffers"][0]["uri"] = "gone.bin";
    writeText(dir + "/outside.gltf", j.dump());
    EXPECT_FALSE(importMeshFile(dir + "/outside.gltf", "", m, error));
    EXPECT_NE(error.find("buffers[0].uri: cannot read the buffer file \"" + dir + "/gone.bin\""), std::string::npos) << error;

    // A GLB whose buffer claims more than its binary chunk.
    PrimitiveParams p;
    GltfNode box;
    box.name = "box";
    box.mesh = makeBox(p);
    std::vector<uint8_t> file = glbBytes({box});
    ASSERT_TRUE(checkGltf(file.data(), file.size(), true, "", glb, error)) << error;
    const uint32_t jsonLength = uint32_t(file[12]) | uint32_t(file[13]) << 8;
    json inner = json::parse(file.begin() + 20, file.begin() + 20 + jsonLength);
    inner["buffers"][0]["byteLength"] = inner["buffers"][0]["byteLength"].get<int>() + 4;
    std::string text = inner.dump();
    text.resize(jsonLength, ' ');
    ASSERT_EQ(inner.dump().size() <= jsonLength, true);
    std::copy(text.begin(), text.end(), file.begin() + 20);
    EXPECT_FALSE(checkGltf(file.data(), file.size(), true, "", glb, error));
    EXPECT_EQ(error.rfind("buffers[0].byteLength: declares ", 0), 0u) << error;
}

}  // namespace
