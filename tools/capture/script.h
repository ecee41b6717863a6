// Capture scripts: the text format quorvel-capture reads its input from (docs/capture.md). One
// event per line, stamped with the frame that sees it; F7's flight recordings are such scripts,
// with frame-stamped steps and the state the flight starts from.
#pragma once

#include <cstdint>
#include <string>

#include "ll/key_names.h"
#include "ll/scripted_input.h"

// Parses a whole script. False with "line N: reason" in `error` at the first bad line.
bool parseCaptureScript(const std::string& text, OffscreenScript& out, std::string& error);
// Reads and parses a script file.
bool loadCaptureScript(const std::string& path, OffscreenScript& out, std::string& error);

// The frame after the script's last event or step: how many frames a run needs to see all of it.
uint32_t scriptLength(const OffscreenScript& script);
