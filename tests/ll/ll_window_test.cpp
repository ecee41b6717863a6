// initLL, closeLL, swapLL and wndProcLL against the scripted backend: the calls and arguments of
// a good start, each failure's message and its order against closeLL, the display-mode restore,
// releasing only what exists, and WM_CLOSE ending the process.
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include <gmock/gmock.h>

#include "tests/ll/ll_fixture.h"

using ::testing::HasSubstr;

TEST_F(LLTest, DemoStartMakesTheCallsInOrderWithTheRequestedFormat) {
    openDemoWindow();
    std::vector<std::string> expected = {
        "GetModuleHandle", "LoadIcon", "LoadCursor", "RegisterClass", "AdjustWindowRect", "CreateWindow", "GetDC",
        "ChoosePixelFormat", "SetPixelFormat", "CreateContext", "MakeCurrent", "ShowWindow", "SetForegroundWindow",
        "SetFocus", "DirectInputCreate"};
    std::vector<std::string> names = testCallNames();
    ASSERT_GE(names.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + long(expected.size())), expected);
    EXPECT_EQ(testCountCalls("ChangeDisplaySettings"), 0);
    EXPECT_EQ(testCountCalls("MessageBox"), 0);

    EXPECT_EQ(argsOf("LoadIcon"), "id=0x7F05");
    EXPECT_EQ(argsOf("LoadCursor"), "id=0x7F00");
    EXPECT_EQ(argsOf("RegisterClass"), "name=OpenGL style=0x23 proc=1 extra=0,0 instance=1 icon=1 cursor=1");
    EXPECT_EQ(argsOf("AdjustWindowRect"), "rect=0,0,800,600 style=0xCF0000 menu=0 ex=0x40100");
    // The backend's nominal frame adds 8 x 28 pixels; the window gets the outer size.
    EXPECT_EQ(argsOf("CreateWindow"),
              "ex=0x40100 class=OpenGL title=Quorvel style=0x6CF0000 x=0 y=0 w=808 h=628 instance=1");
    EXPECT_EQ(argsOf("ChoosePixelFormat"),
              "dc=1 size=40 version=1 flags=0x25 type=0 color=24 accum=0 depth=16 stencil=8 aux=0 layer=0");
    EXPECT_EQ(argsOf("SetPixelFormat"), "dc=1 index=1 flags=0x25");
    EXPECT_EQ(argsOf("ShowWindow"), "window=1 command=5");
    // Geometry is recorded: the readout is measured from the centre of 800 x 600.
    EXPECT_EQ(mouseXLL(), -400);
    EXPECT_EQ(mouseYLL(), -300);
}

TEST_F(LLTest, FlagBitsSelectTheFormatAndBitsFiveToSevenChangeNothing) {
    ASSERT_EQ(initLL("Quorvel", 0x16, 0, 0, 800, 600), 0);
    closeLL();
    std::vector<TestCall> plain = testCalls();
    SetUp();
    ASSERT_EQ(initLL("Quorvel", 0xF6, 0, 0, 800, 600), 0);
    closeLL();
    ASSERT_EQ(plain.size(), testCalls().size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(plain[i].op, testCalls()[i].op);
        EXPECT_EQ(plain[i].args, testCalls()[i].args) << plain[i].op;
    }

    SetUp();
    ASSERT_EQ(initLL("Quorvel", 0x08, 0, 0, 640, 480), 0);
    EXPECT_THAT(argsOf("ChoosePixelFormat"), HasSubstr("flags=0x24 type=0 color=24 accum=24 depth=0 stencil=0"));
}

TEST_F(LLTest, FullscreenChangesTheModeFirstUsesAPopupAndRestoresOnClose) {
    ASSERT_EQ(initLL("Quorvel", 0x17, 5, 6, 1024, 768), 0);
    EXPECT_EQ(testFindCall("ChangeDisplaySettings"), testFindCall("RegisterClass") + 1);
    EXPECT_EQ(argsOf("ChangeDisplaySettings"), "fields=0x1C0000 bpp=32 width=1024 height=768 flags=4");
    EXPECT_EQ(argsOf("CreateWindow"),
              "ex=0x40000 class=OpenGL title=Quorvel style=0x86000000 x=5 y=6 w=1024 h=768 instance=1");
    EXPECT_TRUE(testDisplayModeChanged());
    closeLL();
    EXPECT_FALSE(testDisplayModeChanged());
    EXPECT_EQ(argsOf("ChangeDisplaySettings", testFindCall("ChangeDisplaySettings") + 1), "mode=null flags=0");
    EXPECT_EQ(testLiveObjects(), 0);
}

struct FailureCase {
    const char* op;
    int64_t value;
    uint8_t flags;
    const char* message;
    int closeLL; // 0: closeLL does not run, 1: after the message, 2: before it
};

class LLInitFailure : public LLTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(LLInitFailure, ShowsItsOwnMessageInTheRightOrderAndReturnsOne) {
    const FailureCase& c = GetParam();
    testSetResult(c.op, c.value);
    EXPECT_EQ(initLL("Quorvel", c.flags, 0, 0, 800, 600), 1);
    ASSERT_EQ(testCountCalls("MessageBox"), 1);
    EXPECT_EQ(argsOf("MessageBox"), std::string("owner=0 text=") + c.message + " caption=Error type=0");
    int box = testFindCall("MessageBox");
    int close = testFindCall("UnregisterClass"); // closeLL's unconditional step
    if (c.closeLL == 0) {
        EXPECT_EQ(close, -1);
        EXPECT_EQ(box, int(testCalls().size()) - 1); // nothing after the report
    } else {
        ASSERT_NE(close, -1);
        if (c.closeLL == 1) {
            EXPECT_LT(box, close);
        } else {
            EXPECT_GT(box, close);
        }
        EXPECT_EQ(testLiveObjects(), 0); // everything that was created is released
        EXPECT_FALSE(testDisplayModeChanged());
        EXPECT_EQ(llInput.keys, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, LLInitFailure,
    ::testing::Values(FailureCase{"GetModuleHandle", 0, 0x16, "Was not able to get instance handle.", 0},
                      FailureCase{"LoadIcon", 0, 0x16, "Cursor and/or Icon not loaded properly.", 0},
                      FailureCase{"LoadCursor", 0, 0x16, "Cursor and/or Icon not loaded properly.", 0},
                      // Only the atom's low 16 bits count.
                      FailureCase{"RegisterClass", 0x10000, 0x16, "Wasn't able to regiser windowclass.", 0},
                      FailureCase{"ChangeDisplaySettings", DISP_CHANGE_BADMODE, 0x17,
                                  "Wasn't able to change screen mode.", 0},
                      FailureCase{"AdjustWindowRect", 0, 0x16, "Was not able to calculate proper size of window.", 0},
                      FailureCase{"CreateWindow", 0, 0x16, "Could not create window.", 1},
                      FailureCase{"GetDC", 0, 0x16, "Could not get the device context for window.", 1},
                      FailureCase{"ChoosePixelFormat", 0, 0x16, "Could not find a good pixel format.", 1},
                      FailureCase{"SetPixelFormat", 0, 0x16, "Could not set pixel format.", 1},
                      FailureCase{"CreateContext", 0, 0x16, "Wasn't able to create rendering context.", 1},
                      FailureCase{"MakeCurrent", 0, 0x16, "Could not activate rendering context.", 1},
                      FailureCase{"DirectInputCreate", DIERR_GENERIC, 0x16, "setupLL failed!!", 2},
                      // Fullscreen starts that fail after the mode change get the mode restored.
                      FailureCase{"CreateWindow", 0, 0x17, "Could not create window.", 1},
                      FailureCase{"CreateContext", 0, 0x17, "Wasn't able to create rendering context.", 1},
                      FailureCase{"Acquire:mouse", DIERR_GENERIC, 0x17, "setupLL failed!!", 2}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
        std::string name = info.param.op;
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name + (info.param.flags & 1 ? "_fullscreen" : "_windowed");
    });

TEST_F(LLTest, IconAndCursorAreBothLoadedBeforeEitherIsTested) {
    testSetResult("LoadIcon", 0);
    EXPECT_EQ(initLL("Quorvel", 0x16, 0, 0, 800, 600), 1);
    EXPECT_EQ(testCountCalls("LoadCursor"), 1);
    EXPECT_EQ(testCountCalls("RegisterClass"), 0);
}

TEST_F(LLTest, AFailedAdjustAfterAModeChangeLeavesTheModeInForce) {
    testSetResult("AdjustWindowRect", 0);
    EXPECT_EQ(initLL("Quorvel", 0x17, 0, 0, 800, 600), 1);
    EXPECT_TRUE(testDisplayModeChanged());
}

TEST_F(LLTest, CloseReleasesOnlyWhatExists) {
    testSetResult("ChoosePixelFormat", 0);
    EXPECT_EQ(initLL("Quorvel", 0x16, 0, 0, 800, 600), 1);
    int from = testFindCall("MessageBox");
    std::vector<std::string> all = testCallNames();
    std::vector<std::string> tail(all.begin() + from + 1, all.end());
    // Window and DC existed; no context, no input devices.
    std::vector<std::string> expected = {"MakeCurrent", "ReleaseDC", "DestroyWindow", "DefWindowProc",
                                         "UnregisterClass"};
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(argsOf("MakeCurrent", from), "dc=0 context=0");
}

TEST_F(LLTest, CloseAfterAGoodStartReleasesEverythingInOrder) {
    openDemoWindow();
    int from = int(testCalls().size());
    closeLL();
    std::vector<std::string> all = testCallNames();
    std::vector<std::string> tail(all.begin() + from, all.end());
    std::vector<std::string> expected = {"MakeCurrent",    "DeleteContext", "ReleaseDC",     "DestroyWindow",
                                         "DefWindowProc",  "UnregisterClass", "Unacquire",   "ReleaseDevice",
                                         "Unacquire",      "ReleaseDevice", "ReleaseDirectInput"};
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(testLiveObjects(), 0);
    EXPECT_EQ(keysLL(), nullptr);
}

TEST_F(LLTest, SwapPresentsTheWindowsDeviceContext) {
    openDemoWindow();
    swapLL();
    EXPECT_EQ(argsOf("SwapBuffers"), "dc=1");
}

TEST_F(LLTest, WindowProcedureCreatesAndPassesOtherMessagesOn) {
    openDemoWindow();
    EXPECT_EQ(wndProcLL(testWindow(), WM_CREATE, 0, 0), 0);
    EXPECT_EQ(testCountCalls("DefWindowProc"), 0);
    testSetResult("DefWindowProc", 77);
    // A move or resize goes to the default handling and leaves LL's geometry alone.
    EXPECT_EQ(wndProcLL(testWindow(), WM_SIZE, 0, (300 << 16) | 400), 77);
    EXPECT_EQ(wndProcLL(testWindow(), WM_MOVE, 0, (50 << 16) | 60), 77);
    testQueueMouseMotion(400, 300);
    updateLL(1);
    EXPECT_EQ(mouseXLL(), 0);
    EXPECT_EQ(mouseYLL(), 0);
}

// Runs in the child of the death test once exit() has run: closeLL must have released it all.
static void reportReleased() {
    std::fprintf(stderr, "live objects at exit: %d, keys %s\n", testLiveObjects(), keysLL() ? "kept" : "freed");
}

TEST_F(LLTest, CloseMessageTearsDownAndExitsWithStatusZeroFromInsideTheUpdate) {
    EXPECT_EXIT(
        {
            openDemoWindow();
            std::atexit(reportReleased);
            testPostMessage(WM_CLOSE);
            updateLL(1);
            std::fprintf(stderr, "updateLL returned\n");
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "live objects at exit: 0, keys freed");
}
