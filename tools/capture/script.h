// Capture scripts: the text format quorvel-capture reads its input from (docs/capture.md), and
// the key names it accepts. One event per line, stamped with the frame that sees it.
#pragma once

#include <cstdint>
#include <string>

#include "ll/platform_offscreen.h"

// DIK code for a key name ("W", "ESCAPE", "DIK_UP", "space"; any case) or number ("17", "0x11");
// 0 when the name is unknown or the number is outside 1..255.
uint8_t dikFromName(const std::string& name);

// Parses a whole script. False with "line N: reason" in `error` at the first bad line.
bool parseCaptureScript(const std::string& text, OffscreenScript& out, std::string& error);
// Reads and parses a script file.
bool loadCaptureScript(const std::string& path, OffscreenScript& out, std::string& error);

// The frame after the script's last event: how many frames a run needs to see all of it.
uint32_t scriptLength(const OffscreenScript& script);
