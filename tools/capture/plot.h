// The timedemo's frame times as a picture: an SVG chart written directly as text, with one point
// a frame along the flight, the median and the 99th percentile marked, and beneath it the rooms
// drawn in each frame and the room the camera stood in. quorvel-capture --plot writes it and the
// page shows it under its figures.
#pragma once

#include <string>
#include <vector>

#include "tools/capture/report.h"

// The chart as a standalone SVG document. `samples` may be empty (then the rooms are left out).
std::string frameTimeSvg(const std::string& renderer, const FrameStats& stats,
                         const std::vector<double>& frameTimesMs, const std::vector<FrameSample>& samples);
// `text` with &, <, >, " and ' written as XML entities.
std::string xmlEscape(const std::string& text);
// The smallest 1, 2 or 5 times a power of ten at or above `value` (1 for anything up to 1).
double niceCeiling(double value);
