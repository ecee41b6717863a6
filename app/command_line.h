// quorvel's optional command line: a world folder, --fullscreen, --watch, --help and --version. With none of them the
// program runs exactly as it always has, in the folder it was started in.
#pragma once

#include <cstdio>
#include <string>

struct CommandLine {
    std::string worldDir; // empty: the working folder
    bool fullscreen = false;
    bool watch = false;  // reload the world when its files change
    bool help = false;
    bool version = false;  // print the version and exit
};

// False with a reason for an unknown option or a second folder.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& error);
void printUsage(FILE* out);
