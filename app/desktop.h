// What the demo offers a person at the desk, around the unchanged frame: F1 the overlay, F2-F4
// the debug views, F5 complete-depth shadows, F6 a world reload, F12 a screenshot, and a picture
// that keeps its aspect when the window is resized. With no key pressed none of it draws anything, so the frame stays exactly the demo's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/driver.h"

constexpr uint32_t kNoticeMs = 3000; // how long "saved ..." stays on the screen

struct DesktopState {
    bool overlay;     // F1
    bool portals;     // F2
    bool shadows;     // F3
    bool stencil;     // F4
    bool completeDepth;  // F5: shadows counted against the frame's complete depth
    bool shotWanted;  // F12 seen this frame
    bool reloadWanted;  // F6 seen this frame
    uint8_t held[7];  // the seven keys' state in the previous frame: a toggle takes a fresh press
    int shotNumber;   // where the search for a free screenshot name starts
    std::string notice;
    uint32_t noticeUntil; // timeLL() at which the notice goes
    // Why the latest world reload failed: shown with or without F1 until a reload succeeds.
    std::string reloadFailure;
};
DesktopState& desktopState();
void resetDesktop();

// Flips the toggles whose key went down since the previous call.
void desktopKeys(const uint8_t* keys);

// What the overlay shows for this frame.
struct OverlayFacts {
    int32_t fps;        // the last frame-rate count logged; negative before the first one
    uint32_t frameMs;
    uint32_t roomsDrawn;
    int32_t cameraRoom; // -1 outside every room
    float position[3];
};
OverlayFacts overlayFacts(const DriverState& driver);
std::vector<std::string> overlayLines(const OverlayFacts& facts, const DesktopState& desktop);
// `text` cut into lines of at most `width` characters, at spaces where there are any.
std::vector<std::string> wrapText(const std::string& text, size_t width);

// After the frame is drawn and before it is presented: the views that are on, the overlay (or
// just a pending notice), then the screenshot F12 asked for. `now` is timeLL().
void desktopAfterFrame(DriverState& driver, uint32_t now);

// The largest rectangle of the demo's 4:3 picture centred in a width x height window.
struct ViewRect {
    int x, y, width, height;
};
ViewRect letterbox(int width, int height);
// glViewport to letterbox(width, height).
void fitViewport(int width, int height);
