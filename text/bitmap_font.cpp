// Bitmap fonts as display lists: the file is parsed first (text/kbf.h) and only a well-formed font
// reaches OpenGL, so a bad file leaves no lists behind.
#include "text/bitmap_font.h"

#include <GL/gl.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "text/kbf.h"

namespace {

struct FontState {
    char error[128];
};
FontState state{};

void setError(const std::string& reason) {
    std::snprintf(state.error, sizeof state.error, "%s", reason.c_str());
}

// Compiles the 256 lists. glBitmap reads ⌈width / 8⌉ bytes a row at the current unpack state,
// which is not the stored layout, so each glyph is first laid out in exactly those rows and the
// pixel-store state is pinned to tight rows while compiling (lists keep the unpacked bitmap, so
// the caller's state is safe to restore straight after).
void compileLists(const KbfFont& font, uint16_t spacing, GLuint listBase) {
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);

    // The advance is the sum of the two 16-bit values, taken as a float, so it never wraps here.
    const GLfloat xmove = static_cast<GLfloat>(static_cast<int>(font.width) + static_cast<int>(spacing));
    std::vector<uint8_t> blank;
    kbfBitmapRows(font.width, font.height, nullptr, &blank);
    std::vector<uint8_t> rows;
    for (unsigned code = 0; code < 256; ++code) {
        const uint8_t* stored = font.glyph(code);
        if (stored) kbfBitmapRows(font.width, font.height, stored, &rows);
        const std::vector<uint8_t>& bitmap = stored ? rows : blank;
        glNewList(listBase + code, GL_COMPILE);
        glBitmap(font.width, font.height, 0.0f, 0.0f, xmove, 0.0f, bitmap.empty() ? nullptr : bitmap.data());
        glEndList();
    }
    glPopClientAttrib();
}

}  // namespace

BitmapFont* loadFont(const char* fileName, uint16_t spacing) {
    resetFontState();
    KbfFont parsed;
    std::string reason;
    if (!readKbfFile(fileName, &parsed, reason)) {
        setError(reason);
        return nullptr;
    }
    BitmapFont* font = new (std::nothrow) BitmapFont{};
    if (!font) {
        setError("out of memory");
        return nullptr;
    }
    // Zero means no lists could be had (no current context, or names exhausted); a font on list 0
    // would delete someone else's lists when freed.
    const GLuint listBase = glGenLists(256);
    if (listBase == 0) {
        delete font;
        setError("no display lists available");
        return nullptr;
    }
    compileLists(parsed, spacing, listBase);
    font->listBase = listBase;
    font->advance = static_cast<uint16_t>(parsed.width + spacing);
    font->height = parsed.height;
    return font;
}

void drawText(const char* text, float x, float y, const BitmapFont* font) {
    if (!text || !font) return;
    const size_t length = std::strlen(text);
    glRasterPos2f(x, y);
    glPushAttrib(GL_LIST_BIT);  // keeps the caller's list base
    glListBase(font->listBase);
    glCallLists(static_cast<GLsizei>(length > INT_MAX ? INT_MAX : length), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

void freeFont(BitmapFont* font) {
    if (!font) return;
    glDeleteLists(font->listBase, 256);
    delete font;
}

const char* fontLoadError() { return state.error; }

void resetFontState() { state = FontState{}; }
