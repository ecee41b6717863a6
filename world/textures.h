// The texture list ("TLST") and the raw image files it names: parsing them (pure, no OpenGL, so
// the parsers can be fuzzed alone) and uploading one mipmapped OpenGL texture per image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

// A parsed texture list: `count` names, each a path used exactly as stored.
struct TextureList {
    int count;
    std::vector<std::string> names;
};

// A parsed raw image: width x height pixels, 3 bytes each (alpha == 0) or 4 (R, G, B, A).
struct RawImage {
    uint16_t width;
    uint16_t height;
    uint8_t alpha;
    std::vector<unsigned char> pixels;
};

// Bytes per pixel of an image with this alpha byte.
inline int imageComponents(uint8_t alpha) { return alpha ? 4 : 3; }

// Parses a whole texture list file held in memory. Fails (false, reason in `error`) on a short
// header, a bad magic, a count of 32768 or more, a name block shorter than namesSize, or a block
// holding fewer than `count` NUL-terminated names. Bytes after the block are ignored.
bool parseTextureList(const unsigned char* data, size_t size, TextureList& out,
                      std::string* error = nullptr);
// Parses a raw image held in memory: the 5-byte header, then exactly the pixels it promises
// (bytes after them are ignored). Fails on a short header or short pixel data.
bool parseRawImage(const unsigned char* data, size_t size, RawImage& out,
                   std::string* error = nullptr);
// Reads an image file: checks the file's length against the header before allocating, so a
// header promising more than the file holds fails without a huge allocation.
bool readRawImage(const char* fileName, RawImage& out, std::string* error = nullptr);

// Reads the list file and uploads its textures (mode 2, mipmapped) into world.textures and
// world.textureCount. 1 on success, 0 on failure; on failure the texture objects already created
// are deleted and world.textures / world.textureCount are left null / 0. Reason: textureLoadError().
int loadTextureList(const char* fileName, World* world);
// Creates `count` texture names, stores the array in *textures at once, and uploads image i of
// the name block into texture i. `names` must hold `count` NUL-terminated names back to back.
// mode 2: mipmapped (buildMipmaps); 1: level 0, linear filters; other: level 0, nearest filters.
// On failure *textures still holds the array (release it with freeTextures), or null when the
// array itself could not be made (count outside 0..32767 or no memory).
int loadTextures(const char* names, int count, uint32_t** textures, int mode);
// Binds `texture` and uploads levels 0 .. (trailing zero bits of width|height), each box-filtered
// from the full-size image. A 0 x 0 image uploads nothing and succeeds. 0 when a level buffer
// cannot be allocated (the levels already uploaded stay).
int buildMipmaps(int width, int height, uint8_t alpha, const unsigned char* pixels,
                 uint32_t texture);
// A new malloc'd dstWidth x dstHeight buffer whose pixels are the truncated means of
// (srcWidth / dstWidth) x (srcHeight / dstHeight) source blocks; null when it cannot be allocated.
// A destination side of 0 gives an empty (but non-null) buffer.
unsigned char* downsampleBox(int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                             uint8_t alpha, const unsigned char* pixels);
// Deletes the texture objects and releases the array (count taken as 16-bit signed).
void freeTextures(int count, uint32_t* textures);

// Why the last loadTextureList / loadTextures failed; empty after a success.
const char* textureLoadError();
// Clears the module state (the last error).
void resetTextures();
