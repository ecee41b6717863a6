// Reloading the world in place, on the scripted LL backend with a headless OpenGL context: F6
// with and without --watch, what the camera, the spinner, the views and the log keep, a broken
// world that leaves the old one running and says why, the watch's reload on a change and its
// retry of a half-written file, and nothing reloaded without either.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "app/desktop.h"
#include "app/driver.h"
#include "app/overlay.h"
#include "app/world_reload.h"
#include "app/world_watch.h"
#include "ll/headless_gl.h"
#include "ll/ll.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"
#include "render/renderer.h"
#include "scene/entity.h"
#include "tests/app/demo_files.h"
#include "tests/app/reload_fixture.h"

namespace {

const float kRed[3] = {1.0f, 0.1f, 0.1f};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool listed(const Room* room, const Entity* entity) {
    for (const Entity* e = room->entities; e; e = e->next)
        if (e == entity) return true;
    return false;
}

// The head of the room's list as the world file made it: the camera, once filed, goes in front.
const Entity* firstOfWorld(const Room* room, const Entity* camera) {
    const Entity* e = room->entities;
    return e == camera ? e->next : e;
}

// Frames with the clock `stepMs` later each, until `done` holds or `ms` of real time have passed
// (the notification of a change arrives on its own time); whether it held.
bool framesUntil(ReloadFixture& f, const std::function<bool()>& done, uint32_t stepMs = 60, int ms = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        if (!f.frameAfter(stepMs)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(ReloadFixture, F6ReloadsInPlaceKeepingTheCameraTheViewsAndTheLog) {
    useBuildFont();
    start();
    // Some speed and a turn, the overlay and the portal view on.
    testSetKey(kKeyW, true);
    testSetKey(kKeyLeft, true);
    ASSERT_TRUE(frameAfter(100));
    testSetKey(kKeyW, false);
    testSetKey(kKeyLeft, false);
    tap(kKeyF1);
    tap(kKeyF2);
    const Entity before = driverState().camera;
    ASSERT_NE(before.velocity.z, 0.0f);
    ASSERT_NE(before.angles.y, 0.0f);
    const World* oldWorld = driverState().world;
    const GLuint oldTexture = oldWorld->textures[0];
    const int fpsFrames = driverState().fpsFrames;
    const Pixel wallBefore = pixel(120, 420);

    writeDemo([](TestDemoOptions& o) { std::copy(kRed, kRed + 3, o.light); });
    testing::internal::CaptureStderr();
    testSetKey(kKeyF6, true);
    ASSERT_TRUE(frameAfter(0));  // no time passes: nothing moves but what the reload moves
    testSetKey(kKeyF6, false);
    const std::string said = testing::internal::GetCapturedStderr();

    const DriverState& d = driverState();
    EXPECT_NE(d.world, oldWorld);
    EXPECT_EQ(worldWatchState().reloads, 1);
    EXPECT_NE(said.find("quorvel: reloaded demo.kbw and demo.ktl"), std::string::npos) << said;
    EXPECT_FLOAT_EQ(d.world->rooms[0]->lights[0].diffuse[1], kRed[1]);
    // The camera: same position, angles and speed, filed in the new room.
    EXPECT_EQ(d.camera.position.x, before.position.x);
    EXPECT_EQ(d.camera.position.z, before.position.z);
    EXPECT_EQ(d.camera.angles.y, before.angles.y);
    EXPECT_EQ(d.camera.velocity.z, before.velocity.z);
    EXPECT_EQ(d.camera.room, d.world->rooms[0]);
    EXPECT_TRUE(listed(d.world->rooms[0], &d.camera));
    // The spinner is the new room 0's first entity; the old textures are gone, the new ones there.
    EXPECT_EQ(d.spinner, firstOfWorld(d.world->rooms[0], &d.camera));
    EXPECT_EQ(d.spinner->position.z, -4.0f);
    EXPECT_FALSE(glIsTexture(oldTexture) && oldTexture != d.world->textures[0]);
    EXPECT_TRUE(glIsTexture(d.world->textures[0]));
    // The views stay on, the log's count goes on, and the wall is lit red now.
    EXPECT_TRUE(desktopState().overlay);
    EXPECT_TRUE(desktopState().portals);
    EXPECT_EQ(d.fpsFrames, fpsFrames + 1);
    const Pixel wallAfter = pixel(120, 420);
    EXPECT_GT(wallAfter.r, wallAfter.g * 3) << int(wallAfter.r) << " " << int(wallAfter.g);
    EXPECT_LT(wallAfter.g, wallBefore.g / 2);
    ASSERT_TRUE(frameAfter(1100));
    EXPECT_EQ(readFile("FPSlog.txt"), "FPS: " + std::to_string(fpsFrames + 2) + "\n");
}

TEST_F(ReloadFixture, WithoutF6OrWatchTheFilesOnDiskAreNotLookedAt) {
    start();
    ASSERT_TRUE(frameAfter(16));
    const World* world = driverState().world;
    writeDemo([](TestDemoOptions& o) { std::copy(kRed, kRed + 3, o.light); });
    const int clockReads = testCountCalls("TimeGetTime");
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(frameAfter(200));
    EXPECT_EQ(driverState().world, world);
    EXPECT_EQ(worldWatchState().attempts, 0);
    EXPECT_EQ(worldWatchState().watch, nullptr);
    // And the frame is the one it always was: one clock reading a frame.
    EXPECT_EQ(testCountCalls("TimeGetTime") - clockReads, 30);
}

TEST_F(ReloadFixture, ABrokenWorldKeepsTheOldOneAndSaysWhyOnTheOverlayUntilAGoodReload) {
    useBuildFont();
    start();
    ASSERT_TRUE(frameAfter(16));
    const World* world = driverState().world;
    const Pixel cornerPlain = pixel(20, 590);

    // A world file cut short, as a writer caught half way leaves it.
    const std::string whole = readFile("demo.kbw");
    std::ofstream("demo.kbw", std::ios::binary) << whole.substr(0, 100);
    testing::internal::CaptureStderr();
    tap(kKeyF6);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(driverState().world, world);
    const std::string& failure = desktopState().reloadFailure;
    EXPECT_EQ(failure.rfind("reload failed: demo.kbw: ", 0), 0u) << failure;
    EXPECT_NE(failure.find("remain"), std::string::npos) << failure;  // the reader's own reason
    EXPECT_NE(said.find("quorvel: " + failure + "\n"), std::string::npos) << said;
    // Shown without F1: the panel darkens the top-left corner.
    ASSERT_FALSE(desktopState().overlay);
    ASSERT_TRUE(frameAfter(16));
    EXPECT_LT(pixel(20, 590).sum(), cornerPlain.sum() / 2);

    // A texture list whose image is missing fails on the list, and the old world still draws.
    std::ofstream("demo.kbw", std::ios::binary) << whole;
    ASSERT_EQ(std::remove("checker.raw"), 0);
    tap(kKeyF6);
    EXPECT_EQ(driverState().world, world);
    EXPECT_EQ(desktopState().reloadFailure.rfind("reload failed: demo.ktl: texture 0: ", 0), 0u)
        << desktopState().reloadFailure;
    EXPECT_TRUE(glIsTexture(world->textures[0]));

    // Whole files again: the reload takes, and the line goes.
    writeDemo();
    tap(kKeyF6);
    EXPECT_NE(driverState().world, world);
    EXPECT_EQ(desktopState().reloadFailure, "");
    EXPECT_FALSE(worldWatchState().failed);
    ASSERT_TRUE(frameAfter(16));
    EXPECT_GT(pixel(20, 590).sum(), cornerPlain.sum() * 3 / 4);
}

TEST_F(ReloadFixture, ACameraNoNewRoomHoldsGoesBackToTheStart) {
    start();
    testSetKey(kKeyW, true);
    testSetKey(kKeyLeft, true);
    ASSERT_TRUE(frameAfter(200));
    testSetKey(kKeyW, false);
    testSetKey(kKeyLeft, false);
    // The room now lies 100 units east: the camera's place is in none.
    writeDemo([](TestDemoOptions& o) { o.shiftX = 100; });
    tap(kKeyF6, 0);
    const Entity& camera = driverState().camera;
    EXPECT_EQ(worldWatchState().reloads, 1);
    EXPECT_EQ(camera.position.x, 0.0f);
    EXPECT_EQ(camera.position.z, 0.0f);
    EXPECT_EQ(camera.angles.y, 0.0f);
    EXPECT_EQ(camera.velocity.z, 0.0f);
    EXPECT_EQ(camera.flags, kEntityHidden);
    // Drawn as at start-up: from room 0, which the camera is then filed in.
    ASSERT_TRUE(frameAfter(16));
    EXPECT_EQ(camera.room, driverState().world->rooms[0]);
    EXPECT_EQ(driverState().spinner->position.x, 100.0f);
}

TEST_F(ReloadFixture, WatchReloadsOnAChangeAndRetriesAHalfWrittenWorld) {
    driverState().watch = true;
    start();
    ASSERT_NE(worldWatchState().watch, nullptr) << "no change notification";
    useBuildFont();
    ASSERT_TRUE(frameAfter(16));
    const World* first = driverState().world;

    // The compiler's way: new files renamed over the old ones.
    writeDemoByRename([](TestDemoOptions& o) { std::copy(kRed, kRed + 3, o.light); });
    ASSERT_TRUE(framesUntil(*this, [] { return worldWatchState().reloads == 1; }));
    EXPECT_NE(driverState().world, first);
    EXPECT_EQ(worldWatchState().attempts, 1) << "the renames of one save gave one reload";
    EXPECT_FLOAT_EQ(driverState().world->rooms[0]->lights[0].diffuse[1], kRed[1]);

    // A world caught half written: the reload fails and the old world stays.
    const World* second = driverState().world;
    const std::string whole = readFile("demo.kbw");
    std::ofstream("demo.kbw", std::ios::binary) << whole.substr(0, whole.size() / 2);
    ASSERT_TRUE(framesUntil(*this, [] { return worldWatchState().failed; }));
    EXPECT_EQ(driverState().world, second);

    // The rest arrives without a notice (here: the notification is shut): the next tick sees
    // the file differ from the one that failed and tries again.
    stopWorldWatch();
    const int attempts = worldWatchState().attempts;
    std::ofstream("demo.kbw", std::ios::binary) << whole;
    ASSERT_TRUE(framesUntil(*this, [] { return worldWatchState().reloads == 2; }, 250));
    EXPECT_EQ(worldWatchState().attempts, attempts + 1);
    EXPECT_FALSE(worldWatchState().failed);
    EXPECT_EQ(desktopState().reloadFailure, "");
}

}  // namespace
