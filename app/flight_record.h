// F7's flight recordings: the first press starts one, the next press ends it. A recording is a
// capture script (docs/capture.md) written as flight-0001.txt, flight-0002.txt, ... in the world
// folder, never over an existing file: the state the flight starts from (camera, velocity, mouse
// smoothing, spinner), then every frame's keys, mouse motion and time step as the controls read
// them, a quit after the last frame, and a last comment with the camera where the flight ended.
// Replayed by quorvel-capture --script (or the page's ?script=), it flies the same path. Recording
// reads the controls' input and changes nothing that they or the frame do.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/controls.h"
#include "app/driver.h"
#include "ll/scripted_input.h"

struct FlightRecorder {
    bool held;            // F7 in the previous frame: a start or an end takes a fresh press
    FILE* file;           // the recording being written; null when none is
    std::string path;
    int nextNumber;       // where the search for a free name starts
    uint32_t frames;      // frames recorded so far
    uint32_t stepMs;      // the step the recording wrote last
    uint8_t keys[256];    // the keys as the previous recorded frame saw them
    AnalogAxes analog;    // the touch stick's and pads' axes as the recording last wrote them
};
FlightRecorder& flightRecorder();
// Back to the zero state; a recording still open is closed as it stands.
void resetFlightRecorder();

// The first of flight-0001.txt, flight-0002.txt, ... (counting on from `start`) that does not
// exist in `folder` (empty: the working folder); `start` is moved past the name returned.
std::string nextFlightName(const std::string& folder, int& start);

// The lines that put a replay where the flight starts: camera, velocity, mouse, spinner.
std::string flightStartLines(const DriverState& driver);
// The last line of a recording: "# end: camera X Y Z angles PITCH YAW ROLL".
std::string flightEndLine(const Entity& camera);
// One recorded frame's lines: its step when it differs from the last written (always for frame 0),
// each key that went down or up since `previous` (F7 itself left out), the mouse motion, and the
// analog axes when they differ from `previousAnalog`. `previous` and `previousAnalog` are updated;
// `stepMs` holds the last written step.
std::string flightFrameLines(uint32_t frame, const uint8_t* keys, uint8_t* previous, int16_t mouseX,
                             int16_t mouseY, uint32_t dtMs, uint32_t& stepMs, const AnalogAxes& analog,
                             AnalogAxes& previousAnalog);

// Each frame, after its time is taken and before the controls run: F7 starts or ends a recording,
// and a frame of a recording in progress is written. `now` is the frame's timeLL(), for the notice.
void recordFlightFrame(const DriverState& driver, const uint8_t* keys, int16_t mouseX, int16_t mouseY,
                       const AnalogAxes& analog, uint32_t now);
// Ends a recording in progress with the camera as it stands (the program is ending, or F7).
void endFlightRecording(const DriverState& driver, uint32_t now);

// Puts the camera, its velocity, the mouse smoothing and the spinner where a recorded flight
// starts; what `start` does not give stays as it is.
void applyFlightStart(DriverState& driver, const FlightStart& start);
