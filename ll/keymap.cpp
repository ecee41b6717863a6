// The one key table (keymap.h): a full 104/105-key keyboard and a few ISO/JIS extras, each row a
// physical key's USB HID usage, its browser name and its DIK code.
#include "ll/keymap.h"

#include <cstring>

namespace {

const KeyTableRow kRows[] = {
    {41, "Escape", 0x01},            // DIK_ESCAPE
    {30, "Digit1", 0x02},            // DIK_1
    {31, "Digit2", 0x03},            // DIK_2
    {32, "Digit3", 0x04},            // DIK_3
    {33, "Digit4", 0x05},            // DIK_4
    {34, "Digit5", 0x06},            // DIK_5
    {35, "Digit6", 0x07},            // DIK_6
    {36, "Digit7", 0x08},            // DIK_7
    {37, "Digit8", 0x09},            // DIK_8
    {38, "Digit9", 0x0A},            // DIK_9
    {39, "Digit0", 0x0B},            // DIK_0
    {45, "Minus", 0x0C},             // DIK_MINUS
    {46, "Equal", 0x0D},             // DIK_EQUALS
    {42, "Backspace", 0x0E},         // DIK_BACK
    {43, "Tab", 0x0F},               // DIK_TAB
    {20, "KeyQ", 0x10},              // DIK_Q
    {26, "KeyW", 0x11},              // DIK_W
    {8, "KeyE", 0x12},               // DIK_E
    {21, "KeyR", 0x13},              // DIK_R
    {23, "KeyT", 0x14},              // DIK_T
    {28, "KeyY", 0x15},              // DIK_Y
    {24, "KeyU", 0x16},              // DIK_U
    {12, "KeyI", 0x17},              // DIK_I
    {18, "KeyO", 0x18},              // DIK_O
    {19, "KeyP", 0x19},              // DIK_P
    {47, "BracketLeft", 0x1A},       // DIK_LBRACKET
    {48, "BracketRight", 0x1B},      // DIK_RBRACKET
    {40, "Enter", 0x1C},             // DIK_RETURN (main Enter)
    {224, "ControlLeft", 0x1D},      // DIK_LCONTROL
    {4, "KeyA", 0x1E},               // DIK_A
    {22, "KeyS", 0x1F},              // DIK_S
    {7, "KeyD", 0x20},               // DIK_D
    {9, "KeyF", 0x21},               // DIK_F
    {10, "KeyG", 0x22},              // DIK_G
    {11, "KeyH", 0x23},              // DIK_H
    {13, "KeyJ", 0x24},              // DIK_J
    {14, "KeyK", 0x25},              // DIK_K
    {15, "KeyL", 0x26},              // DIK_L
    {51, "Semicolon", 0x27},         // DIK_SEMICOLON
    {52, "Quote", 0x28},             // DIK_APOSTROPHE
    {53, "Backquote", 0x29},         // DIK_GRAVE (key left of 1)
    {225, "ShiftLeft", 0x2A},        // DIK_LSHIFT
    {49, "Backslash", 0x2B},         // DIK_BACKSLASH (US layout, above Enter)
    {50, nullptr, 0x2B},             // DIK_BACKSLASH (ISO: left of Enter; browsers call it Backslash)
    {29, "KeyZ", 0x2C},              // DIK_Z
    {27, "KeyX", 0x2D},              // DIK_X
    {6, "KeyC", 0x2E},               // DIK_C
    {25, "KeyV", 0x2F},              // DIK_V
    {5, "KeyB", 0x30},               // DIK_B
    {17, "KeyN", 0x31},              // DIK_N
    {16, "KeyM", 0x32},              // DIK_M
    {54, "Comma", 0x33},             // DIK_COMMA
    {55, "Period", 0x34},            // DIK_PERIOD
    {56, "Slash", 0x35},             // DIK_SLASH
    {229, "ShiftRight", 0x36},       // DIK_RSHIFT
    {85, "NumpadMultiply", 0x37},    // DIK_MULTIPLY (keypad *)
    {226, "AltLeft", 0x38},          // DIK_LMENU (left Alt)
    {44, "Space", 0x39},             // DIK_SPACE
    {57, "CapsLock", 0x3A},          // DIK_CAPITAL
    {58, "F1", 0x3B},                // DIK_F1
    {59, "F2", 0x3C},                // DIK_F2
    {60, "F3", 0x3D},                // DIK_F3
    {61, "F4", 0x3E},                // DIK_F4
    {62, "F5", 0x3F},                // DIK_F5
    {63, "F6", 0x40},                // DIK_F6
    {64, "F7", 0x41},                // DIK_F7
    {65, "F8", 0x42},                // DIK_F8
    {66, "F9", 0x43},                // DIK_F9
    {67, "F10", 0x44},               // DIK_F10
    {83, "NumLock", 0x45},           // DIK_NUMLOCK
    {71, "ScrollLock", 0x46},        // DIK_SCROLL
    {95, "Numpad7", 0x47},           // DIK_NUMPAD7
    {96, "Numpad8", 0x48},           // DIK_NUMPAD8
    {97, "Numpad9", 0x49},           // DIK_NUMPAD9
    {86, "NumpadSubtract", 0x4A},    // DIK_SUBTRACT (keypad -)
    {92, "Numpad4", 0x4B},           // DIK_NUMPAD4
    {93, "Numpad5", 0x4C},           // DIK_NUMPAD5
    {94, "Numpad6", 0x4D},           // DIK_NUMPAD6
    {87, "NumpadAdd", 0x4E},         // DIK_ADD (keypad +)
    {89, "Numpad1", 0x4F},           // DIK_NUMPAD1
    {90, "Numpad2", 0x50},           // DIK_NUMPAD2
    {91, "Numpad3", 0x51},           // DIK_NUMPAD3
    {98, "Numpad0", 0x52},           // DIK_NUMPAD0
    {99, "NumpadDecimal", 0x53},     // DIK_DECIMAL (keypad .)
    {100, "IntlBackslash", 0x56},    // DIK_OEM_102 (the 105th key, ISO <> left of Z)
    {68, "F11", 0x57},               // DIK_F11
    {69, "F12", 0x58},               // DIK_F12
    {104, "F13", 0x64},              // DIK_F13
    {105, "F14", 0x65},              // DIK_F14
    {106, "F15", 0x66},              // DIK_F15
    {146, "Lang3", 0x70},            // DIK_KANA (JIS katakana/hiragana)
    {135, "IntlRo", 0x73},           // DIK_ABNT_C1 (JIS/Brazilian / ? key)
    {138, "Convert", 0x79},          // DIK_CONVERT (JIS henkan)
    {139, "NonConvert", 0x7B},       // DIK_NOCONVERT (JIS muhenkan)
    {137, "IntlYen", 0x7D},          // DIK_YEN
    {103, "NumpadEqual", 0x8D},      // DIK_NUMPADEQUALS
    {88, "NumpadEnter", 0x9C},       // DIK_NUMPADENTER
    {228, "ControlRight", 0x9D},     // DIK_RCONTROL
    {127, "AudioVolumeMute", 0xA0},  // DIK_MUTE
    {129, "AudioVolumeDown", 0xAE},  // DIK_VOLUMEDOWN
    {128, "AudioVolumeUp", 0xB0},    // DIK_VOLUMEUP
    {133, "NumpadComma", 0xB3},      // DIK_NUMPADCOMMA
    {84, "NumpadDivide", 0xB5},      // DIK_DIVIDE (keypad /)
    {70, "PrintScreen", 0xB7},       // DIK_SYSRQ (Print Screen)
    {230, "AltRight", 0xB8},         // DIK_RMENU (right Alt / AltGr)
    {72, "Pause", 0xC5},             // DIK_PAUSE
    {74, "Home", 0xC7},              // DIK_HOME
    {82, "ArrowUp", 0xC8},           // DIK_UP
    {75, "PageUp", 0xC9},            // DIK_PRIOR
    {80, "ArrowLeft", 0xCB},         // DIK_LEFT
    {79, "ArrowRight", 0xCD},        // DIK_RIGHT
    {77, "End", 0xCF},               // DIK_END
    {81, "ArrowDown", 0xD0},         // DIK_DOWN
    {78, "PageDown", 0xD1},          // DIK_NEXT
    {73, "Insert", 0xD2},            // DIK_INSERT
    {76, "Delete", 0xD3},            // DIK_DELETE
    {227, "MetaLeft", 0xDB},         // DIK_LWIN
    {231, "MetaRight", 0xDC},        // DIK_RWIN
    {101, "ContextMenu", 0xDD},      // DIK_APPS (menu key)
    {102, "Power", 0xDE},            // DIK_POWER
    {282, "Sleep", 0xDF},            // DIK_SLEEP (SDL numbers it outside the HID page)
};

constexpr int kUsages = 512;

// Indexed by usage, built once from the rows.
struct UsageLookup {
    uint8_t dik[kUsages] = {};
    UsageLookup() {
        for (const KeyTableRow& row : kRows) dik[row.usage] = row.dik;
    }
};

} // namespace

uint8_t dikFromUsage(int usage) {
    static const UsageLookup lookup;
    if (usage < 0 || usage >= kUsages) return 0;
    return lookup.dik[usage];
}

// A linear search: it runs once per key event, over about 120 short names.
uint8_t dikFromKeyCode(const char* code) {
    if (!code) return 0;
    for (const KeyTableRow& row : kRows)
        if (row.code && std::strcmp(row.code, code) == 0) return row.dik;
    return 0;
}

const KeyTableRow* keyTableRows(int* count) {
    *count = int(sizeof kRows / sizeof kRows[0]);
    return kRows;
}
