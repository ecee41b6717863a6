// PNG reading and writing through stb_image and stb_image_write: one PNG path on every platform
// (stb is header-only, so the Windows build compiles the same code).
#include "image/png_io.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstring>

namespace {

const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

struct Writer {
    FILE* file;
    bool ok;
};

void writeChunk(void* context, void* data, int size) {
    auto* w = static_cast<Writer*>(context);
    if (w->ok && std::fwrite(data, 1, size_t(size), w->file) != size_t(size)) w->ok = false;
}

} // namespace

bool readPng(const std::string& path, Image& image, std::string& error) {
    image = Image{};
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open \"" + path + "\"";
        return false;
    }
    unsigned char sig[8];
    const bool isPng = std::fread(sig, 1, 8, f) == 8 && std::memcmp(sig, kPngSignature, 8) == 0;
    std::string why;
    int w = 0, h = 0, comp = 0;
    stbi_uc* pixels = nullptr;
    if (!isPng) {
        why = "not a PNG file";
    } else {
        std::rewind(f);
        // The header first: an oversized image is refused before anything is allocated for it.
        if (!stbi_info_from_file(f, &w, &h, &comp)) {
            why = stbi_failure_reason() ? stbi_failure_reason() : "cannot decode PNG";
        } else if (w > kMaxImageSide || h > kMaxImageSide) {
            why = "image is " + std::to_string(w) + " x " + std::to_string(h) + ", over the limit of " +
                  std::to_string(kMaxImageSide);
        } else {
            // Grey becomes RGB; grey+alpha, RGBA and transparency chunks give RGBA.
            const int wanted = (comp == 2 || comp == 4) ? 4 : 3;
            int channels = 0;
            pixels = stbi_load_from_file(f, &w, &h, &channels, wanted);
            if (!pixels) {
                why = stbi_failure_reason() ? stbi_failure_reason() : "cannot decode PNG";
            } else {
                image.width = w;
                image.height = h;
                image.alpha = wanted == 4;
                const size_t rowBytes = size_t(w) * size_t(wanted);
                image.pixels.resize(rowBytes * size_t(h));
                // Bottom-up: the PNG's top row lands in the last image row.
                for (int y = 0; y < h; ++y)
                    std::memcpy(image.pixels.data() + size_t(h - 1 - y) * rowBytes, pixels + size_t(y) * rowBytes,
                                rowBytes);
                stbi_image_free(pixels);
            }
        }
    }
    std::fclose(f);
    if (!why.empty()) {
        error = "\"" + path + "\": " + why;
        image = Image{};
        return false;
    }
    return true;
}

bool writePng(const std::string& path, const Image& image, std::string& error) {
    const uint64_t rowBytes = uint64_t(image.width) * image.components();
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != rowBytes * uint64_t(image.height)) {
        error = "image has no pixels or the wrong number of bytes";
        return false;
    }
    // Top row first in the file: the image's last row goes out first.
    std::vector<uint8_t> topDown(image.pixels.size());
    for (int y = 0; y < image.height; ++y)
        std::memcpy(topDown.data() + size_t(y) * rowBytes, image.pixels.data() + size_t(image.height - 1 - y) * rowBytes,
                    rowBytes);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create \"" + path + "\"";
        return false;
    }
    Writer writer{f, true};
    const bool encoded = stbi_write_png_to_func(writeChunk, &writer, image.width, image.height, image.components(),
                                                topDown.data(), int(rowBytes)) != 0;
    const bool closed = std::fclose(f) == 0;
    if (!encoded || !writer.ok || !closed) {
        error = "cannot write PNG \"" + path + "\"";
        return false;
    }
    return true;
}
