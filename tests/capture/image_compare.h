// Picture comparison for the capture and end-to-end tests: per-channel differences with a
// tolerance, a difference image that shows where pictures disagree, and the coarse checks of a
// window's picture (changed, not blank).
#pragma once

#include <string>

#include "image/image_files.h"

struct ImageDiff {
    bool sameSize;
    long pixelsBeyond;  // pixels with any channel differing by more than the tolerance
    int maxDifference;  // largest channel difference
};

ImageDiff compareImages(const Image& actual, const Image& expected, int tolerance);
// |actual - expected| per channel, scaled x8 so small differences show; same size required.
Image differenceImage(const Image& actual, const Image& expected);

// Of RGB pictures: pixels that differ by more than a small amount, out of all (1 when the sizes
// differ or there are no pixels).
double differentFraction(const Image& a, const Image& b);
// Not blank: many changes of colour along the rows, and not mostly black.
bool showsAPicture(const Image& image);
