// The driver on the scripted LL backend in a folder of its own, for the reload tests: start-up on
// the small test world, frames on a test clock, key taps, new versions of the world written in
// place or renamed over the old files, and pixels of the frame just drawn.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/desktop.h"
#include "app/driver.h"
#include "app/overlay.h"
#include "app/world_watch.h"
#include "ll/headless_gl.h"
#include "ll/ll.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"
#include "render/renderer.h"
#include "tests/app/demo_files.h"

struct Pixel {
    unsigned char r, g, b;
    int sum() const { return r + g + b; }
};

class ReloadFixture : public ::testing::Test {
public:
    // One pass of the loop with the clock `dt` milliseconds later.
    bool frameAfter(uint32_t dt) {
        testSetTime(testTime() + dt);
        return demoFrame();
    }

protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(processHeadlessGL({}, error)) << error;
    }
    void SetUp() override {
        char pattern[] = "/tmp/qv-reload-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(getcwd(oldDir_, sizeof oldDir_), oldDir_);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        testReset();
        testSetTimeStep(0);  // the clock moves only when a test moves it
        resetLLWindowState();
        resetLLInputState();
        resetRenderer();
        resetDriver();
        resetDesktop();
        resetWorldWatch();
    }
    void TearDown() override {
        if (driverState().world) stopDemo();
        else if (llInput.keys) closeLL();
        resetDriver();
        resetDesktop();
        resetWorldWatch();
        resetOverlay();
        EXPECT_EQ(chdir(oldDir_), 0);
        std::system(("rm -rf " + dir_).c_str());
    }

    void start() {
        writeDemo();
        startDemo();
    }
    // A frame with `key` down, then one with it up.
    void tap(uint8_t key, uint32_t dt = 16) {
        testSetKey(key, true);
        ASSERT_TRUE(frameAfter(dt));
        testSetKey(key, false);
        ASSERT_TRUE(frameAfter(dt));
    }
    // The test world's three files, written in place, as `change` makes them.
    void writeDemo(const std::function<void(TestDemoOptions&)>& change = {}) {
        TestDemoOptions options;
        if (change) change(options);
        std::string error;
        ASSERT_TRUE(writeTestDemo(".", error, options)) << error;
    }
    // The same written beside and renamed over the old files, as the world compiler saves.
    void writeDemoByRename(const std::function<void(TestDemoOptions&)>& change = {}) {
        TestDemoOptions options;
        if (change) change(options);
        std::string error;
        ASSERT_EQ(system("mkdir -p next"), 0);
        ASSERT_TRUE(writeTestDemo("next", error, options)) << error;
        for (const char* name : {"checker.raw", "demo.ktl", "demo.kbw"})
            ASSERT_EQ(std::rename((std::string("next/") + name).c_str(), name), 0) << name;
    }
    // The overlay's font from the build's run folder.
    static void useBuildFont() { setOverlayFontPaths({std::string(QV_RUN_DIR) + "/font.kbf"}); }
    // The pixel at (x, y), bottom-left origin, of the frame just drawn.
    static Pixel pixel(int x, int y) {
        glFinish();
        Pixel p{};
        glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, &p.r);
        return p;
    }

    std::string dir_;
    char oldDir_[4096] = {};
};
