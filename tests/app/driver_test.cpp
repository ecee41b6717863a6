// The driver on the scripted LL backend, drawing for real into a headless OpenGL context: start-up
// order and state, the frame-rate log, the end of the loop, fatal start-up paths, shutdown order.
#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/driver.h"
#include "ll/headless_gl.h"
#include "ll/ll.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"
#include "render/renderer.h"
#include "scene/entity.h"
#include "tests/app/demo_files.h"

namespace {

struct FatalExit {
    int code;
};

// What the texture release saw, to check the shutdown order from inside it.
struct DeleteProbe {
    bool armed;
    int calls;
    bool cameraStillInRoom;
    bool cameraStillListed;  // found by walking the rooms' entity lists
    bool worldStillThere;
    bool llAlreadyClosed;
};
DeleteProbe probe = {};

bool listed(const Room* room, const Entity* entity) {
    for (const Entity* e = room->entities; e; e = e->next)
        if (e == entity) return true;
    return false;
}

// The room of the driver's world whose list holds the driver's camera, or null.
Room* roomListingCamera() {
    const World* world = driverState().world;
    for (int i = 0; world && i < world->roomCount; ++i)
        if (listed(world->rooms[i], &driverState().camera)) return world->rooms[i];
    return nullptr;
}

}  // namespace

// Stands in for the GL library's glDeleteTextures in this test program: records what the rest
// of the shutdown had done by then, then forwards to the real one.
extern "C" void glDeleteTextures(GLsizei n, const GLuint* textures) {
    if (probe.armed) {
        ++probe.calls;
        probe.cameraStillInRoom = driverState().camera.room != nullptr;
        // Left in a list, freeWorld would free the driver's own camera; take it out so the
        // test reports the fault instead of crashing.
        if (Room* room = roomListingCamera()) {
            probe.cameraStillListed = true;
            Entity& camera = driverState().camera;
            Room* had = camera.room;
            camera.room = room;
            unlinkEntity(&camera);
            camera.room = had;
        }
        probe.worldStillThere = driverState().world != nullptr;
        probe.llAlreadyClosed = testFindCall("DestroyWindow") >= 0;
    }
    using Fn = void (*)(GLsizei, const GLuint*);
    static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "glDeleteTextures"));
    if (real) real(n, textures);
}

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(processHeadlessGL({}, error)) << error;
    }

    void SetUp() override {
        char pattern[] = "/tmp/qv-driver-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(getcwd(oldDir_, sizeof oldDir_), oldDir_);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        testReset();
        testSetTimeStep(0); // the clock moves only when a test moves it
        resetLLWindowState();
        resetLLInputState();
        resetRenderer();
        resetDriver();
        probe = {};
        driverState().exitHandler = [](int code) { throw FatalExit{code}; };
    }
    void TearDown() override {
        probe = {};
        if (driverState().world) stopDemo();
        else if (llInput.keys) closeLL();
        resetDriver();
        EXPECT_EQ(chdir(oldDir_), 0);
        std::system(("rm -rf " + dir_).c_str());
    }

    void start() {
        std::string error;
        ASSERT_TRUE(writeTestDemo(dir_, error)) << error;
        startDemo();
    }
    // Runs one pass of the loop with the clock `dt` milliseconds later.
    bool frameAfter(uint32_t dt) {
        testSetTime(testTime() + dt);
        return demoFrame();
    }
    // Expects start-up to end in fatalError(1, message); returns the call index of its box. (The
    // stderr copy of the message comes from the real backends' message box operation.)
    int expectFatal(const std::string& message) {
        int code = -1;
        try {
            startDemo();
        } catch (const FatalExit& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 1);
        const int box = testFindCall("MessageBox");
        EXPECT_GE(box, 0);
        if (box < 0) return -1;
        // The driver's own box is the last one.
        int last = box;
        for (int i = box; i >= 0; i = testFindCall("MessageBox", i + 1)) last = i;
        EXPECT_EQ(testCalls()[size_t(last)].args,
                  "owner=0 text=" + message + " caption=Orvane Error! type=0");
        return last;
    }
    static GLint integer(GLenum what) {
        GLint v = 0;
        glGetIntegerv(what, &v);
        return v;
    }

    std::string dir_;
    char oldDir_[4096] = {};
};

TEST_F(DriverTest, StartUpOpensTheWindowSetsTheStageAndPlacesTheCamera) {
    {
        std::ofstream old("FPSlog.txt");
        old << "left over from an earlier run\n";
    }
    start();
    EXPECT_EQ(readFile("FPSlog.txt"), ""); // truncated
    EXPECT_NE(testFindCall("CreateWindow"), -1);
    EXPECT_NE(testCalls()[size_t(testFindCall("CreateWindow"))].args.find("Quorvel -- By: Tavrin, Easter 2002"),
              std::string::npos);
    // Anchored at the centre of the 800 x 600 client area, cursor hidden once LL is up.
    EXPECT_EQ(llInput.anchorX, 400);
    EXPECT_EQ(llInput.anchorY, 300);
    EXPECT_EQ(testCursorCounter(), -1);
    EXPECT_GT(testFindCall("ShowCursor"), testFindCall("Acquire"));

    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_FLOAT_EQ(p[10], -1.0f);
    EXPECT_FLOAT_EQ(p[14], -1.0f);
    EXPECT_FLOAT_EQ(p[0], 2.5f); // 2 * near / (right - left) = 1 / 0.4
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);

    const DriverState& d = driverState();
    ASSERT_NE(d.world, nullptr);
    EXPECT_EQ(d.world->textureCount, 1);
    EXPECT_EQ(d.spinner, d.world->rooms[0]->entities);
    EXPECT_EQ(d.camera.flags, kEntityHidden);
    EXPECT_EQ(d.camera.dirty, 0xFF);
    EXPECT_EQ(d.camera.room, nullptr);
    EXPECT_EQ(d.camera.position.z, 0.0f);
    EXPECT_EQ(d.last, testTime());
}

TEST_F(DriverTest, LogLineOnlyAfterMoreThanASecondWithTheRemainderCarried) {
    start();
    ASSERT_TRUE(frameAfter(1000)); // exactly 1000 ms gathered: not yet
    EXPECT_EQ(readFile("FPSlog.txt"), "");
    ASSERT_TRUE(frameAfter(1)); // 1001: a line counting both frames, 1 ms carried
    EXPECT_EQ(readFile("FPSlog.txt"), "FPS: 2\n");
    EXPECT_EQ(driverState().fpsTime, 1u);
    EXPECT_EQ(driverState().fpsFrames, 0);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(frameAfter(333)); // 1000 again
    EXPECT_EQ(readFile("FPSlog.txt"), "FPS: 2\n");
    ASSERT_TRUE(frameAfter(0)); // dt = 0 still counts as a frame, still renders
    ASSERT_TRUE(frameAfter(1));
    EXPECT_EQ(readFile("FPSlog.txt"), "FPS: 2\nFPS: 5\n");
    EXPECT_EQ(testCountCalls("SwapBuffers"), 7);
}

TEST_F(DriverTest, EscapeEndsTheLoopBeforeTheFrameIsTimedOrDrawn) {
    start();
    ASSERT_TRUE(frameAfter(20));
    const DriverState before = driverState();
    const int swaps = testCountCalls("SwapBuffers");
    testSetKey(kKeyEscape, true);
    testSetKey(kKeyW, true);
    EXPECT_FALSE(frameAfter(700));
    EXPECT_EQ(driverState().last, before.last);
    EXPECT_EQ(driverState().fpsTime, before.fpsTime);
    EXPECT_EQ(driverState().fpsFrames, before.fpsFrames);
    EXPECT_EQ(driverState().camera.velocity.z, 0.0f);
    EXPECT_EQ(testCountCalls("SwapBuffers"), swaps);
}

TEST_F(DriverTest, QuitMessageEndsTheLoop) {
    start();
    ASSERT_TRUE(frameAfter(20));
    testPostMessage(WM_QUIT, 0, 0, false);
    EXPECT_FALSE(frameAfter(20));
}

TEST_F(DriverTest, FramesDrawTheSpinnerAndFlyTheCamera) {
    start();
    ASSERT_TRUE(frameAfter(16));
    glFinish();
    unsigned char rgb[3] = {};
    glReadPixels(400, 300, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    EXPECT_GT(rgb[0], 60);          // the red spinner straight ahead
    EXPECT_GT(rgb[0], rgb[1] * 2);
    const DriverState& d = driverState();
    EXPECT_NEAR(d.spinner->angles.y, 20.0f + 16 * 0.09f, 1e-4f);
    EXPECT_EQ(d.camera.room, d.world->rooms[0]); // filed into the room holding the origin

    testSetKey(kKeyW, true);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(frameAfter(100));
    EXPECT_NEAR(d.camera.velocity.z, -2.0f, 1e-4f);
    // Each frame moves by the velocity it has after its own thrust: 0.2 * (0.1 + ... + 1.0).
    EXPECT_NEAR(d.camera.position.z, -1.1f, 1e-4f);
    testSetKey(kKeyW, false);
    testSetKey(kKeyB, true);
    ASSERT_TRUE(frameAfter(50));
    EXPECT_EQ(d.camera.velocity.z, 0.0f);
}

TEST_F(DriverTest, FailedInitReportsAfterLLsOwnMessage) {
    std::string error;
    ASSERT_TRUE(writeTestDemo(dir_, error)) << error;
    testSetResult("GetModuleHandle", 0);
    const int box = expectFatal("Could not initialize LL!");
    const int llBox = testFindCall("MessageBox");
    EXPECT_LT(llBox, box);
    EXPECT_NE(testCalls()[size_t(llBox)].args.find("caption=Error "), std::string::npos);
}

TEST_F(DriverTest, MissingWorldClosesLLBeforeTheMessage) {
    const int box = expectFatal("Could not load world!");
    const int close = testFindCall("DestroyWindow");
    ASSERT_GE(close, 0);
    EXPECT_LT(close, box);
    EXPECT_EQ(driverState().world, nullptr);
}

TEST_F(DriverTest, MissingTextureListReleasesTheWorldAndClosesLLBeforeTheMessage) {
    std::string error;
    ASSERT_TRUE(writeTestWorldOnly(dir_, error)) << error;
    const int box = expectFatal("Could not load textures!");
    const int close = testFindCall("DestroyWindow");
    ASSERT_GE(close, 0);
    EXPECT_LT(close, box);
    // The world was released (the sanitizer build's leak check would catch it otherwise).
    EXPECT_EQ(driverState().world, nullptr);
}

TEST_F(DriverTest, ShutdownUnlinksTheCameraThenFreesTexturesThenTheWorldThenClosesLL) {
    start();
    ASSERT_TRUE(frameAfter(16));
    ASSERT_NE(driverState().camera.room, nullptr); // in room 0's list: must leave before freeWorld
    ASSERT_TRUE(listed(driverState().world->rooms[0], &driverState().camera));
    const GLuint texture = driverState().world->textures[0];
    EXPECT_TRUE(glIsTexture(texture));
    probe.armed = true;
    stopDemo();
    probe.armed = false;
    EXPECT_EQ(probe.calls, 1);
    EXPECT_FALSE(probe.cameraStillInRoom);
    EXPECT_FALSE(probe.cameraStillListed);
    EXPECT_TRUE(probe.worldStillThere);
    EXPECT_FALSE(probe.llAlreadyClosed);
    EXPECT_FALSE(glIsTexture(texture));
    EXPECT_EQ(driverState().world, nullptr);
    EXPECT_GE(testFindCall("DestroyWindow"), 0);
    EXPECT_EQ(testLiveObjects(), 0);
}

TEST_F(DriverTest, WindowCloseExitsWithZeroFromInsideThePump) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    start();
    EXPECT_EXIT(
        {
            testPostMessage(WM_CLOSE);
            frameAfter(16);
            std::exit(3); // not reached when the close request ends the process
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
