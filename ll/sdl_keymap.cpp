// The one table from SDL scancodes (USB HID usages) to DIK codes (set-1 make codes, 0x80 added
// for the extended E0 keys) covering a full 104/105-key keyboard and a few ISO/JIS extras.
#include "ll/sdl_keymap.h"

#include <SDL2/SDL_scancode.h>

namespace {

struct KeyRow {
    SDL_Scancode sdl;
    uint8_t dik;
};

const KeyRow kKeyRows[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},         // DIK_ESCAPE
    {SDL_SCANCODE_1, 0x02},              // DIK_1
    {SDL_SCANCODE_2, 0x03},              // DIK_2
    {SDL_SCANCODE_3, 0x04},              // DIK_3
    {SDL_SCANCODE_4, 0x05},              // DIK_4
    {SDL_SCANCODE_5, 0x06},              // DIK_5
    {SDL_SCANCODE_6, 0x07},              // DIK_6
    {SDL_SCANCODE_7, 0x08},              // DIK_7
    {SDL_SCANCODE_8, 0x09},              // DIK_8
    {SDL_SCANCODE_9, 0x0A},              // DIK_9
    {SDL_SCANCODE_0, 0x0B},              // DIK_0
    {SDL_SCANCODE_MINUS, 0x0C},          // DIK_MINUS
    {SDL_SCANCODE_EQUALS, 0x0D},         // DIK_EQUALS
    {SDL_SCANCODE_BACKSPACE, 0x0E},      // DIK_BACK
    {SDL_SCANCODE_TAB, 0x0F},            // DIK_TAB
    {SDL_SCANCODE_Q, 0x10},              // DIK_Q
    {SDL_SCANCODE_W, 0x11},              // DIK_W
    {SDL_SCANCODE_E, 0x12},              // DIK_E
    {SDL_SCANCODE_R, 0x13},              // DIK_R
    {SDL_SCANCODE_T, 0x14},              // DIK_T
    {SDL_SCANCODE_Y, 0x15},              // DIK_Y
    {SDL_SCANCODE_U, 0x16},              // DIK_U
    {SDL_SCANCODE_I, 0x17},              // DIK_I
    {SDL_SCANCODE_O, 0x18},              // DIK_O
    {SDL_SCANCODE_P, 0x19},              // DIK_P
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},    // DIK_LBRACKET
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},   // DIK_RBRACKET
    {SDL_SCANCODE_RETURN, 0x1C},         // DIK_RETURN (main Enter)
    {SDL_SCANCODE_LCTRL, 0x1D},          // DIK_LCONTROL
    {SDL_SCANCODE_A, 0x1E},              // DIK_A
    {SDL_SCANCODE_S, 0x1F},              // DIK_S
    {SDL_SCANCODE_D, 0x20},              // DIK_D
    {SDL_SCANCODE_F, 0x21},              // DIK_F
    {SDL_SCANCODE_G, 0x22},              // DIK_G
    {SDL_SCANCODE_H, 0x23},              // DIK_H
    {SDL_SCANCODE_J, 0x24},              // DIK_J
    {SDL_SCANCODE_K, 0x25},              // DIK_K
    {SDL_SCANCODE_L, 0x26},              // DIK_L
    {SDL_SCANCODE_SEMICOLON, 0x27},      // DIK_SEMICOLON
    {SDL_SCANCODE_APOSTROPHE, 0x28},     // DIK_APOSTROPHE
    {SDL_SCANCODE_GRAVE, 0x29},          // DIK_GRAVE (key left of 1)
    {SDL_SCANCODE_LSHIFT, 0x2A},         // DIK_LSHIFT
    {SDL_SCANCODE_BACKSLASH, 0x2B},      // DIK_BACKSLASH (US layout, above Enter)
    {SDL_SCANCODE_NONUSHASH, 0x2B},      // DIK_BACKSLASH (ISO layout: same key position, left of Enter)
    {SDL_SCANCODE_Z, 0x2C},              // DIK_Z
    {SDL_SCANCODE_X, 0x2D},              // DIK_X
    {SDL_SCANCODE_C, 0x2E},              // DIK_C
    {SDL_SCANCODE_V, 0x2F},              // DIK_V
    {SDL_SCANCODE_B, 0x30},              // DIK_B
    {SDL_SCANCODE_N, 0x31},              // DIK_N
    {SDL_SCANCODE_M, 0x32},              // DIK_M
    {SDL_SCANCODE_COMMA, 0x33},          // DIK_COMMA
    {SDL_SCANCODE_PERIOD, 0x34},         // DIK_PERIOD
    {SDL_SCANCODE_SLASH, 0x35},          // DIK_SLASH
    {SDL_SCANCODE_RSHIFT, 0x36},         // DIK_RSHIFT
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},    // DIK_MULTIPLY (keypad *)
    {SDL_SCANCODE_LALT, 0x38},           // DIK_LMENU (left Alt)
    {SDL_SCANCODE_SPACE, 0x39},          // DIK_SPACE
    {SDL_SCANCODE_CAPSLOCK, 0x3A},       // DIK_CAPITAL
    {SDL_SCANCODE_F1, 0x3B},             // DIK_F1
    {SDL_SCANCODE_F2, 0x3C},             // DIK_F2
    {SDL_SCANCODE_F3, 0x3D},             // DIK_F3
    {SDL_SCANCODE_F4, 0x3E},             // DIK_F4
    {SDL_SCANCODE_F5, 0x3F},             // DIK_F5
    {SDL_SCANCODE_F6, 0x40},             // DIK_F6
    {SDL_SCANCODE_F7, 0x41},             // DIK_F7
    {SDL_SCANCODE_F8, 0x42},             // DIK_F8
    {SDL_SCANCODE_F9, 0x43},             // DIK_F9
    {SDL_SCANCODE_F10, 0x44},            // DIK_F10
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},   // DIK_NUMLOCK
    {SDL_SCANCODE_SCROLLLOCK, 0x46},     // DIK_SCROLL
    {SDL_SCANCODE_KP_7, 0x47},           // DIK_NUMPAD7
    {SDL_SCANCODE_KP_8, 0x48},           // DIK_NUMPAD8
    {SDL_SCANCODE_KP_9, 0x49},           // DIK_NUMPAD9
    {SDL_SCANCODE_KP_MINUS, 0x4A},       // DIK_SUBTRACT (keypad -)
    {SDL_SCANCODE_KP_4, 0x4B},           // DIK_NUMPAD4
    {SDL_SCANCODE_KP_5, 0x4C},           // DIK_NUMPAD5
    {SDL_SCANCODE_KP_6, 0x4D},           // DIK_NUMPAD6
    {SDL_SCANCODE_KP_PLUS, 0x4E},        // DIK_ADD (keypad +)
    {SDL_SCANCODE_KP_1, 0x4F},           // DIK_NUMPAD1
    {SDL_SCANCODE_KP_2, 0x50},           // DIK_NUMPAD2
    {SDL_SCANCODE_KP_3, 0x51},           // DIK_NUMPAD3
    {SDL_SCANCODE_KP_0, 0x52},           // DIK_NUMPAD0
    {SDL_SCANCODE_KP_PERIOD, 0x53},      // DIK_DECIMAL (keypad .)
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, // DIK_OEM_102 (the 105th key, ISO <> left of Z)
    {SDL_SCANCODE_F11, 0x57},            // DIK_F11
    {SDL_SCANCODE_F12, 0x58},            // DIK_F12
    {SDL_SCANCODE_F13, 0x64},            // DIK_F13
    {SDL_SCANCODE_F14, 0x65},            // DIK_F14
    {SDL_SCANCODE_F15, 0x66},            // DIK_F15
    {SDL_SCANCODE_LANG3, 0x70},          // DIK_KANA (JIS katakana/hiragana)
    {SDL_SCANCODE_INTERNATIONAL1, 0x73}, // DIK_ABNT_C1 (JIS/Brazilian / ? key)
    {SDL_SCANCODE_INTERNATIONAL4, 0x79}, // DIK_CONVERT (JIS henkan)
    {SDL_SCANCODE_INTERNATIONAL5, 0x7B}, // DIK_NOCONVERT (JIS muhenkan)
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, // DIK_YEN
    {SDL_SCANCODE_KP_EQUALS, 0x8D},      // DIK_NUMPADEQUALS
    {SDL_SCANCODE_KP_ENTER, 0x9C},       // DIK_NUMPADENTER
    {SDL_SCANCODE_RCTRL, 0x9D},          // DIK_RCONTROL
    {SDL_SCANCODE_MUTE, 0xA0},           // DIK_MUTE
    {SDL_SCANCODE_VOLUMEDOWN, 0xAE},     // DIK_VOLUMEDOWN
    {SDL_SCANCODE_VOLUMEUP, 0xB0},       // DIK_VOLUMEUP
    {SDL_SCANCODE_KP_COMMA, 0xB3},       // DIK_NUMPADCOMMA
    {SDL_SCANCODE_KP_DIVIDE, 0xB5},      // DIK_DIVIDE (keypad /)
    {SDL_SCANCODE_PRINTSCREEN, 0xB7},    // DIK_SYSRQ (Print Screen)
    {SDL_SCANCODE_RALT, 0xB8},           // DIK_RMENU (right Alt / AltGr)
    {SDL_SCANCODE_PAUSE, 0xC5},          // DIK_PAUSE
    {SDL_SCANCODE_HOME, 0xC7},           // DIK_HOME
    {SDL_SCANCODE_UP, 0xC8},             // DIK_UP
    {SDL_SCANCODE_PAGEUP, 0xC9},         // DIK_PRIOR
    {SDL_SCANCODE_LEFT, 0xCB},           // DIK_LEFT
    {SDL_SCANCODE_RIGHT, 0xCD},          // DIK_RIGHT
    {SDL_SCANCODE_END, 0xCF},            // DIK_END
    {SDL_SCANCODE_DOWN, 0xD0},           // DIK_DOWN
    {SDL_SCANCODE_PAGEDOWN, 0xD1},       // DIK_NEXT
    {SDL_SCANCODE_INSERT, 0xD2},         // DIK_INSERT
    {SDL_SCANCODE_DELETE, 0xD3},         // DIK_DELETE
    {SDL_SCANCODE_LGUI, 0xDB},           // DIK_LWIN
    {SDL_SCANCODE_RGUI, 0xDC},           // DIK_RWIN
    {SDL_SCANCODE_APPLICATION, 0xDD},    // DIK_APPS (menu key)
    {SDL_SCANCODE_POWER, 0xDE},          // DIK_POWER
    {SDL_SCANCODE_SLEEP, 0xDF},          // DIK_SLEEP
};

// Indexed by scancode, built once from the rows above.
struct KeyLookup {
    uint8_t dik[SDL_NUM_SCANCODES] = {};
    KeyLookup() {
        for (const KeyRow& row : kKeyRows) dik[row.sdl] = row.dik;
    }
};

} // namespace

uint8_t dikFromSdlScancode(int scancode) {
    static const KeyLookup lookup;
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return lookup.dik[scancode];
}
