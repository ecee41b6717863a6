// PNG reading and writing with libpng's setjmp error handling.
#include "image/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

struct PngErrorSink {
    char message[256];
};

void onPngError(png_structp png, png_const_charp msg) {
    auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", msg);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// libpng longjmps out of failures; everything this frame owns must be plain so nothing with a
// destructor is skipped. The caller holds the buffers.
bool decode(FILE* f, Image& image, std::vector<png_bytep>& rows, PngErrorSink& sink) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &sink, onPngError, onPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_init_io(png, f);
    png_read_info(png, info);
    const png_byte colorType = png_get_color_type(png, info);
    const png_byte depth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    const int channels = png_get_channels(png, info);
    if (channels != 3 && channels != 4) {
        std::snprintf(sink.message, sizeof sink.message, "unsupported channel count %d", channels);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    image.width = static_cast<int>(w);
    image.height = static_cast<int>(h);
    image.alpha = channels == 4;
    const uint64_t rowBytes = uint64_t(w) * channels;
    if (png_get_rowbytes(png, info) != rowBytes) {
        std::snprintf(sink.message, sizeof sink.message, "unexpected row layout");
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    image.pixels.resize(static_cast<size_t>(rowBytes * h));
    rows.resize(h);
    // Bottom-up: the PNG's top row lands in the last image row.
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = image.pixels.data() + (h - 1 - y) * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool readPng(const std::string& path, Image& image, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open \"" + path + "\"";
        return false;
    }
    PngErrorSink sink{};
    std::vector<png_bytep> rows;
    unsigned char sig[8];
    bool ok = std::fread(sig, 1, 8, f) == 8 && png_sig_cmp(sig, 0, 8) == 0;
    if (!ok) {
        std::snprintf(sink.message, sizeof sink.message, "not a PNG file");
    } else {
        std::rewind(f);
        ok = decode(f, image, rows, sink);
    }
    std::fclose(f);
    if (!ok) {
        error = "\"" + path + "\": " + (sink.message[0] ? sink.message : "cannot decode PNG");
        image = Image{};
    }
    return ok;
}

namespace {

bool encode(FILE* f, const Image& image, std::vector<png_bytep>& rows, PngErrorSink& sink) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onPngError, onPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, image.width, image.height, 8,
                 image.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, const Image& image, std::string& error) {
    const uint64_t rowBytes = uint64_t(image.width) * image.components();
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != rowBytes * uint64_t(image.height)) {
        error = "image has no pixels or the wrong number of bytes";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create \"" + path + "\"";
        return false;
    }
    std::vector<png_bytep> rows(image.height);
    auto* base = const_cast<uint8_t*>(image.pixels.data());
    for (int y = 0; y < image.height; ++y) rows[y] = base + (image.height - 1 - y) * rowBytes;
    PngErrorSink sink{};
    bool ok = encode(f, image, rows, sink);
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) error = "cannot write PNG \"" + path + "\"" + (sink.message[0] ? ": " : "") + sink.message;
    return ok;
}
