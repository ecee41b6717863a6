// F7's flight recordings: free names, the recording's lines, and the start state a replay applies.
#include "app/flight_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/desktop.h"
#include "ll/key_names.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

FlightRecorder recorder{};

// Nine significant digits: enough for strtof to read back the very same float.
std::string number(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", double(v));
    return buf;
}

std::string numbers(const float* v, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? " " : "") + number(v[i]);
    return text;
}

std::string keyName(uint8_t code) {
    if (const char* name = dikKeyName(code)) return name;
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", code); // a scan code: two or more characters
    return buf;
}

void notify(const std::string& text, uint32_t now) {
    desktopState().notice = text;
    desktopState().noticeUntil = now + kNoticeMs;
}

void startRecording(const DriverState& driver, uint32_t now) {
    // Beside the screenshots: the world folder, or the state folder of an installed program.
    const std::string path = nextFlightName(driver.outputFolder, recorder.nextNumber);
    // Claimed with O_EXCL: two programs in one folder never write the same file.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0644);
    FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        const std::string why = std::strerror(errno);
        if (fd >= 0) close(fd);
        notify("recording failed: " + why, now);
        std::fprintf(stderr, "quorvel: cannot record into %s: %s\n", path.c_str(), why.c_str());
        return;
    }
    recorder.file = file;
    recorder.path = path;
    recorder.frames = 0;
    recorder.stepMs = 0;
    std::memset(recorder.keys, 0, sizeof recorder.keys);
    recorder.analog = AnalogAxes{};
    std::fprintf(file, "# A flight recorded with F7. Replay: quorvel-capture --script %s\n%s", path.c_str(),
                 flightStartLines(driver).c_str());
    std::fflush(file);
    notify("recording " + path, now);
    std::fprintf(stderr, "quorvel: recording %s\n", path.c_str());
}

} // namespace

FlightRecorder& flightRecorder() { return recorder; }

void resetFlightRecorder() {
    if (recorder.file) std::fclose(recorder.file);
    recorder = FlightRecorder{};
}

std::string nextFlightName(const std::string& folder, int& start) {
    if (start < 1) start = 1;
    for (;; ++start) {
        char name[32];
        std::snprintf(name, sizeof name, "flight-%04d.txt", start);
        const std::string path = folder.empty() ? name : folder + "/" + name;
        if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) {
            ++start;
            return path;
        }
    }
}

std::string flightStartLines(const DriverState& driver) {
    const Entity& c = driver.camera;
    const float camera[6] = {c.position.x, c.position.y, c.position.z, c.angles.x, c.angles.y, c.angles.z};
    const float velocity[3] = {c.velocity.x, c.velocity.y, c.velocity.z};
    std::string text = "camera " + numbers(camera, 6) + "\nvelocity " + numbers(velocity, 3) + "\nmouse " +
                       std::to_string(driver.mouse.horizontal) + " " + std::to_string(driver.mouse.vertical) + "\n";
    if (const Entity* s = driver.spinner) {
        const float spinner[2] = {s->position.y, s->angles.y};
        text += "spinner " + numbers(spinner, 2) + "\n";
    }
    // The controls read the pointer's offset from the centre, where the program keeps it: a replay
    // starts it there, so that the first motion reads as recorded.
    return text + "cursor 0 0\n";
}

std::string flightEndLine(const Entity& camera) {
    const float position[3] = {camera.position.x, camera.position.y, camera.position.z};
    const float angles[3] = {camera.angles.x, camera.angles.y, camera.angles.z};
    return "# end: camera " + numbers(position, 3) + " angles " + numbers(angles, 3) + "\n";
}

std::string flightFrameLines(uint32_t frame, const uint8_t* keys, uint8_t* previous, int16_t mouseX,
                             int16_t mouseY, uint32_t dtMs, uint32_t& stepMs, const AnalogAxes& analog,
                             AnalogAxes& previousAnalog) {
    const std::string at = std::to_string(frame) + " ";
    std::string text;
    if (frame == 0 || dtMs != stepMs) text += at + "step " + std::to_string(dtMs) + "\n";
    stepMs = dtMs;
    for (int k = 1; k < 256; ++k) {
        if (k == kKeyF7) continue; // a replay must not record itself
        const uint8_t down = keys[k] & 0x80;
        if (down == previous[k]) continue;
        previous[k] = down;
        text += at + (down ? "down " : "up ") + keyName(uint8_t(k)) + "\n";
    }
    if (mouseX || mouseY) text += at + "mouse " + std::to_string(mouseX) + " " + std::to_string(mouseY) + "\n";
    const float axes[5] = {analog.moveX, analog.moveY, analog.lookX, analog.lookY, analog.upDown};
    const float before[5] = {previousAnalog.moveX, previousAnalog.moveY, previousAnalog.lookX, previousAnalog.lookY,
                             previousAnalog.upDown};
    if (std::memcmp(axes, before, sizeof axes) != 0) text += at + "analog " + numbers(axes, 5) + "\n";
    previousAnalog = analog;
    return text;
}

void recordFlightFrame(const DriverState& driver, const uint8_t* keys, int16_t mouseX, int16_t mouseY,
                       const AnalogAxes& analog, uint32_t now) {
    const bool down = keyHeld(keys, kKeyF7);
    const bool pressed = down && !recorder.held;
    recorder.held = down;
    if (pressed && recorder.file) {
        // The flight ended with the frame before this one: the camera stands where it left it.
        endFlightRecording(driver, now);
        return;
    }
    if (pressed) startRecording(driver, now);
    if (!recorder.file) return;
    const std::string lines =
        flightFrameLines(recorder.frames, keys, recorder.keys, mouseX, mouseY, driver.dt, recorder.stepMs,
                         analog, recorder.analog);
    // Written as it goes: what was flown is on disk even if the program never gets to end it.
    if (!lines.empty()) {
        std::fputs(lines.c_str(), recorder.file);
        std::fflush(recorder.file);
    }
    recorder.frames += 1;
}

void endFlightRecording(const DriverState& driver, uint32_t now) {
    if (!recorder.file) return;
    // The quit ends a replay after the last recorded frame, where the last line says the camera is.
    std::fprintf(recorder.file, "%u quit\n%s", recorder.frames, flightEndLine(driver.camera).c_str());
    const bool written = std::ferror(recorder.file) == 0;
    const bool closed = std::fclose(recorder.file) == 0;
    recorder.file = nullptr;
    if (written && closed) {
        notify("saved " + recorder.path, now);
        std::fprintf(stderr, "quorvel: saved %s (%u frames)\n", recorder.path.c_str(), recorder.frames);
    } else {
        notify("recording failed: cannot write " + recorder.path, now);
        std::fprintf(stderr, "quorvel: cannot write %s\n", recorder.path.c_str());
    }
}

void applyFlightStart(DriverState& driver, const FlightStart& start) {
    Entity& camera = driver.camera;
    if (start.cameraGiven) {
        camera.position = {start.position[0], start.position[1], start.position[2]};
        camera.angles = {start.angles[0], start.angles[1], start.angles[2]};
        camera.dirty = 0xFF; // the rotation is built from the new angles on first use
    }
    if (start.velocityGiven) camera.velocity = {start.velocity[0], start.velocity[1], start.velocity[2]};
    if (start.mouseGiven) {
        driver.mouse.horizontal = start.mouse[0];
        driver.mouse.vertical = start.mouse[1];
    }
    if (start.spinnerGiven && driver.spinner) {
        driver.spinner->position.y = start.spinner[0];
        driver.spinner->angles.y = start.spinner[1];
        driver.spinner->dirty |= 0x07;
    }
}
