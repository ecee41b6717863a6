// The analog axes through LL on the scripted backend: sampled once per update, after the keyboard
// and before the mouse, reported as the latest update saw them, zero before the first update and
// whenever the backend has nothing to report.
#include "tests/ll/ll_fixture.h"

TEST_F(LLTest, AnalogAxesAreZeroUntilTheFirstUpdateSamplesThem) {
    openDemoWindow();
    testSetAnalog({0.5f, 1, -0.25f, 0.75f, -1});
    EXPECT_EQ(analogLL().moveY, 0.0f); // nothing sampled yet
    EXPECT_EQ(testCountCalls("GetAnalog"), 0);
    updateLL(1);
    const PlatAnalog& a = analogLL();
    EXPECT_EQ(a.moveX, 0.5f);
    EXPECT_EQ(a.moveY, 1.0f);
    EXPECT_EQ(a.lookX, -0.25f);
    EXPECT_EQ(a.lookY, 0.75f);
    EXPECT_EQ(a.upDown, -1.0f);
}

TEST_F(LLTest, EachUpdateSamplesTheAxesOnceBetweenKeyboardAndMouse) {
    openDemoWindow();
    const int from = int(testCalls().size());
    updateLL(1);
    EXPECT_EQ(testCountCalls("GetAnalog"), 1);
    const int analog = testFindCall("GetAnalog", from);
    EXPECT_GT(analog, testFindCall("GetDeviceState", from));
    EXPECT_LT(analog, testFindCall("GetDeviceData", from));
    updateLL(0); // a blocking update samples them too
    EXPECT_EQ(testCountCalls("GetAnalog"), 2);
}

TEST_F(LLTest, AnalogAxesFollowTheLatestUpdateOnly) {
    openDemoWindow();
    testSetAnalog({0, 1, 0, 0, 0});
    updateLL(1);
    testSetAnalog({0, 0, 0, 0, 0.5f}); // changed, not yet sampled
    EXPECT_EQ(analogLL().moveY, 1.0f);
    EXPECT_EQ(analogLL().upDown, 0.0f);
    updateLL(1);
    EXPECT_EQ(analogLL().moveY, 0.0f); // released: nothing is held over
    EXPECT_EQ(analogLL().upDown, 0.5f);
    // Keys and mouse are read as always beside them.
    testSetKey(0x11, true);
    testQueueMouseMotion(410, 295);
    testSetAnalog({});
    updateLL(1);
    EXPECT_NE(keysLL()[0x11] & 0x80, 0);
    EXPECT_EQ(mouseXLL(), 10);
    EXPECT_EQ(mouseYLL(), -5);
    EXPECT_EQ(analogLL().upDown, 0.0f);
}
