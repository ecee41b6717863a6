// libFuzzer target for the KBF font parser and the glyph row layout handed to glBitmap (the
// display-list upload itself needs OpenGL and only passes these rows on). A parsed font must
// re-encode and re-parse to the same glyphs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "text/kbf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KbfFont font;
    std::string reason;
    if (!parseKbf(data, size, &font, reason)) {
        if (reason.empty()) __builtin_trap();  // every failure says why
        return 0;
    }
    if (font.glyphBytes != kbfGlyphBytes(font.width, font.height)) __builtin_trap();
    std::vector<KbfRecord> records;
    std::vector<uint8_t> rows;
    for (unsigned code = 0; code < 256; ++code) {
        const uint8_t* stored = font.glyph(code);
        if (!stored) continue;
        kbfBitmapRows(font.width, font.height, stored, &rows);
        if (rows.size() != size_t{(font.width + 7u) / 8u} * font.height) __builtin_trap();
        kbfPixel(rows, font.width, font.width ? font.width - 1u : 0u, font.height ? font.height - 1u : 0u);
        records.push_back({static_cast<uint8_t>(code),
                           std::vector<uint8_t>(stored, stored + font.glyphBytes)});
    }
    const std::vector<uint8_t> bytes = encodeKbf(font.width, font.height, records);
    KbfFont again;
    std::string againReason;
    if (!parseKbf(bytes.data(), bytes.size(), &again, againReason)) __builtin_trap();
    for (unsigned code = 0; code < 256; ++code) {
        const uint8_t* a = font.glyph(code);
        const uint8_t* b = again.glyph(code);
        if (!a != !b) __builtin_trap();
        if (a && font.glyphBytes && std::vector<uint8_t>(a, a + font.glyphBytes) !=
                                        std::vector<uint8_t>(b, b + font.glyphBytes))
            __builtin_trap();
    }
    return 0;
}
