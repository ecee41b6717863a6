// The options of the page's program (quorvel.js), which the page makes from its URL: the world
// folder, a scripted flight and its length, the timedemo, and frames to keep for reading back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* kWebDemoDir = "/demo";                 // the packed demo world
constexpr const char* kWebFlight = "/demo/flight.txt";       // the demo's flight, for the timedemo

struct WebOptions {
    std::string dir = kWebDemoDir; // where demo.kbw, demo.ktl and the textures are
    std::string script;            // a capture script to fly; empty: the page's keys and mouse
    uint32_t frames = 0;           // stop after this many frames; 0: the script's length, or never
    bool timedemo = false;         // fly the demo's flight as fast as the browser allows and report
    std::vector<uint32_t> shots;   // frames whose pixels are kept for the page to read
};

// Parses `--dir DIR`, `--script FILE`, `--frames N` (1 to 100000000), `--timedemo` and
// `--shots N,N,...`. False with a reason for anything else. The timedemo flies the demo's flight
// unless a script is given.
bool parseWebOptions(const std::vector<std::string>& args, WebOptions& out, std::string& error);
