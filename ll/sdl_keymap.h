// SDL scancodes to DirectInput keyboard scan codes (DIK codes), for the SDL platform backend.
#pragma once

#include <cstdint>

// The DIK code of an SDL scancode; 0 for keys without one and for values outside SDL's range.
uint8_t dikFromSdlScancode(int scancode);
