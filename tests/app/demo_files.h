// A small, complete demo world for the driver and end-to-end tests: "demo.kbw", "demo.ktl" and
// the one image it names, written into a folder. Room 0 holds the origin and a lit red box (the
// spinner) straight ahead of the camera's start, in front of a grey textured back wall.
#pragma once

#include <string>

// What can differ between versions of the test world, for the tests that reload it.
struct TestDemoOptions {
    float light[3] = {0.9f, 0.9f, 0.85f};  // room 0's light 0, diffuse
    float shiftX = 0;                       // the room and all in it moved along x
};

// Writes the three files into `dir` (which must exist). False with a reason on I/O failure.
bool writeTestDemo(const std::string& dir, std::string& error, const TestDemoOptions& options = {});
// Writes only "demo.kbw" (the world), for tests that want the texture list missing.
bool writeTestWorldOnly(const std::string& dir, std::string& error, const TestDemoOptions& options = {});
