// The capture script format, key names and frame-time statistics.
#include <gtest/gtest.h>

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

TEST(CaptureScript, RejectsBadLinesWithTheirNumber) {
    const char* bad[] = {"x down W", "5 down", "5 down W X", "5 jump", "5 mouse 1", "5 mouse 1 99999",
                         "-1 down W", "5 press W 0", "step", "step -4", "5 close now", "5"};
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

} // namespace
