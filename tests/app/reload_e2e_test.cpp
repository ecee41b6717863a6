// The real program reloading its world under a real X server (Xvfb from scripts/test.sh): a world
// compiled from a small scene is rebuilt with another light colour while `quorvel DIR --watch`
// runs, then broken, then mended; and F6 reloads a program started without --watch. Pictures
// come from the X server's copy of the window; keys go through xdotool. Skips without DISPLAY.
#include <gtest/gtest.h>
// Xlib defines macros (None, Bool, Status) that GoogleTest's headers must not see.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/capture/image_compare.h"
#include "tools/xshot/xshot.h"

#ifndef QV_QUORVEL_PATH
#error "QV_QUORVEL_PATH must name the built program"
#endif
#ifndef QV_WORLD_EXE
#error "QV_WORLD_EXE must name quorvel-world"
#endif

namespace {

using Clock = std::chrono::steady_clock;
const char* const kTitle = "Quorvel -- By: Tavrin, Easter 2002";
constexpr int kEffectMs = 30000;

// One room with a light in it, seen from the start; the one entity (the spinner) stands behind
// the camera, so the picture holds still until the world changes.
std::string sceneText(const char* lightColour) {
    return std::string(R"({
  "materials": { "plaster": { "ambient": [0.3, 0.3, 0.3], "diffuse": [0.9, 0.9, 0.9] } },
  "models": { "crate": { "primitive": "box", "size": [0.5, 0.5, 0.5], "material": "plaster" } },
  "rooms": [ {
    "name": "hall", "min": [-4, -1.5, -8], "max": [4, 2.5, 3],
    "lights": [ { "position": [0, 2, -3], "ambient": [0.2, 0.2, 0.2], "diffuse": )") +
           lightColour + R"( } ],
    "surfaces": { "floor": { "material": "plaster" }, "walls": { "material": "plaster" },
                  "ceiling": { "material": "plaster" } },
    "entities": [ { "model": "crate", "position": [0, -1, 2] } ]
  } ]
})";
}
const char* const kWhite = "[0.9, 0.9, 0.9]";
const char* const kRed = "[1.0, 0.15, 0.1]";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool waitUntil(const std::function<bool()>& done, int ms = kEffectMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int sh(const std::string& command) { return std::system(("timeout 10 " + command + " >/dev/null 2>&1").c_str()); }

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Mean red over mean green of a picture's middle: how red the light is.
double redness(const Image& image) {
    double r = 0, g = 0;
    for (int y = image.height / 4; y < image.height * 3 / 4; ++y)
        for (int x = image.width / 4; x < image.width * 3 / 4; ++x) {
            const size_t i = (size_t(y) * image.width + x) * 3;
            r += image.pixels[i];
            g += image.pixels[i + 1];
        }
    return r / (g + 1);
}

// The rows of a picture below the top `skip` rows (the overlay's place), top-left origin.
Image belowTop(const Image& image, int skip) {
    Image out = image;
    const int rows = image.height - skip;
    if (rows <= 0) return Image{};
    out.height = rows;
    out.pixels.assign(image.pixels.begin(), image.pixels.begin() + size_t(rows) * image.width * 3);  // bottom-up rows
    return out;
}

// The share of the top-left corner darker than the lit wall: the overlay's panel.
double cornerDark(const Image& image) {
    size_t dark = 0, all = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 300 && x < image.width; ++x) {
            const size_t i = (size_t(image.height - 1 - y) * image.width + x) * 3;
            dark += image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2] < 60;
            ++all;
        }
    return all ? double(dark) / double(all) : 0;
}

class ReloadEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (scripts/test.sh provides Xvfb)";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        char pattern[] = "/tmp/qv-reload-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (display_) XCloseDisplay(display_);
        if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
    }
    // Compiles the scene with this light colour into the world folder, as an author's save does.
    void build(const char* colour) {
        std::ofstream(dir_ + "/scene.json") << sceneText(colour);
        ASSERT_EQ(std::system((std::string(QV_WORLD_EXE) + " build " + dir_ + "/scene.json -o " + dir_ +
                               "/world >/dev/null 2>&1")
                                  .c_str()),
                  0);
    }
    void start(bool watch) {
        pid_ = fork();
        if (pid_ == 0) {
            const int err = open((dir_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) dup2(err, 2);
            const char* asan = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
            const std::string world = dir_ + "/world";
            execl(QV_QUORVEL_PATH, "quorvel", world.c_str(), watch ? "--watch" : nullptr, static_cast<char*>(nullptr));
            _exit(121);
        }
        window_ = 0;
        ASSERT_TRUE(waitUntil([&] { return (window_ = findWindowByName(display_, kTitle)) != 0; })) << stderrText();
    }
    bool running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    std::string stderrText() const { return readFile(dir_ + "/stderr.txt"); }
    Image grab() {
        Image image;
        std::string error;
        grabWindow(display_, window_, image, error);
        return image;
    }
    // A picture once the window shows one (its first frames may still be blank).
    Image picture() {
        Image image;
        waitUntil([&] { return showsAPicture(image = grab()); });
        return image;
    }

    Display* display_ = nullptr;
    std::string dir_;
    pid_t pid_ = -1;
    unsigned long window_ = 0;
};

TEST_F(ReloadEndToEnd, WatchTakesARebuiltWorldKeepsTheOldOneThroughABrokenOneAndRecovers) {
    build(kWhite);
    start(true);
    const Image white = picture();
    ASSERT_TRUE(showsAPicture(white)) << "the window stayed blank";
    const pid_t pid = pid_;

    // Rebuilt with a red light: the picture turns red, in the same process.
    build(kRed);
    Image red;
    EXPECT_TRUE(waitUntil([&] { return redness(red = grab()) > redness(white) * 2; })) << stderrText();
    EXPECT_TRUE(running());
    EXPECT_EQ(pid_, pid);
    EXPECT_EQ(occurrences(stderrText(), "quorvel: reloaded demo.kbw and demo.ktl"), 1u) << stderrText();
    EXPECT_EQ(stderrText().find("no change notification"), std::string::npos) << "inotify was not used";
    red = picture();

    // A truncated world file: the program runs on with the last picture and says why.
    const std::string whole = readFile(dir_ + "/world/demo.kbw");
    std::ofstream(dir_ + "/world/demo.kbw", std::ios::binary | std::ios::trunc) << whole.substr(0, 200);
    EXPECT_TRUE(waitUntil([&] { return stderrText().find("quorvel: reload failed: demo.kbw: ") != std::string::npos; }))
        << stderrText();
    Image broken;
    EXPECT_TRUE(waitUntil([&] { return cornerDark(broken = grab()) > cornerDark(red) + 0.3; }))
        << "no reason on the overlay";
    EXPECT_LT(differentFraction(belowTop(broken, 80), belowTop(red, 80)), 0.01) << "the last picture did not stay";
    EXPECT_TRUE(running());

    // Built again: it recovers, and the line goes.
    build(kRed);
    EXPECT_TRUE(waitUntil([&] { return occurrences(stderrText(), "quorvel: reloaded") == 2; })) << stderrText();
    EXPECT_TRUE(waitUntil([&] { return differentFraction(grab(), red) < 0.01; })) << "the overlay line stayed";
    EXPECT_TRUE(running());

    ASSERT_EQ(sh("xdotool windowfocus --sync " + std::to_string(window_)), 0);
    sh("xdotool keydown Escape");
    int status = 0;
    EXPECT_TRUE(waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }));
    sh("xdotool keyup Escape");
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << stderrText();
}

TEST_F(ReloadEndToEnd, F6ReloadsWithoutWatch) {
    build(kWhite);
    start(false);
    const Image white = picture();
    ASSERT_TRUE(showsAPicture(white)) << "the window stayed blank";
    build(kRed);
    ASSERT_EQ(sh("xdotool windowfocus --sync " + std::to_string(window_)), 0);
    // F6 stays down until the program says it reloaded (a key let go between two frames of a busy
    // machine would never be seen).
    sh("xdotool keydown F6");
    EXPECT_TRUE(waitUntil([&] { return stderrText().find("quorvel: reloaded") != std::string::npos; }))
        << stderrText();
    sh("xdotool keyup F6");
    EXPECT_TRUE(waitUntil([&] { return redness(grab()) > redness(white) * 2; }));
    EXPECT_EQ(occurrences(stderrText(), "quorvel: reloaded"), 1u) << stderrText();
}

}  // namespace
