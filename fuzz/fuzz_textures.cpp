// libFuzzer target for the texture list and raw image parsers. The OpenGL upload is left out on
// purpose: the parsers are pure and hold every check on the bytes, and the upload only hands
// the parsed pixels to OpenGL. The box filter that makes each mipmap level is pure too, so every
// parsed image also goes through the level chain the uploader would build from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "world/textures.h"

namespace {

void checkList(const uint8_t* data, size_t size) {
    TextureList list;
    std::string reason;
    if (!parseTextureList(data, size, list, reason)) {
        if (reason.empty()) __builtin_trap();  // every failure says why
        return;
    }
    if (list.count < 0 || list.count > 32767 || list.names.size() != static_cast<size_t>(list.count))
        __builtin_trap();
    // The uploader walks the block by NUL terminators; it must meet the same names.
    const char* name = reinterpret_cast<const char*>(data + 10);
    for (const std::string& n : list.names) {
        if (std::strlen(name) != n.size() || n.compare(name) != 0) __builtin_trap();
        name += n.size() + 1;
    }
}

void checkImage(const uint8_t* data, size_t size) {
    RawImage image;
    std::string reason;
    if (!parseRawImage(data, size, image, reason)) {
        if (reason.empty()) __builtin_trap();
        return;
    }
    const size_t expect = size_t{image.width} * image.height * imageComponents(image.alpha);
    if (image.pixels.size() != expect || expect > size - 5) __builtin_trap();
    // The same level chain as buildMipmaps.
    const int levels = mipLevelCount(image.width, image.height);
    for (int j = 0; j < levels; ++j) {
        unsigned char* level = downsampleBox(image.width, image.height, image.width >> j,
                                             image.height >> j, image.alpha, image.pixels.data());
        if (!level) __builtin_trap();
        std::free(level);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkList(data, size);
    checkImage(data, size);
    return 0;
}
