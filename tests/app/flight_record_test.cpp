// F7's flight recordings on the scripted LL backend, drawing into a headless OpenGL context: a
// short flight with keys, the mouse and frame times that change is recorded, read back as a
// capture script and flown again from where it started, and must give the same camera at every
// frame; recording must change nothing the controls do; names never overwrite a file; the lines
// themselves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "app/driver.h"
#include "app/flight_record.h"
#include "ll/headless_gl.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"
#include "render/renderer.h"
#include "tests/app/demo_files.h"
#include "tools/capture/script.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// One frame's input: the keys held (every other key up), the mouse motion, the frame's length and
// the touch stick's or pad's axes.
struct Input {
    std::set<uint8_t> keys;
    int dx, dy;
    uint32_t dtMs;
    PlatAnalog analog{};
};

// What the controls carry from frame to frame.
struct Pose {
    float position[3], angles[3], velocity[3];
    int32_t mouse[2];
    float spinner[2];
};

Pose poseNow() {
    const DriverState& d = driverState();
    const Entity& c = d.camera;
    return Pose{{c.position.x, c.position.y, c.position.z},
                {c.angles.x, c.angles.y, c.angles.z},
                {c.velocity.x, c.velocity.y, c.velocity.z},
                {d.mouse.horizontal, d.mouse.vertical},
                {d.spinner->position.y, d.spinner->angles.y}};
}

// Exactly equal, float for float: one build replaying its own recording.
void expectSame(const Pose& a, const Pose& b, const std::string& where) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.position[i], b.position[i]) << where << " position " << i;
        EXPECT_EQ(a.angles[i], b.angles[i]) << where << " angle " << i;
        EXPECT_EQ(a.velocity[i], b.velocity[i]) << where << " velocity " << i;
    }
    EXPECT_EQ(a.mouse[0], b.mouse[0]) << where;
    EXPECT_EQ(a.mouse[1], b.mouse[1]) << where;
    EXPECT_EQ(a.spinner[0], b.spinner[0]) << where;
    EXPECT_EQ(a.spinner[1], b.spinner[1]) << where;
}

// A flight of 40 frames: thrust, turns by key and mouse (whose smoothing leaves a remainder), a
// climb, the stop key, the spinner raised, and frame lengths from 0 to 250 ms. F7 goes down at
// frame kStart (with W already held) and again at frame kEnd, when `withF7`.
constexpr uint32_t kStart = 6, kEnd = 31;
std::vector<Input> flight(bool withF7) {
    const uint32_t dts[] = {16, 16, 7, 33, 16, 0, 250, 16, 16, 1, 40};
    std::vector<Input> frames;
    for (uint32_t f = 0; f < 40; ++f) {
        Input in{{}, 0, 0, dts[f % 11]};
        if (f >= 3 && f < 14) in.keys.insert(kKeyW);
        if (f >= 9 && f < 17) in.keys.insert(kKeyLeft);
        if (f >= 15 && f < 20) in.keys.insert(kKeySpace);
        if (f >= 18 && f < 24) in.keys.insert(kKeyUp);
        if (f == 24) in.keys.insert(kKeyB);
        if (f >= 25 && f < 29) in.keys.insert(kKeyQ);
        if (f >= 26 && f < 36) in.keys.insert(kKeyD);
        if (f == 8) in.dx = 130, in.dy = -70;
        if (f == 12) in.dx = -17;
        if (f == 20) in.dy = 45;
        // A pad's sticks and triggers part of the way, changing from frame to frame.
        if (f >= 10 && f < 16) in.analog = PlatAnalog{0.125f * float(f - 9), -0.3f, 0, 0.6f, 0};
        if (f >= 27 && f < 33) in.analog = PlatAnalog{0, 0.71f, -0.45f, 0, f < 30 ? 1.0f : -0.125f};
        if (withF7 && (f == kStart || f == kStart + 1 || f == kEnd)) in.keys.insert(kKeyF7);
        frames.push_back(in);
    }
    return frames;
}

class FlightRecordTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(processHeadlessGL({}, error)) << error;
    }
    void SetUp() override {
        char pattern[] = "/tmp/qv-flight-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(getcwd(oldDir_, sizeof oldDir_), oldDir_);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        std::string error;
        ASSERT_TRUE(writeTestDemo(dir_, error)) << error;
        fresh();
    }
    void TearDown() override {
        if (driverState().world) stopDemo();
        resetDriver();
        resetDesktop();
        EXPECT_EQ(chdir(oldDir_), 0);
        std::system(("rm -rf " + dir_).c_str());
    }
    // A program that has not started yet, on a fresh backend.
    void fresh() {
        if (driverState().world) stopDemo();
        testReset();
        testSetTimeStep(0); // the clock moves only when a frame moves it
        resetLLWindowState();
        resetLLInputState();
        resetRenderer();
        resetDriver();
        resetDesktop();
    }
    // One pass of the loop with this input; the pose after it.
    static Pose frame(const Input& in) {
        for (int k = 1; k < 256; ++k) testSetKey(uint8_t(k), in.keys.count(uint8_t(k)) > 0);
        testSetAnalog(in.analog);
        if (in.dx || in.dy) testQueueMouseMotion(400 + in.dx, 300 + in.dy);
        testSetTime(testTime() + in.dtMs);
        EXPECT_TRUE(demoFrame());
        EXPECT_EQ(mouseXLL(), in.dx);
        EXPECT_EQ(mouseYLL(), in.dy);
        return poseNow();
    }
    static std::vector<Pose> fly(const std::vector<Input>& frames) {
        std::vector<Pose> poses;
        for (const Input& in : frames) poses.push_back(frame(in));
        return poses;
    }

    std::string dir_;
    char oldDir_[4096] = {};
};

// The input a script gives frame by frame, as the capture's player and clock give it: keys from
// their down and up events, mouse motion, and each frame's length from the steps.
std::vector<Input> replayInput(const OffscreenScript& script, uint32_t frames) {
    std::vector<Input> out;
    std::set<uint8_t> held;
    PlatAnalog analog{};
    uint32_t step = script.stepMs;
    for (uint32_t f = 0; f < frames; ++f) {
        Input in{{}, 0, 0, 0};
        bool stamped = false;
        for (const ScriptStep& s : script.steps)
            if (s.frame == f) step = s.ms, stamped = true;
        in.dtMs = f > 0 || stamped ? step : 0;
        for (const OffscreenEvent& e : script.events) {
            if (e.frame != f) continue;
            if (e.kind == OffscreenEventKind::keyDown) held.insert(e.key);
            if (e.kind == OffscreenEventKind::keyUp) held.erase(e.key);
            if (e.kind == OffscreenEventKind::mouse) in.dx += e.dx, in.dy += e.dy;
            if (e.kind == OffscreenEventKind::analog) analog = e.axes;
        }
        in.keys = held;
        in.analog = analog;
        out.push_back(in);
    }
    return out;
}

TEST_F(FlightRecordTest, ARecordedFlightFliesTheSameCameraAtEveryFrame) {
    startDemo();
    const std::vector<Pose> recorded = fly(flight(true));
    ASSERT_TRUE(exists("flight-0001.txt"));
    ASSERT_EQ(flightRecorder().file, nullptr) << "the second press ended the recording";
    const std::string text = readFile("flight-0001.txt");

    OffscreenScript script;
    std::string error;
    ASSERT_TRUE(parseCaptureScript(text, script, error)) << error << "\n" << text;
    EXPECT_TRUE(script.start.cameraGiven && script.start.velocityGiven && script.start.mouseGiven &&
                script.start.spinnerGiven && script.start.cursorGiven);
    // Frames kStart to kEnd - 1 were recorded; the quit comes after them.
    const uint32_t frames = kEnd - kStart;
    ASSERT_EQ(scriptLength(script), frames + 1);
    EXPECT_EQ(script.events.back().kind, OffscreenEventKind::quit);
    EXPECT_EQ(text.find(" F7\n"), std::string::npos) << "F7 itself is not recorded:\n" << text;
    EXPECT_NE(text.find("\n0 down W\n"), std::string::npos) << "W was already held:\n" << text;
    EXPECT_NE(text.find("\n4 analog 0.125 -0.300000012 0 0.600000024 0\n"), std::string::npos)
        << "the pad's axes from the first frame they moved:\n" << text;

    // Flown again from where the recording started: the same camera after every frame.
    fresh();
    driverState().start = script.start;
    startDemo();
    const std::vector<Pose> replayed = fly(replayInput(script, frames));
    for (uint32_t k = 0; k < frames; ++k) expectSame(replayed[k], recorded[kStart + k], "frame " + std::to_string(k));

    // The last line is the camera where the flight ended.
    const Pose& end = recorded[kEnd - 1];
    char last[200];
    std::snprintf(last, sizeof last, "# end: camera %.9g %.9g %.9g angles %.9g %.9g %.9g\n", end.position[0],
                  end.position[1], end.position[2], end.angles[0], end.angles[1], end.angles[2]);
    ASSERT_GE(text.size(), std::string(last).size());
    EXPECT_EQ(text.substr(text.size() - std::string(last).size()), last);
    EXPECT_NE(end.angles[1], 0.0f);
    EXPECT_NE(end.velocity[0], 0.0f) << "the flight ends moving, so the start lines matter";
}

TEST_F(FlightRecordTest, RecordingChangesNothingTheControlsDo) {
    startDemo();
    const std::vector<Pose> recording = fly(flight(true));
    fresh();
    startDemo();
    const std::vector<Pose> plain = fly(flight(false));
    ASSERT_EQ(recording.size(), plain.size());
    for (size_t f = 0; f < plain.size(); ++f) expectSame(recording[f], plain[f], "frame " + std::to_string(f));
    EXPECT_FALSE(exists("flight-0002.txt"));
}

TEST_F(FlightRecordTest, NamesNeverOverwriteAndEachPressIsSaid) {
    { std::ofstream("flight-0001.txt") << "someone's flight\n"; }
    startDemo();
    Input idle{{}, 0, 0, 16}, f7{{kKeyF7}, 0, 0, 16};
    frame(idle);
    frame(f7);
    EXPECT_EQ(desktopState().notice, "recording flight-0002.txt");
    for (int i = 0; i < 5; ++i) frame(f7); // held: still the one recording
    EXPECT_NE(flightRecorder().file, nullptr);
    frame(idle);
    frame(f7);
    EXPECT_EQ(flightRecorder().file, nullptr);
    EXPECT_EQ(desktopState().notice, "saved flight-0002.txt");
    EXPECT_EQ(readFile("flight-0001.txt"), "someone's flight\n");
    const std::string second = readFile("flight-0002.txt");
    EXPECT_NE(second.find("\n7 quit\n# end: camera "), std::string::npos) << second;

    frame(idle);
    frame(f7);
    EXPECT_EQ(desktopState().notice, "recording flight-0003.txt");
    frame(idle);
    // The program ending (Escape here) saves a recording still going.
    testSetKey(kKeyEscape, true);
    EXPECT_FALSE(demoFrame());
    stopDemo();
    const std::string third = readFile("flight-0003.txt");
    EXPECT_NE(third.find("\n2 quit\n# end: camera "), std::string::npos) << third;
    EXPECT_EQ(third.find("ESCAPE"), std::string::npos) << third;
}

TEST(FlightLines, FrameLinesCarryStepsKeyChangesAndMotion) {
    uint8_t keys[256] = {}, previous[256] = {};
    uint32_t step = 0;
    AnalogAxes none{}, axes{}, last{};
    keys[kKeyW] = 0x80;
    keys[kKeyF7] = 0x80;
    keys[0x54] = 0x80; // a key without a DirectInput name
    EXPECT_EQ(flightFrameLines(0, keys, previous, 0, 0, 16, step, none, last), "0 step 16\n0 down W\n0 down 0x54\n");
    EXPECT_EQ(flightFrameLines(1, keys, previous, 0, 0, 16, step, none, last), "") << "nothing changed";
    keys[kKeyW] = 0;
    keys[kKeyLeft] = 0x80;
    EXPECT_EQ(flightFrameLines(2, keys, previous, -3, 250, 0, step, none, last),
              "2 step 0\n2 up W\n2 down LEFT\n2 mouse -3 250\n");
    EXPECT_EQ(step, 0u);
    // The axes are written when they change, and once more when they come back to rest.
    axes.moveY = 1;
    axes.lookX = -0.5f;
    EXPECT_EQ(flightFrameLines(3, keys, previous, 0, 0, 0, step, axes, last), "3 analog 0 1 -0.5 0 0\n");
    EXPECT_EQ(flightFrameLines(4, keys, previous, 0, 0, 0, step, axes, last), "");
    EXPECT_EQ(flightFrameLines(5, keys, previous, 0, 0, 0, step, none, last), "5 analog 0 0 0 0 0\n");

    Entity camera{};
    camera.position = {1.0f / 3.0f, -0.5f, 1e-7f};
    camera.angles = {359.5f, 0.0f, 12.25f};
    EXPECT_EQ(flightEndLine(camera), "# end: camera 0.333333343 -0.5 1.00000001e-07 angles 359.5 0 12.25\n");
}

TEST(FlightLines, StartLinesReadBackAsTheSameState) {
    resetDriver();
    DriverState& d = driverState();
    Entity spinner{};
    spinner.position.y = 0.1f;
    spinner.angles.y = 271.3f;
    d.spinner = &spinner;
    d.camera.position = {-4.2f, 0.7f, 1e-3f};
    d.camera.angles = {12.5f, 358.999f, 0};
    d.camera.velocity = {0.3f, 0, -2.0f / 3.0f};
    d.mouse = {49, -7};
    const std::string text = flightStartLines(d);
    EXPECT_NE(text.find("\ncursor 0 0\n"), std::string::npos) << "a replay's pointer starts where the program keeps it";
    OffscreenScript script;
    std::string error;
    ASSERT_TRUE(parseCaptureScript(text, script, error)) << error << "\n" << text;
    DriverState copy{};
    Entity spinnerCopy{};
    copy.spinner = &spinnerCopy;
    applyFlightStart(copy, script.start);
    EXPECT_EQ(copy.camera.position.x, d.camera.position.x);
    EXPECT_EQ(copy.camera.position.z, d.camera.position.z);
    EXPECT_EQ(copy.camera.angles.y, d.camera.angles.y);
    EXPECT_EQ(copy.camera.velocity.z, d.camera.velocity.z);
    EXPECT_EQ(copy.camera.dirty, 0xFF);
    EXPECT_EQ(copy.mouse.horizontal, 49);
    EXPECT_EQ(copy.mouse.vertical, -7);
    EXPECT_EQ(spinnerCopy.position.y, 0.1f);
    EXPECT_EQ(spinnerCopy.angles.y, 271.3f);
    EXPECT_EQ(spinnerCopy.dirty & 0x07, 0x07);
    d.spinner = nullptr;
    resetDriver();
}

} // namespace
