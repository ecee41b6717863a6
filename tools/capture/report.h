// The timedemo report: frame-time statistics, the text summary and the JSON file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FrameStats {
    uint32_t frames;
    double totalSeconds;
    double meanFps;   // frames / totalSeconds; 0 when no time passed
    double medianMs;  // nearest-rank percentiles of the frame times
    double p95Ms;
    double p99Ms;
};

// Nearest-rank percentile (0 < p <= 100) of the values; 0 for no values.
double percentile(std::vector<double> values, double p);
FrameStats frameStats(const std::vector<double>& frameTimesMs);

// The summary printed by --timedemo, one item per line.
std::string timedemoText(const std::string& renderer, const FrameStats& stats);
// The summary plus per-frame times (ms) and rooms drawn per frame, as JSON.
std::string timedemoJson(const std::string& renderer, const FrameStats& stats,
                         const std::vector<double>& frameTimesMs, const std::vector<uint32_t>& roomsDrawn);
