// The demo driver: start-up (log, window, projection and GL state, world, textures, camera,
// clock), the frame loop (input, timing, frame-rate log, controls, motion, drawing) and the
// ordered shutdown. The program's main() is demoMain().
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/controls.h"
#include "ll/ll.h"
#include "ll/scripted_input.h"
#include "world/world.h"

constexpr const char* kWindowTitle = "Quorvel -- By: Tavrin, Easter 2002";
constexpr uint8_t kWindowFlags = kLLDoubleBuffer | kLLDepth16 | kLLStencil8;  // windowed
// The client area, and with --fullscreen the display mode.
constexpr int32_t kWindowWidth = 800;
constexpr int32_t kWindowHeight = 600;
constexpr const char* kWorldFile = "demo.kbw";
constexpr const char* kTextureListFile = "demo.ktl";
constexpr const char* kFpsLogFile = "FPSlog.txt";
constexpr const char* kFatalCaption = "Orvane Error!";

// What fatalError does after the message box; the default ends the process with std::exit.
// Tests install one that throws, so that a fatal start-up path can be followed in-process.
using FatalExitHandler = void (*)(int code);

// Everything the driver owns for the run.
struct DriverState {
    FILE* log;              // "FPSlog.txt"; null when it could not be opened
    World* world;
    Entity* spinner;        // head of room 0's list at start-up; null when room 0 has none
    Entity camera;          // owned here, never by the world
    uint32_t last;          // timeLL() at the previous frame
    uint32_t dt;            // this frame's duration, milliseconds
    uint32_t fpsTime;       // milliseconds gathered towards the next log line
    int32_t fpsFrames;      // frames counted towards the next log line
    int32_t lastFps;        // the count of the latest log line (shown by the overlay)
    bool fpsLogged;         // lastFps holds a count
    bool fullscreen;        // open the window fullscreen (the command line's --fullscreen)
    bool watch;             // reload the world when its files change (the command line's --watch)
    FlightStart start;      // where a replayed recording starts (set before startDemo); none given: the origin
    MouseAccumulators mouse;
    FatalExitHandler exitHandler;
    // Where "FPSlog.txt" and the screenshots go; "" for the working folder, as always. The
    // installed program running its installed world sets the per-user state folder.
    std::string outputFolder;
};

DriverState& driverState();
// Back to the zero state; closes a log a test left open. Does not touch LL, GL or a world.
void resetDriver();
// `name` in the output folder (just `name` when that is the working folder).
std::string outputPath(const char* name);

// Shows `message` in a message box captioned "Orvane Error!" (and writes it to stderr, for a
// terminal or a machine without a display), then ends the process with exit code `code`.
[[noreturn]] void fatalError(int code, const char* message);

// Start-up in order; any failure ends in fatalError(1, ...), after the loader's reason on stderr.
void startDemo();
// One pass of the frame loop, the message pump included. False when the loop ends (WM_QUIT or
// Escape); the frame in which Escape is seen is neither timed nor drawn. A world reload (F6, or
// --watch seeing the files change) happens before the frame is timed, and the time it took is
// not counted as flight time.
bool demoFrame();
// Shutdown in order: a flight recording in progress, the file watch, camera out of its room,
// textures, world, LL.
void stopDemo();
// The whole program; returns the process exit code.
int demoMain();
