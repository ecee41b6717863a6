// The private X server, the Wine run of quorvel.exe and the picture helpers of the Wine
// end-to-end tests.
#include "tests/wine/wine_harness.h"

// Xlib defines macros (None, Bool, Status) that GoogleTest's headers must not see: this file
// includes no GoogleTest.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/capture/close_request.h"

#ifndef QV_SOURCE_DIR
#error "QV_SOURCE_DIR must name the source tree (for scripts/wine-run.sh)"
#endif
#ifndef QV_WINE_QUORVEL
#error "QV_WINE_QUORVEL must name the cross-built quorvel.exe"
#endif
#ifndef QV_WINE_PREFIX
#error "QV_WINE_PREFIX must name the Wine prefix folder"
#endif

namespace wine {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int sh(const std::string& command) { return std::system(("timeout 20 " + command + " >/dev/null 2>&1").c_str()); }

bool waitFor(int ms, const std::function<bool()>& done) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

namespace {

// Windows come and go while the tests walk the tree; a request on one that has just gone is
// answered with an error, which must not end the test program (Xlib's default handler exits).
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

PrivateX::PrivateX(int width, int height) {
    XSetErrorHandler(ignoreXErrors);
    for (int n = 160; n < 220 && !display_; ++n) {
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
        if (access(lock.c_str(), F_OK) == 0 || access(sock.c_str(), F_OK) == 0) continue;
        name_ = ":" + std::to_string(n);
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        pid_ = fork();
        if (pid_ == 0) {
            // Should the test program die without cleaning up, its X server goes with it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, 1);
                dup2(null, 2);
            }
            execlp("Xvfb", "Xvfb", name_.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        waitFor(10000, [&] {
            display_ = XOpenDisplay(name_.c_str());
            if (display_) return true;
            // Another server took the number first: this one has ended; try the next number.
            return waitpid(pid_, nullptr, WNOHANG) == pid_;
        });
        if (!display_ && pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
}

PrivateX::~PrivateX() {
    if (display_) XCloseDisplay(display_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

WineProgram::WineProgram(const std::string& dir, const PrivateX& x) : dir_(dir), x_(x) {}

WineProgram::~WineProgram() {
    // The prefix's wineserver ends every Windows process still running in it, then the runner.
    sh(std::string("env WINEPREFIX=") + QV_WINE_PREFIX + " wineserver -k");
    if (pid_ > 0) {
        if (waitExit(5000) == -1 && pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
}

void WineProgram::start(const std::string& argument, const std::string& exe) {
    const std::string program = exe.empty() ? std::string(QV_WINE_QUORVEL) : exe;
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(120);
        const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) {
            dup2(err, 2);
            dup2(err, 1);
        }
        setenv("DISPLAY", x_.name().c_str(), 1);
        setenv("QUORVEL_TRACE", (dir_ + "/trace.txt").c_str(), 1);
        const std::string runner = std::string(QV_SOURCE_DIR) + "/scripts/wine-run.sh";
        if (argument.empty())
            execl(runner.c_str(), "wine-run.sh", QV_WINE_PREFIX, program.c_str(), static_cast<char*>(nullptr));
        else
            execl(runner.c_str(), "wine-run.sh", QV_WINE_PREFIX, program.c_str(), argument.c_str(),
                  static_cast<char*>(nullptr));
        _exit(121);
    }
}

int WineProgram::waitExit(int ms) {
    int code = -1;
    waitFor(ms, [&] {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return false;
        pid_ = -1;
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    });
    return code;
}

bool WineProgram::running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

bool WineProgram::waitForTrace(const std::string& text, int ms) {
    return waitFor(ms, [&] { return trace().find(text) != std::string::npos; });
}

namespace {

unsigned long findMapped(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool same = title == name;
        XFree(name);
        XWindowAttributes a;
        if (same && XGetWindowAttributes(display, window, &a) && a.map_state == IsViewable) return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = findMapped(display, children[i], title);
    if (children) XFree(children);
    return found;
}

} // namespace

unsigned long WineProgram::waitForWindow(const std::string& title, int ms) {
    unsigned long window = 0;
    waitFor(ms, [&] {
        window = findMapped(x_.display(), DefaultRootWindow(x_.display()), title);
        return window != 0;
    });
    return window;
}

int WineProgram::x(const std::string& command) const { return sh("env DISPLAY=" + x_.name() + " " + command); }

void WineProgram::requestClose(unsigned long window) const { sendCloseRequest(x_.display(), window); }

bool WineProgram::geometry(unsigned long window, int& x, int& y, int& width, int& height) const {
    XWindowAttributes a;
    Window child = 0;
    if (!XGetWindowAttributes(x_.display(), window, &a)) return false;
    if (!XTranslateCoordinates(x_.display(), window, a.root, 0, 0, &x, &y, &child)) return false;
    width = a.width;
    height = a.height;
    return true;
}

bool WineProgram::dismissBox(const std::string& title, int ms) {
    return waitFor(ms, [&] {
        const unsigned long box = findMapped(x_.display(), DefaultRootWindow(x_.display()), title);
        if (!box) return true;
        // The box takes keys once it has the focus; a person would press Return.
        x("xdotool windowfocus " + std::to_string(box));
        x("xdotool key Return");
        return false;
    });
}

Image crop(const Image& image, int x, int y, int w, int h) {
    Image out;
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > image.width || y + h > image.height || image.alpha) return out;
    out.width = w;
    out.height = h;
    out.pixels.resize(size_t(w) * h * 3);
    for (int row = 0; row < h; ++row) {
        // Bottom-up in both: output row r (from the bottom) is source row y + h - 1 - r from the top.
        const int top = y + h - 1 - row;
        const size_t from = (size_t(image.height - 1 - top) * image.width + x) * 3;
        std::copy_n(image.pixels.begin() + long(from), size_t(w) * 3, out.pixels.begin() + long(size_t(row) * w * 3));
    }
    return out;
}

} // namespace wine
