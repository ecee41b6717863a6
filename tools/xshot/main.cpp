// quorvel-xshot: saves what an X server shows as a PNG — the whole screen, or one window found by
// its title. Used by scripts/run.sh to show what the demo drew under Xvfb.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "image/png_io.h"
#include "tools/xshot/xshot.h"

int main(int argc, char** argv) {
    std::string title, out;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--window") && i + 1 < argc) title = argv[++i];
        else if (out.empty() && argv[i][0] != '-') out = argv[i];
        else {
            out.clear(); // an unknown option or a second file name: show the usage
            break;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: quorvel-xshot [--window TITLE] OUT.png\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "quorvel-xshot: cannot open display \"%s\"\n", XDisplayName(nullptr));
        return 1;
    }
    unsigned long window = 0;
    if (!title.empty() && !(window = findWindowByName(display, title))) {
        std::fprintf(stderr, "quorvel-xshot: no window titled \"%s\"\n", title.c_str());
        XCloseDisplay(display);
        return 1;
    }
    Image image;
    std::string error;
    const bool ok = grabWindow(display, window, image, error) && writePng(out, image, error);
    XCloseDisplay(display);
    if (!ok) {
        std::fprintf(stderr, "quorvel-xshot: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
