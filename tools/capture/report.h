// The timedemo report: frame-time statistics, the text summary and the JSON file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
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

// What the GL 1.1 layer counted over a run drawn through it: totals since the start, the frames
// it saw end, and the batches' ends and the ES calls by name.
struct LayerCounts {
    uint64_t frames, draws, esCalls, bufferUploads, bytesUploaded, uniformCalls;
    std::vector<std::pair<std::string, uint64_t>> batchEnds;  // reason, count
    std::vector<std::pair<std::string, uint64_t>> esCallsByName;
    // each frame's own counts (the first frame's include the start: programs, textures)
    std::vector<uint64_t> esCallsPerFrame, drawsPerFrame, bytesPerFrame;
};

// The summary plus per-frame times (ms) and the per-frame samples, as JSON (arrays `roomsDrawn`,
// `cameraRoom`, `cameraPosition` and `cameraAngles`, one entry per frame). `indent` as
// nlohmann::json::dump takes it: -1 gives one line. With `layer`, an object `glcompat` holds its
// totals and the same per frame (`perFrame`: totals over frames), and arrays of each frame's ES
// calls, draws and bytes.
std::string timedemoJson(const std::string& renderer, const FrameStats& stats,
                         const std::vector<double>& frameTimesMs, const std::vector<FrameSample>& samples,
                         int indent = 1, const LayerCounts* layer = nullptr);
// The layer's line of the text summary: its counts a frame.
std::string layerText(const LayerCounts& layer);
