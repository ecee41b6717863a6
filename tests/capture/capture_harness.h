// Shared pieces of the quorvel-capture tests: running the tool as a process with llvmpipe pinned,
// reading what it wrote, and comparing a picture with a committed reference.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "image/image_files.h"

// Where the tests find the tool and the worlds, and where they write (set by CMake).
extern const std::string kExe;
extern const std::string kWorld;      // the small capture test world
extern const std::string kDemoWorld;  // the build's run folder with the demo world
extern const std::string kFlight;     // data/flight.txt
extern const std::string kSource;     // tests/capture
extern const std::string kOut;        // the tests' output folder

struct Outcome {
    int status;
    std::string err;
};

std::string slurp(const std::string& path);
// Runs quorvel-capture with `args`; stdout and stderr go to kOut/NAME.stdout and .stderr. With a
// `folder`, the tool is started in that folder.
Outcome capture(const std::string& name, const std::string& args, const std::string& folder = "");
// Writes a script into kOut and returns its path.
std::string script(const std::string& name, const std::string& text);
Image png(const std::string& path);
// A private copy of the demo world (demo.kbw, demo.ktl, textures/) in kOut/NAME, made afresh.
std::string copyDemoWorld(const std::string& name);
nlohmann::json report(const std::string& path);

// Expects the picture at actualPath to match the reference: same size, and at most 0.1% of the
// pixels with any channel more than 3 steps off. On a mismatch the expected picture and a
// difference picture are written beside the actual one (NAME-expected.png, NAME-difference.png
// for an actual NAME-actual.png).
void expectMatchesReference(const std::string& actualPath, const std::string& referencePath);
