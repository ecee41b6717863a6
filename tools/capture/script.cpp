// Capture script parsing.
#include "tools/capture/script.h"

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// A whole-token integer; false on anything else, overflow included.
bool parseInt(const std::string& token, long long& value) {
    if (token.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(token.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0';
}

// A whole-token finite number (the recordings write floats with 9 significant digits, which
// strtof reads back to the very same float).
bool parseFloat(const std::string& token, float& value) {
    if (token.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtof(token.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

// `count` numbers after the keyword; false when there are not exactly that many.
bool parseFloats(const std::vector<std::string>& words, float* out, size_t count) {
    if (words.size() != count + 1) return false;
    for (size_t i = 0; i < count; ++i)
        if (!parseFloat(words[i + 1], out[i])) return false;
    return true;
}

} // namespace

bool parseCaptureScript(const std::string& text, OffscreenScript& out, std::string& error) {
    OffscreenScript script;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        if (words.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        long long value = 0;
        if (words[0] == "step") {
            if (words.size() != 2 || !parseInt(words[1], value) || value < 0 || value > 60000)
                return fail("step takes one number of milliseconds, 0 to 60000");
            script.stepMs = uint32_t(value);
            continue;
        }
        FlightStart& start = script.start;
        if (words[0] == "camera") {
            float v[6];
            if (!parseFloats(words, v, 6)) return fail("camera takes a position x y z and angles pitch yaw roll");
            std::copy(v, v + 3, start.position);
            std::copy(v + 3, v + 6, start.angles);
            start.cameraGiven = true;
            continue;
        }
        if (words[0] == "velocity") {
            if (!parseFloats(words, start.velocity, 3)) return fail("velocity takes x y z");
            start.velocityGiven = true;
            continue;
        }
        if (words[0] == "spinner") {
            if (!parseFloats(words, start.spinner, 2)) return fail("spinner takes a height and a yaw");
            start.spinnerGiven = true;
            continue;
        }
        if (words[0] == "cursor") {
            long long x = 0, y = 0;
            if (words.size() != 3 || !parseInt(words[1], x) || !parseInt(words[2], y) || x < -32768 || x > 32767 ||
                y < -32768 || y > 32767)
                return fail("cursor takes two pixel offsets from the window's centre, -32768 to 32767");
            start.cursor[0] = int32_t(x);
            start.cursor[1] = int32_t(y);
            start.cursorGiven = true;
            continue;
        }
        if (words[0] == "mouse") {
            long long h = 0, v = 0;
            if (words.size() != 3 || !parseInt(words[1], h) || !parseInt(words[2], v) || h < INT32_MIN ||
                h > INT32_MAX || v < INT32_MIN || v > INT32_MAX)
                return fail("mouse at the start takes the two smoothing accumulators");
            start.mouse[0] = int32_t(h);
            start.mouse[1] = int32_t(v);
            start.mouseGiven = true;
            continue;
        }
        if (!parseInt(words[0], value) || value < 0 || value > 100000000)
            return fail("expected a frame number or step, camera, velocity, mouse, spinner or cursor, got \"" +
                        words[0] + "\"");
        OffscreenEvent e{uint32_t(value), OffscreenEventKind::quit, 0, 0, 0, PlatAnalog{}};
        if (words.size() < 2) return fail("a frame number needs an event");
        const std::string& verb = words[1];
        if (verb == "step") {
            long long ms = 0;
            if (words.size() != 3 || !parseInt(words[2], ms) || ms < 0 || ms > UINT32_MAX)
                return fail("a frame's step takes one number of milliseconds");
            script.steps.push_back({e.frame, uint32_t(ms)});
        } else if (verb == "down" || verb == "up" || verb == "press") {
            if (words.size() != 3 && !(verb == "press" && words.size() == 4))
                return fail(verb + " takes one key" + (verb == "press" ? " and optionally a frame count" : ""));
            e.key = dikFromName(words[2]);
            if (!e.key) return fail("unknown key \"" + words[2] + "\"");
            e.kind = verb == "up" ? OffscreenEventKind::keyUp : OffscreenEventKind::keyDown;
            script.events.push_back(e);
            if (verb == "press") {
                long long frames = 1;
                if (words.size() == 4 && (!parseInt(words[3], frames) || frames < 1 || frames > 100000000))
                    return fail("press lasts a positive number of frames");
                e.kind = OffscreenEventKind::keyUp;
                e.frame += uint32_t(frames);
                script.events.push_back(e);
            }
        } else if (verb == "mouse") {
            long long dx = 0, dy = 0;
            if (words.size() != 4 || !parseInt(words[2], dx) || !parseInt(words[3], dy) || dx < -32768 ||
                dx > 32767 || dy < -32768 || dy > 32767)
                return fail("mouse takes two pixel offsets, -32768 to 32767");
            e.kind = OffscreenEventKind::mouse;
            e.dx = int32_t(dx);
            e.dy = int32_t(dy);
            script.events.push_back(e);
        } else if (verb == "analog") {
            // The touch stick's or pad's axes, held from this frame until the next analog line.
            float a[5];
            const std::vector<std::string> numbers(words.begin() + 1, words.end());
            if (!parseFloats(numbers, a, 5) || std::any_of(a, a + 5, [](float v) { return v < -1 || v > 1; }))
                return fail("analog takes five axes from -1 to 1: move x, move y, look x, look y, up-down");
            e.kind = OffscreenEventKind::analog;
            e.axes = PlatAnalog{a[0], a[1], a[2], a[3], a[4]};
            script.events.push_back(e);
        } else if (verb == "close" || verb == "quit") {
            if (words.size() != 2) return fail(verb + " takes nothing after it");
            e.kind = verb == "close" ? OffscreenEventKind::close : OffscreenEventKind::quit;
            script.events.push_back(e);
        } else {
            return fail("unknown event \"" + verb + "\"");
        }
    }
    out = script;
    return true;
}

bool loadCaptureScript(const std::string& path, OffscreenScript& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open \"" + path + "\"";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!parseCaptureScript(text.str(), out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

uint32_t scriptLength(const OffscreenScript& script) {
    uint32_t length = 0;
    for (const OffscreenEvent& e : script.events) length = std::max(length, e.frame + 1);
    for (const ScriptStep& s : script.steps) length = std::max(length, s.frame + 1);
    return length;
}
