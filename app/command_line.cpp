// Parsing quorvel's command line.
#include "app/command_line.h"

bool parseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& error) {
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            line.help = true;
        } else if (!optionsEnded && arg == "--version") {
            line.version = true;
        } else if (!optionsEnded && arg == "--fullscreen") {
            line.fullscreen = true;
        } else if (!optionsEnded && arg == "--watch") {
            line.watch = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (!line.worldDir.empty()) {
            error = "only one world folder can be given (\"" + line.worldDir + "\" and \"" + arg + "\")";
            return false;
        } else if (arg.empty()) {
            error = "the world folder is an empty name";
            return false;
        } else {
            line.worldDir = arg;
        }
    }
    out = line;
    return true;
}

void printUsage(FILE* out) {
    std::fputs("usage: quorvel [WORLD_DIR] [--fullscreen] [--watch]\n"
               "  WORLD_DIR     run in this folder (it holds demo.kbw and demo.ktl; default: the\n"
               "                working folder)\n"
               "  --fullscreen  switch the display to 800x600 and fill it\n"
               "  --watch       reload the world when demo.kbw, demo.ktl or a texture changes\n"
               "  --help        print this and exit\n"
               "  --version     print the version and exit\n"
               "keys: F1 overlay, F2 portals, F3 shadow volumes, F4 stencil heat map,\n"
                "      F5 complete-depth shadows, F6 reload the world, F7 record a flight (again:\n"
                "      end and save it), F12 screenshot\n"
                "pad:  left stick moves, right stick looks, RT / LT up / down, B stops,\n"
                "      LB / RB raise / lower the ring, Back overlay (from its first button press)\n",
               out);
}
