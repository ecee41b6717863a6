// Raw image and texture list files: writers for the compiler, parsers for the validator.
#include "tools/world/image_files.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

void put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

uint32_t get16(const unsigned char* p) { return p[0] | (uint32_t(p[1]) << 8); }

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

bool parseRawImage(const std::vector<unsigned char>& bytes, Image& image, std::string& error) {
    if (bytes.size() < 5) {
        error = "header ends early (" + std::to_string(bytes.size()) + " of 5 bytes)";
        return false;
    }
    image.width = static_cast<int>(get16(bytes.data()));
    image.height = static_cast<int>(get16(bytes.data() + 2));
    image.alpha = bytes[4] != 0;
    const uint64_t need = uint64_t(image.width) * uint64_t(image.height) * image.components();
    if (bytes.size() - 5 < need) {
        error = std::to_string(image.width) + "x" + std::to_string(image.height) +
                (image.alpha ? " RGBA" : " RGB") + " needs " + std::to_string(need) +
                " pixel bytes but only " + std::to_string(bytes.size() - 5) + " follow";
        return false;
    }
    image.pixels.assign(bytes.begin() + 5, bytes.begin() + 5 + static_cast<ptrdiff_t>(need));
    return true;
}

bool parseTextureList(const std::vector<unsigned char>& bytes, std::vector<std::string>& names,
                      std::string& error) {
    names.clear();
    if (bytes.size() < 10 || std::memcmp(bytes.data(), "TLST", 4) != 0) {
        error = bytes.size() < 4 || std::memcmp(bytes.data(), "TLST", 4) != 0
                    ? "not a texture list (magic \"TLST\" missing)"
                    : "header ends early";
        return false;
    }
    const uint32_t count = get16(bytes.data() + 4);
    const uint64_t size = get16(bytes.data() + 6) | (uint64_t(get16(bytes.data() + 8)) << 16);
    if (count > 32767) {
        error = "count " + std::to_string(count) + " is over 32767";
        return false;
    }
    if (bytes.size() - 10 < size) {
        error = "name block of " + std::to_string(size) + " bytes is cut short at " +
                std::to_string(bytes.size() - 10);
        return false;
    }
    size_t pos = 10;
    const size_t end = 10 + static_cast<size_t>(size);
    for (uint32_t i = 0; i < count; ++i) {
        const void* nul = pos < end ? std::memchr(bytes.data() + pos, 0, end - pos) : nullptr;
        if (!nul) {
            error = "name block holds " + std::to_string(i) + " names, count says " +
                    std::to_string(count);
            return false;
        }
        const size_t stop = static_cast<const unsigned char*>(nul) - bytes.data();
        names.emplace_back(reinterpret_cast<const char*>(bytes.data() + pos), stop - pos);
        pos = stop + 1;
    }
    return true;
}

bool readFileBytes(const std::string& path, std::vector<unsigned char>& out) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
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
