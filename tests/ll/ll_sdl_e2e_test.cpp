// LL on the SDL backend against a real X server (Xvfb in the test command), driven with xdotool
// through XTest as a person would: the context's buffers, keys at their DIK codes, mouse motion
// with the anchor, the close box ending the process, SIGINT/SIGTERM as WM_QUIT, the message box
// dismissed by hand, and a start without any display.
#include <GL/gl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "ll/ll.h"
#include "ll/ll_internal.h"

#include "tests/capture/close_request.h"  // with Xlib: last
#include <X11/Xlib.h> // last: its macros (None, Status, ...) clash with other headers

namespace {

#define REQUIRE_DISPLAY()                                                                         \
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY"))                                      \
    GTEST_SKIP() << "needs an X server and DISPLAY is unset (scripts/test.sh starts Xvfb)"

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
    return out;
}

// The windowed and the fullscreen flags of the demo: double-buffered, 16 depth bits, 8 stencil.
constexpr uint8_t kWindowed = kLLDoubleBuffer | kLLDepth16 | kLLStencil8;
constexpr uint8_t kFullscreen = kWindowed | kLLFullscreen;
// How long any one effect may take: generous, for a machine busy with other work.
constexpr auto kDeadline = std::chrono::seconds(20);

// Polls `done` until it holds or the deadline passes; whether it held.
bool waitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The X window id of the top-level window with this exact title, waiting up to 20 s for it.
unsigned long windowId(const std::string& title) {
    return std::strtoul(run("timeout 20 xdotool search --sync --name '^" + title + "$' | head -1").c_str(), nullptr, 10);
}

void focus(unsigned long id) { run("timeout 20 xdotool windowfocus --sync " + std::to_string(id)); }

// Updates LL until the condition holds or the deadline passes.
bool updateUntil(const std::function<bool()>& condition) {
    return waitFor([&] {
        updateLL(1);
        return condition();
    });
}

// Waits until the X server has the pointer at (x, y).
bool pointerAt(int x, int y) {
    const std::string at = "x:" + std::to_string(x) + " y:" + std::to_string(y) + " ";
    return waitFor([&] { return run("xdotool getmouselocation").find(at) != std::string::npos; });
}

// A round trip to the X server on a connection of its own: the input xdotool made before has
// been handled, and the events it sent this process are on their way to it.
void serverRoundTrip() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    XSync(display, False);
    XCloseDisplay(display);
}

// With the cursor anchored at the centre: start-up motion, warps and focus changes drained, the
// pointer rests at (x, y) and an update reads no motion.
bool settledAt(int x, int y) {
    if (!pointerAt(x, y)) return false;
    serverRoundTrip();
    return updateUntil([] { return mouseXLL() == 0 && mouseYLL() == 0; });
}

// The close box, clicked: the request goes through a connection of its own.
void requestClose(unsigned long id) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    sendCloseRequest(display, id);
    XCloseDisplay(display);
}

class LLSdl : public ::testing::Test {
protected:
    void SetUp() override {
        resetLLWindowState();
        resetLLInputState();
    }
    void TearDown() override {
        if (keysLL()) closeLL();
    }
};

TEST_F(LLSdl, DemoFlagsGiveAnExactClientAreaAndADoubleBufferedDepthStencilContext) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(initLL("LL e2e context", kWindowed, 0, 0, 800, 600), 0);
    GLint depth = 0, stencil = 0, viewport[4] = {};
    GLboolean doubleBuffer = GL_FALSE;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_GE(depth, 16);
    EXPECT_EQ(stencil, 8);
    EXPECT_TRUE(doubleBuffer);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);

    std::string info = run("xwininfo -id " + std::to_string(windowId("LL e2e context")));
    EXPECT_NE(info.find("Width: 800"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 600"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left X:  0"), std::string::npos) << info;
    EXPECT_NE(info.find("IsViewable"), std::string::npos) << info;

    // The context draws: a cleared back buffer reads back its colour; then it is presented.
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(400, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    swapLL();
}

TEST_F(LLSdl, KeysSetAndClearBitSevenAtTheirDikCodes) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(initLL("LL e2e keys", kWindowed, 0, 0, 800, 600), 0);
    focus(windowId("LL e2e keys"));
    struct Key {
        const char* name;
        int dik;
    };
    for (Key key : {Key{"w", 0x11}, Key{"Escape", 0x01}, Key{"Up", 0xC8}, Key{"space", 0x39}}) {
        run(std::string("xdotool keydown ") + key.name);
        EXPECT_TRUE(updateUntil([&] { return (keysLL()[key.dik] & 0x80) != 0; })) << key.name << " down";
        run(std::string("xdotool keyup ") + key.name);
        EXPECT_TRUE(updateUntil([&] { return (keysLL()[key.dik] & 0x80) == 0; })) << key.name << " up";
    }
}

TEST_F(LLSdl, MotionWithTheAnchorAtTheCentreIsReportedOnceAndTheCursorReturns) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(initLL("LL e2e mouse", kWindowed, 0, 0, 800, 600), 0);
    anchorCursorLL(0, 0);
    showCursorLL(0);
    focus(windowId("LL e2e mouse"));
    run("xdotool mousemove 400 300");
    ASSERT_TRUE(settledAt(400, 300));
    updateLL(1);
    EXPECT_EQ(mouseXLL(), 0);
    EXPECT_EQ(mouseYLL(), 0);

    run("xdotool mousemove_relative -- 10 -5");
    ASSERT_TRUE(updateUntil([] { return mouseXLL() != 0 || mouseYLL() != 0; }));
    EXPECT_EQ(mouseXLL(), 10);
    EXPECT_EQ(mouseYLL(), -5);
    // The cursor goes back to the anchor.
    EXPECT_TRUE(pointerAt(400, 300));

    // Three motions before one update: the absolute position is read, not the deltas summed.
    serverRoundTrip();
    updateLL(1);  // the warp back to the anchor
    for (int i = 0; i < 3; ++i) run("xdotool mousemove_relative -- 3 -2");
    ASSERT_TRUE(pointerAt(409, 294));
    serverRoundTrip();
    updateLL(1);
    EXPECT_EQ(mouseXLL(), 9);
    EXPECT_EQ(mouseYLL(), -6);
    EXPECT_TRUE(updateUntil([] { return mouseXLL() == 0 && mouseYLL() == 0; }));
}

TEST_F(LLSdl, InterruptAndTerminateArriveAsQuit) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(initLL("LL e2e signals", kWindowed, 0, 0, 800, 600), 0);
    for (int signal : {SIGINT, SIGTERM}) {
        std::raise(signal);
        EXPECT_TRUE(waitFor([] { return updateLL(1) == kLLQuit; })) << "signal " << signal;
    }
}

TEST_F(LLSdl, MouseBufferHoldsSixteenEventsAndReportsTheOverflow) {
    REQUIRE_DISPLAY();
    ASSERT_EQ(initLL("LL e2e overflow", kWindowed, 0, 0, 800, 600), 0);
    focus(windowId("LL e2e overflow"));
    run("xdotool mousemove 200 200");
    // The motion there read and gone from the buffer before the clicks.
    ASSERT_TRUE(pointerAt(200, 200));
    serverRoundTrip();
    updateLL(1);
    run("xdotool click --repeat 10 --delay 1 1"); // 20 button events
    serverRoundTrip();
    PlatDeviceEvent events[32];
    uint32_t count = 32;
    EXPECT_EQ(platGetDeviceData(llInput.mouseDevice, sizeof(PlatDeviceEvent), events, &count, 0), DI_BUFFEROVERFLOW);
    EXPECT_EQ(count, 16u);
    EXPECT_EQ(events[0].offset, DIMOFS_BUTTON0);
    EXPECT_EQ(events[0].data, 0x80u);
    count = 32;
    EXPECT_EQ(platGetDeviceData(llInput.mouseDevice, sizeof(PlatDeviceEvent), events, &count, 0), DI_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(LLSdl, FullscreenStartAtTheDisplaysModeOpensAndCloses) {
    REQUIRE_DISPLAY();
    int width = 0, height = 0;
    std::sscanf(run("xdotool getdisplaygeometry").c_str(), "%d %d", &width, &height);
    ASSERT_GT(width, 0);
    ASSERT_EQ(initLL("LL e2e fullscreen", kFullscreen, 0, 0, width, height), 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], width);
    EXPECT_EQ(viewport[3], height);
    swapLL();
    closeLL();
    // The display comes back to its mode once the server has handled the restore.
    const std::string restored = std::to_string(width) + " " + std::to_string(height) + "\n";
    waitFor([&] { return run("xdotool getdisplaygeometry 2>/dev/null") == restored; });
    EXPECT_EQ(run("xdotool getdisplaygeometry"), restored);
}

TEST(LLSdlProcess, CloseRequestEndsTheProcessWithStatusZero) {
    REQUIRE_DISPLAY();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(50);
            if (initLL("LL e2e close", kWindowed, 0, 0, 800, 600) != 0) std::_Exit(3);
            requestClose(windowId("LL e2e close"));
            // The close request ends the process from inside an update.
            waitFor([] {
                updateLL(1);
                return false;
            });
            std::fprintf(stderr, "still running\n");
            std::_Exit(2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LLSdlProcess, WithoutADisplayTheWindowStepFailsWithItsMessageAndReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            std::exit(initLL("LL e2e nodisplay", kWindowed, 0, 0, 800, 600));
        },
        ::testing::ExitedWithCode(1), "Error: Could not create window\\.\n  \\(.+\\)");
}

TEST(LLSdlProcess, RefusedScreenModeShowsABoxThatAPersonDismisses) {
    REQUIRE_DISPLAY();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Find the box by its caption, focus it and press Return, as a person would. Started once, by
    // the parent: the re-executed death-test child sees the variable and starts none.
    if (!std::getenv("QV_LL_BOX_DISMISSER")) {
        setenv("QV_LL_BOX_DISMISSER", "1", 1);
        std::system("( for i in $(seq 400); do id=$(xwininfo -root -tree | awk '/\"Error\"/ {print $1; exit}');"
                    " [ -n \"$id\" ] && break; sleep 0.1; done;"
                    " [ -n \"$id\" ] && xdotool windowfocus --sync $id && xdotool key Return ) >/dev/null 2>&1 &");
    }
    EXPECT_EXIT(
        {
            alarm(50); // a box nobody dismisses fails the test instead of hanging it
            std::exit(initLL("LL e2e box", kFullscreen, 0, 0, 1234, 567));
        },
        ::testing::ExitedWithCode(1),
        ::testing::AllOf(::testing::ContainsRegex("Error: Wasn't able to change screen mode\\.\n  \\(.*1234x567"),
                         ::testing::Not(::testing::HasSubstr("not shown"))));
    unsetenv("QV_LL_BOX_DISMISSER");
}

} // namespace

// SDL's session-bus connection (libdbus) keeps allocations until process exit; that is the
// library's, not ours, so leak checking in sanitizer builds skips it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
