// XGetImage-based screen and window capture.
#include "tools/xshot/xshot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

namespace {

unsigned long searchTree(Display* display, Window window, const std::string& name) {
    char* windowName = nullptr;
    if (XFetchName(display, window, &windowName) && windowName) {
        const bool match = name == windowName;
        XFree(windowName);
        if (match) return window;
    }
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = searchTree(display, children[i], name);
    if (children) XFree(children);
    return found;
}

// Position of the lowest set bit of a channel mask, and the channel's width in bits.
void maskShape(unsigned long mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
}

uint8_t channel(unsigned long pixel, int shift, int bits) {
    if (bits == 0) return 0;
    const unsigned long v = (pixel >> shift) & ((1ul << bits) - 1);
    return uint8_t(bits >= 8 ? v >> (bits - 8) : v * 255 / ((1ul << bits) - 1));
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

unsigned long findWindowByName(XDisplay* display, const std::string& name) {
    // Windows of other programs come and go while the tree is walked; one that vanishes between
    // listing and querying raises an X error, which must not end the caller.
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const unsigned long found = searchTree(display, DefaultRootWindow(display), name);
    XSync(display, False);
    XSetErrorHandler(previous);
    return found;
}

bool grabWindow(XDisplay* display, unsigned long window, Image& out, std::string& error) {
    if (!window) window = DefaultRootWindow(display);
    // A window that vanished between search and grab raises an X error: report it, not abort.
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    XWindowAttributes attributes;
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
        image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                          AllPlanes, ZPixmap);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!image) {
        error = "cannot read the window's pixels (not mapped, or gone)";
        return false;
    }
    int rs, rb, gs, gb, bs, bb;
    maskShape(image->red_mask, rs, rb);
    maskShape(image->green_mask, gs, gb);
    maskShape(image->blue_mask, bs, bb);
    out.width = image->width;
    out.height = image->height;
    out.alpha = false;
    out.pixels.assign(size_t(out.width) * size_t(out.height) * 3, 0);
    for (int y = 0; y < out.height; ++y) {
        uint8_t* row = &out.pixels[size_t(out.height - 1 - y) * size_t(out.width) * 3];
        for (int x = 0; x < out.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            row[3 * x] = channel(p, rs, rb);
            row[3 * x + 1] = channel(p, gs, gb);
            row[3 * x + 2] = channel(p, bs, bb);
        }
    }
    XDestroyImage(image);
    return true;
}
