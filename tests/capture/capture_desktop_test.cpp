// The desktop keys through quorvel-capture on the demo world: F1's overlay, the F2-F4 debug views
// and F12's screenshots change the picture where they should and nowhere else, leave no trace once
// switched off, and the start-up failures name the loader's reason. Also the tool's own
// --overlay, its default world folder and the --shot limit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/capture/capture_harness.h"

namespace {

namespace fs = std::filesystem;

constexpr int kW = 400, kH = 300;

// Runs the demo world for `frames` frames with `keys` as the script and returns frame `shot`.
Image frame(const std::string& name, const std::string& keys, int frames, int shot, const std::string& extra = "") {
    const std::string path = kOut + "/" + name + ".png";
    std::string args = "--dir " + kDemoWorld + " --size " + std::to_string(kW) + "x" + std::to_string(kH) +
                       " --frames " + std::to_string(frames) + " --shot " + std::to_string(shot) + ":" + path + " " + extra;
    if (!keys.empty()) args += " --script " + script(name, keys);
    Outcome r = capture(name, args);
    EXPECT_EQ(r.status, 0) << r.err;
    return png(path);
}

// The bounding box (x0, y0 from the top, x1, y1 exclusive) of the pixels that differ; empty
// (x1 <= x0) when the pictures are equal.
struct Box {
    int x0 = kW, y0 = kH, x1 = 0, y1 = 0;
    long count = 0;
};
Box difference(const Image& a, const Image& b) {
    Box box;
    if (a.pixels.size() != b.pixels.size() || a.width != kW) {
        ADD_FAILURE() << "pictures of different sizes";
        return box;
    }
    for (int row = 0; row < kH; ++row)
        for (int x = 0; x < kW; ++x) {
            const size_t i = (size_t(row) * kW + x) * 3;
            if (a.pixels[i] == b.pixels[i] && a.pixels[i + 1] == b.pixels[i + 1] && a.pixels[i + 2] == b.pixels[i + 2])
                continue;
            const int y = kH - 1 - row; // stored bottom row first
            box.x0 = std::min(box.x0, x), box.x1 = std::max(box.x1, x + 1);
            box.y0 = std::min(box.y0, y), box.y1 = std::max(box.y1, y + 1);
            ++box.count;
        }
    return box;
}

// Pixels of `shot` that differ from `plain` and whose colour passes `is`.
template <typename Colour>
long changedTo(const Image& shot, const Image& plain, Colour is) {
    long n = 0;
    for (size_t i = 0; i + 2 < shot.pixels.size() && i + 2 < plain.pixels.size(); i += 3) {
        const int r = shot.pixels[i], g = shot.pixels[i + 1], b = shot.pixels[i + 2];
        if (r == plain.pixels[i] && g == plain.pixels[i + 1] && b == plain.pixels[i + 2]) continue;
        if (is(r, g, b)) ++n;
    }
    return n;
}
bool reddish(int r, int g, int b) { return r > 180 && g < 90 && b < 90; }
bool greenish(int r, int g, int b) { return g > 180 && r < 90 && b < 90; }
bool bluish(int r, int g, int b) { return b > r + 40 && b > g + 40; }
bool cyan(int r, int g, int b) { return b > 180 && g > 150 && r < 80; }
bool yellow(int r, int g, int b) { return r > 180 && g > 160 && b < 80; }

TEST(CaptureDesktop, KeysSwitchedOffLeaveNoTrace) {
    const Image plain = frame("keys-plain", "", 6, 5);
    // Every view and the overlay on at frame 1 and off again at frame 3: frames 3 on must be the
    // demo's own, so nothing they drew or set outlived them.
    const Image toggled = frame("keys-toggled",
                                "1 press F1\n1 press F2\n1 press F3\n1 press F4\n"
                                "3 press F1\n3 press F2\n3 press F3\n3 press F4\n",
                                6, 5);
    EXPECT_TRUE(plain.pixels == toggled.pixels) << difference(plain, toggled).count << " pixels differ";
    // Keys the demo does not use change nothing at all.
    const Image others = frame("keys-others", "1 press F6\n1 press F9\n2 press F11\n", 6, 5);
    EXPECT_TRUE(plain.pixels == others.pixels);
}

TEST(CaptureDesktop, OverlayDrawsOnlyInTheTopLeftCorner) {
    const Image plain = frame("overlay-plain", "", 3, 2);
    const Image pressed = frame("overlay-f1", "1 press F1\n", 3, 2);
    const Box box = difference(plain, pressed);
    ASSERT_GT(box.count, 500) << "F1 drew nothing";
    EXPECT_EQ(box.x0, 0);
    EXPECT_EQ(box.y0, 0);
    // Three lines of 8 x 16 text on a panel: well inside the top-left quarter.
    EXPECT_LE(box.x1, kW / 2 + 100);
    EXPECT_LE(box.y1, 3 * 16 + 20);
    // Bright text pixels, not just the darkened panel.
    long bright = 0;
    for (size_t i = 0; i < pressed.pixels.size(); i += 3)
        if (pressed.pixels[i] > 220 && pressed.pixels[i + 1] > 220 && pressed.pixels[i + 2] > 180 &&
            !(plain.pixels[i] == pressed.pixels[i] && plain.pixels[i + 1] == pressed.pixels[i + 1]))
            ++bright;
    EXPECT_GT(bright, 100);
    // The tool's --overlay starts with the same overlay on.
    const Image option = frame("overlay-option", "", 3, 2, "--overlay");
    EXPECT_TRUE(option.pixels == pressed.pixels);
}

TEST(CaptureDesktop, PortalViewOutlinesFollowedAndCulledPortals) {
    const Image plain = frame("portals-plain", "", 1, 0);
    const Image view = frame("portals-f2", "0 press F2\n", 1, 0);
    // The first frame looks through a door (followed: green) and sees the outline of one that
    // faces away (culled: red).
    EXPECT_GT(changedTo(view, plain, greenish), 100) << "no followed portal outlined";
    EXPECT_GT(changedTo(view, plain, reddish), 20) << "no culled portal outlined";
    // Outlines are lines: most of the picture stays as it was.
    EXPECT_LT(difference(plain, view).count, long(kW) * kH / 20);
}

TEST(CaptureDesktop, ShadowAndStencilViewsDrawWhereTheShadowsAre) {
    const Image plain = frame("shadows-plain", "", 1, 0);
    const Image outlines = frame("shadows-f3", "0 press F3\n", 1, 0);
    EXPECT_GT(changedTo(outlines, plain, cyan), 200) << "no volume outlines";
    EXPECT_GT(changedTo(outlines, plain, yellow), 100) << "no silhouette edges";
    const Image heat = frame("shadows-f4", "0 press F4\n", 1, 0);
    const Box box = difference(plain, heat);
    // The ring's shadow lies on the floor below the middle of the picture.
    ASSERT_GT(box.count, 500);
    EXPECT_GT(box.y1, kH / 2);
    EXPECT_GT(changedTo(heat, plain, bluish), box.count / 2) << "count 1 should show blue";
}

TEST(CaptureDesktop, F12SavesTheFrameUnderAFreeName) {
    const std::string dir = copyDemoWorld("shot-world");
    // An earlier screenshot must survive.
    std::ofstream(dir + "/quorvel-0001.png") << "earlier";
    const std::string same = kOut + "/shot-same.png", after = kOut + "/shot-after.png";
    Outcome r = capture("shot", "--dir " + dir + " --size 400x300 --frames 4 --script " + script("shot", "2 press F12\n") +
                                    " --shot 2:" + same + " --shot 3:" + after);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir + "/quorvel-0001.png"), "earlier");
    ASSERT_TRUE(fs::exists(dir + "/quorvel-0002.png")) << r.err;
    EXPECT_NE(r.err.find("saved quorvel-0002.png"), std::string::npos) << r.err;
    // The file is the frame in which F12 was pressed, before the notice appeared.
    EXPECT_TRUE(png(dir + "/quorvel-0002.png").pixels == png(same).pixels);
    // The next frame says so in the corner.
    const Box notice = difference(frame("shot-plain", "", 4, 3), png(after));
    EXPECT_GT(notice.count, 50);
    EXPECT_EQ(notice.y0, 0);
    EXPECT_LE(notice.y1, 40);
}

TEST(CaptureDesktop, StartUpFailuresCarryTheLoadersReason) {
    {
        const std::string dir = copyDemoWorld("reason-world");
        const std::string bytes = slurp(dir + "/demo.kbw");
        std::ofstream(dir + "/demo.kbw", std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
        Outcome r = capture("reason-world", "--dir " + dir + " --frames 2");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Orvane Error!: Could not load world!"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("demo.kbw: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("(at byte "), std::string::npos) << r.err;
    }
    {
        const std::string dir = copyDemoWorld("reason-image");
        ASSERT_TRUE(fs::remove(dir + "/textures/bricks.raw"));
        Outcome r = capture("reason-image", "--dir " + dir + " --frames 2");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("Could not load textures!"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("textures/bricks.raw"), std::string::npos) << r.err;
    }
}

TEST(CaptureDesktop, DefaultFolderAndShotLimit) {
    // Started in a world folder, the tool runs there: F12 writes into that folder.
    const std::string dir = copyDemoWorld("cwd-world");
    Outcome r = capture("cwd", "--frames 1 --size 80x60 --script " + script("cwd", "0 press F12\n"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/quorvel-0001.png")) << r.err;
    // A shot at or past the last frame would never be written.
    Outcome past = capture("shot-past", "--dir " + kDemoWorld + " --frames 3 --shot 3:" + kOut + "/never.png");
    EXPECT_EQ(past.status, 2);
    EXPECT_NE(past.err.find("--shot frame 3"), std::string::npos) << past.err;
    EXPECT_FALSE(fs::exists(kOut + "/never.png"));
}

} // namespace
