// The world file reader and writer on well-formed files: round trips, list order, portal
// resolution, planes from the right pool, field order of light and triangle records, header rules.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/world/world_bytes.h"
#include "world/world_build.h"
#include "world/world_file.h"

namespace {

void expectTrianglesEqual(const Triangle& a, const Triangle& b) {
    EXPECT_EQ(0, std::memcmp(a.v, b.v, sizeof a.v));
    EXPECT_EQ(0, std::memcmp(a.uv, b.uv, sizeof a.uv));
    EXPECT_EQ(0, std::memcmp(a.adj, b.adj, sizeof a.adj));
    EXPECT_EQ(0, std::memcmp(&a.plane, &b.plane, sizeof a.plane));
    EXPECT_EQ(a.material, b.material);
    EXPECT_EQ(a.texture, b.texture);
}

void expectVecsEqual(const Vec3& a, const Vec3& b) { EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a)); }

void expectWorldsEqual(const World& a, const World& b) {
    ASSERT_EQ(a.vertexCount, b.vertexCount);
    for (uint32_t i = 0; i < a.vertexCount; ++i) expectVecsEqual(*a.vertices[i], *b.vertices[i]);
    ASSERT_EQ(a.materialCount, b.materialCount);
    EXPECT_EQ(0, std::memcmp(a.materials, b.materials, sizeof(Material) * a.materialCount));
    ASSERT_EQ(a.modelCount, b.modelCount);
    for (int m = 0; m < a.modelCount; ++m) {
        const Model &ma = *a.models[m], &mb = *b.models[m];
        ASSERT_EQ(ma.vertexCount, mb.vertexCount);
        for (uint32_t i = 0; i < ma.vertexCount; ++i) expectVecsEqual(*ma.vertices[i], *mb.vertices[i]);
        ASSERT_EQ(ma.triangleCount, mb.triangleCount);
        for (int i = 0; i < ma.triangleCount; ++i) expectTrianglesEqual(*ma.triangles[i], *mb.triangles[i]);
    }
    ASSERT_EQ(a.roomCount, b.roomCount);
    for (int r = 0; r < a.roomCount; ++r) {
        const Room &ra = *a.rooms[r], &rb = *b.rooms[r];
        expectVecsEqual(ra.boxMin, rb.boxMin);
        expectVecsEqual(ra.boxMax, rb.boxMax);
        for (int i = 0; i < 8; ++i) {
            const RoomLight &la = ra.lights[i], &lb = rb.lights[i];
            EXPECT_EQ(la.enabled, lb.enabled);
            EXPECT_EQ(la.type, lb.type);
            EXPECT_EQ(0, std::memcmp(la.ambient, lb.ambient, sizeof la.ambient));
            EXPECT_EQ(0, std::memcmp(la.diffuse, lb.diffuse, sizeof la.diffuse));
            EXPECT_EQ(0, std::memcmp(la.specular, lb.specular, sizeof la.specular));
            EXPECT_EQ(0, std::memcmp(la.position, lb.position, 3 * sizeof(float)));
        }
        const Entity *ea = ra.entities, *eb = rb.entities;
        for (; ea && eb; ea = ea->next, eb = eb->next) {
            EXPECT_EQ(ea->model, eb->model);
            EXPECT_EQ(ea->flags, eb->flags);
            expectVecsEqual(ea->position, eb->position);
            expectVecsEqual(ea->angles, eb->angles);
        }
        EXPECT_EQ(ea, nullptr);
        EXPECT_EQ(eb, nullptr);
        ASSERT_EQ(ra.triangleCount, rb.triangleCount);
        for (int i = 0; i < ra.triangleCount; ++i) expectTrianglesEqual(*ra.triangles[i], *rb.triangles[i]);
        ASSERT_EQ(ra.portalCount, rb.portalCount);
        for (int p = 0; p < ra.portalCount; ++p) {
            const Portal &pa = *ra.portals[p], &pb = *rb.portals[p];
            ASSERT_EQ(pa.vertexCount, pb.vertexCount);
            for (int i = 0; i < pa.vertexCount; ++i) expectVecsEqual(*pa.vertices[i], *pb.vertices[i]);
            // Same room position in each world.
            int ia = -1, ib = -1;
            for (int k = 0; k < a.roomCount; ++k) {
                if (a.rooms[k] == pa.target) ia = k;
                if (b.rooms[k] == pb.target) ib = k;
            }
            EXPECT_EQ(ia, ib);
            EXPECT_GE(ia, 0);
        }
    }
}

// A world with every kind of record: two rooms, a portal each way, three entities, two models.
World* makeRichWorld() {
    World* w = newWorld();
    Material m{};
    for (int i = 0; i < 17; ++i) (&m.emission[0])[i] = 0.01f * i;
    addMaterial(w, m);
    addMaterial(w, Material{});
    for (int i = 0; i < 4; ++i) addWorldVertex(w, {float(i), float(i * i), 1.0f - i});
    Model* tri = addEmptyModel(w);
    addModelVertex(tri, {0, 0, 0});
    addModelVertex(tri, {1, 0, 0});
    addModelVertex(tri, {0, 1, 0});
    addModelTriangle(tri, 0, 1, 2, 1, 3)->adj[1] = 0;
    addEmptyModel(w);  // a model with nothing in it is valid
    Room* r0 = addRoom(w, {-2, -2, -2}, {2, 2, 2});
    Room* r1 = addRoom(w, {-2, -2, -6}, {2, 2, -2});
    r0->lights[0] = RoomLight{1, 0, {0.1f, 0.2f, 0.3f, 1}, {1, 0.5f, 0.25f, 1}, {1, 1, 1, 1}, {0, 1.5f, 0, 0}};
    r1->lights[3] = RoomLight{2, 1, {0, 0, 0, 1}, {0.5f, 0.5f, 0.5f, 1}, {0, 0, 0, 0}, {1, 2, 3, 0}};
    addRoomTriangle(w, r0, 0, 1, 2, 1, 7);
    addRoomTriangle(w, r1, 1, 2, 3);
    addPortal(r0, 1, {{-1, -1, -2}, {1, -1, -2}, {1, 1, -2}, {-1, 1, -2}});
    addPortal(r1, 0, {{-1, 1, -2}, {1, 1, -2}, {1, -1, -2}});
    resolvePortals(w);
    addEntity(w, r0, 0, {1, 0, 0}, {10, 20, 30}, kEntityTranslucent);
    addEntity(w, r0, 1, {2, 0, 0}, {0, 0, 0}, kEntityHidden);
    addEntity(w, r1, 0, {0, 0, -4});
    return w;
}

TEST(WorldFile, RoundTripKeepsEveryFieldAndBytes) {
    World* original = makeRichWorld();
    const std::vector<unsigned char> bytes = serializeWorld(*original);
    const std::string path = saveBytes(bytes, "roundtrip");
    World* loaded = loadWorld(path.c_str());
    ASSERT_NE(loaded, nullptr) << worldLoadError();
    EXPECT_STREQ(worldLoadError(), "");
    expectWorldsEqual(*original, *loaded);
    EXPECT_EQ(serializeWorld(*loaded), bytes);

    // Fields the file does not hold are set by the reader.
    EXPECT_EQ(loaded->frame, 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(loaded->lightIds[i], 0x4000 + i);
    for (int r = 0; r < loaded->roomCount; ++r) {
        EXPECT_EQ(loaded->rooms[r]->lastFrame, 0);
        EXPECT_EQ(loaded->rooms[r]->world, loaded);
        for (const Entity* e = loaded->rooms[r]->entities; e; e = e->next) {
            EXPECT_EQ(e->dirty, 0xFF);
            for (uint32_t c : e->edgeCount) EXPECT_EQ(c, 0u);
            const int n = loaded->models[e->model]->triangleCount;
            for (int k = 0; k < n; ++k) EXPECT_EQ(e->litMask[k], 0);
        }
    }
    EXPECT_EQ(loadingWorld, loaded);
    freeWorld(original);
    freeWorld(loaded);
}

TEST(WorldFile, EntityRecordsLinkInReverseFileOrder) {
    WorldBytes f;
    f.header().u32(0).u16(0);
    f.u16(1).u32(0).u16(0);  // one empty model
    f.u16(1).roomHead(3, 0, 0).entity(0, 1).entity(0, 2).entity(0, 3);  // A, B, C
    World* w = loadWorld(f.save("order").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    const Entity* c = w->rooms[0]->entities;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->position.x, 3);
    EXPECT_EQ(c->prev, nullptr);
    const Entity* b = c->next;
    EXPECT_EQ(b->position.x, 2);
    EXPECT_EQ(b->prev, c);
    const Entity* a = b->next;
    EXPECT_EQ(a->position.x, 1);
    EXPECT_EQ(a->prev, b);
    EXPECT_EQ(a->next, nullptr);
    EXPECT_EQ(a->room, nullptr);  // the reader links without placing
    freeWorld(w);
}

TEST(WorldFile, LightRecordFieldsLandInTheirSlots) {
    WorldBytes f;
    f.header().u32(0).u16(0).u16(0).u16(1).roomHead(0, 0, 0);
    World* w = loadWorld(f.save("lights").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    for (int i = 0; i < 8; ++i) {
        const RoomLight& l = w->rooms[0]->lights[i];
        EXPECT_EQ(l.position[0], float(i));
        EXPECT_EQ(l.position[1], 100.0f + i);
        EXPECT_EQ(l.position[2], 200.0f + i);
        EXPECT_EQ(l.ambient[0], float(1000 * (i + 1)));
        EXPECT_EQ(l.diffuse[0], float(1000 * (i + 1) + 4));
        EXPECT_EQ(l.specular[3], float(1000 * (i + 1) + 11));
        EXPECT_EQ(l.enabled, i % 3);
        EXPECT_EQ(l.type, i == 2 ? 1 : 0);
    }
    freeWorld(w);
}

TEST(WorldFile, PortalsResolveForwardsAndBackwards) {
    WorldBytes f;
    f.header().u32(0).u16(0).u16(0).u16(3);
    f.roomHead(0, 0, 1).u16(3).u16(2).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);  // 0 -> 2
    f.roomHead(0, 0, 0);
    f.roomHead(0, 0, 2).u16(0).u16(0).u16(0).u16(1);                          // 2 -> 0, 2 -> 1
    World* w = loadWorld(f.save("portals").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    EXPECT_EQ(w->rooms[0]->portals[0]->target, w->rooms[2]);
    EXPECT_EQ(w->rooms[0]->portals[0]->vertexCount, 3);
    EXPECT_EQ(w->rooms[0]->portals[0]->vertices[1]->x, 1);
    EXPECT_EQ(w->rooms[2]->portals[0]->target, w->rooms[0]);
    EXPECT_EQ(w->rooms[2]->portals[0]->vertexCount, 0);
    EXPECT_EQ(w->rooms[2]->portals[1]->target, w->rooms[1]);
    freeWorld(w);
}

TEST(WorldFile, RoomAndModelTrianglesTakePlanesFromTheirOwnPools) {
    WorldBytes f;
    f.header().u32(3).vec(0, 0, 5).vec(1, 0, 5).vec(0, 1, 5);  // world pool: plane z = 5
    f.u16(0);
    f.u16(1).u32(3).vec(0, 0, 0).vec(0, 0, 1).vec(0, 1, 0);    // model pool: plane x = 0, facing -x
    f.u16(1).triangle(0, 0, 0, 1, 2);
    f.u16(1).roomHead(0, 1, 0).triangle(0, 0, 0, 1, 2);
    World* w = loadWorld(f.save("planes").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    const Plane& room = w->rooms[0]->triangles[0]->plane;
    EXPECT_FLOAT_EQ(room.nz, 1);
    EXPECT_FLOAT_EQ(room.d, -5);
    const Plane& model = w->models[0]->triangles[0]->plane;
    EXPECT_FLOAT_EQ(model.nx, -1);
    EXPECT_FLOAT_EQ(model.d, 0);
    freeWorld(w);
}

TEST(WorldFile, TriangleRecordsReadTextureBeforeMaterial) {
    WorldBytes f;
    f.header().u32(3).vec(0, 0, 5).vec(1, 0, 5).vec(0, 1, 5);
    f.u16(0);
    f.u16(1).u32(3).vec(0, 0, 0).vec(0, 0, 1).vec(0, 1, 0);
    f.u16(1).triangle(0x0305, 0x0002, 2, 0, 1, -1, 0, -1);  // model: texture 773, material 2
    f.u16(1).roomHead(0, 1, 0);
    // Room triangle laid out field by field: texture 9, material 4, vertices, neighbours, uvs.
    f.u16(9).u16(4).u32(1).u32(2).u32(0).i32(7).i32(-1).i32(11);
    for (int k = 0; k < 6; ++k) f.f(10.0f + k);
    World* w = loadWorld(f.save("triangle_fields").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();

    const Triangle& room = *w->rooms[0]->triangles[0];
    EXPECT_EQ(room.texture, 9);
    EXPECT_EQ(room.material, 4);
    EXPECT_EQ(room.v[0], 1u);
    EXPECT_EQ(room.v[1], 2u);
    EXPECT_EQ(room.v[2], 0u);
    EXPECT_EQ(room.adj[0], 7);  // room triangles keep whatever neighbours the file holds
    EXPECT_EQ(room.adj[1], -1);
    EXPECT_EQ(room.adj[2], 11);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(room.uv[k][0], 10.0f + 2 * k) << "vertex " << k;
        EXPECT_EQ(room.uv[k][1], 11.0f + 2 * k) << "vertex " << k;
    }

    const Triangle& model = *w->models[0]->triangles[0];
    EXPECT_EQ(model.texture, 0x0305);
    EXPECT_EQ(model.material, 0x0002);
    EXPECT_EQ(model.v[0], 2u);
    EXPECT_EQ(model.v[2], 1u);
    EXPECT_EQ(model.adj[0], -1);
    EXPECT_EQ(model.adj[1], 0);
    EXPECT_EQ(model.uv[1][0], 1.0f);  // the helper's uvs run 0, 0.5, 1, ...
    freeWorld(w);
}

TEST(WorldFile, HeaderRules) {
    // Body offset 16: the six bytes after the header are skipped.
    WorldBytes skip;
    skip.header(16).raw("XXXXXX", 6).u32(0).u16(0).u16(0).u16(0);
    World* w = loadWorld(skip.save("skip").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    EXPECT_EQ(w->roomCount, 0);
    freeWorld(w);

    WorldBytes v5, v6, magic, shortFile;
    v5.header(10, 5).u32(0).u16(0).u16(0).u16(0);
    v6.header(10, 6).u32(0).u16(0).u16(0).u16(0);
    magic.raw("BINWLX", 6).u16(10).u16(0).u32(0).u16(0).u16(0).u16(0);
    shortFile.raw("BINW", 4);
    w = loadWorld(v5.save("v5").c_str());
    EXPECT_NE(w, nullptr);
    freeWorld(w);
    EXPECT_EQ(loadWorld(v6.save("v6").c_str()), nullptr);
    EXPECT_NE(std::string(worldLoadError()).find("version 6"), std::string::npos);
    EXPECT_EQ(loadWorld(magic.save("magic").c_str()), nullptr);
    EXPECT_NE(std::string(worldLoadError()).find("BINWLD"), std::string::npos);
    EXPECT_EQ(loadWorld(shortFile.save("short").c_str()), nullptr);
    EXPECT_EQ(loadWorld("no-such-file.kbw"), nullptr);
    EXPECT_NE(std::string(worldLoadError()).find("no-such-file.kbw"), std::string::npos);
}

TEST(WorldFile, ZeroCountsEverywhereGiveEmptyTables) {
    WorldBytes f;
    f.header().u32(0).u16(0).u16(1).u32(0).u16(0);                  // an empty model
    f.u16(1).roomHead(1, 0, 1).entity(0, 0).u16(0).u16(0);          // portal with no vertices
    World* w = loadWorld(f.save("zeros").c_str());
    ASSERT_NE(w, nullptr) << worldLoadError();
    EXPECT_EQ(w->vertexCount, 0u);
    EXPECT_EQ(w->materialCount, 0);
    EXPECT_EQ(w->models[0]->triangleCount, 0);
    EXPECT_EQ(w->rooms[0]->triangleCount, 0);
    EXPECT_EQ(w->rooms[0]->portals[0]->vertexCount, 0);
    EXPECT_NE(w->rooms[0]->entities, nullptr);
    freeWorld(w);
}

TEST(WorldFile, AddModelAppendsAndReturnsTheIndex) {
    World* w = newWorld();
    auto* a = static_cast<Model*>(calloc(1, sizeof(Model)));
    auto* b = static_cast<Model*>(calloc(1, sizeof(Model)));
    EXPECT_EQ(addModel(a, w), 0);
    EXPECT_EQ(addModel(b, w), 1);
    EXPECT_EQ(w->modelCount, 2);
    EXPECT_EQ(w->models[0], a);
    EXPECT_EQ(w->models[1], b);
    w->modelCount = 32767;  // the table is full: nothing changes
    Model** before = w->models;
    EXPECT_EQ(addModel(a, w), 0xFFFF);
    EXPECT_EQ(w->models, before);
    w->modelCount = 2;
    freeWorld(w);
}

}  // namespace
