// The bitmap font file ("KBF"): parsing it into glyph data, writing one, and laying a stored glyph
// out the way glBitmap reads it. No OpenGL here, so the parser can be tested and fuzzed alone.
//
// File layout (little-endian, no gaps): "KBF", width (u16), height (u16), then glyph records of
// one code byte and glyphBytes bitmap bytes, glyphBytes = height × (⌊width / 16⌋ + 1). A row is
// ⌊width / 16⌋ + 1 bytes, the first stored row is the bottom row, bits run from the most
// significant bit, left to right. The record count is (file size − 7) / (glyphBytes + 1); a partial
// record at the end is ignored and a code stored twice takes the later record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest glyph and record count the format can describe (both are 16-bit fields in the loader).
constexpr uint32_t kKbfMaxGlyphBytes = 65535;
constexpr uint32_t kKbfMaxRecords = 65535;
constexpr size_t kKbfHeaderSize = 7;

// A parsed font: the final bitmap of every code that has a record.
struct KbfFont {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t glyphBytes = 0;   // stored bytes per glyph
    uint16_t recordCount = 0;  // whole records in the file, duplicates included
    // Where each code's bitmap starts in `bitmaps`, or -1 when the code has no record. Only codes
    // that occur take room, so memory stays in proportion to the file.
    std::array<int32_t, 256> slot{};
    std::vector<uint8_t> bitmaps;

    // The stored bitmap of `code` (glyphBytes bytes), or null when the code is absent.
    const uint8_t* glyph(unsigned code) const;
    int presentCount() const;
};

// Bytes in a stored row and glyph for a given width and height (the glyph size in 32 bits, so
// callers can see when it leaves the format).
uint32_t kbfRowBytes(uint32_t width);
uint32_t kbfGlyphBytes(uint32_t width, uint32_t height);

// Parses a whole file held in memory. False with a reason in `reason` when it is not a font: bad
// magic, a header that ends early, glyphs of 65536 bytes or more, more than 65535 records.
bool parseKbf(const uint8_t* data, size_t size, KbfFont* out, std::string& reason);

// The same from a file, read record by record; the file is closed on every path.
bool readKbfFile(const char* fileName, KbfFont* out, std::string& reason);

// One record to write: a code and its stored bitmap (glyphBytes bytes, bottom row first).
struct KbfRecord {
    uint8_t code;
    std::vector<uint8_t> bitmap;
};

// The bytes of a font file with the given records in order. Each bitmap is cut or zero-padded to
// glyphBytes. The caller keeps glyphBytes and the record count inside the format.
std::vector<uint8_t> encodeKbf(uint16_t width, uint16_t height, const std::vector<KbfRecord>& records);

// Lays out a stored glyph as glBitmap reads it with an unpack alignment of 1: height rows of
// ⌈width / 8⌉ bytes. Each row takes the stored bytes it has room for (the stored row is shorter
// for widths 9–15, 17–31, …, longer for width 0); columns the stored row cannot hold, and the
// bits past `width` in the last byte, are cleared. A null `stored` gives a blank glyph.
void kbfBitmapRows(uint16_t width, uint16_t height, const uint8_t* stored, std::vector<uint8_t>* out);

// Whether the pixel at column x, row y (0 = bottom) is set in rows laid out by kbfBitmapRows.
bool kbfPixel(const std::vector<uint8_t>& rows, uint16_t width, unsigned x, unsigned y);
