// The frame-time chart as SVG text.
#include "tools/capture/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The chart's frame: the times above, the rooms strip beneath.
constexpr double kWidth = 960, kHeight = 440;
constexpr double kLeft = 64, kRight = 944;
constexpr double kTimesTop = 48, kTimesBottom = 308;
constexpr double kRoomsTop = 336, kRoomsBottom = 404;

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    char buf[512];
    std::snprintf(buf, sizeof buf, pattern, a, b, c, d);
    return buf;
}

// The x of frame i of n: the first at the left edge, the last at the right.
double frameX(size_t i, size_t n) { return n > 1 ? kLeft + (kRight - kLeft) * double(i) / double(n - 1) : kLeft; }

std::string line(double x1, double y1, double x2, double y2, const std::string& attributes) {
    return format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" ", x1, y1, x2, y2) + attributes + "/>\n";
}

std::string text(double x, double y, const std::string& attributes, const std::string& content) {
    return format("<text x=\"%.2f\" y=\"%.2f\" ", x, y) + attributes + ">" + xmlEscape(content) + "</text>\n";
}

// A marked level across the times: a dashed line with its name and value above one end (the
// median's at the left, the p99's at the right, so that two close levels keep their labels apart).
std::string level(const char* id, const char* name, double ms, double yMax, const char* colour, bool right) {
    const double y = kTimesBottom - (kTimesBottom - kTimesTop) * std::min(ms, yMax) / yMax;
    return "<g id=\"" + std::string(id) + "\">\n" +
           line(kLeft, y, kRight, y, std::string("stroke=\"") + colour + "\" stroke-dasharray=\"6 4\"") +
           text(right ? kRight - 4 : kLeft + 4, y - 4,
                std::string("text-anchor=\"") + (right ? "end" : "start") + "\" fill=\"" + colour + "\"",
                std::string(name) + format(" %.2f ms", ms)) +
           "</g>\n";
}

// Runs of frames in which the camera stood in one room, as coloured bands with the room's number.
std::string cameraRooms(const std::vector<FrameSample>& samples) {
    std::string out = "<g id=\"camera-rooms\">\n";
    const size_t n = samples.size();
    const double half = n > 1 ? (kRight - kLeft) / double(n - 1) / 2 : 0;
    for (size_t first = 0; first < n;) {
        size_t last = first;
        while (last + 1 < n && samples[last + 1].cameraRoom == samples[first].cameraRoom) ++last;
        const int room = samples[first].cameraRoom;
        const double x0 = std::max(kLeft, frameX(first, n) - half), x1 = std::min(kRight, frameX(last, n) + half);
        const std::string fill =
            room < 0 ? "#dddddd" : format("hsl(%.0f, 60%%, 80%%)", std::fmod(room * 67.0, 360.0));
        const std::string where = room < 0 ? "outside every room" : "room " + std::to_string(room);
        out += format("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" ", x0, kRoomsTop,
                      std::max(0.5, x1 - x0), kRoomsBottom - kRoomsTop) +
               "fill=\"" + fill + "\"><title>" +
               xmlEscape(where + ", frames " + std::to_string(first) + " to " + std::to_string(last)) +
               "</title></rect>\n";
        if (x1 - x0 >= 16 && room >= 0)
            out += text((x0 + x1) / 2, kRoomsTop + 14, "text-anchor=\"middle\" fill=\"#555\"", std::to_string(room));
        first = last + 1;
    }
    return out + "</g>\n";
}

// One point a frame, as a polyline.
std::string polyline(const char* id, const std::vector<double>& ys, const std::string& attributes) {
    std::string points;
    points.reserve(ys.size() * 14);
    for (size_t i = 0; i < ys.size(); ++i) points += format(i ? " %.2f,%.2f" : "%.2f,%.2f", frameX(i, ys.size()), ys[i]);
    return "<polyline id=\"" + std::string(id) + "\" fill=\"none\" " + attributes + " points=\"" + points + "\"/>\n";
}

} // namespace

std::string xmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            // Control characters other than tab, newline and return are not allowed in XML text.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += c;
        }
    }
    return out;
}

double niceCeiling(double value) {
    if (!(value > 1)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= value * (1 - 1e-12)) return step * power;
    return 10 * power;
}

std::string frameTimeSvg(const std::string& renderer, const FrameStats& stats, const std::vector<double>& times,
                         const std::vector<FrameSample>& samples) {
    const size_t n = times.size();
    const double yMax = niceCeiling(std::max(times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()),
                                             stats.p99Ms * 1.1));
    std::string svg = format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
                             "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"12\">\n",
                             kWidth, kHeight, kWidth, kHeight);
    svg += "<title>" + xmlEscape("Frame times of " + std::to_string(n) + " frames on " + renderer) + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += text(kLeft, 20, "font-size=\"14\" font-weight=\"bold\"",
                std::to_string(n) + " frames, " + format("%.1f FPS: median %.2f ms, p99 %.2f ms", stats.meanFps,
                                                          stats.medianMs, stats.p99Ms));
    svg += text(kLeft, 36, "fill=\"#555\"", renderer);

    // Axes and a grid of four steps up to yMax.
    svg += "<g id=\"axes\" stroke=\"#ccc\">\n";
    for (int i = 0; i <= 4; ++i) {
        const double y = kTimesBottom - (kTimesBottom - kTimesTop) * i / 4.0;
        svg += line(kLeft, y, kRight, y, "");
    }
    svg += "</g>\n<g id=\"labels\" fill=\"#555\">\n";
    for (int i = 0; i <= 4; ++i) {
        const double y = kTimesBottom - (kTimesBottom - kTimesTop) * i / 4.0;
        svg += text(kLeft - 6, y + 4, "text-anchor=\"end\"", format("%g ms", yMax * i / 4.0));
    }
    for (int i = 0; i <= 4 && n > 0; ++i) {
        const size_t frame = (n - 1) * size_t(i) / 4;
        const char* anchor = i == 0 ? "start" : i == 4 ? "end" : "middle"; // the ends stay inside the picture
        svg += text(frameX(frame, n), kTimesBottom + 16, std::string("text-anchor=\"") + anchor + "\"",
                    "frame " + std::to_string(frame));
    }
    svg += "</g>\n";

    std::vector<double> ys(n);
    for (size_t i = 0; i < n; ++i) ys[i] = kTimesBottom - (kTimesBottom - kTimesTop) * std::min(times[i], yMax) / yMax;
    svg += polyline("frame-times", ys, "stroke=\"#1f5fbf\" stroke-width=\"1\"");
    svg += level("median", "median", stats.medianMs, yMax, "#2a8a2a", false);
    svg += level("p99", "p99", stats.p99Ms, yMax, "#c03030", true);

    if (!samples.empty()) {
        svg += text(kLeft - 6, kRoomsTop + 14, "text-anchor=\"end\" fill=\"#555\"", "room");
        svg += cameraRooms(samples);
        uint32_t most = 1;
        for (const FrameSample& s : samples) most = std::max(most, s.roomsDrawn);
        std::vector<double> drawn(samples.size());
        for (size_t i = 0; i < samples.size(); ++i)
            drawn[i] = kRoomsBottom - (kRoomsBottom - kRoomsTop - 18) * samples[i].roomsDrawn / double(most);
        svg += polyline("rooms-drawn", drawn, "stroke=\"#333\" stroke-width=\"1\"");
        svg += text(kLeft, kRoomsBottom + 18, "fill=\"#555\"",
                    "beneath: the camera's room (bands) and the rooms drawn, 0 to " + std::to_string(most) +
                        " (line)");
    }
    return svg + "</svg>\n";
}
