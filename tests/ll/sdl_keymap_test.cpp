// The SDL scancode to DIK table: the keys the demo and its users rely on, full keyboard
// coverage without two keys sharing a code, and out-of-range scancodes mapping to nothing.
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <map>

#include "ll/sdl_keymap.h"

TEST(SdlKeymap, KnownKeysGiveTheirDirectInputCodes) {
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_ESCAPE), 0x01);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_W), 0x11);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_A), 0x1E);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_S), 0x1F);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_D), 0x20);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_SPACE), 0x39);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_UP), 0xC8);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_DOWN), 0xD0);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_LEFT), 0xCB);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_RIGHT), 0xCD);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_KP_ENTER), 0x9C);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_RETURN), 0x1C);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_RCTRL), 0x9D);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_F11), 0x57);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_NONUSBACKSLASH), 0x56);
    // Digits run 0x02..0x0A for 1..9 and 0x0B for 0; F1..F10 run 0x3B..0x44.
    for (int i = 0; i < 9; ++i) EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_1 + i), 0x02 + i);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_0), 0x0B);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_F1 + i), 0x3B + i);
}

TEST(SdlKeymap, CoversAFullKeyboardWithoutSharedCodes) {
    std::map<int, int> owners;
    int mapped = 0;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        int dik = dikFromSdlScancode(sc);
        if (!dik) continue;
        ++mapped;
        // The ISO key left of Enter is the US backslash key's position: the one intended share.
        if (sc == SDL_SCANCODE_NONUSHASH) continue;
        EXPECT_EQ(owners.count(dik), 0u) << "DIK 0x" << std::hex << dik << " from two scancodes";
        owners[dik] = sc;
    }
    EXPECT_GE(mapped, 105);
    for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_Z; ++sc) EXPECT_NE(dikFromSdlScancode(sc), 0) << sc;
    for (int sc = SDL_SCANCODE_KP_DIVIDE; sc <= SDL_SCANCODE_KP_PERIOD; ++sc) EXPECT_NE(dikFromSdlScancode(sc), 0) << sc;
    for (int sc = SDL_SCANCODE_LCTRL; sc <= SDL_SCANCODE_RGUI; ++sc) EXPECT_NE(dikFromSdlScancode(sc), 0) << sc;
}

TEST(SdlKeymap, OutOfRangeScancodesMapToNothing) {
    EXPECT_EQ(dikFromSdlScancode(-1), 0);
    EXPECT_EQ(dikFromSdlScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(dikFromSdlScancode(1 << 30), 0);
    EXPECT_EQ(dikFromSdlScancode(SDL_SCANCODE_UNKNOWN), 0);
}
