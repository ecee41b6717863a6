// libFuzzer target for the world reader: any bytes either fail the load or give a world whose
// every index is in range, that writes back out and reloads to the very same bytes, and that
// frees completely (LeakSanitizer checks the last part).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/world_check.h"
#include "world/world_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World* world = loadWorldFromMemory(data, size);
    if (!world) {
        if (!*worldLoadError()) __builtin_trap();  // every failure says why
        return 0;
    }
    if (checkWorld(*world)) __builtin_trap();
    // The writer is the reader's inverse: a reloaded world serialises to identical bytes.
    const std::vector<unsigned char> bytes = serializeWorld(*world);
    World* again = loadWorldFromMemory(bytes.data(), bytes.size());
    if (!again) __builtin_trap();
    if (serializeWorld(*again) != bytes) __builtin_trap();
    freeWorld(again);
    freeWorld(world);
    return 0;
}
