// The desktop extras without a window: key toggles, the overlay's lines and its GL state,
// screenshot names, letterboxing and the resize LL reports, the command line, and the quorvel
// program's --help and bad arguments run as a process.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/command_line.h"
#include "app/desktop.h"
#include "app/overlay.h"
#include "app/screenshot.h"
#include "ll/headless_gl.h"
#include "ll/ll.h"
#include "ll/ll_internal.h"
#include "render/renderer.h"
#include "text/bitmap_font.h"

namespace {

namespace fs = std::filesystem;

TEST(DesktopKeys, TogglesFlipOnceAPressAndF12AsksForOneShot) {
    resetDesktop();
    uint8_t keys[256] = {};
    keys[kKeyF1] = 0x80;
    desktopKeys(keys);
    EXPECT_TRUE(desktopState().overlay);
    desktopKeys(keys); // still held: no second flip
    EXPECT_TRUE(desktopState().overlay);
    keys[kKeyF1] = 0;
    desktopKeys(keys);
    keys[kKeyF1] = 0x80;
    keys[kKeyF3] = 0x80;
    desktopKeys(keys);
    EXPECT_FALSE(desktopState().overlay);
    EXPECT_TRUE(desktopState().shadows);
    EXPECT_FALSE(desktopState().portals);
    EXPECT_FALSE(desktopState().stencil);

    keys[kKeyF12] = 0x80;
    desktopKeys(keys);
    EXPECT_TRUE(desktopState().shotWanted);
    desktopKeys(keys);
    EXPECT_FALSE(desktopState().shotWanted) << "holding F12 takes one screenshot";
    keys[kKeyF6] = 0x80;
    desktopKeys(keys);
    EXPECT_TRUE(desktopState().reloadWanted);
    desktopKeys(keys);
    EXPECT_FALSE(desktopState().reloadWanted) << "holding F6 reloads once";
    // F7 is not one of these keys; a byte without bit 7 is not held.
    resetDesktop();
    uint8_t other[256] = {};
    other[0x41] = 0x80;
    other[kKeyF2] = 0x7F;
    desktopKeys(other);
    EXPECT_FALSE(desktopState().overlay || desktopState().portals || desktopState().shadows ||
                 desktopState().stencil || desktopState().shotWanted || desktopState().reloadWanted);
}

TEST(DesktopKeys, F5SwitchesTheRendererBetweenShadowDepthModes) {
    resetDesktop();
    resetRenderer();
    uint8_t keys[256] = {};
    keys[kKeyF5] = 0x80;
    desktopKeys(keys);
    EXPECT_TRUE(desktopState().completeDepth);
    EXPECT_EQ(rendererState().shadowDepth, ShadowDepth::Complete);
    OverlayFacts f{60, 16, 3, 2, {0, 0, 0}};
    const std::vector<std::string> lines = overlayLines(f, desktopState());
    EXPECT_EQ(lines.back(), "shadows: complete depth");
    keys[kKeyF5] = 0;
    desktopKeys(keys);
    keys[kKeyF5] = 0x80;
    desktopKeys(keys);
    EXPECT_FALSE(desktopState().completeDepth);
    EXPECT_EQ(rendererState().shadowDepth, ShadowDepth::Default);
}

TEST(OverlayText, AReloadFailureIsWrappedAtSpacesAndLongWordsAreCut) {
    EXPECT_EQ(wrapText("short", 90), std::vector<std::string>{"short"});
    EXPECT_EQ(wrapText("", 90), std::vector<std::string>{""});
    EXPECT_EQ(wrapText("reload failed: demo.kbw: rooms", 14),
              (std::vector<std::string>{"reload failed:", "demo.kbw:", "rooms"}));
    EXPECT_EQ(wrapText("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
}

TEST(OverlayLines, ShowTheLoggedRateRoomsAndPosition) {
    DesktopState views{};
    OverlayFacts f{62, 16, 3, 2, {1.5f, -0.25f, 10}};
    std::vector<std::string> lines = overlayLines(f, views);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "FPS 62  frame 16 ms");
    EXPECT_EQ(lines[1], "rooms drawn 3");
    EXPECT_EQ(lines[2], "room 2  at 1.50 -0.25 10.00");
    f.fps = -1;
    f.cameraRoom = -1;
    views.portals = views.stencil = true;
    lines = overlayLines(f, views);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "FPS --  frame 16 ms");
    EXPECT_EQ(lines[2].rfind("outside", 0), 0u);
    EXPECT_EQ(lines[3], "views: portals stencil");
}

TEST(OverlayFacts, FpsComesFromTheLogCount) {
    DriverState d{};
    d.dt = 20;
    EXPECT_LT(overlayFacts(d).fps, 0) << "nothing logged yet";
    d.lastFps = 48;
    d.fpsLogged = true;
    EXPECT_EQ(overlayFacts(d).fps, 48);
    EXPECT_EQ(overlayFacts(d).frameMs, 20u);
    EXPECT_EQ(overlayFacts(d).cameraRoom, -1);
}

TEST(Letterbox, KeepsFourToThreeCentred) {
    auto same = [](ViewRect r, ViewRect w) { return r.x == w.x && r.y == w.y && r.width == w.width && r.height == w.height; };
    EXPECT_TRUE(same(letterbox(800, 600), {0, 0, 800, 600}));
    EXPECT_TRUE(same(letterbox(1920, 1080), {240, 0, 1440, 1080}));
    EXPECT_TRUE(same(letterbox(800, 1000), {0, 200, 800, 600}));
    EXPECT_TRUE(same(letterbox(1, 1), {0, 0, 1, 0}));
    EXPECT_TRUE(same(letterbox(0, 600), {0, 0, 0, 0}));
    EXPECT_TRUE(same(letterbox(-5, 600), {0, 0, 0, 0}));
}

TEST(Letterbox, LLReportsEachResizeOnce) {
    resetLLWindowState();
    int32_t w = 0, h = 0;
    EXPECT_FALSE(windowResizedLL(&w, &h));
    wndProcLL(nullptr, WM_SIZE, 0, intptr_t(768) << 16 | 1024);
    ASSERT_TRUE(windowResizedLL(&w, &h));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_FALSE(windowResizedLL(&w, &h));
    resetLLWindowState();
}

TEST(ScreenshotNames, CountOnPastTakenNames) {
    const fs::path dir = fs::temp_directory_path() / ("qv-shots-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    int n = 0;
    EXPECT_EQ(nextScreenshotName(dir.string(), n), (dir / "quorvel-0001.png").string());
    std::ofstream(dir / "quorvel-0002.png") << "x";
    std::ofstream(dir / "quorvel-0003.png") << "x";
    // n moved past 0001; 0002 and 0003 are taken.
    EXPECT_EQ(nextScreenshotName(dir.string(), n), (dir / "quorvel-0004.png").string());
    EXPECT_EQ(n, 5);
    int again = 0;
    std::ofstream(dir / "quorvel-0001.png") << "x";
    EXPECT_EQ(nextScreenshotName(dir.string(), again), (dir / "quorvel-0004.png").string());
    fs::remove_all(dir);
}

TEST(CommandLine, FolderFullscreenHelpAndMistakes) {
    CommandLine line;
    std::string error;
    const char* none[] = {"quorvel"};
    ASSERT_TRUE(parseCommandLine(1, none, line, error));
    EXPECT_TRUE(line.worldDir.empty());
    EXPECT_FALSE(line.fullscreen || line.help || line.watch);

    const char* full[] = {"quorvel", "--fullscreen", "worlds/two"};
    ASSERT_TRUE(parseCommandLine(3, full, line, error));
    EXPECT_EQ(line.worldDir, "worlds/two");
    EXPECT_TRUE(line.fullscreen);
    EXPECT_FALSE(line.watch);

    const char* watched[] = {"quorvel", "out", "--watch"};
    ASSERT_TRUE(parseCommandLine(3, watched, line, error));
    EXPECT_EQ(line.worldDir, "out");
    EXPECT_TRUE(line.watch);

    const char* dashed[] = {"quorvel", "--", "-odd-name"};
    ASSERT_TRUE(parseCommandLine(3, dashed, line, error));
    EXPECT_EQ(line.worldDir, "-odd-name");

    const char* bad[] = {"quorvel", "--windowed"};
    EXPECT_FALSE(parseCommandLine(2, bad, line, error));
    EXPECT_NE(error.find("--windowed"), std::string::npos);
    const char* two[] = {"quorvel", "a", "b"};
    EXPECT_FALSE(parseCommandLine(3, two, line, error));
    const char* empty[] = {"quorvel", ""};
    EXPECT_FALSE(parseCommandLine(2, empty, line, error));
}

int runQuorvel(const std::string& args, std::string& out) {
    const std::string path = fs::temp_directory_path() / ("qv-cli-" + std::to_string(getpid()) + ".txt");
    // No display: --help and argument errors must end before any window is asked for.
    const int raw = std::system(("env -u DISPLAY " QV_QUORVEL_PATH " " + args + " >" + path + " 2>&1").c_str());
    std::ifstream f(path);
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    fs::remove(path);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(QuorvelProcess, HelpExitsZeroAndBadArgumentsDoNot) {
    std::string out;
    EXPECT_EQ(runQuorvel("--help", out), 0);
    EXPECT_NE(out.find("usage: quorvel [WORLD_DIR] [--fullscreen]"), std::string::npos) << out;
    EXPECT_NE(out.find("F12"), std::string::npos) << out;
    EXPECT_NE(out.find("--watch"), std::string::npos) << out;
    EXPECT_NE(out.find("F6 reload the world"), std::string::npos) << out;
    EXPECT_NE(out.find("pad:  left stick moves, right stick looks"), std::string::npos) << out;
    EXPECT_NE(out.find("F7 record a flight"), std::string::npos) << out;
    EXPECT_EQ(runQuorvel("--no-such-option", out), 2);
    EXPECT_NE(out.find("unknown option --no-such-option"), std::string::npos) << out;
    EXPECT_EQ(runQuorvel("/nonexistent/world/folder", out), 1);
    EXPECT_NE(out.find("cannot enter"), std::string::npos) << out;
}

TEST(OverlayText, DrawsTheShippedFontAndLeavesTheStateItFound) {
    std::string error;
    ASSERT_TRUE(createHeadlessGL(HeadlessGLConfig{}, error)) << error;
    resetOverlay();
    setOverlayFontPaths({"/nonexistent/font.kbf", QV_RUN_DIR "/font.kbf"});
    ASSERT_NE(overlayFont(), nullptr) << "the second path holds the shipped font";
    glViewport(0, 0, 800, 600);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glListBase(7);
    GLfloat colourBefore[4], projBefore[16];
    glGetFloatv(GL_CURRENT_COLOR, colourBefore);
    glGetFloatv(GL_PROJECTION_MATRIX, projBefore);
    drawOverlayLines({"FPS 60", "rooms drawn 4"});
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_TEXTURE_2D) && glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat colour[4], proj[16];
    GLint base = 0;
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_LIST_BASE, &base);
    EXPECT_EQ(0, std::memcmp(colour, colourBefore, sizeof colour));
    EXPECT_EQ(0, std::memcmp(proj, projBefore, sizeof proj));
    EXPECT_EQ(base, 7);
    // Text pixels in the top-left corner, nothing at the bottom.
    std::vector<unsigned char> top(200 * 40 * 3), bottom(200 * 40 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 560, 200, 40, GL_RGB, GL_UNSIGNED_BYTE, top.data());
    glReadPixels(0, 0, 200, 40, GL_RGB, GL_UNSIGNED_BYTE, bottom.data());
    int lit = 0;
    for (unsigned char c : top) lit += c > 200;
    EXPECT_GT(lit, 100);
    EXPECT_EQ(std::count(bottom.begin(), bottom.end(), 0), long(bottom.size()));
    resetOverlay();
}

} // namespace
