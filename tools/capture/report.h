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
// What one frame showed: how many rooms were drawn, and where the camera stood (the index of its
// room, -1 outside every room) — enough to check that a flight goes where it means to.
struct FrameSample {
    uint32_t roomsDrawn;
    int32_t cameraRoom;
    float cameraPosition[3];
    float cameraAngles[3]; // pitch, yaw, roll in degrees
};

// The summary plus per-frame times (ms) and the per-frame samples, as JSON (arrays `roomsDrawn`,
// `cameraRoom`, `cameraPosition` and `cameraAngles`, one entry per frame). `indent` as
// nlohmann::json::dump takes it: -1 gives one line.
std::string timedemoJson(const std::string& renderer, const FrameStats& stats,
                         const std::vector<double>& frameTimesMs, const std::vector<FrameSample>& samples,
                         int indent = 1);
