// Images as the world tools hold them, and the two files the demo reads them from: the texture
// list ("TLST", one image file name per texture index) and the raw image (width, height, alpha
// flag, packed pixel rows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/file_bytes.h"

// Rows are stored bottom-up, the way the raw image file and OpenGL hold them: row 0 is t = 0.
struct Image {
    int width = 0;
    int height = 0;
    bool alpha = false;
    std::vector<uint8_t> pixels;  // width * height * (alpha ? 4 : 3) bytes
    int components() const { return alpha ? 4 : 3; }
};

// The largest side accepted from any image source; sizes are computed in 64 bits regardless.
const int kMaxImageSide = 8192;

std::vector<unsigned char> rawImageBytes(const Image& image);
std::vector<unsigned char> textureListBytes(const std::vector<std::string>& names);

// Parses a raw image file's bytes. False with a reason when the header is short or fewer pixel
// bytes follow than the header promises; bytes after the pixels are ignored, as the demo does.
bool parseRawImage(const std::vector<unsigned char>& bytes, Image& image, std::string& error);
// Parses a texture list. False with a reason when the magic is wrong, the block is shorter than
// its size field or does not hold `count` NUL-terminated names, or count is over 32767.
bool parseTextureList(const std::vector<unsigned char>& bytes, std::vector<std::string>& names,
                      std::string& error);

bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes,
                    std::string& error);
