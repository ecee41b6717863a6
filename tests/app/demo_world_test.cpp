// The shipped demo world as the build compiles it into the run folder: it validates without a
// single warning, has what the demo promises (rooms of many sizes joined by doors, lights, closed
// shadow casters everywhere, translucent and hidden entities), and the program's first frame
// shows the spinning object with its shadow on the floor.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/driver.h"
#include "ll/headless_gl.h"
#include "ll/ll.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"
#include "render/renderer.h"
#include "tools/world/world_validate.h"
#include "world/world_file.h"

#ifndef QV_RUN_DIR
#error "QV_RUN_DIR must name the run folder holding the demo world"
#endif

namespace {

const std::string kRun = QV_RUN_DIR;

bool closedModel(const Model* m) {
    if (m->triangleCount <= 0) return false;
    for (int i = 0; i < m->triangleCount; ++i)
        for (int k = 0; k < 3; ++k)
            if (m->triangles[i]->adj[k] < 0) return false;
    return true;
}

TEST(DemoWorld, ValidatesWithoutWarnings) {
    World* world = loadWorld((kRun + "/demo.kbw").c_str());
    ASSERT_NE(world, nullptr) << worldLoadError();
    int textures = -1;
    std::vector<ValidationIssue> issues = validateTextureList(kRun + "/demo.ktl", &textures);
    const std::vector<ValidationIssue> worldIssues = validateWorld(*world, textures);
    issues.insert(issues.end(), worldIssues.begin(), worldIssues.end());
    EXPECT_TRUE(issues.empty()) << formatIssues(issues);
    EXPECT_GT(textures, 3);
    freeWorld(world);
}

TEST(DemoWorld, HasWhatTheDemoShows) {
    World* world = loadWorld((kRun + "/demo.kbw").c_str());
    ASSERT_NE(world, nullptr) << worldLoadError();
    ASSERT_GE(world->roomCount, 6);
    const Room* first = world->rooms[0];
    for (int a = 0; a < 3; ++a) {
        EXPECT_LT(first->boxMin[a], 0.0f); // the origin strictly inside room 0
        EXPECT_GT(first->boxMax[a], 0.0f);
    }
    ASSERT_NE(first->entities, nullptr);
    EXPECT_EQ(first->entities->flags, 0) << "the spinner must be drawn and cast a shadow";

    std::set<int> heights;
    int translucent = 0, hidden = 0, specular = 0;
    std::vector<std::set<const Room*>> enteredFrom(size_t(world->roomCount));
    for (int r = 0; r < world->roomCount; ++r) {
        const Room* room = world->rooms[r];
        heights.insert(int((room->boxMax.y - room->boxMin.y) * 10));
        EXPECT_EQ(room->lights[0].enabled, 1) << "room " << r;
        EXPECT_NE(room->lights[0].type, 1) << "room " << r << ": slot 0 must be positional";
        EXPECT_GT(room->triangleCount, 0) << "room " << r;
        EXPECT_GT(room->portalCount, 0) << "room " << r;
        int casters = 0;
        for (const Entity* e = room->entities; e; e = e->next) {
            translucent += (e->flags & kEntityTranslucent) != 0;
            hidden += (e->flags & kEntityHidden) != 0;
            ASSERT_LT(e->model, world->modelCount);
            EXPECT_TRUE(closedModel(world->models[e->model])) << "room " << r << " model " << e->model;
            if (!(e->flags & kEntityHidden)) ++casters;
        }
        EXPECT_GT(casters, 0) << "room " << r;
        for (int p = 0; p < room->portalCount; ++p) {
            const Room* target = room->portals[p]->target;
            for (int t = 0; t < world->roomCount; ++t)
                if (world->rooms[t] == target) enteredFrom[size_t(t)].insert(room);
        }
    }
    for (int m = 0; m < world->materialCount; ++m)
        specular += world->materials[m].specular[0] > 0.3f && world->materials[m].shininess > 0;
    EXPECT_GE(heights.size(), 4u) << "rooms of different heights";
    EXPECT_GE(translucent, 1);
    EXPECT_GE(hidden, 1);
    EXPECT_GE(specular, 2);
    size_t mostDoors = 0;
    for (const auto& from : enteredFrom) mostDoors = std::max(mostDoors, from.size());
    EXPECT_GE(mostDoors, 2u) << "a room reachable through two doors";
    freeWorld(world);
}

// The program's start-up and first frames on the scripted backend, in a folder that links the
// run folder's files (so the run folder's own FPSlog.txt is left alone).
class DemoFirstFrame : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(processHeadlessGL({}, error)) << error;
    }
    void SetUp() override {
        char pattern[] = "/tmp/qv-demo-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        for (const char* name : {"demo.kbw", "demo.ktl", "textures"})
            ASSERT_EQ(symlink((kRun + "/" + name).c_str(), (dir_ + "/" + name).c_str()), 0);
        ASSERT_EQ(getcwd(oldDir_, sizeof oldDir_), oldDir_);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        testReset();
        testSetTimeStep(0);
        resetLLWindowState();
        resetLLInputState();
        resetRenderer();
        resetDriver();
    }
    void TearDown() override {
        if (driverState().world) stopDemo();
        resetDriver();
        EXPECT_EQ(chdir(oldDir_), 0);
        std::system(("rm -rf " + dir_).c_str());
    }
    static std::vector<unsigned char> frame() {
        EXPECT_TRUE(demoFrame());
        std::vector<unsigned char> rgb(800 * 600 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }
    std::string dir_;
    char oldDir_[4096] = {};
};

TEST_F(DemoFirstFrame, ShowsTheSpinnerAndItsShadowOnTheFloor) {
    startDemo();
    const std::vector<unsigned char> withSpinner = frame(); // dt = 0: nothing moves between frames
    Entity* spinner = driverState().spinner;
    ASSERT_NE(spinner, nullptr);
    spinner->flags |= kEntityHidden;
    const std::vector<unsigned char> without = frame();
    spinner->flags &= uint8_t(~kEntityHidden);

    // Where the spinner is, and the darker pixels its shadow leaves on the floor (lower half).
    int spinnerPixels = 0, shadowPixels = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const size_t i = (size_t(y) * 800 + size_t(x)) * 3;
            const int a = withSpinner[i] + withSpinner[i + 1] + withSpinner[i + 2];
            const int b = without[i] + without[i + 1] + without[i + 2];
            if (a != b && (x > 200 && x < 600 && y > 150 && y < 450)) ++spinnerPixels;
            if (y < 200 && a * 10 < b * 6) ++shadowPixels; // at least 40 % darker, low on screen
        }
    EXPECT_GT(spinnerPixels, 20000) << "the spinner fills the middle of the first frame";
    EXPECT_GT(shadowPixels, 3000) << "its shadow darkens the floor below it";
}

}  // namespace
