// The byte side of the glTF check: a GLB split into its JSON and binary chunks, a glTF buffer's
// bytes found (binary chunk, base64 data URI or a file beside the glTF) and sized, and the
// checked subset written back as one GLB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A GLB's 12-byte header, its first chunk (JSON) and its optional second chunk (BIN), each
// required to fit in the file. Fails with the reason.
bool splitGlb(const uint8_t* data, size_t size, const uint8_t*& json, size_t& jsonSize, const uint8_t*& bin,
              size_t& binSize, std::string& error);

// One buffer's bytes: `bytes` points into the GLB or into `owned`.
struct GltfBufferBytes {
    std::vector<uint8_t> owned;
    const uint8_t* bytes = nullptr;
    uint64_t size = 0;
};

// The bytes of a buffer with this uri ("" when it has none: the GLB's binary chunk, `bin`).
// Fails with the reason (without the JSON path).
bool loadGltfBuffer(const std::string& uri, bool hasUri, const uint8_t* bin, size_t binSize, bool binary,
                    const std::string& baseDir, GltfBufferBytes& out, std::string& error);

// A GLB holding `json` and, when `bin` is not empty, a binary chunk.
std::vector<uint8_t> writeGlb(const std::string& json, const std::vector<uint8_t>& bin);
