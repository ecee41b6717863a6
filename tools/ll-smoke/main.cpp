// ll-smoke: a manual check of LL on a real display. Opens the demo's window, clears it to a
// slowly changing colour each frame and prints the DIK code of each key as it goes down, until
// Escape is pressed (or the window is closed, or the process gets SIGINT/SIGTERM).
#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "ll/ll.h"

namespace {

// The demo's windowed flags: double-buffered, 16 depth bits, 8 stencil bits.
constexpr uint8_t kSmokeFlags = kLLDoubleBuffer | kLLDepth16 | kLLStencil8;
constexpr uint8_t kDikEscape = 0x01;
constexpr uint8_t kKeyDown = 0x80;  // a key's state byte while it is held

}  // namespace

int main() {
    if (initLL("Quorvel -- By: Tavrin, Easter 2002", kSmokeFlags, 0, 0, 800, 600) != 0) return 1;
    std::printf("ll-smoke: press keys (Escape quits)\n");
    std::fflush(stdout);
    uint8_t previous[256] = {};
    uint32_t start = timeLL();
    while (updateLL(1) != kLLQuit) {
        const uint8_t* keys = keysLL();
        for (int k = 0; k < 256; ++k)
            if ((keys[k] & kKeyDown) && !(previous[k] & kKeyDown)) {
                std::printf("key down: DIK 0x%02X\n", k);
                std::fflush(stdout);
            }
        std::memcpy(previous, keys, 256);
        if (keys[kDikEscape] & kKeyDown) break;
        float t = float((timeLL() - start) % 4000u) / 4000.0f;
        glClearColor(0.1f, 0.2f + 0.5f * t, 0.4f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        swapLL();
    }
    closeLL();
    return 0;
}
