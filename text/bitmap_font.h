// Bitmap text: a "KBF" font compiled into 256 OpenGL display lists, one per byte value, each
// drawing its glyph with glBitmap and moving the raster position on by the advance. All three
// operations need a current OpenGL context; a font's lists belong to the context it was loaded in.
#pragma once

#include <cstdint>

struct BitmapFont {
    uint16_t advance;   // width + spacing: how far the raster position moves per character
    uint16_t height;    // glyph height in pixels, from the file
    uint32_t listBase;  // first of 256 consecutive lists; list listBase + c draws code c
};

// Loads a font file; `spacing` pixels are added to the glyph width to give every advance. Codes
// without a record draw nothing but still advance. Returns null when the file cannot be opened or
// is not a well-formed font (see fontLoadError()); nothing is left open or allocated then.
// Prints nothing. The caller owns the result and releases it with freeFont.
BitmapFont* loadFont(const char* fileName, uint16_t spacing);

// Draws a NUL-terminated byte string starting at raster position (x, y) in the current modelview
// and projection. The caller's list base is left as it was. Does nothing for a null font or text.
void drawText(const char* text, float x, float y, const BitmapFont* font);

// Deletes the font's 256 display lists and releases the record; null is ignored.
void freeFont(BitmapFont* font);

// Why the last loadFont failed; empty after a success.
const char* fontLoadError();

// Clears the module state (the last load error).
void resetFontState();
