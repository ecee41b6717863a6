// F7's recordings made and replayed by quorvel-capture over a private copy of the demo world: a
// scripted flight presses F7, flies with keys, the mouse and frame lengths that change, and
// presses F7 again; the recording, replayed, gives the same camera at every frame and ends where
// its last line says. Recording changes nothing the camera does. The timedemo's chart parses as
// XML and has one point a frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "tests/capture/capture_harness.h"

namespace {

// F7 goes down at frame 5 and again at frame 36: frames 5 to 35 are recorded.
constexpr int kFirst = 5, kRecorded = 31;
const char* const kFlightWithF7 = R"(step 16
2 down W
5 press F7
9 step 33
12 down LEFT
14 mouse 60 -25
17 step 7
20 up W
22 up LEFT
23 down SPACE
26 step 0
27 step 20
28 up SPACE
30 mouse -11 4
33 down D
36 press F7
40 quit
)";

std::string withoutF7(std::string text) {
    for (size_t at; (at = text.find(" press F7")) != std::string::npos;) {
        const size_t start = text.rfind('\n', at) + 1;
        text.erase(start, text.find('\n', at) + 1 - start);
    }
    return text;
}

// The camera of frame `f` in a report: position x, y, z then angles pitch, yaw, roll.
std::vector<double> cameraAt(const nlohmann::json& j, size_t f) {
    std::vector<double> v;
    for (int i = 0; i < 3; ++i) v.push_back(j["cameraPosition"][f][i].get<double>());
    for (int i = 0; i < 3; ++i) v.push_back(j["cameraAngles"][f][i].get<double>());
    return v;
}

TEST(CaptureRecord, ARecordingReplaysTheSameCameraAtEveryFrameAndEndsAtItsLastLine) {
    const std::string world = copyDemoWorld("record");
    const Outcome made = capture("record", "--dir " + world + " --script " + script("record", kFlightWithF7) +
                                               " --json " + kOut + "/record.json");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("recording flight-0001.txt"), std::string::npos) << made.err;
    EXPECT_NE(made.err.find("saved flight-0001.txt"), std::string::npos) << made.err;
    const std::string recording = slurp(world + "/flight-0001.txt");
    ASSERT_FALSE(recording.empty());

    const Outcome replay = capture("record-replay", "--dir " + world + " --script " + world + "/flight-0001.txt" +
                                                        " --json " + kOut + "/record-replay.json");
    ASSERT_EQ(replay.status, 0) << replay.err;
    const nlohmann::json recorded = report(kOut + "/record.json");
    const nlohmann::json replayed = report(kOut + "/record-replay.json");
    ASSERT_EQ(replayed["frames"], kRecorded);
    for (int k = 0; k < kRecorded; ++k)
        EXPECT_EQ(cameraAt(replayed, size_t(k)), cameraAt(recorded, size_t(kFirst + k))) << "frame " << k;
    // The flight started on the move and turned: the start lines and every input mattered.
    EXPECT_NE(cameraAt(recorded, kFirst - 1), cameraAt(recorded, 0));
    EXPECT_NE(cameraAt(replayed, kRecorded - 1)[4], 0.0);

    std::smatch m;
    const std::regex last("# end: camera (\\S+) (\\S+) (\\S+) angles (\\S+) (\\S+) (\\S+)\n$");
    ASSERT_TRUE(std::regex_search(recording, m, last)) << recording;
    const std::vector<double> end = cameraAt(replayed, kRecorded - 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(std::stod(m[size_t(i) + 1]), end[size_t(i)], i < 3 ? 1e-3 : 0.01) << "value " << i;
}

TEST(CaptureRecord, RecordingChangesNothingTheCameraDoes) {
    const std::string world = copyDemoWorld("record-plain");
    const Outcome with = capture("record-with", "--dir " + world + " --script " + script("record-with", kFlightWithF7) +
                                                    " --json " + kOut + "/record-with.json");
    ASSERT_EQ(with.status, 0) << with.err;
    const Outcome plain = capture("record-plain", "--dir " + world + " --script " +
                                                      script("record-plain", withoutF7(kFlightWithF7)) + " --json " +
                                                      kOut + "/record-plain.json");
    ASSERT_EQ(plain.status, 0) << plain.err;
    const nlohmann::json a = report(kOut + "/record-with.json"), b = report(kOut + "/record-plain.json");
    ASSERT_EQ(a["frames"], b["frames"]);
    EXPECT_EQ(a["cameraPosition"], b["cameraPosition"]);
    EXPECT_EQ(a["cameraAngles"], b["cameraAngles"]);
    EXPECT_EQ(a["roomsDrawn"], b["roomsDrawn"]);
    // Only the run that pressed F7 wrote a recording, and a second one takes the next name.
    EXPECT_FALSE(slurp(world + "/flight-0001.txt").empty());
    EXPECT_TRUE(slurp(world + "/flight-0002.txt").empty());
}

TEST(CaptureRecord, TheChartParsesAsXmlWithOnePointAFrame) {
    const std::string svg = kOut + "/record-chart.svg";
    std::remove(svg.c_str());
    const Outcome run = capture("record-chart", "--dir " + copyDemoWorld("record-chart") + " --script " +
                                                    script("record-chart", withoutF7(kFlightWithF7)) +
                                                    " --timedemo --plot " + svg);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(std::system("command -v xmllint >/dev/null"), 0) << "xmllint is needed (scripts/deps.sh test)";
    EXPECT_EQ(std::system(("xmllint --noout " + svg).c_str()), 0) << svg;
    const std::string text = slurp(svg);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("<polyline id=\"frame-times\"[^>]*points=\"([^\"]*)\"")));
    const std::string points = m[1];
    const std::regex point("[-0-9.]+,[-0-9.]+");
    EXPECT_EQ(std::distance(std::sregex_iterator(points.begin(), points.end(), point), std::sregex_iterator()), 40)
        << "the script's 40 frames";
    EXPECT_NE(text.find("<g id=\"median\">"), std::string::npos);
    EXPECT_NE(text.find("<g id=\"p99\">"), std::string::npos);
    EXPECT_NE(text.find("<g id=\"camera-rooms\">"), std::string::npos);
}

} // namespace
