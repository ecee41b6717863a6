// Raw image and texture list files: writers for the compiler, parsers for the validator.
#include "image/image_files.h"

#include "world/textures.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

void put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

}  // namespace

std::vector<unsigned char> rawImageBytes(const Image& image) {
    std::vector<unsigned char> out;
    out.reserve(5 + image.pixels.size());
    put16(out, static_cast<uint32_t>(image.width));
    put16(out, static_cast<uint32_t>(image.height));
    out.push_back(image.alpha ? 1 : 0);
    out.insert(out.end(), image.pixels.begin(), image.pixels.end());
    return out;
}

std::vector<unsigned char> textureListBytes(const std::vector<std::string>& names) {
    std::vector<unsigned char> out{'T', 'L', 'S', 'T'};
    put16(out, static_cast<uint32_t>(names.size()));
    uint32_t size = 0;
    for (const std::string& n : names) size += static_cast<uint32_t>(n.size() + 1);
    put16(out, size & 0xFFFF);
    put16(out, size >> 16);
    for (const std::string& n : names) {
        out.insert(out.end(), n.begin(), n.end());
        out.push_back(0);
    }
    return out;
}

// The validator reads these files exactly as the demo's loader does, so it uses the same parsers.
bool parseRawImage(const std::vector<unsigned char>& bytes, Image& image, std::string& error) {
    RawImage raw;
    if (!::parseRawImage(bytes.data(), bytes.size(), raw, error)) return false;
    image.width = raw.width;
    image.height = raw.height;
    image.alpha = raw.alpha != 0;
    image.pixels = std::move(raw.pixels);
    return true;
}

bool parseTextureList(const std::vector<unsigned char>& bytes, std::vector<std::string>& names,
                      std::string& error) {
    TextureList list;
    names.clear();
    if (!::parseTextureList(bytes.data(), bytes.size(), list, error)) return false;
    names = std::move(list.names);
    return true;
}

bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes,
                    std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    const bool wrote = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!wrote || !closed) {
        error = "cannot write \"" + path + "\"";
        return false;
    }
    return true;
}
