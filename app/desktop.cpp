// The desktop extras: key toggles, the overlay's lines, debug views, screenshots and letterboxing.
#include "app/desktop.h"

#include <GL/gl.h>

#include <cstdio>

#include "app/overlay.h"
#include "app/screenshot.h"
#include "render/debug_views.h"
#include "render/renderer.h"
#include "scene/entity.h"

namespace {

DesktopState desktop{};
const uint8_t kToggleKeys[7] = {kKeyF1, kKeyF2, kKeyF3, kKeyF4, kKeyF5, kKeyF6, kKeyF12};
// Characters of a reload failure per overlay line: the panel stays inside the 800-pixel picture.
constexpr size_t kFailureColumns = 90;

} // namespace

DesktopState& desktopState() { return desktop; }
void resetDesktop() { desktop = DesktopState{}; }

void desktopKeys(const uint8_t* keys) {
    desktop.shotWanted = false;
    desktop.reloadWanted = false;
    for (int i = 0; i < 7; ++i) {
        const bool down = keyHeld(keys, kToggleKeys[i]);
        const bool pressed = down && !desktop.held[i];
        desktop.held[i] = down;
        if (!pressed) continue;
        switch (kToggleKeys[i]) {
        case kKeyF1: desktop.overlay = !desktop.overlay; break;
        case kKeyF2: desktop.portals = !desktop.portals; break;
        case kKeyF3: desktop.shadows = !desktop.shadows; break;
        case kKeyF4: desktop.stencil = !desktop.stencil; break;
        case kKeyF5:
            desktop.completeDepth = !desktop.completeDepth;
            setShadowDepth(desktop.completeDepth ? ShadowDepth::Complete : ShadowDepth::Default);
            break;
        case kKeyF6: desktop.reloadWanted = true; break;
        default: desktop.shotWanted = true; break;
        }
    }
}

OverlayFacts overlayFacts(const DriverState& d) {
    OverlayFacts f{};
    f.fps = d.fpsLogged ? d.lastFps : -1;
    f.frameMs = d.dt;
    f.cameraRoom = -1;
    f.roomsDrawn = roomsDrawn(d.world);
    if (const World* world = d.world)
        for (int16_t i = 0; world->rooms && i < world->roomCount; ++i)
            // Drawing from room 0 because the camera is outside every room is not standing in it.
            if (world->rooms[i] == d.camera.room && pointInRoom(&d.camera, d.camera.room)) f.cameraRoom = i;
    f.position[0] = d.camera.position.x;
    f.position[1] = d.camera.position.y;
    f.position[2] = d.camera.position.z;
    return f;
}

std::vector<std::string> overlayLines(const OverlayFacts& f, const DesktopState& s) {
    std::vector<std::string> lines;
    char buf[128];
    if (f.fps >= 0)
        std::snprintf(buf, sizeof buf, "FPS %d  frame %u ms", f.fps, f.frameMs);
    else
        std::snprintf(buf, sizeof buf, "FPS --  frame %u ms", f.frameMs);
    lines.push_back(buf);
    std::snprintf(buf, sizeof buf, "rooms drawn %u", f.roomsDrawn);
    lines.push_back(buf);
    if (f.cameraRoom >= 0)
        std::snprintf(buf, sizeof buf, "room %d  at %.2f %.2f %.2f", f.cameraRoom, f.position[0], f.position[1],
                      f.position[2]);
    else
        std::snprintf(buf, sizeof buf, "outside  at %.2f %.2f %.2f", f.position[0], f.position[1], f.position[2]);
    lines.push_back(buf);
    std::string views;
    if (s.portals) views += " portals";
    if (s.shadows) views += " shadows";
    if (s.stencil) views += " stencil";
    if (!views.empty()) lines.push_back("views:" + views);
    if (s.completeDepth) lines.push_back("shadows: complete depth");
    return lines;
}

std::vector<std::string> wrapText(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (width > 0 && text.size() - at > width) {
        size_t cut = text.rfind(' ', at + width);
        if (cut == std::string::npos || cut <= at) cut = at + width;  // one long word: cut it
        lines.push_back(text.substr(at, cut - at));
        at = cut;
        while (at < text.size() && text[at] == ' ') ++at;
    }
    if (at < text.size() || lines.empty()) lines.push_back(text.substr(at));
    return lines;
}

void desktopAfterFrame(DriverState& driver, uint32_t now) {
    // The heat map reads the stencil the shadows left, so it goes under the outlines.
    if (desktop.stencil) drawStencilHeat();
    if (desktop.portals) drawPortalOutlines(&driver.camera, driver.world);
    if (desktop.shadows) drawShadowOutlines(&driver.camera, driver.world);

    const bool noticeOn = !desktop.notice.empty() && int32_t(desktop.noticeUntil - now) > 0;
    if (!noticeOn) desktop.notice.clear();
    const bool failureOn = !desktop.reloadFailure.empty();
    if (desktop.overlay || noticeOn || failureOn) {
        std::vector<std::string> lines;
        if (desktop.overlay) lines = overlayLines(overlayFacts(driver), desktop);
        if (failureOn)
            for (const std::string& line : wrapText(desktop.reloadFailure, kFailureColumns)) lines.push_back(line);
        if (noticeOn) lines.push_back(desktop.notice);
        drawOverlayLines(lines);
    }

    if (desktop.shotWanted) {
        desktop.shotWanted = false;
        const std::string path = nextScreenshotName(driver.outputFolder, desktop.shotNumber);
        std::string error;
        if (saveViewportPng(path, error)) {
            desktop.notice = "saved " + path;
            std::fprintf(stderr, "quorvel: saved %s\n", path.c_str());
        } else {
            desktop.notice = "screenshot failed: " + error;
            std::fprintf(stderr, "quorvel: cannot save %s: %s\n", path.c_str(), error.c_str());
        }
        desktop.noticeUntil = now + kNoticeMs;
    }
}

ViewRect letterbox(int width, int height) {
    if (width <= 0 || height <= 0) return {0, 0, 0, 0};
    // 64-bit products: a window side can be anything the system reports.
    if (int64_t(width) * 3 > int64_t(height) * 4) {
        const int w = int(int64_t(height) * 4 / 3);
        return {(width - w) / 2, 0, w, height};
    }
    const int h = int(int64_t(width) * 3 / 4);
    return {0, (height - h) / 2, width, h};
}

void fitViewport(int width, int height) {
    const ViewRect r = letterbox(width, height);
    if (r.width > 0 && r.height > 0) glViewport(r.x, r.y, r.width, r.height);
}
