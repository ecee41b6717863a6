// Text-art dump of a KBF font, drawn from the same rows the loader hands to glBitmap.
#include "tools/font/dump.h"

#include <vector>

#include "text/kbf.h"

namespace {

void printGlyph(const KbfFont& font, unsigned code, FILE* out) {
    if (code >= 32 && code <= 126)
        std::fprintf(out, "code %u '%c'\n", code, static_cast<char>(code));
    else
        std::fprintf(out, "code %u\n", code);
    const uint8_t* stored = font.glyph(code);
    if (!stored) {
        std::fprintf(out, "(absent: drawn blank)\n\n");
        return;
    }
    std::vector<uint8_t> rows;
    kbfBitmapRows(font.width, font.height, stored, &rows);
    std::string line;
    for (unsigned y = font.height; y-- > 0;) {
        line.clear();
        for (unsigned x = 0; x < font.width; ++x) line += kbfPixel(rows, font.width, x, y) ? '#' : '.';
        std::fprintf(out, "%s\n", line.c_str());
    }
    std::fprintf(out, "\n");
}

}  // namespace

bool dumpFont(const char* fileName, const std::string& codes, FILE* out, std::string& error) {
    KbfFont font;
    if (!readKbfFile(fileName, &font, error)) return false;
    std::fprintf(out, "KBF font %s: %u x %u pixels, %u glyph records, %d codes present\n\n", fileName,
                 font.width, font.height, font.recordCount, font.presentCount());
    if (codes.empty()) {
        for (unsigned c = 0; c < 256; ++c)
            if (font.glyph(c)) printGlyph(font, c, out);
    } else {
        for (unsigned char c : codes) printGlyph(font, c, out);
    }
    return true;
}
