// Frame-time statistics and their text and JSON forms.
#include "tools/capture/report.h"

#include <nlohmann/json.hpp>

#include "quorvel_version.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(std::ceil(p / 100.0 * double(values.size())));
    rank = std::clamp<size_t>(rank, 1, values.size());
    return values[rank - 1];
}

FrameStats frameStats(const std::vector<double>& times) {
    FrameStats s{};
    s.frames = uint32_t(times.size());
    double totalMs = 0;
    for (double t : times) totalMs += t;
    s.totalSeconds = totalMs / 1000.0;
    s.meanFps = s.totalSeconds > 0 ? s.frames / s.totalSeconds : 0;
    s.medianMs = percentile(times, 50);
    s.p95Ms = percentile(times, 95);
    s.p99Ms = percentile(times, 99);
    return s;
}

std::string timedemoText(const std::string& renderer, const FrameStats& s) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "renderer: %s\nframes: %u\ntotal: %.3f s\nmean FPS: %.1f\n"
                  "frame time: median %.2f ms, p95 %.2f ms, p99 %.2f ms\n",
                  renderer.c_str(), s.frames, s.totalSeconds, s.meanFps, s.medianMs, s.p95Ms, s.p99Ms);
    return buf;
}

std::string timedemoJson(const std::string& renderer, const FrameStats& s, const std::vector<double>& times,
                         const std::vector<FrameSample>& samples, int indent) {
    nlohmann::json j;
    j["renderer"] = renderer;
    j["version"] = QV_VERSION;
    j["frames"] = s.frames;
    j["totalSeconds"] = s.totalSeconds;
    j["meanFps"] = s.meanFps;
    j["medianMs"] = s.medianMs;
    j["p95Ms"] = s.p95Ms;
    j["p99Ms"] = s.p99Ms;
    j["frameTimesMs"] = times;
    nlohmann::json drawn = nlohmann::json::array(), room = nlohmann::json::array(),
                   position = nlohmann::json::array(), angles = nlohmann::json::array();
    for (const FrameSample& f : samples) {
        drawn.push_back(f.roomsDrawn);
        room.push_back(f.cameraRoom);
        position.push_back({f.cameraPosition[0], f.cameraPosition[1], f.cameraPosition[2]});
        angles.push_back({f.cameraAngles[0], f.cameraAngles[1], f.cameraAngles[2]});
    }
    j["roomsDrawn"] = drawn;
    j["cameraRoom"] = room;
    j["cameraPosition"] = position;
    j["cameraAngles"] = angles;
    return j.dump(indent) + "\n";
}
