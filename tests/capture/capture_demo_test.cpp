// quorvel-capture over the shipped demo world: the committed flight goes through every room and
// renders the same pictures on every run, the first frame matches its reference, and malformed
// world and texture files end the program with status 1 and its message.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/capture/capture_harness.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDemoRooms = 9;

int occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(CaptureDemo, FlightStandsInEveryRoomAndNeverLeavesThem) {
    const std::string json = kOut + "/demo-flight.json";
    Outcome r = capture("demo-flight", "--dir " + kDemoWorld + " --script " + kFlight + " --size 160x120 --json " + json);
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = report(json);
    const nlohmann::json& rooms = j["cameraRoom"];
    ASSERT_EQ(rooms.size(), j["frames"].get<size_t>());
    ASSERT_GT(rooms.size(), 1000u) << "the flight ended early";

    int framesIn[kDemoRooms] = {};
    for (size_t f = 0; f < rooms.size(); ++f) {
        const int room = rooms[f].get<int>();
        // Outside every room the renderer falls back to room 0: the flight went through a wall.
        ASSERT_GE(room, 0) << "frame " << f << ": the camera is outside every room at "
                           << j["cameraPosition"][f].dump();
        ASSERT_LT(room, kDemoRooms) << "frame " << f;
        ++framesIn[room];
    }
    // Standing in a room means more than grazing it: at least half a second at 20 ms a frame.
    for (int room = 0; room < kDemoRooms; ++room)
        EXPECT_GE(framesIn[room], 25) << "the camera spends " << framesIn[room] << " frames in room " << room;
    EXPECT_EQ(rooms.front(), 0);
    EXPECT_EQ(rooms.back(), 0) << "the flight ends back in the atrium";
    EXPECT_GE(j["roomsDrawn"][0].get<int>(), 2) << "the first frame sees through a door";
}

TEST(CaptureDemo, FlightRendersTheSamePicturesTwice) {
    // In the east corridor, looking up in the hall, crossing the hall, and in the shrine.
    const char* frames[] = {"390", "1500", "2300", "3100"};
    for (const char* run : {"a", "b"}) {
        std::string args = "--dir " + kDemoWorld + " --script " + kFlight + " --size 200x150 --frames 3101";
        for (const char* f : frames)
            args += std::string(" --shot ") + f + ":" + kOut + "/demo-determinism-" + run + "-" + f + ".png";
        Outcome r = capture(std::string("demo-determinism-") + run, args);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::set<std::vector<uint8_t>> distinct;
    for (const char* f : frames) {
        const Image a = png(kOut + "/demo-determinism-a-" + f + ".png");
        const Image b = png(kOut + "/demo-determinism-b-" + f + ".png");
        ASSERT_EQ(a.pixels.size(), 200u * 150u * 3u) << "frame " << f;
        EXPECT_TRUE(a.pixels == b.pixels) << "frame " << f << " differs between two runs";
        distinct.insert(a.pixels);
    }
    EXPECT_EQ(distinct.size(), 4u) << "the flight shows the same picture at different moments";
}

TEST(CaptureDemo, FlightIsPixelIdenticalWithoutTheShortcuts) {
    // Frames spread over the whole flight, at a size whose tiles do not divide the viewport.
    std::vector<std::string> frames;
    for (int f = 0; f <= 5000; f += 250) frames.push_back(std::to_string(f));
    for (const char* mode : {"on", "off"}) {
        std::string args = "--dir " + kDemoWorld + " --script " + kFlight + " --size 333x250 --shortcuts " + mode;
        for (const std::string& f : frames) args += " --shot " + f + ":" + kOut + "/demo-shortcuts-" + mode + "-" + f + ".png";
        Outcome r = capture(std::string("demo-shortcuts-") + mode, args);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (const std::string& f : frames) {
        const Image on = png(kOut + "/demo-shortcuts-on-" + f + ".png");
        const Image off = png(kOut + "/demo-shortcuts-off-" + f + ".png");
        ASSERT_EQ(on.pixels.size(), 333u * 250u * 3u) << "frame " << f;
        EXPECT_TRUE(on.pixels == off.pixels) << "frame " << f << " changes with the renderer's shortcuts";
    }
}

TEST(CaptureDemo, ShortcutsAndShadowsOptionsAreChecked) {
    Outcome r = capture("demo-shortcuts-bad", "--dir " + kDemoWorld + " --shortcuts maybe");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--shortcuts takes on or off"), std::string::npos) << r.err;
    r = capture("demo-shadows-bad", "--dir " + kDemoWorld + " --shadows full");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--shadows takes complete or default"), std::string::npos) << r.err;
}

TEST(CaptureDemo, FirstFrameMatchesReference) {
    const std::string actualPath = kOut + "/demo-first-frame-actual.png";
    Outcome r = capture("demo-first-frame", "--dir " + kDemoWorld + " --frames 1 --shot 0:" + actualPath);
    ASSERT_EQ(r.status, 0) << r.err;
    expectMatchesReference(actualPath, kSource + "/reference/demo-first-frame.png");
}

void expectFatal(const std::string& name, const std::string& dir, const std::string& message) {
    Outcome r = capture(name, "--dir " + dir + " --frames 5");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(occurrences(r.err, message), 1) << r.err;
}

TEST(CaptureDemo, MalformedFilesEndWithStatusOneAndTheMessage) {
    {
        const std::string dir = copyDemoWorld("truncated-world");
        const std::string kbw = dir + "/demo.kbw";
        const std::string bytes = slurp(kbw);
        ASSERT_GT(bytes.size(), 1000u);
        std::ofstream(kbw, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
        expectFatal("truncated-world", dir, "Could not load world!");
    }
    {
        const std::string dir = copyDemoWorld("missing-image");
        ASSERT_TRUE(fs::remove(dir + "/textures/bricks.raw"));
        expectFatal("missing-image", dir, "Could not load textures!");
    }
    {
        // The header promises 256 x 256 pixels; the file holds a few rows.
        const std::string dir = copyDemoWorld("short-image");
        fs::resize_file(dir + "/textures/bricks.raw", 5 + 3 * 256 * 4);
        expectFatal("short-image", dir, "Could not load textures!");
    }
    {
        const std::string dir = copyDemoWorld("truncated-list");
        fs::resize_file(dir + "/demo.ktl", 20);
        expectFatal("truncated-list", dir, "Could not load textures!");
    }
}

} // namespace
