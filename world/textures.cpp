// Texture list and raw image files: the parsers and the box filter behind each mipmap level.
#include "world/textures.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool fail(std::string& error, const std::string& reason) {
    error = reason;
    return false;
}

uint16_t readU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t readU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

size_t pixelBytes(uint16_t width, uint16_t height, uint8_t alpha) {
    return static_cast<size_t>(width) * height * imageComponents(alpha);
}

}  // namespace

bool parseTextureList(const unsigned char* data, size_t size, TextureList& out, std::string& error) {
    out = TextureList{};
    if (size < kTextureListHeaderBytes) return fail(error, "texture list: header shorter than 10 bytes");
    if (std::memcmp(data, "TLST", 4) != 0) return fail(error, "texture list: magic is not TLST");
    const uint16_t count = readU16(data + 4);
    const uint32_t namesSize = readU32(data + 6);
    if (count >= 32768) return fail(error, "texture list: count " + std::to_string(count) + " is 32768 or more");
    if (size - kTextureListHeaderBytes < namesSize)
        return fail(error, "texture list: name block holds " + std::to_string(size - kTextureListHeaderBytes) +
                               " bytes of the " + std::to_string(namesSize) + " promised");
    const char* block = reinterpret_cast<const char*>(data + kTextureListHeaderBytes);
    size_t at = 0;
    for (int i = 0; i < count; ++i) {
        const void* nul = at < namesSize ? std::memchr(block + at, 0, namesSize - at) : nullptr;
        if (!nul)
            return fail(error, "texture list: name block holds " + std::to_string(i) + " of " +
                                   std::to_string(count) + " NUL-terminated names");
        const size_t end = static_cast<size_t>(static_cast<const char*>(nul) - block);
        out.names.emplace_back(block + at, end - at);
        at = end + 1;
    }
    out.count = count;
    return true;
}

bool parseRawImage(const unsigned char* data, size_t size, RawImage& out, std::string& error) {
    out = RawImage{};
    if (size < 5) return fail(error, "image: header shorter than 5 bytes");
    const uint16_t width = readU16(data);
    const uint16_t height = readU16(data + 2);
    const uint8_t alpha = data[4];
    const size_t need = pixelBytes(width, height, alpha);
    if (size - 5 < need)
        return fail(error, "image: " + std::to_string(size - 5) + " pixel bytes of the " +
                               std::to_string(need) + " promised");
    out.width = width;
    out.height = height;
    out.alpha = alpha;
    out.pixels.assign(data + 5, data + 5 + need);
    return true;
}

bool readRawImage(const char* fileName, RawImage& out, std::string& error) {
    out = RawImage{};
    FILE* f = std::fopen(fileName, "rb");
    if (!f) return fail(error, std::string("image: cannot open \"") + fileName + "\"");
    unsigned char header[5];
    long length = -1;
    if (std::fread(header, 1, 5, f) == 5 && std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length < 5 || std::fseek(f, 5, SEEK_SET) != 0) {
        std::fclose(f);
        return fail(error, std::string("image \"") + fileName + "\": header shorter than 5 bytes");
    }
    const uint16_t width = readU16(header);
    const uint16_t height = readU16(header + 2);
    const size_t need = pixelBytes(width, height, header[4]);
    if (static_cast<size_t>(length - 5) < need) {
        std::fclose(f);
        return fail(error, std::string("image \"") + fileName + "\": " + std::to_string(length - 5) +
                               " pixel bytes of the " + std::to_string(need) + " promised");
    }
    out.pixels.resize(need);
    const size_t got = need ? std::fread(out.pixels.data(), 1, need, f) : 0;
    std::fclose(f);
    if (got < need) {
        out = RawImage{};
        return fail(error, std::string("image \"") + fileName + "\": short read");
    }
    out.width = width;
    out.height = height;
    out.alpha = header[4];
    return true;
}

unsigned char* downsampleBox(int srcWidth, int srcHeight, int dstWidth, int dstHeight,
                             uint8_t alpha, const unsigned char* pixels) {
    const int components = imageComponents(alpha);
    if (dstWidth < 0 || dstHeight < 0) return nullptr;
    const size_t bytes = static_cast<size_t>(dstWidth) * dstHeight * components;
    // malloc(0) may return null, which would read as a failure; keep one byte for empty levels.
    auto* out = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
    if (!out || bytes == 0) return out;
    const int bw = srcWidth / dstWidth;
    const int bh = srcHeight / dstHeight;
    const uint64_t area = static_cast<uint64_t>(bw) * bh;
    for (int y = 0; y < dstHeight; ++y) {
        for (int x = 0; x < dstWidth; ++x) {
            for (int c = 0; c < components; ++c) {
                uint64_t sum = 0;
                for (int row = y * bh; row < y * bh + bh; ++row)
                    for (int col = x * bw; col < x * bw + bw; ++col)
                        sum += pixels[(static_cast<size_t>(row) * srcWidth + col) * components + c];
                out[(static_cast<size_t>(y) * dstWidth + x) * components + c] =
                    static_cast<unsigned char>(area ? sum / area : 0);
            }
        }
    }
    return out;
}

int mipLevelCount(int width, int height) {
    for (int i = 0; i < 32; ++i)
        if ((height >> i) & 1 || (width >> i) & 1) return i + 1;
    return 0;
}
