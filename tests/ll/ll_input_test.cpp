// setupLL, updateLL and the readers against the scripted backend: device set-up and partial
// release, the pump with WM_QUIT, the anchor, buttons, ignored mouse events, lost input, the
// keyboard, the cursor counter and the frame limiter across the clock's wrap.
#include "tests/ll/ll_fixture.h"

TEST_F(LLTest, SetupOpensBothDevicesWithTheirFormatsAndLevels) {
    testSetCursor(70000, -5); // screen positions are kept in 16 bits
    openDemoWindow();
    int from = testFindCall("DirectInputCreate");
    std::vector<std::string> all = testCallNames();
    std::vector<std::string> names(all.begin() + from, all.end());
    std::vector<std::string> expected = {"DirectInputCreate", "CreateDevice",  "SetDataFormat",
                                         "SetCooperativeLevel", "Acquire",     "CreateDevice",
                                         "SetDataFormat",       "SetCooperativeLevel", "SetProperty",
                                         "Acquire",             "GetCursorPos"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(argsOf("DirectInputCreate"), "instance=1 version=0x500");
    EXPECT_EQ(argsOf("SetCooperativeLevel"), "device=keyboard window=1 flags=0xA");
    EXPECT_EQ(argsOf("SetCooperativeLevel", from + 5), "device=mouse window=1 flags=0x6");
    EXPECT_EQ(argsOf("SetProperty"), "device=mouse size=20 header=16 object=0 how=0 data=16");
    EXPECT_EQ(llInput.cursorX, int16_t(70000 - 65536));
    EXPECT_EQ(llInput.anchorX, -1);
    EXPECT_EQ(buttonDownLL(0xFF), 0);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(keysLL()[k] & 0x80, 0);
}

class LLSetupFailure : public LLTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LLSetupFailure, StopsAtTheStepAndEverythingCreatedIsReleased) {
    testSetResult(GetParam(), DIERR_GENERIC);
    EXPECT_EQ(initLL("Quorvel", 0x16, 0, 0, 800, 600), 1);
    EXPECT_EQ(testCountCalls("GetCursorPos"), 0);
    EXPECT_EQ(testLiveObjects(), 0);
    EXPECT_EQ(keysLL(), nullptr);
    EXPECT_EQ(argsOf("MessageBox"), "owner=0 text=setupLL failed!! caption=Error type=0");
}

// Success codes other than DI_OK count as failure too (1 = S_FALSE).
INSTANTIATE_TEST_SUITE_P(EachStep, LLSetupFailure,
                         ::testing::Values("DirectInputCreate", "CreateDevice:keyboard", "SetDataFormat:keyboard",
                                           "SetCooperativeLevel:keyboard", "Acquire:keyboard", "CreateDevice:mouse",
                                           "SetDataFormat:mouse", "SetCooperativeLevel:mouse", "SetProperty",
                                           "Acquire:mouse"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& ch : name)
                                 if (ch == ':') ch = '_';
                             return name;
                         });

TEST_F(LLTest, SetupTreatsASuccessCodeOtherThanOkAsFailure) {
    testSetResult("Acquire:keyboard", DI_BUFFEROVERFLOW);
    EXPECT_EQ(initLL("Quorvel", 0x16, 0, 0, 800, 600), 1);
    EXPECT_EQ(testLiveObjects(), 0);
}

TEST_F(LLTest, QuitAmongOtherMessagesDispatchesTheRestReadsDevicesAndReturnsTwo) {
    openDemoWindow();
    testPostMessage(WM_MOVE);
    testPostMessage(WM_QUIT, 0, 0, false);
    testPostMessage(WM_SIZE);
    testSetKey(0x11, true);
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x80);
    int from = int(testCalls().size());
    EXPECT_EQ(updateLL(1), 2);
    EXPECT_EQ(testPendingMessages(), 0u);
    EXPECT_EQ(testDefaultMessages(), (std::vector<uint32_t>{WM_MOVE, WM_SIZE}));
    EXPECT_EQ(testCountCalls("DispatchMessage"), 2);
    EXPECT_GT(testFindCall("GetDeviceState", from), testFindCall("DispatchMessage", from));
    EXPECT_NE(keysLL()[0x11] & 0x80, 0);
    EXPECT_EQ(buttonDownLL(1), 1);
    EXPECT_EQ(updateLL(1), 0);
}

TEST_F(LLTest, BlockingUpdateTakesOneMessage) {
    openDemoWindow();
    testPostMessage(WM_SIZE);
    testPostMessage(WM_QUIT, 0, 0, false);
    EXPECT_EQ(updateLL(0), 0);
    EXPECT_EQ(testDefaultMessages(), (std::vector<uint32_t>{WM_SIZE}));
    EXPECT_EQ(updateLL(0), 2);
    EXPECT_EQ(testCountCalls("DispatchMessage"), 1);
    EXPECT_EQ(testCountCalls("GetMessage"), 2);
    EXPECT_EQ(testCountCalls("PeekMessage"), 0);
}

TEST_F(LLTest, AnchorAtTheCentreTurnsTheCursorIntoAPerUpdateMotion) {
    openDemoWindow();
    anchorCursorLL(0, 0);
    EXPECT_EQ(llInput.anchorX, 400);
    EXPECT_EQ(llInput.anchorY, 300);
    testSetCursor(400, 300);

    updateLL(1); // no mouse events: no cursor calls at all
    EXPECT_EQ(mouseXLL(), 0);
    EXPECT_EQ(mouseYLL(), 0);
    EXPECT_EQ(testCountCalls("SetCursorPos"), 0);
    EXPECT_EQ(testCountCalls("GetCursorPos"), 1); // setupLL's only

    // Several motion events in one update: the last absolute position counts, once.
    testQueueMouseMotion(405, 300);
    testQueueMouseMotion(408, 297);
    testQueueMouseMotion(410, 295);
    updateLL(1);
    EXPECT_EQ(mouseXLL(), 10);
    EXPECT_EQ(mouseYLL(), -5);
    EXPECT_EQ(argsOf("SetCursorPos"), "x=400 y=300");
    EXPECT_EQ(testCursor().x, 400);

    updateLL(1);
    EXPECT_EQ(mouseXLL(), 0);
    EXPECT_EQ(mouseYLL(), 0);
    EXPECT_EQ(testCountCalls("SetCursorPos"), 1);
}

TEST_F(LLTest, AnchorBoundsAreInclusiveAndOutsideClearsIt) {
    openDemoWindow();
    anchorCursorLL(400, 300);
    EXPECT_EQ(llInput.anchorX, 800);
    EXPECT_EQ(llInput.anchorY, 600);
    anchorCursorLL(-400, -300);
    EXPECT_EQ(llInput.anchorX, 0);
    EXPECT_EQ(llInput.anchorY, 0);
    anchorCursorLL(0, -301);
    EXPECT_EQ(llInput.anchorX, -1);
    EXPECT_EQ(llInput.anchorY, -1);
    anchorCursorLL(401, 0);
    EXPECT_EQ(llInput.anchorX, -1);
    EXPECT_EQ(llInput.anchorY, -1);

    // Without an anchor the update neither resets the readout nor moves the cursor.
    testQueueMouseMotion(123, 45);
    updateLL(1);
    testSetCursor(200, 200);
    updateLL(1);
    EXPECT_EQ(mouseXLL(), 123 - 400);
    EXPECT_EQ(mouseYLL(), 45 - 300);
    EXPECT_EQ(testCountCalls("SetCursorPos"), 0);
}

TEST_F(LLTest, OddSizesHalveDownAndCursorPlacementIsFromTheOuterCorner) {
    ASSERT_EQ(initLL("Quorvel", 0x16, 100, 50, 801, 601), 0);
    anchorCursorLL(0, 0);
    EXPECT_EQ(llInput.anchorX, 400);
    EXPECT_EQ(llInput.anchorY, 300);
    setCursorLL(3, -4);
    EXPECT_EQ(argsOf("SetCursorPos"), "x=503 y=346");
    testQueueMouseMotion(420, 310);
    updateLL(1);
    EXPECT_EQ(mouseXLL(), 20);
    EXPECT_EQ(mouseYLL(), 10);
    EXPECT_EQ(argsOf("SetCursorPos", testFindCall("SetCursorPos") + 1), "x=500 y=350");
}

TEST_F(LLTest, ButtonsPressedAndReleasedAcrossUpdates) {
    openDemoWindow();
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x80);
    updateLL(1);
    EXPECT_NE(buttonDownLL(1), 0);
    EXPECT_EQ(buttonReleasedLL(1), 0);
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x00);
    updateLL(1);
    EXPECT_EQ(buttonDownLL(1), 0);
    EXPECT_EQ(buttonReleasedLL(1), 1);
    updateLL(1);
    EXPECT_EQ(buttonReleasedLL(1), 0);
}

TEST_F(LLTest, PressAndReleaseWithinOneUpdateIsSeenByNeither) {
    openDemoWindow();
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x80);
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x00);
    updateLL(1);
    EXPECT_EQ(buttonDownLL(1), 0);
    EXPECT_EQ(buttonReleasedLL(1), 0);
}

TEST_F(LLTest, ReleaseOfOneButtonWhileTheOtherIsHeldIsNotAReleaseOfBoth) {
    openDemoWindow();
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x80);
    testQueueMouseEvent(DIMOFS_BUTTON1, 0x80);
    updateLL(1);
    EXPECT_EQ(buttonDownLL(3), 3);
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x00);
    updateLL(1);
    EXPECT_EQ(buttonReleasedLL(3), 0);
    EXPECT_EQ(buttonReleasedLL(1), 1);
    EXPECT_EQ(buttonDownLL(2), 2);
}

TEST_F(LLTest, WheelAndButtonsTwoAndThreeAreIgnored) {
    openDemoWindow();
    testSetCursor(100, 100);
    testQueueMouseEvent(DIMOFS_Z, 120);
    testQueueMouseEvent(DIMOFS_BUTTON2, 0x80);
    testQueueMouseEvent(DIMOFS_BUTTON3, 0x80);
    testQueueMouseEvent(16, 0x80); // beyond the mouse format
    updateLL(1);
    EXPECT_EQ(buttonDownLL(0xFF), 0);
    EXPECT_EQ(testCountCalls("GetCursorPos"), 1); // setupLL's only
    EXPECT_EQ(testPendingMouseReads(), 0u);
}

TEST_F(LLTest, OverflowedReadIsNotHandledAndEndsTheDrain) {
    openDemoWindow();
    testQueueMouseRead(DI_BUFFEROVERFLOW, DIMOFS_BUTTON0, 0x80);
    testQueueMouseEvent(DIMOFS_BUTTON1, 0x80);
    updateLL(1);
    EXPECT_EQ(buttonDownLL(3), 0);
    EXPECT_EQ(testCountCalls("Acquire"), 2); // setupLL's two only
    updateLL(1);                             // the next update reads on
    EXPECT_EQ(buttonDownLL(3), 2);
}

TEST_F(LLTest, LostInputReacquiresTheMouseOnce) {
    openDemoWindow();
    testQueueMouseRead(DIERR_INPUTLOST, 0, 0, false);
    testQueueMouseEvent(DIMOFS_BUTTON0, 0x80);
    int from = int(testCalls().size());
    updateLL(1);
    EXPECT_EQ(argsOf("Acquire", from), "device=mouse");
    EXPECT_EQ(testCountCalls("Acquire"), 3);
    EXPECT_EQ(buttonDownLL(1), 0);
    updateLL(1);
    EXPECT_EQ(testCountCalls("Acquire"), 3);
    EXPECT_EQ(buttonDownLL(1), 1);

    testQueueMouseRead(DIERR_NOTACQUIRED, 0, 0, false); // other failures are ignored
    updateLL(1);
    EXPECT_EQ(testCountCalls("Acquire"), 3);
}

TEST_F(LLTest, KeyboardStateIsRefreshedByEachUpdate) {
    openDemoWindow();
    testSetKey(0x01, true);
    testSetKey(0xC8, true);
    updateLL(1);
    EXPECT_NE(keysLL()[0x01] & 0x80, 0);
    EXPECT_NE(keysLL()[0xC8] & 0x80, 0);
    testSetKey(0x01, false);
    updateLL(1);
    EXPECT_EQ(keysLL()[0x01] & 0x80, 0);
    EXPECT_EQ(argsOf("GetDeviceState"), "device=keyboard size=256");
}

TEST_F(LLTest, ShowCursorCallsNestLikeACounter) {
    openDemoWindow();
    showCursorLL(0);
    showCursorLL(false);
    showCursorLL(1);
    EXPECT_EQ(testCursorCounter(), -1);
    showCursorLL(7);
    EXPECT_EQ(testCursorCounter(), 0);
    EXPECT_EQ(testCountCalls("ShowCursor"), 4);
}

TEST_F(LLTest, TimePassesTheSystemClockThrough) {
    testSetTime(0xFFFFFFFF);
    testSetTimeStep(2);
    EXPECT_EQ(timeLL(), 0xFFFFFFFFu);
    EXPECT_EQ(timeLL(), 1u);
}

TEST_F(LLTest, LimitFrameWaitsOutThePeriodSinceItsLastReturn) {
    testSetTime(5000);
    testSetTimeStep(1);
    limitFrameLL(33); // the first call only records the time
    EXPECT_EQ(testTime(), 5001u);
    EXPECT_EQ(llInput.limiterTime, 5000u);

    testSetTime(5010); // 10 ms of caller work
    limitFrameLL(33);
    EXPECT_GE(llInput.limiterTime - 5000u, 33u);
    EXPECT_LE(llInput.limiterTime - 5000u, 35u);

    uint32_t before = llInput.limiterTime;
    testSetTime(before + 50); // the caller already spent longer than a period
    int reads = testCountCalls("TimeGetTime");
    limitFrameLL(33);
    EXPECT_EQ(testCountCalls("TimeGetTime") - reads, 2);
}

TEST_F(LLTest, LimitFrameWaitsAFullPeriodAcrossTheClocksWrap) {
    testSetTime(0xFFFFFFFA);
    limitFrameLL(33);
    EXPECT_EQ(llInput.limiterTime, 0xFFFFFFFAu);
    limitFrameLL(33);
    uint32_t waited = llInput.limiterTime - 0xFFFFFFFAu;
    EXPECT_GE(waited, 33u);
    EXPECT_LE(waited, 35u);
}
