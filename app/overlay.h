// The on-screen overlay: lines of text in the shipped bitmap font on a dark panel in the top-left
// corner of the picture. The font is loaded on first use, so a run that never shows the overlay
// never touches it.
#pragma once

#include <string>
#include <vector>

struct BitmapFont;

// Module state: the font, where to look for it, and whether loading was tried.
struct OverlayState {
    BitmapFont* font;
    bool loadTried;
    std::vector<std::string> fontPaths; // tried in order; the first that loads wins
};
OverlayState& overlayState();
// Frees the font (needs the GL context it was loaded in, when one was) and forgets the paths.
void resetOverlay();

// The font files tried, in order (the default is just "font.kbf" in the working folder).
void setOverlayFontPaths(const std::vector<std::string>& paths);
// The overlay's font, loading it on the first call; null (with one line on stderr) when none of
// the paths holds a usable font.
const BitmapFont* overlayFont();

// Draws the lines from the top of the viewport down. Sets all the GL state it needs and restores
// every bit of it. Nothing without a font.
void drawOverlayLines(const std::vector<std::string>& lines);
