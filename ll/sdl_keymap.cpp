// SDL scancodes to DIK codes through the one key table (keymap.h): SDL numbers keys by their USB
// HID usage, so a scancode is looked up as a usage.
#include "ll/sdl_keymap.h"

#include <SDL2/SDL_scancode.h>

#include "ll/keymap.h"

static_assert(SDL_SCANCODE_A == 4 && SDL_SCANCODE_ESCAPE == 41 && SDL_SCANCODE_UP == 82 &&
                  SDL_SCANCODE_LCTRL == 224 && SDL_SCANCODE_SLEEP == 282 && SDL_NUM_SCANCODES == 512,
              "SDL scancodes are the USB HID usages the key table is keyed by");

uint8_t dikFromSdlScancode(int scancode) { return dikFromUsage(scancode); }
