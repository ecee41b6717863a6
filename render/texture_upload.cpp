// Texture upload: OpenGL names for the images of a texture list, each with its mipmap chain.
#include "render/texture_upload.h"

#include "world/file_bytes.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TextureState {
    char lastError[256];
};
TextureState state{};

void setError(const std::string& reason) {
    std::snprintf(state.lastError, sizeof state.lastError, "%s", reason.c_str());
}

// Rows of RGB levels are packed without padding; OpenGL must read them the same way.
struct UnpackAlignmentOne {
    GLint saved = 4;
    UnpackAlignmentOne() {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~UnpackAlignmentOne() { glPixelStorei(GL_UNPACK_ALIGNMENT, saved); }
};

void uploadLevel(int level, int width, int height, uint8_t alpha, const unsigned char* pixels) {
    const int components = imageComponents(alpha);
    glTexImage2D(GL_TEXTURE_2D, level, components, width, height, 0,
                 components == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

}  // namespace

const char* textureLoadError() { return state.lastError; }

void resetTextures() { state = TextureState{}; }

int buildMipmaps(int width, int height, uint8_t alpha, const unsigned char* pixels, uint32_t texture) {
    // The last level is the first whose width or height is odd; a 0 x 0 image has no level.
    const int levels = mipLevelCount(width, height);
    glBindTexture(GL_TEXTURE_2D, texture);
    UnpackAlignmentOne unpack;
    for (int j = 0; j < levels; ++j) {
        const int w = width >> j;
        const int h = height >> j;
        // Every level comes from the full-size image, never from the previous level.
        unsigned char* level = downsampleBox(width, height, w, h, alpha, pixels);
        if (!level) return 0;
        uploadLevel(j, w, h, alpha, level);
        std::free(level);
    }
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(GL_LINEAR));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(GL_LINEAR_MIPMAP_LINEAR));
    return 1;
}

int loadTextures(const char* names, int count, uint32_t** textures, int mode) {
    *textures = nullptr;
    if (count < 0 || count > 32767) {
        setError("textures: count " + std::to_string(count) + " is outside 0..32767");
        return 0;
    }
    auto* array = static_cast<uint32_t*>(std::calloc(count ? count : 1, sizeof(uint32_t)));
    *textures = array;
    if (!array) {
        setError("textures: cannot allocate the name array");
        return 0;
    }
    if (count > 0) glGenTextures(count, array);
    const char* name = names;
    for (int i = 0; i < count; ++i) {
        RawImage image;
        std::string reason;
        if (!readRawImage(name, image, reason)) {
            setError("texture " + std::to_string(i) + ": " + reason);
            return 0;
        }
        if (mode == kTextureMipmapped) {
            if (!buildMipmaps(image.width, image.height, image.alpha, image.pixels.data(), array[i])) {
                setError("texture " + std::to_string(i) + ": cannot allocate a mipmap level");
                return 0;
            }
        } else {
            glBindTexture(GL_TEXTURE_2D, array[i]);
            {
                UnpackAlignmentOne unpack;
                uploadLevel(0, image.width, image.height, image.alpha, image.pixels.data());
            }
            const GLint filter = mode == kTextureLinear ? GL_LINEAR : GL_NEAREST;
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        }
        name += std::strlen(name) + 1;
    }
    state.lastError[0] = '\0';
    return 1;
}

int loadTextureList(const char* fileName, World* world) { return loadTextureListIn(fileName, nullptr, world); }

int loadTextureListIn(const char* fileName, const char* folder, World* world) {
    std::vector<unsigned char> bytes;
    if (!readFileBytes(fileName, bytes)) {
        setError(std::string("texture list: cannot open \"") + fileName + "\"");
        return 0;
    }
    TextureList list;
    std::string reason;
    if (!parseTextureList(bytes.data(), bytes.size(), list, reason)) {
        setError(reason);
        return 0;
    }
    world->textureCount = static_cast<int16_t>(list.count);
    std::string block(reinterpret_cast<const char*>(bytes.data() + kTextureListHeaderBytes),
                      bytes.size() - kTextureListHeaderBytes);
    if (folder && *folder) {
        block.clear();
        for (const std::string& name : list.names) {
            const bool absolute = !name.empty() && (name[0] == '/' || name[0] == '\\' || name.find(':') == 1);
            block += (absolute ? name : std::string(folder) + "/" + name) + '\0';
        }
    }
    if (!loadTextures(block.data(), list.count, &world->textures, kTextureMipmapped)) {
        // Leave the world with no texture array rather than a partly filled one.
        if (world->textures) freeTextures(list.count, world->textures);
        world->textures = nullptr;
        world->textureCount = 0;
        return 0;
    }
    return 1;
}

void freeTextures(int count, uint32_t* textures) {
    const int16_t n = static_cast<int16_t>(count);
    if (textures && n > 0) glDeleteTextures(n, textures);
    std::free(textures);
}
