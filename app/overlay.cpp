// The overlay's text panel. Everything is drawn in window pixels with an orthographic projection
// inside the current viewport; the caller's matrices and attributes are pushed and popped.
#include "app/overlay.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "render/screen_pass.h"
#include "text/bitmap_font.h"

namespace {

OverlayState overlay{};
constexpr int kMargin = 6;

} // namespace

OverlayState& overlayState() { return overlay; }

void resetOverlay() {
    freeFont(overlay.font);
    overlay = OverlayState{};
}

void setOverlayFontPaths(const std::vector<std::string>& paths) {
    overlay.fontPaths = paths;
    overlay.loadTried = false;
}

const BitmapFont* overlayFont() {
    if (overlay.font || overlay.loadTried) return overlay.font;
    overlay.loadTried = true;
    const std::vector<std::string> paths = overlay.fontPaths.empty() ? std::vector<std::string>{"font.kbf"}
                                                                     : overlay.fontPaths;
    std::string reasons;
    for (const std::string& path : paths) {
        overlay.font = loadFont(path.c_str(), 0);
        if (overlay.font) return overlay.font;
        reasons += (reasons.empty() ? "" : "; ") + path + ": " + fontLoadError();
    }
    std::fprintf(stderr, "quorvel: no overlay font (%s)\n", reasons.c_str());
    return nullptr;
}

void drawOverlayLines(const std::vector<std::string>& lines) {
    const BitmapFont* font = overlayFont();
    if (!font || lines.empty()) return;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int height = viewport[3];
    size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, line.size());

    beginScreenPass(true);
    glDisable(GL_STENCIL_TEST);

    // The panel darkens what is behind the text so it reads on any picture.
    const float right = float(2 * kMargin + longest * font->advance);
    const float bottom = float(height - 2 * kMargin - int(lines.size()) * font->height);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.6f);
    glRectf(0, bottom, right, float(height));
    glDisable(GL_BLEND);

    // The raster colour is latched by glRasterPos, so the colour comes first.
    glColor3f(1.0f, 1.0f, 0.85f);
    for (size_t i = 0; i < lines.size(); ++i) {
        const float y = float(height - kMargin - int(i + 1) * font->height + 3);
        drawText(lines[i].c_str(), float(kMargin), y, font);
    }
    endScreenPass();
}
