// The standard pad layout onto LL's analog axes: the radial dead zone and its rescaling, the
// direction of each stick and trigger, and the buttons that hold keys.
#include <gtest/gtest.h>

#include <cmath>

#include "ll/pad.h"

namespace {

TEST(PadStick, InsideTheDeadZoneIsRestWhateverTheDirection) {
    for (float angle = 0; angle < 6.3f; angle += 0.3f) {
        float x = 9, y = 9;
        padStick(0.19f * std::cos(angle), 0.19f * std::sin(angle), x, y);
        EXPECT_EQ(x, 0.0f) << angle;
        EXPECT_EQ(y, 0.0f) << angle;
    }
    // Radial, not per axis: 0.15 on both axes is 0.21 long, outside the zone.
    float x = 0, y = 0;
    padStick(0.15f, 0.15f, x, y);
    EXPECT_GT(x, 0.0f);
    EXPECT_NEAR(x, y, 1e-6f);
}

TEST(PadStick, OutsideTheZoneRescalesFromItsEdgeAndKeepsTheDirection) {
    float x = 0, y = 0;
    padStick(0.6f, 0, x, y); // half way between the edge (0.2) and full
    EXPECT_NEAR(x, 0.5f, 1e-5f);
    EXPECT_EQ(y, 0.0f);
    padStick(0, -1, x, y);
    EXPECT_NEAR(y, -1.0f, 1e-6f);
    padStick(0.3f, 0.4f, x, y); // length 0.5: (0.5 - 0.2) / 0.8 = 0.375 along (0.6, 0.8)
    EXPECT_NEAR(x, 0.225f, 1e-5f);
    EXPECT_NEAR(y, 0.3f, 1e-5f);
    padStick(1, 1, x, y); // a square stick's corner: full length, diagonal
    EXPECT_NEAR(std::sqrt(x * x + y * y), 1.0f, 1e-5f);
    padStick(3, -7, x, y); // out of range values are held to the unit square first
    EXPECT_LE(std::fabs(x), 1.0f);
    EXPECT_LE(std::fabs(y), 1.0f);
    padStick(NAN, NAN, x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
}

TEST(PadAnalog, SticksAndTriggersMapOntoTheAxes) {
    PadState pad{};
    pad.leftY = -1; // up the stick: forward
    pad.leftX = 0;
    pad.rightX = 1;   // right stick right: look right
    pad.rightY = -1;  // right stick up: tilt up
    pad.rightTrigger = 1;
    PlatAnalog a = padAnalog(pad);
    EXPECT_NEAR(a.moveY, 1.0f, 1e-6f);
    EXPECT_EQ(a.moveX, 0.0f);
    // Full up and right at once is a full diagonal: each axis at 1 / sqrt(2).
    EXPECT_NEAR(a.lookX, 0.70710678f, 1e-5f);
    EXPECT_NEAR(a.lookY, 0.70710678f, 1e-5f);
    EXPECT_NEAR(a.upDown, 1.0f, 1e-6f);
    pad.rightX = 0;
    EXPECT_NEAR(padAnalog(pad).lookY, 1.0f, 1e-6f);

    pad = PadState{};
    pad.leftX = -1; // left
    pad.leftY = 1;  // down the stick: backward
    pad.leftTrigger = 0.525f; // half way past the trigger's small dead zone: sink at half
    a = padAnalog(pad);
    EXPECT_LT(a.moveX, -0.7f);
    EXPECT_LT(a.moveY, -0.7f);
    EXPECT_NEAR(a.upDown, -0.5f, 1e-5f);

    pad = PadState{};
    pad.leftTrigger = 0.04f; // resting triggers and sticks give exact zeros
    pad.leftX = 0.1f;
    pad.rightY = -0.1f;
    a = padAnalog(pad);
    EXPECT_EQ(a.moveX, 0.0f);
    EXPECT_EQ(a.moveY, 0.0f);
    EXPECT_EQ(a.lookY, 0.0f);
    EXPECT_EQ(a.upDown, 0.0f);
    EXPECT_FALSE(std::signbit(a.moveY)); // not -0: a rest is a rest
    EXPECT_FALSE(std::signbit(a.lookY));
}

TEST(PadKeys, BStopsShouldersMoveTheRingBackTogglesTheOverlay) {
    auto dikOf = [](PadButton b) {
        for (const PadKey& k : kPadKeys)
            if (k.button == b) return int(k.dik);
        return -1;
    };
    EXPECT_EQ(dikOf(kPadB), 0x30);            // DIK_B
    EXPECT_EQ(dikOf(kPadLeftShoulder), 0x10); // DIK_Q
    EXPECT_EQ(dikOf(kPadRightShoulder), 0x2C); // DIK_Z
    EXPECT_EQ(dikOf(kPadBack), 0x3B);         // DIK_F1
    EXPECT_EQ(dikOf(kPadA), -1);

    PadState pad{};
    EXPECT_FALSE(padAnyButton(pad));
    pad.buttons[kPadStart] = true;
    EXPECT_TRUE(padAnyButton(pad));
}

}  // namespace
