// The demo driver: start-up, the frame loop and shutdown, in the order the subsystems need.
#include "app/driver.h"

#include <GL/gl.h>

#include <cstdlib>

#include "app/desktop.h"
#include "app/flight_record.h"
#include "app/overlay.h"
#include "app/world_watch.h"
#include "ll/ll.h"
#include "render/gl_setup.h"
#include "render/renderer.h"
#include "scene/entity.h"
#include "render/texture_upload.h"
#include "world/world_file.h"

namespace {

DriverState driver = {};

} // namespace

DriverState& driverState() { return driver; }

void resetDriver() {
    if (driver.log) std::fclose(driver.log);
    driver = DriverState{};
    resetFlightRecorder();
}

std::string outputPath(const char* name) {
    return driver.outputFolder.empty() ? std::string(name) : driver.outputFolder + "/" + name;
}

void fatalError(int code, const char* message) {
    // The message box operation also writes "caption: text" to stderr, so a user without a display
    // or in a terminal reads the reason even when no box can be shown.
    platMessageBox(nullptr, message, kFatalCaption, MB_OK);
    if (driver.exitHandler) driver.exitHandler(code);
    std::exit(code);
}

void startDemo() {
    driver.log = std::fopen(outputPath(kFpsLogFile).c_str(), "w"); // the demo runs on without a log if this fails

    const uint8_t flags = driver.fullscreen ? uint8_t(kWindowFlags | kLLFullscreen) : kWindowFlags;
    if (initLL(kWindowTitle, flags, 0, 0, kWindowWidth, kWindowHeight) != 0) fatalError(1, "Could not initialize LL!");
    anchorCursorLL(0, 0);
    showCursorLL(0);

    setupProjection();
    setupFixedState();

    driver.world = loadWorld(kWorldFile);
    if (!driver.world) {
        std::fprintf(stderr, "quorvel: %s: %s\n", kWorldFile, worldLoadError());
        closeLL();
        fatalError(1, "Could not load world!");
    }
    // The spinner is whatever heads room 0's list now; a world without one simply has no spinner.
    driver.spinner = driver.world->roomCount > 0 ? driver.world->rooms[0]->entities : nullptr;

    if (!loadTextureList(kTextureListFile, driver.world)) {
        std::fprintf(stderr, "quorvel: %s: %s\n", kTextureListFile, textureLoadError());
        freeWorld(driver.world);
        driver.world = nullptr;
        closeLL();
        fatalError(1, "Could not load textures!");
    }

    // At the origin looking down -z, never drawn, rotation built on first use.
    driver.camera = Entity{};
    driver.camera.flags = kEntityHidden;
    driver.camera.dirty = 0xFF;
    applyFlightStart(driver, driver.start);

    driver.last = timeLL();
    if (driver.watch) startWorldWatch();
}

bool demoFrame() {
    if (updateLL(1) == kLLQuit) return false;
    const uint8_t* keys = keysLL();
    if (keyHeld(keys, kKeyEscape)) return false;
    int32_t width = 0, height = 0;
    if (windowResizedLL(&width, &height)) fitViewport(width, height);
    desktopKeys(keys);

    // Without --watch and F6 the frame asks nothing more of LL than it always did.
    if (driver.watch || desktopState().reloadWanted) {
        const uint32_t before = timeLL();
        if (worldWatchFrame(before, desktopState().reloadWanted)) {
            // The camera flies on from where it was: the reload's own time is not flight time.
            driver.last += timeLL() - before;
        }
    }

    const uint32_t now = timeLL();
    driver.dt = now - driver.last;
    driver.last = now;

    driver.fpsTime += driver.dt;
    driver.fpsFrames += 1;
    if (driver.fpsTime > 1000) {
        if (driver.log) {
            std::fprintf(driver.log, "FPS: %d\n", driver.fpsFrames);
            std::fflush(driver.log); // a line per second: cheap, and readable while the demo runs
        }
        driver.lastFps = driver.fpsFrames;
        driver.fpsLogged = true;
        driver.fpsTime -= 1000;
        driver.fpsFrames = 0;
    }

    const PlatAnalog& pad = analogLL();
    const AnalogAxes analog = {pad.moveX, pad.moveY, pad.lookX, pad.lookY, pad.upDown};
    // F7: the recording reads what the controls are about to read, and changes none of it.
    recordFlightFrame(driver, keys, mouseXLL(), mouseYLL(), analog, now);
    applyControls(keys, mouseXLL(), mouseYLL(), driver.dt, &driver.camera, driver.spinner, driver.mouse, analog);
    moveEntity(&driver.camera, float(driver.dt) / 1000.0f, 0, driver.world);

    drawWorldFrame(&driver.camera, driver.world);
    desktopAfterFrame(driver, now);

    swapLL();
    return true;
}

void stopDemo() {
    if (flightRecorder().file) endFlightRecording(driver, timeLL());
    stopWorldWatch();
    // The camera leaves its room's list before the world that holds the list goes away.
    unlinkEntity(&driver.camera);
    driver.camera.room = nullptr;
    freeTextures(driver.world->textureCount, driver.world->textures);
    driver.world->textures = nullptr;
    driver.world->textureCount = 0;
    freeWorld(driver.world);
    driver.world = nullptr;
    driver.spinner = nullptr;
    resetOverlay(); // its font's display lists go with the context
    closeLL();
}

int demoMain() {
    startDemo();
    while (demoFrame()) {
    }
    stopDemo();
    return 0;
}
