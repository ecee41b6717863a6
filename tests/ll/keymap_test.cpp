// The one key table from the browser's side: KeyboardEvent.code names give the DIK code of the
// same physical key as its USB usage does, every name is unique, and names a browser may send
// that are not keys of the table map to nothing.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ll/keymap.h"

TEST(Keymap, BrowserNamesOfTheDemoKeys) {
    EXPECT_EQ(dikFromKeyCode("Escape"), 0x01);
    EXPECT_EQ(dikFromKeyCode("KeyW"), 0x11);
    EXPECT_EQ(dikFromKeyCode("KeyA"), 0x1E);
    EXPECT_EQ(dikFromKeyCode("KeyS"), 0x1F);
    EXPECT_EQ(dikFromKeyCode("KeyD"), 0x20);
    EXPECT_EQ(dikFromKeyCode("KeyB"), 0x30);
    EXPECT_EQ(dikFromKeyCode("KeyQ"), 0x10);
    EXPECT_EQ(dikFromKeyCode("KeyZ"), 0x2C);
    EXPECT_EQ(dikFromKeyCode("KeyC"), 0x2E);
    EXPECT_EQ(dikFromKeyCode("Space"), 0x39);
    EXPECT_EQ(dikFromKeyCode("ArrowUp"), 0xC8);
    EXPECT_EQ(dikFromKeyCode("ArrowDown"), 0xD0);
    EXPECT_EQ(dikFromKeyCode("ArrowLeft"), 0xCB);
    EXPECT_EQ(dikFromKeyCode("ArrowRight"), 0xCD);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(dikFromKeyCode(("F" + std::to_string(i)).c_str()), 0x3A + i);
    EXPECT_EQ(dikFromKeyCode("F11"), 0x57);
    EXPECT_EQ(dikFromKeyCode("F12"), 0x58);
    // Left and right of a pair are different keys, as on the desktop.
    EXPECT_EQ(dikFromKeyCode("ControlLeft"), 0x1D);
    EXPECT_EQ(dikFromKeyCode("ControlRight"), 0x9D);
    EXPECT_EQ(dikFromKeyCode("Enter"), 0x1C);
    EXPECT_EQ(dikFromKeyCode("NumpadEnter"), 0x9C);
}

TEST(Keymap, EachNameIsOneKeyWithItsUsagesCode) {
    int count = 0;
    const KeyTableRow* rows = keyTableRows(&count);
    ASSERT_GE(count, 105);
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(dikFromUsage(rows[i].usage), rows[i].dik) << "usage " << rows[i].usage;
        if (!rows[i].code) continue;
        EXPECT_TRUE(names.insert(rows[i].code).second) << rows[i].code << " named twice";
        EXPECT_EQ(dikFromKeyCode(rows[i].code), rows[i].dik) << rows[i].code;
    }
    EXPECT_GE(names.size(), 104u);
}

TEST(Keymap, UnknownNamesAndUsagesGiveNothing) {
    EXPECT_EQ(dikFromKeyCode(nullptr), 0);
    EXPECT_EQ(dikFromKeyCode(""), 0);
    EXPECT_EQ(dikFromKeyCode("Unidentified"), 0);
    EXPECT_EQ(dikFromKeyCode("keyw"), 0); // names are case-sensitive
    EXPECT_EQ(dikFromKeyCode("KeyW "), 0);
    EXPECT_EQ(dikFromUsage(-1), 0);
    EXPECT_EQ(dikFromUsage(0), 0);
    EXPECT_EQ(dikFromUsage(512), 0);
}
