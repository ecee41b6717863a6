// quorvel.exe on the real Win32 backend under Wine, each case on a private Xvfb: the window and
// its GL context, the first frame against the Linux program's first frame of the same world,
// keys reaching keysLL as DIK codes, W and the mouse moving the camera, Escape, the close
// request, the missing-world box, --fullscreen, --watch taking a rebuilt world through the
// Windows change notification, and F7's recording replayed by the Linux capture. The program's
// trace (QUORVEL_TRACE) reports what the system answered; the pictures come from the X server's
// copy of the screen.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>

#include "image/png_io.h"
#include "tests/wine/wine_harness.h"
#include "tools/xshot/xshot.h"

#ifndef QV_RUN_DIR
#error "QV_RUN_DIR must name the run folder holding the demo world"
#endif

namespace {

using namespace wine;

const char* const kTitle = "Quorvel -- By: Tavrin, Easter 2002";
constexpr int kStartMs = 90000; // Wine's first start in a prefix and a busy machine take a while
constexpr int kEffectMs = 30000;

// The last "keys" line of the trace: the DIK codes down at the latest change.
std::string lastKeys(const std::string& trace) {
    const size_t at = trace.rfind("\nkeys");
    if (at == std::string::npos) return "";
    return trace.substr(at + 1, trace.find('\n', at + 1) - at - 1);
}

// The parts of the demo's first view that the spinner and its shadow never reach: the sides and
// the wall above them. They change only when the camera moves or turns.
const std::array<std::array<int, 4>, 3> kBesideSpinner = {{{0, 0, 180, 600}, {620, 0, 180, 600}, {180, 0, 440, 180}}};

double besideSpinner(const Image& a, const Image& b) {
    double most = 0;
    for (const auto& r : kBesideSpinner)
        most = std::max(most, differentFraction(crop(a, r[0], r[1], r[2], r[3]), crop(b, r[0], r[1], r[2], r[3])));
    return most;
}

class WineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(QV_WINE_QUORVEL, F_OK) != 0) {
            const char* required = std::getenv("QV_REQUIRE_WINE");
            if (required && std::string(required) == "1") FAIL() << QV_WINE_QUORVEL << " is missing";
            GTEST_SKIP() << QV_WINE_QUORVEL << " is missing (scripts/windows.sh builds it)";
        }
        char pattern[] = "/tmp/qv-wine-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
    }
    // The shipped demo, copied so that Wine's Z: drive sees plain files.
    void copyDemo() {
        ASSERT_EQ(std::system(("cp -r " + std::string(QV_RUN_DIR) + "/demo.kbw " + QV_RUN_DIR + "/demo.ktl " +
                               QV_RUN_DIR + "/textures " + dir_)
                                  .c_str()),
                  0);
    }
    // The client area as the program's first swap reported it: size and screen origin.
    static bool firstSwap(const std::string& trace, int& w, int& h, int& x, int& y, int& stencil) {
        std::smatch m;
        if (!std::regex_search(trace, m,
                               std::regex("first SwapBuffers client=(\\d+)x(\\d+) at=(-?\\d+),(-?\\d+) stencil=(\\d+)")))
            return false;
        w = std::stoi(m[1]);
        h = std::stoi(m[2]);
        x = std::stoi(m[3]);
        y = std::stoi(m[4]);
        stencil = std::stoi(m[5]);
        return true;
    }
    Image client(const PrivateX& x, int left, int top) {
        Image screen;
        std::string error;
        if (!grabWindow(x.display(), 0, screen, error)) return Image{};
        return crop(screen, left, top, 800, 600);
    }
    // Grabs until two grabs in a row agree beside the spinner: the camera is at rest. Whether it
    // came to rest within the deadline; `rest` is the last grab.
    bool settle(const PrivateX& x, int left, int top, Image& rest) {
        Image previous = client(x, left, top);
        return waitFor(kEffectMs, [&] {
            rest = client(x, left, top);
            const bool same = besideSpinner(previous, rest) < 0.01;
            previous = rest;
            return same;
        });
    }
    // B takes all speed and leftover turning away: held until the camera is at rest.
    Image stop(WineProgram& program, const PrivateX& x, int left, int top) {
        Image rest;
        program.x("xdotool keydown b");
        EXPECT_TRUE(waitFor(kEffectMs, [&] { return lastKeys(program.trace()) == "keys 30"; })) << program.trace();
        EXPECT_TRUE(settle(x, left, top, rest)) << "the camera did not come to rest";
        program.x("xdotool keyup b");
        return rest;
    }

    std::string dir_;
};

TEST_F(WineEndToEnd, WindowFirstFrameKeysMouseAndEscape) {
    copyDemo();
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    // The pointer rests on the anchor (400, 300 from the window's outer corner at the screen
    // origin), so that whatever motion the system reports at start-up turns nothing.
    ASSERT_EQ(program.x("xdotool mousemove 400 300"), 0);
    program.start();

    // The window: class "OpenGL", the program's title, an 800 x 600 client area, 8 stencil bits.
    const unsigned long window = program.waitForWindow(kTitle, kStartMs);
    ASSERT_NE(window, 0u) << program.stderrText();
    ASSERT_TRUE(program.waitForTrace("first SwapBuffers", kStartMs)) << program.trace();
    const std::string trace = program.trace();
    EXPECT_TRUE(std::regex_search(trace, std::regex("RegisterClassA OpenGL atom=0x[0-9a-f]{4}"))) << trace;
    EXPECT_NE(trace.find("CreateWindowExA class=OpenGL client=800x600"), std::string::npos) << trace;
    int w = 0, h = 0, left = 0, top = 0, stencil = 0;
    ASSERT_TRUE(firstSwap(trace, w, h, left, top, stencil)) << trace;
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_GE(stencil, 8);
    // Windowed: the X window is the outer window, larger than the client area by the frame.
    int wx = 0, wy = 0, ww = 0, wh = 0;
    ASSERT_TRUE(program.geometry(window, wx, wy, ww, wh));
    EXPECT_GT(ww, 800);
    EXPECT_GT(wh, 600);

    // The first frame, against the Linux program's first frame of the same world (same Mesa).
    Image first;
    ASSERT_TRUE(waitFor(kEffectMs, [&] { return showsAPicture(first = client(x, left, top)); }))
        << "the window stayed blank";
    const std::string linuxShot = dir_ + "/linux-first.png";
    ASSERT_EQ(std::system((std::string(QV_CAPTURE_EXE) + " --dir " + dir_ + " --frames 1 --shot 0:" + linuxShot +
                           " >/dev/null 2>&1")
                              .c_str()),
              0);
    Image linuxFirst;
    std::string error;
    ASSERT_TRUE(readPng(linuxShot, linuxFirst, error)) << error;
    // The spinner keeps turning between the two programs' first frames, so the whole picture is
    // compared loosely and the parts it and its shadow never reach (the sides, the wall above
    // them) closely.
    const double apart = differentFraction(first, linuxFirst);
    const double beside = besideSpinner(first, linuxFirst);
    std::printf("first frame: %.4f of all pixels and at most %.4f of those beside the spinner differ from the "
                "Linux program's first frame\n",
                apart, beside);
    RecordProperty("first_frame_difference_permille", int(apart * 1000));
    EXPECT_LT(apart, 0.2);
    EXPECT_LT(beside, 0.01);
    if (const char* keep = std::getenv("QV_WINE_KEEP")) {
        writePng(std::string(keep) + "/wine-first.png", first, error);
        writePng(std::string(keep) + "/linux-first.png", linuxFirst, error);
    }

    // Keys reach keysLL as DIK codes while held, and W flies the camera forward.
    program.x("xdotool windowfocus " + std::to_string(window));
    Image before;
    ASSERT_TRUE(settle(x, left, top, before));
    program.x("xdotool keydown w");
    EXPECT_TRUE(waitFor(kEffectMs, [&] { return lastKeys(program.trace()) == "keys 11"; })) << program.trace();
    EXPECT_TRUE(waitFor(kEffectMs, [&] { return besideSpinner(before, client(x, left, top)) > 0.2; }))
        << "holding W did not move the camera";
    program.x("xdotool keyup w");
    stop(program, x, left, top);
    for (const auto& key : {std::make_pair("Up", "keys c8"), std::make_pair("space", "keys 39")}) {
        program.x(std::string("xdotool keydown ") + key.first);
        EXPECT_TRUE(waitFor(kEffectMs, [&] { return lastKeys(program.trace()) == key.second; }))
            << key.first << "\n" << program.trace();
        program.x(std::string("xdotool keyup ") + key.first);
    }

    // Mouse motion turns the camera: from rest, the pointer is moved off the anchor until the
    // view turns.
    before = stop(program, x, left, top);
    EXPECT_TRUE(waitFor(kEffectMs, [&] { return lastKeys(program.trace()) == "keys"; })) << "a key stayed down";
    EXPECT_TRUE(waitFor(kEffectMs, [&] {
        program.x("xdotool mousemove 470 300");
        return besideSpinner(before, client(x, left, top)) > 0.2;
    })) << "moving the mouse did not turn the camera";

    // Escape ends the program with 0, and the log holds a line per second.
    program.x("xdotool keydown Escape");
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    program.x("xdotool keyup Escape");
    // Written in text mode: Windows line ends.
    const std::string log = readFile(dir_ + "/FPSlog.txt");
    EXPECT_TRUE(std::regex_match(log, std::regex("(FPS: \\d+\r\n)+"))) << log;
}

TEST_F(WineEndToEnd, CloseRequestEndsTheProgramWithZero) {
    copyDemo();
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    program.start();
    const unsigned long window = program.waitForWindow(kTitle, kStartMs);
    ASSERT_NE(window, 0u) << program.stderrText();
    ASSERT_TRUE(program.waitForTrace("first SwapBuffers", kStartMs)) << program.trace();
    program.requestClose(window);
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    EXPECT_EQ(readFile(dir_ + "/FPSlog.txt").find("Error"), std::string::npos);
}

TEST_F(WineEndToEnd, FolderWithoutAWorldShowsTheBoxThenEndsWithOne) {
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    program.start();
    ASSERT_NE(program.waitForWindow("Orvane Error!", kStartMs), 0u) << program.stderrText() << program.trace();
    EXPECT_NE(program.trace().find("MessageBoxA caption=\"Orvane Error!\" text=\"Could not load world!\""),
              std::string::npos)
        << program.trace();
    // The box waits for the user: the program is still there until it is dismissed.
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(program.dismissBox("Orvane Error!", kEffectMs));
    EXPECT_EQ(program.waitExit(kEffectMs), 1) << program.stderrText();
}

TEST_F(WineEndToEnd, AWorldWithoutItsTextureListShowsTheTexturesBox) {
    ASSERT_EQ(std::system(("cp " + std::string(QV_RUN_DIR) + "/demo.kbw " + dir_).c_str()), 0);
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    program.start();
    ASSERT_NE(program.waitForWindow("Orvane Error!", kStartMs), 0u) << program.stderrText() << program.trace();
    EXPECT_NE(program.trace().find("text=\"Could not load textures!\""), std::string::npos) << program.trace();
    // The world was released and the window closed before the box: only the box is left.
    EXPECT_EQ(program.waitForWindow(kTitle, 0), 0u);
    EXPECT_TRUE(program.dismissBox("Orvane Error!", kEffectMs));
    EXPECT_EQ(program.waitExit(kEffectMs), 1) << program.stderrText();
}

TEST_F(WineEndToEnd, FullscreenSwitchesTheDisplayModeAndRestoresIt) {
    copyDemo();
    PrivateX x(800, 600);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    program.start("--fullscreen");
    const unsigned long window = program.waitForWindow(kTitle, kStartMs);
    ASSERT_NE(window, 0u) << program.stderrText();
    ASSERT_TRUE(program.waitForTrace("first SwapBuffers", kStartMs)) << program.trace();
    EXPECT_NE(program.trace().find("ChangeDisplaySettingsA 800x600x32 -> 0"), std::string::npos) << program.trace();
    EXPECT_NE(program.trace().find("display after change 800x600x32"), std::string::npos) << program.trace();
    // A popup over the whole screen: no frame, the client area is the window.
    int wx = -1, wy = -1, ww = 0, wh = 0;
    ASSERT_TRUE(program.geometry(window, wx, wy, ww, wh));
    EXPECT_EQ(wx, 0);
    EXPECT_EQ(wy, 0);
    EXPECT_EQ(ww, 800);
    EXPECT_EQ(wh, 600);
    int w = 0, h = 0, left = -1, top = -1, stencil = 0;
    ASSERT_TRUE(firstSwap(program.trace(), w, h, left, top, stencil));
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);

    program.x("xdotool windowfocus " + std::to_string(window));
    program.x("xdotool keydown Escape");
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    program.x("xdotool keyup Escape");
    EXPECT_NE(program.trace().find("ChangeDisplaySettingsA restore -> 0"), std::string::npos) << program.trace();
    EXPECT_NE(program.trace().find("display after restore 800x600"), std::string::npos) << program.trace();
}

// The system really is asked: a screen with no 800 x 600 mode refuses it, and the program says so.
TEST_F(WineEndToEnd, FullscreenRefusedWhereTheScreenHasNoSuchMode) {
    copyDemo();
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    program.start("--fullscreen");
    ASSERT_NE(program.waitForWindow("Error", kStartMs), 0u) << program.stderrText() << program.trace();
    EXPECT_TRUE(std::regex_search(program.trace(), std::regex("ChangeDisplaySettingsA 800x600x32 -> -[0-9]")))
        << program.trace();
    EXPECT_NE(program.trace().find("text=\"Wasn't able to change screen mode.\""), std::string::npos);
    EXPECT_TRUE(program.dismissBox("Error", kEffectMs));
    ASSERT_NE(program.waitForWindow("Orvane Error!", kStartMs), 0u) << program.trace();
    EXPECT_NE(program.trace().find("text=\"Could not initialize LL!\""), std::string::npos);
    EXPECT_TRUE(program.dismissBox("Orvane Error!", kEffectMs));
    EXPECT_EQ(program.waitExit(kEffectMs), 1) << program.stderrText();
}

// --watch on the Windows notification (ReadDirectoryChangesW, which Wine answers from the host's
// own): the demo world is rebuilt by the Linux compiler with another colour for the first room's
// light while quorvel.exe runs, and the picture changes in the same process.
TEST_F(WineEndToEnd, WatchReloadsARebuiltWorldInTheSameProcess) {
    const std::string scene = dir_ + "/scene";
    ASSERT_EQ(std::system(("mkdir -p " + scene + " && cp " + QV_SOURCE_SCENE_DIR + "/* " + scene).c_str()), 0);
    const std::string build = std::string(QV_WORLD_EXE) + " build " + scene + "/scene.json -o " + dir_ + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0);
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    ASSERT_EQ(program.x("xdotool mousemove 400 300"), 0);
    program.start("--watch");
    ASSERT_NE(program.waitForWindow(kTitle, kStartMs), 0u) << program.stderrText();
    ASSERT_TRUE(program.waitForTrace("first SwapBuffers", kStartMs)) << program.trace();
    int w = 0, h = 0, left = 0, top = 0, stencil = 0;
    ASSERT_TRUE(firstSwap(program.trace(), w, h, left, top, stencil)) << program.trace();
    ASSERT_TRUE(waitFor(kEffectMs, [&] { return showsAPicture(client(x, left, top)); })) << "the window stayed blank";
    Image before;
    ASSERT_TRUE(settle(x, left, top, before)) << "the picture did not hold still";

    // The first room's light turns red; the compiler renames its new files into place.
    ASSERT_EQ(std::system(("sed -i 's/\"diffuse\": \\[1.0, 0.93, 0.8\\]/\"diffuse\": [1.0, 0.1, 0.1]/' " + scene +
                           "/scene.json && grep -q '\\[1.0, 0.1, 0.1\\]' " + scene + "/scene.json")
                              .c_str()),
              0);
    ASSERT_EQ(std::system(build.c_str()), 0);
    EXPECT_TRUE(waitFor(kEffectMs, [&] { return besideSpinner(before, client(x, left, top)) > 0.2; }))
        << "the picture did not change\n" << program.stderrText();
    EXPECT_TRUE(program.running());

    program.x("xdotool keydown Escape");
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    program.x("xdotool keyup Escape");
    EXPECT_NE(program.stderrText().find("quorvel: reloaded demo.kbw and demo.ktl"), std::string::npos)
        << program.stderrText();
    // Through the notification, not the once-a-second look the program falls back on without one.
    EXPECT_EQ(program.stderrText().find("no change notification"), std::string::npos) << program.stderrText();
}

// What a Windows user gets: the zip of scripts/windows.sh, unzipped, runs the demo in its folder.
TEST_F(WineEndToEnd, ThePackedZipRunsTheDemoInItsFolder) {
    const std::string zip = std::string(QV_WINDOWS_BUILD) + "/quorvel-windows.zip";
    if (access(zip.c_str(), F_OK) != 0) {
        const char* required = std::getenv("QV_REQUIRE_WINE");
        if (required && std::string(required) == "1") FAIL() << zip << " is missing";
        GTEST_SKIP() << zip << " is missing (scripts/windows.sh makes it)";
    }
    ASSERT_EQ(std::system(("cd " + dir_ + " && unzip -q " + zip).c_str()), 0);
    const std::string folder = dir_ + "/Quorvel";
    for (const char* name : {"quorvel.exe", "demo.kbw", "demo.ktl", "font.kbf", "README.txt", "textures"})
        EXPECT_EQ(access((folder + "/" + name).c_str(), F_OK), 0) << name;
    EXPECT_NE(readFile(folder + "/README.txt").find("FPSlog.txt"), std::string::npos);

    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(folder, x);
    program.start("", folder + "/quorvel.exe");
    const unsigned long window = program.waitForWindow(kTitle, kStartMs);
    ASSERT_NE(window, 0u) << program.stderrText();
    ASSERT_TRUE(program.waitForTrace("first SwapBuffers", kStartMs)) << program.trace();
    int w = 0, h = 0, left = 0, top = 0, stencil = 0;
    ASSERT_TRUE(firstSwap(program.trace(), w, h, left, top, stencil));
    EXPECT_TRUE(waitFor(kEffectMs, [&] { return showsAPicture(client(x, left, top)); })) << "the window stayed blank";
    // The log fills while it runs; then Escape.
    EXPECT_TRUE(waitFor(kEffectMs, [&] { return readFile(folder + "/FPSlog.txt").find("FPS: ") == 0; }));
    program.x("xdotool windowfocus " + std::to_string(window));
    program.x("xdotool keydown Escape");
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    program.x("xdotool keyup Escape");
}

// F7 under Wine: a flight recorded by the Windows program (F7, W, Left, F7), replayed by the
// Linux quorvel-capture, ends at the camera the recording's last line gives.
TEST_F(WineEndToEnd, F7RecordsAFlightThatTheLinuxCaptureReplays) {
    copyDemo();
    PrivateX x(1024, 768);
    ASSERT_TRUE(x.ok());
    WineProgram program(dir_, x);
    ASSERT_EQ(program.x("xdotool mousemove 400 300"), 0);
    program.start();
    const unsigned long window = program.waitForWindow(kTitle, kStartMs);
    ASSERT_NE(window, 0u) << program.stderrText();
    ASSERT_TRUE(program.waitForTrace("first SwapBuffers", kStartMs)) << program.trace();
    program.x("xdotool windowfocus " + std::to_string(window));

    // Each key is held until the recording (written as it goes) has it, and let go until the
    // recording says so: the frames between flew with it.
    const std::string file = dir_ + "/flight-0001.txt";
    auto recorded = [&](const char* text) { return readFile(file).find(text) != std::string::npos; };
    auto press = [&](const char* key, const char* down, const char* up) {
        program.x(std::string("xdotool keydown ") + key);
        EXPECT_TRUE(waitFor(kEffectMs, [&] { return recorded(down); })) << key << "\n" << readFile(file);
        program.x(std::string("xdotool keyup ") + key);
        EXPECT_TRUE(waitFor(kEffectMs, [&] { return recorded(up); })) << key << "\n" << readFile(file);
    };
    press("F7", "\ncamera ", "\ncursor 0 0\n");
    press("w", " down W\n", " up W\n");
    press("Left", " down LEFT\n", " up LEFT\n");
    press("F7", "# end: camera ", "# end: camera ");
    program.x("xdotool keydown Escape");
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    program.x("xdotool keyup Escape");

    const std::string recording = readFile(file);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(recording, m,
                                  std::regex("# end: camera (\\S+) (\\S+) (\\S+) angles (\\S+) (\\S+) (\\S+)\n$")))
        << recording;
    const std::string json = dir_ + "/replay.json";
    ASSERT_EQ(std::system((std::string(QV_CAPTURE_EXE) + " --dir " + dir_ + " --script " + file + " --json " + json +
                           " >/dev/null 2>&1")
                              .c_str()),
              0);
    const nlohmann::json report = nlohmann::json::parse(readFile(json));
    const size_t last = report["frames"].get<size_t>() - 1;
    double units = 0, degrees = 0;
    for (int i = 0; i < 3; ++i) {
        const double p = report["cameraPosition"][last][i].get<double>(), a = report["cameraAngles"][last][i].get<double>();
        EXPECT_NEAR(p, std::stod(m[size_t(i) + 1]), 1e-3) << i;
        EXPECT_NEAR(a, std::stod(m[size_t(i) + 4]), 0.01) << i;
        units = std::max(units, std::abs(p - std::stod(m[size_t(i) + 1])));
        degrees = std::max(degrees, std::abs(a - std::stod(m[size_t(i) + 4])));
    }
    std::printf("recorded under Wine, %zu frames: the Linux replay ends %.3g units and %.3g degrees off\n", last + 1,
                units, degrees);
    EXPECT_NE(std::stod(m[5]), 0.0) << "Left turned the camera";
}

} // namespace
