// The real program under a real X server (Xvfb from scripts/test.sh), driven with real key presses
// through xdotool (XTest) and watched through the X server's own copy of its window: the shipped
// demo's first frame, flying with W, Escape, the window's close request, a missing world, and
// the desktop keys: F1's overlay, F12's screenshot, a resized window's letterboxed picture, and
// F7's flight recording replayed by quorvel-capture. Skips when DISPLAY is unset.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
// Xlib defines macros (None, Bool, Status) that GoogleTest's headers must not see.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "app/desktop.h"
#include "tests/capture/close_request.h"
#include "tests/capture/image_compare.h"
#include "tools/xshot/xshot.h"

#ifndef QV_QUORVEL_PATH
#error "QV_QUORVEL_PATH must name the built program"
#endif
#ifndef QV_RUN_DIR
#error "QV_RUN_DIR must name the run folder holding the demo world"
#endif
#ifndef QV_CAPTURE_PATH
#error "QV_CAPTURE_PATH must name the built quorvel-capture"
#endif

namespace {

using Clock = std::chrono::steady_clock;
const char* const kTitle = "Quorvel -- By: Tavrin, Easter 2002";
// How long any one effect may take to show: generous, since a machine busy with other work may
// draw only a few frames a second and start the program slowly (more so under the sanitizers).
constexpr int kEffectMs = 30000;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls `done` until it holds or `ms` have passed; whether it held.
bool waitUntil(const std::function<bool()>& done, int ms = kEffectMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() >= end) return false;
        sleepMs(20);
    }
    return true;
}

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

int sh(const std::string& command) { return std::system(("timeout 10 " + command + " >/dev/null 2>&1").c_str()); }

// One run of the program in its own folder, its stderr kept in a file.
class Program {
public:
    explicit Program(const std::string& dir) : dir_(dir) {}
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    void start() {
        started_ = Clock::now();
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir_.c_str()) != 0) _exit(120);
            const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) dup2(err, 2);
            // In sanitizer builds: SDL's D-Bus connection and the GL driver keep allocations
            // until exit, which would turn every exit status into LeakSanitizer's. The program's
            // own teardown is leak-checked by the driver tests on the scripted backend.
            const char* asan = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
            execl(QV_QUORVEL_PATH, "quorvel", static_cast<char*>(nullptr));
            _exit(121);
        }
    }
    // Whether the program has ended (its exit code is then kept for waitExit).
    bool exited() {
        if (pid_ <= 0) return started_ != Clock::time_point{};
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }
    // The exit code, or -1 when it has not ended within `ms` (or ended by a signal).
    int waitExit(int ms) { return waitUntil([this] { return exited(); }, ms) ? exitCode_ : -1; }
    double secondsSinceStart() const {
        return std::chrono::duration<double>(Clock::now() - started_).count();
    }
    std::string stderrText() const { return readFile(dir_ + "/stderr.txt"); }

private:
    std::string dir_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    Clock::time_point started_;
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (scripts/test.sh provides Xvfb)";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        char pattern[] = "/tmp/qv-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (display_) XCloseDisplay(display_);
        if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
    }
    // The shipped demo, linked into the private folder so its FPSlog.txt lands there.
    void linkDemo() {
        for (const char* name : {"demo.kbw", "demo.ktl", "textures"})
            ASSERT_EQ(symlink((std::string(QV_RUN_DIR) + "/" + name).c_str(), (dir_ + "/" + name).c_str()), 0)
                << name;
    }
    unsigned long waitForWindow(int ms = kEffectMs) {
        unsigned long window = 0;
        waitUntil([&] { return (window = findWindowByName(display_, kTitle)) != 0; }, ms);
        return window;
    }
    // The window's picture once it shows one (found by its name, the window may not be mapped
    // yet, and its first frames may still be blank); blank when it never does.
    Image waitForPicture(unsigned long window) {
        Image image;
        std::string error;
        waitUntil([&] { return grabWindow(display_, window, image, error) && showsAPicture(image); });
        return image;
    }
    Image grab(unsigned long window) {
        Image image;
        std::string error;
        EXPECT_TRUE(grabWindow(display_, window, image, error)) << error;
        return image;
    }
    // Holds a key down until its effect shows (`done`) or the deadline passes, then lets it go;
    // whether the effect showed. A key pressed and let go between two frames of a busy machine
    // would never be seen held.
    static bool holdUntil(const char* key, const std::function<bool()>& done, int ms = kEffectMs) {
        EXPECT_EQ(sh(std::string("xdotool keydown ") + key), 0);
        const bool shown = waitUntil(done, ms);
        EXPECT_EQ(sh(std::string("xdotool keyup ") + key), 0);
        return shown;
    }
    void requestClose(unsigned long window) { sendCloseRequest(display_, window); }

    Display* display_ = nullptr;
    std::string dir_;
};

TEST_F(EndToEnd, DemoShowsItsFirstFrameFliesOnWAndEndsOnEscape) {
    linkDemo();
    Program program(dir_);
    program.start();
    const unsigned long window = waitForWindow();
    ASSERT_NE(window, 0u) << program.stderrText();

    const Image first = waitForPicture(window);
    ASSERT_TRUE(showsAPicture(first)) << "the window stayed blank";
    const double firstFrameSeconds = program.secondsSinceStart();
    RecordProperty("first_frame_ms", int(firstFrameSeconds * 1000));
    std::printf("first frame after %.2f s\n", firstFrameSeconds);

    // Fly forward: W stays down until the view has changed.
    ASSERT_EQ(sh("xdotool windowfocus --sync " + std::to_string(window)), 0);
    const Image before = grab(window);
    holdUntil("w", [&] { return differentFraction(before, grab(window)) > 0.2; });
    const Image after = grab(window);
    EXPECT_GT(differentFraction(before, after), 0.2) << "holding W did not change the view";

    // The frame-rate log gets a line a second; Escape only once there is one to read.
    const std::regex fpsLine("^FPS: (\\d+)$", std::regex::multiline);
    EXPECT_TRUE(waitUntil([&] { return std::regex_search(readFile(dir_ + "/FPSlog.txt"), fpsLine); }));
    holdUntil("Escape", [&] { return program.exited(); });
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
    const std::string log = readFile(dir_ + "/FPSlog.txt");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(log, m, fpsLine)) << log;
    EXPECT_GT(std::stoi(m[1]), 0);
    EXPECT_TRUE(std::regex_match(log, std::regex("(FPS: \\d+\n)+"))) << log;
}

TEST_F(EndToEnd, CloseRequestEndsTheProgramWithZero) {
    linkDemo();
    Program program(dir_);
    program.start();
    const unsigned long window = waitForWindow();
    ASSERT_NE(window, 0u) << program.stderrText();
    // A picture shows once the program is in its frame loop, where it handles the request.
    ASSERT_TRUE(showsAPicture(waitForPicture(window))) << "the window stayed blank";
    requestClose(window);
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
}

TEST_F(EndToEnd, FolderWithoutAWorldEndsWithOneAndSaysWhy) {
    Program program(dir_);
    program.start();
    // Should a message box appear, dismiss it as a person would.
    std::system("( for i in $(seq 300); do id=$(xwininfo -root -tree | awk '/\"Orvane Error!\"/ {print $1; exit}');"
                " [ -n \"$id\" ] && break; sleep 0.1; done;"
                " [ -n \"$id\" ] && timeout 5 xdotool windowfocus --sync $id && xdotool key Return ) >/dev/null 2>&1 &");
    EXPECT_EQ(program.waitExit(40000), 1);
    EXPECT_NE(program.stderrText().find("Could not load world!"), std::string::npos) << program.stderrText();
}

// The share of pixels in the rectangle (x0, y0)-(x1, y1), top-left origin, darker than `below`
// (the image holds its rows bottom-up).
double darkShare(const Image& image, int x0, int y0, int x1, int y1, int below) {
    size_t dark = 0, all = 0;
    for (int y = y0; y < y1 && y < image.height; ++y)
        for (int x = x0; x < x1 && x < image.width; ++x) {
            const size_t i = (size_t(image.height - 1 - y) * image.width + x) * 3;
            dark += image.pixels[i] + image.pixels[i + 1] + image.pixels[i + 2] < below;
            ++all;
        }
    return all ? double(dark) / double(all) : 0;
}

TEST_F(EndToEnd, F1OverlayF12ScreenshotAndALetterboxedResize) {
    linkDemo(); // no font here: the overlay takes the build's
    Program program(dir_);
    program.start();
    const unsigned long window = waitForWindow();
    ASSERT_NE(window, 0u) << program.stderrText();
    const Image before = waitForPicture(window);
    ASSERT_TRUE(showsAPicture(before)) << "the window stayed blank";
    ASSERT_EQ(sh("xdotool windowfocus --sync " + std::to_string(window)), 0);

    // F12 stays down until the program says it saved the file (it says so once the file is whole).
    const std::string shotPath = dir_ + "/quorvel-0001.png";
    holdUntil("F12", [&] {
        return fileExists(shotPath) && program.stderrText().find("saved quorvel-0001.png") != std::string::npos;
    });
    std::ifstream shot(shotPath);
    EXPECT_TRUE(shot.good()) << program.stderrText();
    EXPECT_NE(program.stderrText().find("saved quorvel-0001.png"), std::string::npos) << program.stderrText();

    // The overlay's panel darkens the top-left corner, where the demo shows a lit brick wall. So
    // does the screenshot notice, from the frame after the save for kNoticeMs: wait until it has
    // come and gone (or its time is surely over, should no frame have shown it) and the corner is
    // as light as before F12.
    auto cornerDark = [&](const Image& image) { return darkShare(image, 0, 0, 180, 45, 200); };
    const double unlitCorner = cornerDark(before);
    const auto saved = Clock::now();
    bool noticeSeen = false;
    EXPECT_TRUE(waitUntil([&] {
        const double dark = cornerDark(grab(window));
        noticeSeen = noticeSeen || dark > unlitCorner + 0.1;
        const bool noticeOver = noticeSeen || Clock::now() - saved > std::chrono::milliseconds(kNoticeMs + 1000);
        return noticeOver && dark <= unlitCorner + 0.05;
    })) << "the notice stayed";
    const double plainDark = cornerDark(grab(window));
    holdUntil("F1", [&] { return cornerDark(grab(window)) > plainDark + 0.4; });
    EXPECT_GT(cornerDark(grab(window)), plainDark + 0.4) << program.stderrText();

    // Wider than 4:3: black bars left and right, the picture 800 wide in the middle.
    ASSERT_EQ(sh("xdotool windowsize --sync " + std::to_string(window) + " 1000 600"), 0);
    auto letterboxed = [&](const Image& image) {
        return image.width == 1000 && darkShare(image, 0, 100, 95, 500, 10) > 0.99 &&
               darkShare(image, 905, 100, 1000, 500, 10) > 0.99 && darkShare(image, 120, 100, 880, 500, 10) < 0.5;
    };
    waitUntil([&] { return letterboxed(grab(window)); });
    const Image wide = grab(window);
    ASSERT_EQ(wide.width, 1000);
    EXPECT_GT(darkShare(wide, 0, 100, 95, 500, 10), 0.99) << "no bar on the left";
    EXPECT_GT(darkShare(wide, 905, 100, 1000, 500, 10), 0.99) << "no bar on the right";
    EXPECT_LT(darkShare(wide, 120, 100, 880, 500, 10), 0.5) << "the picture did not fill the middle";

    holdUntil("Escape", [&] { return program.exited(); });
    EXPECT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();
}

// F7, W held, then (after B) Left held, F7 again: the recording exists, and quorvel-capture flies
// it to the camera its last line gives.
TEST_F(EndToEnd, F7RecordsAFlightThatTheCaptureReplaysToTheSameCamera) {
    linkDemo();
    Program program(dir_);
    program.start();
    const unsigned long window = waitForWindow();
    ASSERT_NE(window, 0u) << program.stderrText();
    ASSERT_TRUE(showsAPicture(waitForPicture(window))) << "the window stayed blank";
    ASSERT_EQ(sh("xdotool windowfocus --sync " + std::to_string(window)), 0);

    // Each key is held until the program has recorded it (the recording is written as it goes)
    // and its effect shows. B brings the camera to rest between W and Left, so that only the
    // turn can change the picture while Left is down.
    auto said = [&](const char* text) { return program.stderrText().find(text) != std::string::npos; };
    auto recorded = [&](const char* line) { return readFile(dir_ + "/flight-0001.txt").find(line) != std::string::npos; };
    EXPECT_TRUE(holdUntil("F7", [&] { return said("recording flight-0001.txt"); })) << program.stderrText();
    const Image start = grab(window);
    EXPECT_TRUE(holdUntil("w", [&] { return recorded(" down W\n") && differentFraction(start, grab(window)) > 0.2; }));
    EXPECT_TRUE(holdUntil("b", [&] { return recorded(" down B\n"); }));
    const Image still = grab(window);
    EXPECT_TRUE(
        holdUntil("Left", [&] { return recorded(" down LEFT\n") && differentFraction(still, grab(window)) > 0.2; }));
    EXPECT_TRUE(holdUntil("F7", [&] { return said("saved flight-0001.txt"); })) << program.stderrText();
    holdUntil("Escape", [&] { return program.exited(); });
    ASSERT_EQ(program.waitExit(kEffectMs), 0) << program.stderrText();

    const std::string recording = readFile(dir_ + "/flight-0001.txt");
    EXPECT_NE(recording.find(" down W\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find(" down LEFT\n"), std::string::npos) << recording;
    std::smatch m;
    const std::regex last("# end: camera (\\S+) (\\S+) (\\S+) angles (\\S+) (\\S+) (\\S+)\n$");
    ASSERT_TRUE(std::regex_search(recording, m, last)) << recording;

    const std::string json = dir_ + "/replay.json";
    const std::string command = "cd " + dir_ + " && GALLIUM_DRIVER=llvmpipe timeout 300 " + QV_CAPTURE_PATH +
                                " --dir . --script flight-0001.txt --json " + json + " >capture.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir_ + "/capture.txt");
    const nlohmann::json replay = nlohmann::json::parse(readFile(json));
    const size_t frames = replay["frames"].get<size_t>();
    ASSERT_GT(frames, 1u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(replay["cameraPosition"][frames - 1][i].get<double>(), std::stod(m[size_t(i) + 1]), 1e-3) << i;
        EXPECT_NEAR(replay["cameraAngles"][frames - 1][i].get<double>(), std::stod(m[size_t(i) + 4]), 0.01) << i;
    }
    // The flight went somewhere: forward with W, turned with Left.
    EXPECT_GT(std::abs(std::stod(m[3])) + std::abs(std::stod(m[1])), 0.01);
    EXPECT_NE(std::stod(m[5]), 0.0);
}

}  // namespace
