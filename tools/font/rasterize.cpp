// FreeType rendering of glyphs into fixed cells, packed as KBF bitmaps (1 bit a pixel, bottom row
// first, most significant bit leftmost), which is the layout glBitmap draws.
#include "tools/font/rasterize.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace {

constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_MONO;

std::vector<unsigned> codesFor(const RasterOptions& options) {
    std::vector<unsigned> codes;
    for (unsigned c = 32; c <= 126; ++c) codes.push_back(c);
    if (options.latin1)
        for (unsigned c = 160; c <= 255; ++c) codes.push_back(c);
    return codes;
}

// Ascent and descent in whole pixels at the face's current size.
void verticalMetrics(FT_Face face, int* ascent, int* descent) {
    *ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    *descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
}

bool fitsCell(FT_Face face, const std::vector<unsigned>& codes, const RasterOptions& options) {
    int ascent, descent;
    verticalMetrics(face, &ascent, &descent);
    if (ascent + descent > options.height) return false;
    for (unsigned c : codes) {
        FT_UInt index = FT_Get_Char_Index(face, c);
        if (index == 0 || FT_Load_Glyph(face, index, kLoadFlags) != 0) continue;
        if (((face->glyph->advance.x + 63) >> 6) > options.width) return false;
    }
    return true;
}

bool bitmapPixel(const FT_Bitmap& bitmap, unsigned x, unsigned y) {
    const unsigned pitch = static_cast<unsigned>(bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch);
    // A negative pitch means the rows are stored bottom-up from the start of the buffer.
    const unsigned row = bitmap.pitch < 0 ? bitmap.rows - 1 - y : y;
    const unsigned char* p = bitmap.buffer + static_cast<size_t>(row) * pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) return (p[x / 8] >> (7 - x % 8)) & 1;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) return p[x] >= 128;
    return false;
}

// Draws the loaded glyph into a cell (top row first, one byte a pixel), clipped to the cell.
void renderCell(FT_Face face, const RasterOptions& options, int baseline, std::vector<uint8_t>* cell) {
    cell->assign(static_cast<size_t>(options.width) * options.height, 0);
    const FT_GlyphSlot slot = face->glyph;
    const int advance = static_cast<int>((slot->advance.x + 63) >> 6);
    const int left = (options.width - advance) / 2 + slot->bitmap_left;
    const int top = baseline - slot->bitmap_top;
    for (unsigned y = 0; y < slot->bitmap.rows; ++y) {
        const int cy = top + static_cast<int>(y);
        if (cy < 0 || cy >= options.height) continue;
        for (unsigned x = 0; x < slot->bitmap.width; ++x) {
            const int cx = left + static_cast<int>(x);
            if (cx < 0 || cx >= options.width) continue;
            if (bitmapPixel(slot->bitmap, x, y)) (*cell)[static_cast<size_t>(cy) * options.width + cx] = 1;
        }
    }
}

std::vector<uint8_t> packCell(const std::vector<uint8_t>& cell, const RasterOptions& options) {
    const uint32_t rowBytes = kbfRowBytes(options.width);
    std::vector<uint8_t> stored(static_cast<size_t>(rowBytes) * options.height, 0);
    for (int r = 0; r < options.height; ++r) {
        const int cy = options.height - 1 - r;  // first stored row is the bottom of the cell
        for (int x = 0; x < options.width && static_cast<uint32_t>(x / 8) < rowBytes; ++x)
            if (cell[static_cast<size_t>(cy) * options.width + x])
                stored[static_cast<size_t>(r) * rowBytes + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
    }
    return stored;
}

struct FreeTypeSession {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeSession() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

}  // namespace

bool kbfWidthStorable(int width) { return width >= 1 && static_cast<uint32_t>(width) <= kbfRowBytes(width) * 8; }

bool rasterizeFont(const RasterOptions& options, std::vector<KbfRecord>* records, int* pixelSize,
                   std::string& error) {
    if (!kbfWidthStorable(options.width)) {
        error = "width " + std::to_string(options.width) +
                 " does not fit a stored row of width / 16 + 1 bytes; use 1 to 8 or 16";
        return false;
    }
    if (options.height < 1 || kbfGlyphBytes(options.width, options.height) > kKbfMaxGlyphBytes) {
        error = "height " + std::to_string(options.height) + " gives glyphs outside 1 to 65535 bytes";
        return false;
    }
    FreeTypeSession ft;
    if (FT_Init_FreeType(&ft.library) != 0) {
        error = "FreeType could not start";
        return false;
    }
    if (FT_New_Face(ft.library, options.fontPath.c_str(), 0, &ft.face) != 0) {
        error = "cannot read font " + options.fontPath;
        return false;
    }
    const std::vector<unsigned> codes = codesFor(options);
    int size = options.height;
    for (; size >= 1; --size) {
        if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(size)) != 0) continue;
        if (fitsCell(ft.face, codes, options)) break;
    }
    if (size < 1) {
        error = "no pixel size of the font fits a " + std::to_string(options.width) + " x " +
                 std::to_string(options.height) + " cell";
        return false;
    }
    int ascent, descent;
    verticalMetrics(ft.face, &ascent, &descent);
    const int baseline = (options.height - ascent - descent) / 2 + ascent;

    records->clear();
    std::vector<uint8_t> cell;
    for (unsigned c : codes) {
        const FT_UInt index = FT_Get_Char_Index(ft.face, c);
        if (index == 0 && c != 32) continue;  // not in the font: the loader draws it blank
        if (index == 0 || FT_Load_Glyph(ft.face, index, kLoadFlags | FT_LOAD_RENDER) != 0) {
            cell.assign(static_cast<size_t>(options.width) * options.height, 0);
        } else {
            renderCell(ft.face, options, baseline, &cell);
        }
        records->push_back(KbfRecord{static_cast<uint8_t>(c), packCell(cell, options)});
    }
    *pixelSize = size;
    return true;
}
