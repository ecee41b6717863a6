// Keys by their DirectInput names (DIK_ without the prefix: "W", "ESCAPE", "LEFT", "F7"), the way
// capture scripts and flight recordings write them.
#pragma once

#include <cstdint>
#include <string>

// DIK code for a key name ("W", "ESCAPE", "DIK_UP", "space"; any case) or number ("17", "0x11");
// 0 when the name is unknown or the number is outside 1..255. A single digit is that digit's key.
uint8_t dikFromName(const std::string& name);
// The name of a DIK code as dikFromName reads it; null for a code without one.
const char* dikKeyName(uint8_t code);
