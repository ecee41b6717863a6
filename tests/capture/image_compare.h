// Picture comparison for the capture tests: per-channel differences with a tolerance, and a
// difference image that shows where pictures disagree.
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
