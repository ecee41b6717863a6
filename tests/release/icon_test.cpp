// The icon the package installs: its size and transparency, the doorway's light at the centre,
// the edges blended, and every size drawing the same picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tools/icon/icon.h"

namespace {

// RGBA of the pixel at (x, y) counted from the top, as a viewer shows it.
const uint8_t* at(const Image& image, int x, int y) {
    return &image.pixels[(size_t(image.height - 1 - y) * image.width + x) * 4];
}

TEST(Icon, SquareRgbaTransparentOutsideItsRoundedFrame) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const Image icon = drawIcon(size);
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        ASSERT_TRUE(icon.alpha);
        ASSERT_EQ(icon.pixels.size(), size_t(size) * size * 4);
        for (int c : {0, size - 1}) {
            EXPECT_EQ(at(icon, c, 0)[3], 0) << size;
            EXPECT_EQ(at(icon, c, size - 1)[3], 0) << size;
        }
        EXPECT_EQ(at(icon, size / 2, size / 2)[3], 255) << size;
    }
    EXPECT_TRUE(drawIcon(0).pixels.empty());
}

TEST(Icon, TheDoorwayIsLitAndTheShadowIsDarkerThanTheFloor) {
    const Image icon = drawIcon(256);
    // The doorway (x 0.44..0.56, y 0.34..0.62): warm and bright.
    const uint8_t* door = at(icon, 128, 120);
    EXPECT_GT(door[0], 230);
    EXPECT_GT(door[0], door[2] + 80);
    // The floor at the right, and the block's shadow at the lower left.
    const uint8_t* floor = at(icon, 180, 210);
    const uint8_t* shadow = at(icon, 60, 215);
    EXPECT_LT(10 * (shadow[0] + shadow[1] + shadow[2]), 7 * (floor[0] + floor[1] + floor[2]));
    // Bottom up in memory: the first row stored is the bottom edge, transparent at its corner.
    EXPECT_EQ(icon.pixels[3], 0);
}

TEST(Icon, TheRoundedCornerBlendsIntoTransparency) {
    const Image icon = drawIcon(64);
    int partial = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int a = at(icon, x, y)[3];
            partial += a > 0 && a < 255;
        }
    EXPECT_GT(partial, 3) << "an antialiased corner has pixels neither empty nor full";
}

TEST(Icon, SmallAndLargeSizesShowTheSamePicture) {
    const Image small = drawIcon(32), large = drawIcon(256);
    // Each small pixel against the mean of the 8 x 8 large pixels it covers.
    int far = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 8; ++dy)
                    for (int dx = 0; dx < 8; ++dx) sum += at(large, x * 8 + dx, y * 8 + dy)[c];
                if (std::abs(at(small, x, y)[c] - sum / 64) > 40 && at(small, x, y)[3] == 255) ++far;
            }
    EXPECT_LT(far, 32 * 32 / 20);
}

}  // namespace
