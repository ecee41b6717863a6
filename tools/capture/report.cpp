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

namespace {

double perFrame(uint64_t total, uint64_t frames) { return frames ? double(total) / double(frames) : 0.0; }

nlohmann::json layerJson(const LayerCounts& c) {
    nlohmann::json j, per, ends = nlohmann::json::object(), endsPer = nlohmann::json::object(),
                      calls = nlohmann::json::object();
    const std::pair<const char*, uint64_t> totals[] = {{"draws", c.draws}, {"esCalls", c.esCalls},
                                                        {"bufferUploads", c.bufferUploads},
                                                        {"bytesUploaded", c.bytesUploaded},
                                                        {"uniformCalls", c.uniformCalls}};
    j["frames"] = c.frames;
    for (const auto& t : totals) {
        j[t.first] = t.second;
        per[t.first] = perFrame(t.second, c.frames);
    }
    for (const auto& e : c.batchEnds) {
        ends[e.first] = e.second;
        endsPer[e.first] = perFrame(e.second, c.frames);
    }
    for (const auto& e : c.esCallsByName) calls[e.first] = e.second;
    j["perFrame"] = per;
    j["batchEnds"] = ends;
    j["batchEndsPerFrame"] = endsPer;
    j["esCallsByName"] = calls;
    j["esCallsEachFrame"] = c.esCallsPerFrame;
    j["drawsEachFrame"] = c.drawsPerFrame;
    j["bytesEachFrame"] = c.bytesPerFrame;
    return j;
}

}  // namespace

std::string layerText(const LayerCounts& c) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "glcompat a frame: %.1f draws, %.1f ES calls, %.1f buffer uploads, %.0f bytes uploaded, "
                  "%.1f uniform calls (%llu frames)\n",
                  perFrame(c.draws, c.frames), perFrame(c.esCalls, c.frames), perFrame(c.bufferUploads, c.frames),
                  perFrame(c.bytesUploaded, c.frames), perFrame(c.uniformCalls, c.frames),
                  (unsigned long long)c.frames);
    std::string text = buf;
    text += "glcompat batch ends a frame:";
    for (const auto& e : c.batchEnds) {
        if (!e.second) continue;
        std::snprintf(buf, sizeof buf, " %s %.1f", e.first.c_str(), perFrame(e.second, c.frames));
        text += buf;
    }
    text += "\n";
    // The first frame also starts the layer (programs, textures): the busiest after it.
    size_t busiest = 0;
    for (size_t i = 1; i < c.esCallsPerFrame.size(); ++i)
        if (busiest == 0 || c.esCallsPerFrame[i] > c.esCallsPerFrame[busiest]) busiest = i;
    if (busiest > 0) {
        std::snprintf(buf, sizeof buf, "glcompat busiest frame: %llu ES calls, %llu bytes (frame %zu)\n",
                      (unsigned long long)c.esCallsPerFrame[busiest], (unsigned long long)c.bytesPerFrame[busiest],
                      busiest);
        text += buf;
    }
    return text;
}

std::string timedemoJson(const std::string& renderer, const FrameStats& s, const std::vector<double>& times,
                         const std::vector<FrameSample>& samples, int indent, const LayerCounts* layer) {
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
    if (layer) j["glcompat"] = layerJson(*layer);
    return j.dump(indent) + "\n";
}
