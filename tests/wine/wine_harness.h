// What the end-to-end tests of quorvel.exe under Wine share: a private Xvfb of a chosen size, one
// run of the Windows program in a folder of its own (through scripts/wine-run.sh, with the
// program's trace file asked for), waiting on the trace and on the window with deadlines, real
// key presses and pointer motion through xdotool, and picture comparisons.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

#include "image/image_files.h"
#include "tests/capture/image_compare.h"

using XDisplay = struct _XDisplay;

namespace wine {

using Clock = std::chrono::steady_clock;

std::string readFile(const std::string& path);
// Runs a shell command with a time limit, its output discarded; its exit status.
int sh(const std::string& command);
// Polls `done` every 20 ms until it holds or `ms` have passed; whether it held.
bool waitFor(int ms, const std::function<bool()>& done);

// An Xvfb on a free display number with one screen of width x height, stopped when destroyed.
class PrivateX {
public:
    PrivateX(int width, int height);
    ~PrivateX();
    bool ok() const { return display_ != nullptr; }
    XDisplay* display() const { return display_; }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    XDisplay* display_ = nullptr;
};

// One run of quorvel.exe under Wine in `dir`, on the X server `x`, with QUORVEL_TRACE set to
// dir/trace.txt and stderr kept in dir/stderr.txt. Destroying it ends the run and the prefix's
// wineserver.
class WineProgram {
public:
    WineProgram(const std::string& dir, const PrivateX& x);
    ~WineProgram();
    // Runs `exe` (default: the build's quorvel.exe) with at most one argument.
    void start(const std::string& argument = "", const std::string& exe = "");
    // The exit code, or -1 when it has not ended within `ms` (or ended by a signal).
    int waitExit(int ms);
    bool running();
    std::string trace() const { return readFile(dir_ + "/trace.txt"); }
    std::string stderrText() const { return readFile(dir_ + "/stderr.txt"); }
    // Waits until the trace holds `text`; whether it did within `ms`.
    bool waitForTrace(const std::string& text, int ms);
    // The window titled `title` once it exists and is mapped; 0 after `ms`.
    unsigned long waitForWindow(const std::string& title, int ms);
    // Runs xdotool (or any command) against this run's X server.
    int x(const std::string& command) const;
    // What a window manager sends when the close button is clicked: WM_DELETE_WINDOW.
    void requestClose(unsigned long window) const;
    // The window's position and size on the screen; false when it is gone.
    bool geometry(unsigned long window, int& x, int& y, int& width, int& height) const;
    // Presses Return in the box titled `title` until it is gone; whether it went within `ms`.
    bool dismissBox(const std::string& title, int ms);

private:
    std::string dir_;
    const PrivateX& x_;
    pid_t pid_ = -1;
};

// The w x h rectangle at (x, y) (top-left origin) of an image that holds its rows bottom-up.
Image crop(const Image& image, int x, int y, int w, int h);

} // namespace wine
