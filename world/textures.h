// The texture list ("TLST") and the raw image files it names: parsing them and the box filter
// that makes mipmap levels. Pure code with no OpenGL, so it can be fuzzed alone; the upload lives
// in render/texture_upload.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// Byte offset of the name block in a texture list file (magic, count, block size).
constexpr size_t kTextureListHeaderBytes = 10;

// Parses a whole texture list file held in memory. Fails (false, reason in `error`) on a short
// header, a bad magic, a count of 32768 or more, a name block shorter than namesSize, or a block
// holding fewer than `count` NUL-terminated names. Bytes after the block are ignored.
bool parseTextureList(const unsigned char* data, size_t size, TextureList& out, std::string& error);
// Parses a raw image held in memory: the 5-byte header, then exactly the pixels it promises
// (bytes after them are ignored). Fails on a short header or short pixel data.
bool parseRawImage(const unsigned char* data, size_t size, RawImage& out, std::string& error);
// Reads an image file: checks the file's length against the header before allocating, so a
// header promising more than the file holds fails without a huge allocation.
bool readRawImage(const char* fileName, RawImage& out, std::string& error);

// Number of mipmap levels of a width x height image: up to and including the first level with an
// odd side; 0 for a 0 x 0 image.
int mipLevelCount(int width, int height);
// A new malloc'd dstWidth x dstHeight buffer whose pixels are the truncated means of
// (srcWidth / dstWidth) x (srcHeight / dstHeight) source blocks; null when it cannot be allocated.
// A destination side of 0 gives an empty (but non-null) buffer.
unsigned char* downsampleBox(int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                             uint8_t alpha, const unsigned char* pixels);
