// quorvel-capture end to end: the real driver on the offscreen backend, run as a process over
// the capture test world. Determinism, the reference picture, the ways a run ends, and that the
// script really steers the camera.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "quorvel_version.h"
#include "tests/capture/capture_harness.h"

namespace {

TEST(CaptureRun, ScriptedFlightIsDeterministic) {
    const std::string flight = kSource + "/flight.txt";
    for (const char* run : {"a", "b"}) {
        const std::string name = std::string("determinism-") + run;
        Outcome r = capture(name, "--dir " + kWorld + " --script " + flight + " --shot 40:" + kOut + "/" + name +
                                  "-40.png --shot 260:" + kOut + "/" + name + "-260.png");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (const char* frame : {"40", "260"}) {
        Image a = png(kOut + "/determinism-a-" + frame + ".png");
        Image b = png(kOut + "/determinism-b-" + frame + ".png");
        ASSERT_GT(a.pixels.size(), 0u);
        EXPECT_TRUE(a.pixels == b.pixels) << "frame " << frame << " differs between two runs";
    }
    // The flight moved and turned the camera: the two moments show different pictures.
    EXPECT_FALSE(png(kOut + "/determinism-a-40.png").pixels == png(kOut + "/determinism-a-260.png").pixels);
}

TEST(CaptureRun, FirstFrameMatchesReference) {
    const std::string actualPath = kOut + "/first-frame-actual.png";
    Outcome r = capture("first-frame", "--dir " + kWorld + " --frames 1 --shot 0:" + actualPath);
    ASSERT_EQ(r.status, 0) << r.err;
    expectMatchesReference(actualPath, kSource + "/reference/first-frame.png");
}

TEST(CaptureRun, EscapeAtFrameTenEndsAfterTenFrames) {
    const std::string json = kOut + "/escape.json";
    Outcome r = capture("escape", "--dir " + kWorld + " --script " + script("escape", "10 down ESCAPE\n") +
                                  " --frames 100 --json " + json);
    EXPECT_EQ(r.status, 0) << r.err;
    nlohmann::json j = report(json);
    EXPECT_EQ(j["frames"], 10);
    EXPECT_EQ(j["frameTimesMs"].size(), 10u);
    EXPECT_EQ(j["roomsDrawn"].size(), 10u);
    EXPECT_EQ(j["cameraRoom"].size(), 10u);
    EXPECT_EQ(j["cameraPosition"].size(), 10u);
    EXPECT_GE(j["roomsDrawn"][0].get<int>(), 1);
    EXPECT_EQ(j["version"], QV_VERSION) << "the report names the version that made it";
}

TEST(CaptureRun, CloseRequestExitsZero) {
    const std::string json = kOut + "/close.json";
    Outcome r = capture("close", "--dir " + kWorld + " --script " + script("close", "5 close\n") +
                                 " --frames 100 --json " + json);
    EXPECT_EQ(r.status, 0) << r.err;
    // The window procedure ends the process inside the pump; the report is still written.
    EXPECT_EQ(report(json)["frames"], 5);
}

TEST(CaptureRun, MissingWorldExitsOneWithTheProgramsMessage) {
    const std::string empty = kOut + "/empty-world";
    mkdir(kOut.c_str(), 0755);
    mkdir(empty.c_str(), 0755);
    Outcome r = capture("missing", "--dir " + empty + " --frames 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Could not load world!"), std::string::npos) << r.err;
}

TEST(CaptureRun, SizeAndBadOptions) {
    const std::string shot = kOut + "/small.png";
    Outcome r = capture("size", "--dir " + kWorld + " --size 160x120 --shot 0:" + shot);
    ASSERT_EQ(r.status, 0) << r.err;
    Image small = png(shot);
    EXPECT_EQ(small.width, 160);
    EXPECT_EQ(small.height, 120);

    EXPECT_EQ(capture("bad-size", "--size 0x5").status, 2);
    EXPECT_EQ(capture("bad-shot", "--shot x.png").status, 2);
    Outcome bad = capture("bad-script", "--dir " + kWorld + " --script " + script("bad", "3 down NOSUCHKEY\n"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 1"), std::string::npos) << bad.err;
    // A shot that cannot be written ends the run with status 1 and says why.
    Outcome unwritable = capture("unwritable", "--dir " + kWorld + " --shot 0:/nonexistent-dir/x.png");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("x.png"), std::string::npos) << unwritable.err;
}

} // namespace
