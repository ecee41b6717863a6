// Uploading the world's textures: one OpenGL texture per image of the texture list, with the
// mipmap chain built on the CPU by the box filter in world/textures.h.
#pragma once

#include <cstdint>

#include "world/textures.h"
#include "world/world.h"

// How loadTextures uploads each image.
enum TextureMode : int {
    kTextureNearest = 0,   // level 0 only, nearest filters
    kTextureLinear = 1,    // level 0 only, linear filters
    kTextureMipmapped = 2  // every level of the box-filtered chain, trilinear filtering
};

// Reads the list file and uploads its textures (kTextureMipmapped) into world.textures and
// world.textureCount. 1 on success, 0 on failure; on failure the texture objects already created
// are deleted and world.textures / world.textureCount are left null / 0. Reason: textureLoadError().
int loadTextureList(const char* fileName, World* world);
// The same with the list's relative image names taken from `folder` instead of the working
// folder (null or "" means the working folder), for a world that lies elsewhere.
int loadTextureListIn(const char* fileName, const char* folder, World* world);
// Creates `count` texture names, stores the array in *textures at once, and uploads image i of
// the name block into texture i. `names` must hold `count` NUL-terminated names back to back.
// `mode` is a TextureMode; values other than 1 and 2 upload as kTextureNearest.
// On failure *textures still holds the array (release it with freeTextures), or null when the
// array itself could not be made (count outside 0..32767 or no memory).
int loadTextures(const char* names, int count, uint32_t** textures, int mode);
// Binds `texture` and uploads levels 0 .. mipLevelCount - 1, each box-filtered from the full-size
// image. A 0 x 0 image uploads nothing and succeeds. 0 when a level buffer cannot be allocated
// (the levels already uploaded stay).
int buildMipmaps(int width, int height, uint8_t alpha, const unsigned char* pixels,
                 uint32_t texture);
// Deletes the texture objects and releases the array (count taken as 16-bit signed).
void freeTextures(int count, uint32_t* textures);

// Why the last loadTextureList / loadTextures failed; empty after a success.
const char* textureLoadError();
// Clears the module state (the last error).
void resetTextures();
