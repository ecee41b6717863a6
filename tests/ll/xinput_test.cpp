// XInput loaded at run time, under Wine: a missing DLL means no pad and no error, the system's
// DLL is found and loaded, and with no pad plugged in LL's analog axes stay at rest whatever the
// keyboard does.
#include <gtest/gtest.h>

#include "ll/pad_xinput.h"

namespace {

class XInput : public ::testing::Test {
protected:
    void TearDown() override { xinputResetForTests(nullptr, 0); }
};

TEST_F(XInput, AMissingDllMeansNoPadAndNoError) {
    static const char* const missing[] = {"quorvel_no_such_xinput.dll"};
    xinputResetForTests(missing, 1);
    PadState pad{};
    pad.leftX = 0.5f;
    EXPECT_FALSE(xinputSample(pad));
    EXPECT_FALSE(xinputLoaded());
    EXPECT_EQ(pad.leftX, 0.5f); // untouched when there is no pad
    EXPECT_FALSE(xinputSample(pad)); // and asking again is just as quiet
}

TEST_F(XInput, TheSystemsDllIsLoaded) {
    xinputResetForTests(nullptr, 0);
    EXPECT_TRUE(xinputLoaded()) << "no xinput1_4, xinput1_3 or xinput9_1_0 could be loaded";
    // With no pad plugged in the sample says so; with one, it reads the standard layout.
    PadState pad{};
    if (xinputSample(pad)) {
        EXPECT_LE(pad.leftTrigger, 1.0f);
        EXPECT_GE(pad.leftTrigger, 0.0f);
    }
}

} // namespace
