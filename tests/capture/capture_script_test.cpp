// The capture script format, key names, the scripted clock, frame-time statistics and the chart.
#include <gtest/gtest.h>

#include <regex>

#include "ll/platform_emulation.h"
#include "tools/capture/plot.h"
#include "tools/capture/report.h"
#include "tools/capture/script.h"

namespace {

TEST(CaptureScript, KeyNamesAndCodes) {
    EXPECT_EQ(dikFromName("W"), 0x11);
    EXPECT_EQ(dikFromName("w"), 0x11);
    EXPECT_EQ(dikFromName("DIK_ESCAPE"), 0x01);
    EXPECT_EQ(dikFromName("space"), 0x39);
    EXPECT_EQ(dikFromName("LEFT"), 0xCB);
    EXPECT_EQ(dikFromName("0x1E"), 0x1E);
    EXPECT_EQ(dikFromName("17"), 17);
    EXPECT_EQ(dikFromName("1"), 0x02); // the digit key, not scan code 1
    EXPECT_EQ(dikFromName("0x100"), 0);
    EXPECT_EQ(dikFromName("00"), 0);
    EXPECT_EQ(dikFromName("NOSUCHKEY"), 0);
}

TEST(CaptureScript, ParsesEveryEvent) {
    OffscreenScript s;
    std::string error;
    ASSERT_TRUE(parseCaptureScript("# flight\nstep 20\n\n5 down W  # forward\n9 up w\n"
                                   "3 press B 4\n7 mouse -3 12\n30 close\n31 quit\n",
                                   s, error))
        << error;
    EXPECT_EQ(s.stepMs, 20u);
    ASSERT_EQ(s.events.size(), 7u);
    EXPECT_EQ(s.events[0].kind, OffscreenEventKind::keyDown);
    EXPECT_EQ(s.events[0].frame, 5u);
    EXPECT_EQ(s.events[0].key, 0x11);
    EXPECT_EQ(s.events[1].kind, OffscreenEventKind::keyUp);
    // press = down now, up after the given number of frames
    EXPECT_EQ(s.events[2].kind, OffscreenEventKind::keyDown);
    EXPECT_EQ(s.events[2].frame, 3u);
    EXPECT_EQ(s.events[3].kind, OffscreenEventKind::keyUp);
    EXPECT_EQ(s.events[3].frame, 7u);
    EXPECT_EQ(s.events[4].kind, OffscreenEventKind::mouse);
    EXPECT_EQ(s.events[4].dx, -3);
    EXPECT_EQ(s.events[4].dy, 12);
    EXPECT_EQ(s.events[5].kind, OffscreenEventKind::close);
    EXPECT_EQ(s.events[6].kind, OffscreenEventKind::quit);
    EXPECT_EQ(scriptLength(s), 32u);
}

// A pad's or touch stick's axes: held from their frame until the next analog line, and played into
// what the platform layer reports.
TEST(CaptureScript, AnalogLinesHoldTheAxesUntilTheNext) {
    OffscreenScript s;
    std::string error;
    ASSERT_TRUE(parseCaptureScript("2 analog 0.5 -1 0 0.300000012 1\n6 analog 0 0 0 0 0\n", s, error)) << error;
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].kind, OffscreenEventKind::analog);
    EXPECT_EQ(s.events[0].frame, 2u);
    EXPECT_EQ(s.events[0].axes.moveX, 0.5f);
    EXPECT_EQ(s.events[0].axes.moveY, -1.0f);
    EXPECT_EQ(s.events[0].axes.lookY, 0.3f) << "nine digits read back as the very same float";
    EXPECT_EQ(s.events[0].axes.upDown, 1.0f);

    emuReset();
    ScriptPlayer player{};
    scriptPlayerLoad(player, s);
    PlatPoint cursor{0, 0};
    const float moveY[] = {0, 0, -1, -1, -1, -1, 0, 0};
    for (uint32_t frame = 0; frame < 8; ++frame) {
        scriptPlayerApply(player, frame, 0, nullptr, cursor);
        EXPECT_EQ(emuAnalog().moveY, moveY[frame]) << "frame " << frame;
    }
    // A real pad's axes add to the script's.
    emuSetScriptAnalog(PlatAnalog{0.5f, 0, 0, 0, 0});
    emuSetAnalog(PlatAnalog{0.75f, 0.25f, 0, 0, 0});
    EXPECT_EQ(emuAnalog().moveX, 1.0f);
    EXPECT_EQ(emuAnalog().moveY, 0.25f);
    emuReset();
}

TEST(CaptureScript, RejectsBadLinesWithTheirNumber) {
    const char* bad[] = {"x down W", "5 down", "5 down W X", "5 jump", "5 mouse 1", "5 mouse 1 99999",
                         "-1 down W", "5 press W 0", "step", "step -4", "5 close now", "5",
                         "5 step", "5 step -1", "5 step 4294967296", "5 step 1 2", "camera 1 2 3 4 5",
                         "camera 1 2 3 4 5 6 7", "camera 1 2 3 4 5 nan", "camera 1 2 x 4 5 6", "velocity 1 2",
                         "velocity 1 2 inf", "mouse 1", "mouse 1 2.5", "mouse 1 9999999999", "spinner 1",
                         "spinner 1 2 3", "cursor 1", "cursor 0 40000", "cursor a b", "5 analog 0 0 0 0",
                         "5 analog 0 0 0 0 1.5", "5 analog 0 0 nan 0 0", "5 analog 0 0 0 0 0 0", "analog 0 0 0 0 0"};
    for (const char* text : bad) {
        OffscreenScript s;
        s.stepMs = 99;
        std::string error;
        EXPECT_FALSE(parseCaptureScript(std::string("# ok\n") + text + "\n", s, error)) << text;
        EXPECT_EQ(error.rfind("line 2:", 0), 0u) << text << " -> " << error;
        EXPECT_EQ(s.stepMs, 99u) << "a failed parse leaves the output alone";
    }
    OffscreenScript s;
    std::string error;
    EXPECT_FALSE(loadCaptureScript("/nonexistent/flight.txt", s, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(CaptureScript, ParsesFrameStepsAndWhereTheFlightStarts) {
    OffscreenScript s;
    std::string error;
    ASSERT_TRUE(parseCaptureScript("camera 1.5 0.25 -3.75 -10 90.5 0.125\nvelocity 0 -0.5 2e-3\nmouse 12 -49\n"
                                   "spinner 0.333333343 359.5\ncursor -5 7\n0 step 17\n3 step 0\n9 step 4294967295\n",
                                   s, error))
        << error;
    const FlightStart& f = s.start;
    ASSERT_TRUE(f.cameraGiven && f.velocityGiven && f.mouseGiven && f.spinnerGiven && f.cursorGiven);
    EXPECT_EQ(f.cursor[0], -5);
    EXPECT_EQ(f.cursor[1], 7);
    EXPECT_EQ(f.position[0], 1.5f);
    EXPECT_EQ(f.position[2], -3.75f);
    EXPECT_EQ(f.angles[0], -10.0f);
    EXPECT_EQ(f.angles[1], 90.5f);
    EXPECT_EQ(f.angles[2], 0.125f);
    EXPECT_EQ(f.velocity[1], -0.5f);
    EXPECT_EQ(f.velocity[2], 2e-3f);
    EXPECT_EQ(f.mouse[0], 12);
    EXPECT_EQ(f.mouse[1], -49);
    EXPECT_EQ(f.spinner[0], 1.0f / 3.0f); // nine digits read back as the very float written
    EXPECT_EQ(f.spinner[1], 359.5f);
    ASSERT_EQ(s.steps.size(), 3u);
    EXPECT_EQ(s.steps[1].frame, 3u);
    EXPECT_EQ(s.steps[1].ms, 0u);
    EXPECT_EQ(s.steps[2].ms, 4294967295u);
    EXPECT_EQ(scriptLength(s), 10u) << "a step counts as part of the script";

    OffscreenScript plain;
    ASSERT_TRUE(parseCaptureScript("3 down W\n", plain, error)) << error;
    EXPECT_FALSE(plain.start.cameraGiven || plain.start.velocityGiven || plain.start.mouseGiven ||
                 plain.start.spinnerGiven || plain.start.cursorGiven);
    EXPECT_TRUE(plain.steps.empty());
}

// The clock in frame n's pass, for the first frames of a script.
std::vector<uint32_t> clockOf(const std::string& text, uint32_t frames) {
    OffscreenScript s;
    std::string error;
    EXPECT_TRUE(parseCaptureScript(text, s, error)) << error;
    ScriptPlayer player{};
    scriptPlayerLoad(player, s);
    std::vector<uint32_t> times;
    for (uint32_t f = 0; f < frames; ++f) times.push_back(scriptPlayerClock(player, f));
    return times;
}

TEST(CaptureScript, ClockKeepsTheFixedStepAndFollowsFrameSteps) {
    // Without frame steps, as always: the first frame lasts nothing, each later one the step.
    EXPECT_EQ(clockOf("", 3), (std::vector<uint32_t>{0, 16, 32}));
    EXPECT_EQ(clockOf("step 20\n", 4), (std::vector<uint32_t>{0, 20, 40, 60}));
    // A step at frame 0 gives the first frame its length too; later ones hold until the next.
    EXPECT_EQ(clockOf("0 step 17\n3 step 5\n4 step 0\n", 6), (std::vector<uint32_t>{17, 34, 51, 56, 56, 56}));
    EXPECT_EQ(clockOf("step 10\n2 step 33\n", 4), (std::vector<uint32_t>{0, 10, 43, 76}));
    // Asked again in the same pass, the clock does not move; a frame skipped still counts.
    OffscreenScript s;
    std::string error;
    ASSERT_TRUE(parseCaptureScript("step 10\n1 step 7\n", s, error));
    ScriptPlayer player{};
    scriptPlayerLoad(player, s);
    EXPECT_EQ(scriptPlayerClock(player, 1), 7u);
    EXPECT_EQ(scriptPlayerClock(player, 1), 7u);
    EXPECT_EQ(scriptPlayerClock(player, 3), 21u);
}

TEST(CaptureScript, EveryNamedKeyReadsBackAsItsCode) {
    int named = 0;
    for (int code = 1; code < 256; ++code) {
        const char* name = dikKeyName(uint8_t(code));
        if (!name) continue;
        ++named;
        EXPECT_EQ(dikFromName(name), code) << name;
    }
    EXPECT_GE(named, 80);
    EXPECT_STREQ(dikKeyName(0x41), "F7");
    EXPECT_STREQ(dikKeyName(0x02), "1");
    EXPECT_EQ(dikKeyName(0xFF), nullptr);
}

TEST(CaptureReport, Percentiles) {
    std::vector<double> times;
    for (int i = 100; i >= 1; --i) times.push_back(i); // 1..100 ms, unsorted
    FrameStats s = frameStats(times);
    EXPECT_EQ(s.frames, 100u);
    EXPECT_DOUBLE_EQ(s.totalSeconds, 5.05);
    EXPECT_NEAR(s.meanFps, 100 / 5.05, 1e-9);
    EXPECT_DOUBLE_EQ(s.medianMs, 50);
    EXPECT_DOUBLE_EQ(s.p95Ms, 95);
    EXPECT_DOUBLE_EQ(s.p99Ms, 99);
    EXPECT_DOUBLE_EQ(percentile({7}, 99), 7);
    FrameStats none = frameStats({});
    EXPECT_EQ(none.frames, 0u);
    EXPECT_EQ(none.meanFps, 0);
}

TEST(CapturePlot, OnePointAFrameAndTheLevelsWhereTheyBelong) {
    std::vector<double> times(200, 10.0);
    times[150] = 95; // a hitch
    std::vector<FrameSample> samples(200);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i].cameraRoom = i < 120 ? 0 : 3;
        samples[i].roomsDrawn = i < 120 ? 2 : 5;
    }
    const FrameStats stats = frameStats(times);
    const std::string svg = frameTimeSvg("Mesa <llvmpipe> & \"co\"", stats, times, samples);
    EXPECT_EQ(svg.find("<llvmpipe>"), std::string::npos) << "the renderer's name is escaped";
    EXPECT_NE(svg.find("Mesa &lt;llvmpipe&gt; &amp; &quot;co&quot;"), std::string::npos);

    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("<polyline id=\"frame-times\"[^>]*points=\"([^\"]*)\"")));
    const std::string points = m[1];
    std::vector<std::pair<double, double>> xy;
    const std::regex point("(-?[0-9.]+),(-?[0-9.]+)");
    for (auto it = std::sregex_iterator(points.begin(), points.end(), point); it != std::sregex_iterator(); ++it)
        xy.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    ASSERT_EQ(xy.size(), times.size());
    for (size_t i = 1; i < xy.size(); ++i) EXPECT_GT(xy[i].first, xy[i - 1].first) << "frames go left to right";
    EXPECT_LT(xy[150].second, xy[149].second - 100) << "the hitch rises well above its neighbours";

    // The median's line lies at the height of the ordinary frames.
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("<g id=\"median\">\\s*<line x1=\"[0-9.]+\" y1=\"([0-9.]+)\"")));
    EXPECT_NEAR(std::stod(m[1]), xy[0].second, 0.01);
    EXPECT_NE(svg.find("median 10.00 ms"), std::string::npos);
    EXPECT_NE(svg.find("p99 10.00 ms"), std::string::npos);
    // Beneath: a band for each room the camera stood in, and the rooms drawn a frame.
    EXPECT_NE(svg.find("room 0, frames 0 to 119"), std::string::npos);
    EXPECT_NE(svg.find("room 3, frames 120 to 199"), std::string::npos);
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("<polyline id=\"rooms-drawn\"[^>]*points=\"([^\"]*)\"")));
    const std::string drawn = m[1];
    EXPECT_EQ(std::distance(std::sregex_iterator(drawn.begin(), drawn.end(), point), std::sregex_iterator()), 200);
}

TEST(CapturePlot, NiceCeilingsAndEscapes) {
    EXPECT_EQ(niceCeiling(0), 1);
    EXPECT_EQ(niceCeiling(1), 1);
    EXPECT_EQ(niceCeiling(1.01), 2);
    EXPECT_EQ(niceCeiling(3), 5);
    EXPECT_EQ(niceCeiling(20), 20);
    EXPECT_EQ(niceCeiling(51), 100);
    EXPECT_EQ(xmlEscape("a'b\x01" "c<"), "a&apos;bc&lt;");
    // No frames at all still makes a document.
    const std::string empty = frameTimeSvg("", frameStats({}), {}, {});
    EXPECT_NE(empty.find("</svg>"), std::string::npos);
}

} // namespace
