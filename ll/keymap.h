// The one keyboard table: each physical key by its USB HID usage (which SDL's scancodes are) and
// by its KeyboardEvent.code name (what browsers report), with its DirectInput scan code (DIK).
// The SDL and web backends both look keys up here, so a key means the same on every platform.
#pragma once

#include <cstdint>

// The DIK code of a USB HID keyboard usage (an SDL scancode); 0 for keys without one and for
// values outside 0..511.
uint8_t dikFromUsage(int usage);
// The DIK code of a KeyboardEvent.code name ("KeyW", "ArrowUp", "F1"); 0 for null, unknown or
// unnamed keys.
uint8_t dikFromKeyCode(const char* code);

struct KeyTableRow {
    uint16_t usage;   // USB HID usage on the keyboard page (SDL_Scancode)
    const char* code; // KeyboardEvent.code; null where browsers report the key under another row's name
    uint8_t dik;      // set-1 make code, 0x80 added for the extended E0 keys
};
// The rows, for tests and for tools that list keys.
const KeyTableRow* keyTableRows(int* count);
