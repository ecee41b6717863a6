// Rasterising a TrueType or OpenType font through FreeType into monospaced KBF glyph records.
#pragma once

#include <string>
#include <vector>

#include "text/kbf.h"

struct RasterOptions {
    std::string fontPath;
    int height = 16;      // cell height in pixels
    int width = 8;        // cell width in pixels: 1 to 8 or 16, the widths a stored row holds whole
    bool latin1 = false;  // also codes 160–255, taken as the same Unicode code points
};

// Whether a stored row of ⌊width / 16⌋ + 1 bytes holds every column of a glyph this wide.
bool kbfWidthStorable(int width);

// Renders codes 32–126 (and 160–255 with latin1) into cells of width × height, one record per
// code the font has a glyph for, bitmaps stored bottom row first. The pixel size is the largest
// at which the font's ascent plus descent fits the height and every advance fits the width.
// False with a reason when the font cannot be read or nothing fits.
bool rasterizeFont(const RasterOptions& options, std::vector<KbfRecord>* records, int* pixelSize,
                   std::string& error);
