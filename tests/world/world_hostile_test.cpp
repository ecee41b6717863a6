// The world reader on files that are truncated, claim impossible counts, or hold indices out of
// range: every one fails the load with a reason, never reads outside the file, never leaks
// (the sanitizer build checks both), and never allocates for counts the file cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "tests/world/world_bytes.h"
#include "world/world_build.h"
#include "world/world_file.h"

namespace {

// A small valid file with every section populated.
WorldBytes validFile() {
    WorldBytes f;
    f.header().u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    f.u16(1);
    for (int i = 0; i < 17; ++i) f.f(0.5f);
    f.u16(1).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0).u16(2);
    f.triangle(0, 0, 0, 1, 2, 1, -1, -1).triangle(0, 0, 0, 2, 1, 0, -1, -1);
    f.u16(2);
    f.roomHead(2, 1, 1).entity(0, 1).entity(0, 2).triangle(0, 0, 0, 1, 2);
    f.u16(3).u16(1).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    f.roomHead(0, 0, 1).u16(3).u16(0).vec(0, 0, 0).vec(0, 1, 0).vec(1, 0, 0);
    return f;
}

void expectFails(const WorldBytes& f, const std::string& name, const char* reasonPart) {
    World* w = loadWorld(f.save(name).c_str());
    EXPECT_EQ(w, nullptr) << name;
    freeWorld(w);
    EXPECT_NE(std::string(worldLoadError()).find(reasonPart), std::string::npos)
        << name << ": " << worldLoadError();
}

TEST(WorldHostile, EveryTruncationFailsCleanly) {
    const WorldBytes full = validFile();
    World* w = loadWorld(full.save("full").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    freeWorld(w);
    for (size_t n = 0; n < full.b.size(); ++n) {
        WorldBytes cut;
        cut.b.assign(full.b.begin(), full.b.begin() + n);
        World* partial = loadWorld(cut.save("cut").c_str());
        EXPECT_EQ(partial, nullptr) << "prefix of " << n << " bytes loaded";
        EXPECT_STRNE(worldLoadError(), "") << n;
        freeWorld(partial);
    }
}

TEST(WorldHostile, SampleWorldTruncationsFailCleanly) {
    World* sample = newWorld();
    addWorldVertex(sample, {0, 0, 0});
    Model* m = addEmptyModel(sample);
    addModelVertex(m, {0, 0, 0});
    addModelVertex(m, {1, 0, 0});
    addModelVertex(m, {0, 0, 1});
    addModelTriangle(m, 0, 1, 2);
    Room* r = addRoom(sample, {-1, -1, -1}, {1, 1, 1});
    addEntity(sample, r, 0, {0, 0, 0});
    addPortal(r, 0, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const std::vector<unsigned char> bytes = serializeWorld(*sample);
    freeWorld(sample);
    for (size_t n = 0; n < bytes.size(); n += 7) {
        const std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + n);
        World* partial = loadWorld(saveBytes(cut, "cut2").c_str());
        EXPECT_EQ(partial, nullptr) << n;
        freeWorld(partial);
    }
}

TEST(WorldHostile, CountsTheFileCannotHoldFailBeforeAllocating) {
    WorldBytes hugeVertices;
    hugeVertices.header().u32(0xFFFFFFFFu).vec(0, 0, 0);
    expectFails(hugeVertices, "hugeVertices", "vertex count 4294967295 needs");

    WorldBytes hugeMaterials;
    hugeMaterials.header().u32(0).u16(65535);
    expectFails(hugeMaterials, "hugeMaterials", "material count 65535 needs");

    WorldBytes models32768;
    models32768.header().u32(0).u16(0).u16(32768);
    expectFails(models32768, "models32768", "model count 32768 is over");

    WorldBytes models32767;
    models32767.header().u32(0).u16(0).u16(32767);
    expectFails(models32767, "models32767", "model count 32767 needs");

    WorldBytes rooms65535;
    rooms65535.header().u32(0).u16(0).u16(0).u16(65535);
    expectFails(rooms65535, "rooms65535", "room count 65535 is over");

    WorldBytes modelVertices;
    modelVertices.header().u32(0).u16(0).u16(1).u32(0xFFFFFFFFu).vec(0, 0, 0);
    expectFails(modelVertices, "modelVertices", "model vertex count 4294967295 needs");

    WorldBytes modelTriangles;
    modelTriangles.header().u32(0).u16(0).u16(1).u32(0).u16(32768);
    expectFails(modelTriangles, "modelTriangles", "model triangle count 32768 is over");

    WorldBytes roomTriangles;
    roomTriangles.header().u32(0).u16(0).u16(0).u16(1).roomHead(0, 32768, 0);
    expectFails(roomTriangles, "roomTriangles", "over 32767");

    WorldBytes roomEntities;
    roomEntities.header().u32(0).u16(0).u16(0).u16(1).roomHead(65535, 1, 1);
    expectFails(roomEntities, "roomEntities", "65535 entities");

    WorldBytes portalVertices;
    portalVertices.header().u32(0).u16(0).u16(0).u16(1).roomHead(0, 0, 1).u16(32767).u16(0);
    expectFails(portalVertices, "portalVertices", "portal vertex count 32767 needs");
}

TEST(WorldHostile, IndicesOutOfRangeByOneFail) {
    WorldBytes roomVertex;
    roomVertex.header().u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0).u16(0).u16(0);
    roomVertex.u16(1).roomHead(0, 1, 0).triangle(0, 0, 0, 1, 3);
    expectFails(roomVertex, "roomVertex", "vertex index 3 is beyond the 3-vertex pool");

    WorldBytes modelVertex;
    modelVertex.header().u32(0).u16(0).u16(1).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    modelVertex.u16(1).triangle(0, 0, 3, 1, 2).u16(0);
    expectFails(modelVertex, "modelVertex", "vertex index 3 is beyond the 3-vertex pool");

    WorldBytes neighbour;
    neighbour.header().u32(0).u16(0).u16(1).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    neighbour.u16(1).triangle(0, 0, 0, 1, 2, -1, 1, -1).u16(0);
    expectFails(neighbour, "neighbour", "neighbour 1 is neither -1");

    WorldBytes negativeNeighbour;
    negativeNeighbour.header().u32(0).u16(0).u16(1).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    negativeNeighbour.u16(1).triangle(0, 0, 0, 1, 2, -2, -1, -1).u16(0);
    expectFails(negativeNeighbour, "negativeNeighbour", "neighbour -2 is neither -1");

    WorldBytes entityModel;
    entityModel.header().u32(0).u16(0).u16(1).u32(0).u16(0);
    entityModel.u16(1).roomHead(1, 0, 0).entity(1, 0);
    expectFails(entityModel, "entityModel", "entity model index 1 is beyond the 1 models");

    WorldBytes portalTarget;
    portalTarget.header().u32(0).u16(0).u16(0).u16(2);
    portalTarget.roomHead(0, 0, 0).roomHead(0, 0, 1).u16(0).u16(2);
    expectFails(portalTarget, "portalTarget", "room 1 portal 0 targets room 2 of 2");

    WorldBytes bodyOffset;
    bodyOffset.header(200);
    expectFails(bodyOffset, "bodyOffset", "body offset 200 is past the end");
}

}  // namespace
