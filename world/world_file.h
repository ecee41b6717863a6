// The world file ("BINWLD"): reading it into a World and writing a World back out.
// The writer is the exact inverse of the reader, so a written file loads into an equal world.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "world/world.h"

// Reads a world file. Returns the new world, or null when the file cannot be opened or is not a
// well-formed world (bad magic or version, truncated, counts or indices out of range); the reason
// is then available from worldLoadError(). Prints nothing. The file is closed on every path.
World* loadWorld(const char* fileName);

// The same parse over a whole world file already held in memory (what loadWorld does after
// reading the file); the fuzzer and the tests call it directly. `data` may be null when size is 0.
World* loadWorldFromMemory(const unsigned char* data, size_t size);

// Why the last loadWorld failed: section, byte offset and what was wrong. Empty after a success.
const char* worldLoadError();

// The world under construction; set when a load allocates its World and not cleared afterwards.
extern World* loadingWorld;

// Portal targets: replaces each portal's stored room index by the room.
void resolvePortals(World* world);

// The bytes of a world file for `world` (header with bodyOffset 10 and version 5, then the body).
// Entities are written tail first so that a reader, which links each at the head, rebuilds the
// same list order. Portal targets are written from Portal.targetIndex.
std::vector<unsigned char> serializeWorld(const World& world);

// Writes serializeWorld(world) to fileName; false with a reason in `error` on I/O failure.
bool saveWorld(const World& world, const char* fileName, std::string& error);
