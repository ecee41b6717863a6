// PNG files through stb: reading any PNG into an 8-bit RGB or RGBA image (palette and grey
// expanded, 16-bit reduced, transparency kept as alpha) and writing images back out.
#pragma once

#include <string>

#include "image/image_files.h"

// Reads a PNG; rows come out bottom-up (the PNG's last row first), so that texture coordinate
// v = 0 is the bottom of the picture, as modelling tools and OBJ files assume. Refuses images
// wider or taller than kMaxImageSide. False with a reason on any failure.
bool readPng(const std::string& path, Image& image, std::string& error);

// Writes the image as an 8-bit RGB or RGBA PNG, top row first (the inverse of readPng).
bool writePng(const std::string& path, const Image& image, std::string& error);
