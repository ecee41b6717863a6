// Camera controls: mouse smoothing, thrust directions, and the per-frame control step (timing
// splits, key combinations, the stop key, the spinner).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/controls.h"

namespace {

// Every smoothMouse output after a single motion `first` followed by `calls - 1` still frames.
std::vector<float> smoothSequence(int32_t first, int calls, int32_t* accOut = nullptr) {
    int32_t acc = 0;
    std::vector<float> out;
    for (int i = 0; i < calls; ++i) out.push_back(smoothMouse(i == 0 ? first : 0, acc));
    if (accOut) *accOut = acc;
    return out;
}

TEST(SmoothMouse, SingleMotionOf100DecaysByOnePerCallThenSticksAt49) {
    int32_t acc = 0;
    const std::vector<float> q = smoothSequence(100, 60, &acc);
    EXPECT_FLOAT_EQ(q[0], 2.0f);
    EXPECT_FLOAT_EQ(q[1], 1.96f);
    EXPECT_FLOAT_EQ(q[2], 1.94f);
    EXPECT_FLOAT_EQ(q[3], 1.92f);
    // Call i (i >= 1) sees 99 - i until the accumulator reaches 50, which yields 1.0 once.
    for (int i = 1; i <= 49; ++i) EXPECT_FLOAT_EQ(q[size_t(i)], float(99 - i) / 50.0f) << "call " << i;
    EXPECT_FLOAT_EQ(q[49], 1.0f);
    for (size_t i = 50; i < q.size(); ++i) EXPECT_FLOAT_EQ(q[i], 0.98f) << "call " << i;
    EXPECT_EQ(acc, 49);
}

TEST(SmoothMouse, RemaindersBelowFiftyNeverDecayAndNegativesMirror) {
    int32_t acc = 0;
    for (float q : smoothSequence(30, 20, &acc)) EXPECT_FLOAT_EQ(q, 0.6f);
    EXPECT_EQ(acc, 30);

    const std::vector<float> up = smoothSequence(100, 70);
    const std::vector<float> down = smoothSequence(-100, 70, &acc);
    for (size_t i = 0; i < up.size(); ++i) EXPECT_FLOAT_EQ(down[i], -up[i]) << "call " << i;
    EXPECT_EQ(acc, -49); // truncation towards zero, not flooring
}

TEST(SmoothMouse, MotionAddsToWhatIsLeft) {
    int32_t acc = 0;
    EXPECT_FLOAT_EQ(smoothMouse(60, acc), 1.2f);
    EXPECT_EQ(acc, 59);
    EXPECT_FLOAT_EQ(smoothMouse(60, acc), 2.38f);
    EXPECT_EQ(acc, 117);
}

Entity cameraAt(float pitch, float yaw) {
    Entity e{};
    e.angles = {pitch, yaw, 0};
    return e;
}

void expectVec(const Vec3& v, float x, float y, float z, const char* what) {
    EXPECT_NEAR(v.x, x, 2e-5f) << what;
    EXPECT_NEAR(v.y, y, 2e-5f) << what;
    EXPECT_NEAR(v.z, z, 2e-5f) << what;
}

TEST(DirectionVector, EveryCodeMatchesTheViewDirectionAtManyAngles) {
    const float d2r = 3.14159265f / 180.0f;
    for (float p : {0.0f, 30.0f, 90.0f, 135.0f, 180.0f, 270.0f, 300.0f, 359.0f, -0.5f}) {
        for (float yaw : {0.0f, 45.0f, 90.0f, 200.0f, 269.0f, 270.0f, 300.0f, 358.9f}) {
            const Entity cam = cameraAt(p, yaw);
            const float cp = std::cos(p * d2r), sp = std::sin(p * d2r);
            const float cy = std::cos(yaw * d2r), sy = std::sin(yaw * d2r);
            Vec3 v;
            // speed 4, half a second: length 2.
            expectVec(directionVector(&cam, 4, 0.5f, kDirForward, v), -2 * cp * sy, 2 * sp, -2 * cp * cy, "forward");
            expectVec(directionVector(&cam, 4, 0.5f, kDirBackward, v), 2 * cp * sy, -2 * sp, 2 * cp * cy, "backward");
            expectVec(directionVector(&cam, 4, 0.5f, kDirRight, v), 2 * cy, 0, -2 * sy, "right");
            expectVec(directionVector(&cam, 4, 0.5f, kDirLeft, v), -2 * cy, 0, 2 * sy, "left");
            expectVec(directionVector(&cam, 4, 0.5f, kDirUp, v), 0, 2, 0, "up");
            expectVec(directionVector(&cam, 4, 0.5f, kDirDown, v), 0, -2, 0, "down");
        }
    }
}

TEST(DirectionVector, LandmarksAndUnknownCodes) {
    Vec3 v;
    for (float yaw : {0.0f, 90.0f, 123.0f, 359.0f}) {
        const Entity up = cameraAt(90, yaw);
        expectVec(directionVector(&up, 1, 1, kDirForward, v), 0, 1, 0, "pitch 90 forward");
    }
    const Entity level = cameraAt(0, 0);
    expectVec(directionVector(&level, 1, 1, kDirForward, v), 0, 0, -1, "forward at rest");
    expectVec(directionVector(&level, 1, 1, kDirRight, v), 1, 0, 0, "right at yaw 0");
    expectVec(directionVector(&level, 1, 1, kDirLeft, v), -1, 0, 0, "left at yaw 0");
    Vec3 out{7, 7, 7};
    Vec3& r = directionVector(&level, 1, 1, 0, out);
    EXPECT_EQ(&r, &out);
    expectVec(out, 0, 0, 0, "code 0");
    expectVec(directionVector(&level, 1, 1, 7, out), 0, 0, 0, "code 7");
}

// One camera, one spinner, the accumulators and a keyboard, stepped frame by frame.
class ControlStep : public ::testing::Test {
protected:
    uint8_t keys[256] = {};
    Entity camera{};
    Entity spinner{};
    MouseAccumulators acc{};

    void hold(uint8_t key, bool down = true) { keys[key] = down ? 0x80 : 0; }
    void step(uint32_t dt, int16_t mx = 0, int16_t my = 0) {
        applyControls(keys, mx, my, dt, &camera, &spinner, acc);
    }
    // Where forward thrust would push the camera now.
    Vec3 forward() const {
        Vec3 v;
        return directionVector(&camera, 1, 1, kDirForward, v);
    }
};

TEST_F(ControlStep, ForwardThrustGivesTwoUnitsPerSecondHeldWhateverTheSplit) {
    for (std::vector<uint32_t> split : {std::vector<uint32_t>{1000}, std::vector<uint32_t>(10, 100),
                                        std::vector<uint32_t>(1000, 1), std::vector<uint32_t>{333, 333, 333, 1}}) {
        camera = Entity{};
        hold(kKeyW);
        for (uint32_t dt : split) step(dt);
        EXPECT_NEAR(camera.velocity.z, -2.0f, 1e-4f) << split.size() << " frames";
        EXPECT_NEAR(camera.velocity.x, 0.0f, 1e-6f);
        EXPECT_NEAR(camera.velocity.y, 0.0f, 1e-6f);
        // Released: nothing slows the camera down.
        hold(kKeyW, false);
        const Vec3 before = camera.velocity;
        for (int i = 0; i < 50; ++i) step(20);
        EXPECT_EQ(camera.velocity.z, before.z);
    }
}

TEST_F(ControlStep, OpposingKeysCancelAndTheStopKeyWins) {
    camera.velocity = {1, 0.5f, -3};
    hold(kKeyW);
    hold(kKeyS);
    hold(kKeyA);
    hold(kKeyD);
    hold(kKeySpace);
    hold(kKeyC);
    for (int i = 0; i < 20; ++i) step(37);
    EXPECT_NEAR(camera.velocity.x, 1.0f, 1e-5f);
    EXPECT_NEAR(camera.velocity.y, 0.5f, 1e-5f);
    EXPECT_NEAR(camera.velocity.z, -3.0f, 1e-5f);

    // B with every thrust key still held, while the mouse keeps moving: zero at the end of each step.
    hold(kKeyB);
    hold(kKeyS, false);
    for (int i = 0; i < 3; ++i) {
        step(16, 40, -70);
        EXPECT_EQ(camera.velocity.x, 0.0f);
        EXPECT_EQ(camera.velocity.y, 0.0f);
        EXPECT_EQ(camera.velocity.z, 0.0f);
        EXPECT_EQ(acc.horizontal, 0);
        EXPECT_EQ(acc.vertical, 0);
    }
    // Turning still works while stopped (the accumulators are empty, so only the key turns).
    camera.angles = {0, 0, 0};
    hold(kKeyRight);
    step(100);
    EXPECT_NEAR(camera.angles.y, 3.6f, 1e-4f);
}

TEST_F(ControlStep, ZeroFrameTimeMovesNothingButFeedsTheAccumulators) {
    hold(kKeyW);
    hold(kKeyLeft);
    hold(kKeyDown);
    hold(kKeyQ);
    spinner.position.y = 1;
    step(0, 100, -30);
    EXPECT_EQ(camera.velocity.x, 0.0f);
    EXPECT_EQ(camera.velocity.y, 0.0f);
    EXPECT_EQ(camera.velocity.z, 0.0f);
    EXPECT_EQ(camera.angles.x, 0.0f);
    EXPECT_EQ(camera.angles.y, 0.0f);
    EXPECT_EQ(spinner.position.y, 1.0f);
    EXPECT_EQ(spinner.angles.y, 0.0f);
    EXPECT_EQ(acc.horizontal, 98);
    EXPECT_EQ(acc.vertical, -30);
}

TEST_F(ControlStep, TurnsGoTheWayTheViewerExpects) {
    // Mouse to the right: the view turns right (forward gains +x).
    step(100, 1000, 0); // 20 units smoothed, 0.36 degrees each: 7.2 degrees
    EXPECT_GT(forward().x, 0.1f);
    EXPECT_GT(camera.angles.y, 350.0f); // yaw went below 0 and wrapped
    camera = Entity{};
    acc = {};
    // Cursor moved down the screen: the view tilts up.
    step(100, 0, 1000);
    EXPECT_GT(forward().y, 0.1f);

    camera = Entity{};
    acc = {};
    hold(kKeyLeft);
    step(500);
    EXPECT_NEAR(camera.angles.y, 360.0f - 18.0f, 1e-3f);
    EXPECT_GT(forward().x, 0.1f); // left arrow turns the view right
    hold(kKeyLeft, false);
    hold(kKeyRight);
    step(1000);
    EXPECT_LT(forward().x, -0.1f); // right arrow turns it left
    hold(kKeyRight, false);

    hold(kKeyUp);
    step(250);
    EXPECT_LT(forward().y, -0.1f); // up arrow tilts down
    hold(kKeyUp, false);
    hold(kKeyDown);
    step(500);
    EXPECT_GT(forward().y, 0.1f); // down arrow tilts up
}

TEST_F(ControlStep, ThrustFollowsThisFramesTurn) {
    // Turning and thrusting in one frame: the push is along the already-turned view.
    hold(kKeyRight);
    hold(kKeyW);
    step(2500); // +90 degrees of yaw: looking down -x
    EXPECT_NEAR(camera.velocity.x, -5.0f, 1e-4f);
    EXPECT_NEAR(camera.velocity.z, 0.0f, 1e-4f);
}

TEST_F(ControlStep, SpinnerLiftsAndTurnsAtFixedRates) {
    spinner.position = {1, 2, 3};
    hold(kKeyQ);
    for (uint32_t dt : {100u, 250u, 150u}) step(dt);
    EXPECT_NEAR(spinner.position.y, 2.5f, 1e-5f);
    hold(kKeyQ, false);
    hold(kKeyZ);
    step(2000);
    EXPECT_NEAR(spinner.position.y, 0.5f, 1e-5f);
    EXPECT_EQ(spinner.position.x, 1.0f);
    EXPECT_EQ(spinner.position.z, 3.0f);
    hold(kKeyZ, false);

    // 4 seconds of 90 degrees per second: a whole turn, wrapped back near 0.
    spinner = Entity{};
    for (int i = 0; i < 20; ++i) step(100);
    EXPECT_NEAR(spinner.angles.y, 180.0f, 1e-3f);
    for (int i = 0; i < 20; ++i) step(100);
    EXPECT_NEAR(spinner.angles.y, 0.0f, 1e-3f);
    EXPECT_TRUE(spinner.dirty & 0x02);
}

TEST_F(ControlStep, NoSpinnerIsNotAnError) {
    hold(kKeyQ);
    hold(kKeyW);
    applyControls(keys, 0, 0, 100, &camera, nullptr, acc);
    EXPECT_NEAR(camera.velocity.z, -0.2f, 1e-6f);
}

}  // namespace
