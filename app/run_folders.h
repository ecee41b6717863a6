// Where the program finds its world and writes its log. A build from source runs in the folder it
// is started in, or in WORLD_DIR, as it always has. An installed program (one with
// PREFIX/share/quorvel/demo.kbw beside its PREFIX/bin) that is started in a folder without
// demo.kbw and given no WORLD_DIR runs the installed demo world instead, and writes FPSlog.txt and
// its screenshots to $XDG_STATE_HOME/quorvel (by default ~/.local/state/quorvel), never into the
// folder it was started in.
#pragma once

#include <string>

// The folder that holds the running program; "" when it cannot be told. `argv0` is used only
// where the system cannot say (Windows).
std::string programFolder(const char* argv0);

// PROGRAM_FOLDER/../share/quorvel, tidied, when it holds demo.kbw; else "" (a build from source
// has no such folder beside build/app).
std::string installedDataFolder(const std::string& programFolder);

// $XDG_STATE_HOME/quorvel when XDG_STATE_HOME is an absolute path; else HOME/.local/state/quorvel;
// "" when neither is usable. Either argument may be null.
std::string stateFolder(const char* xdgStateHome, const char* home);

// Makes `path` and whichever of its parents are missing (new ones mode 0700, as state folders
// are private). False with the system's reason.
bool makeFolders(const std::string& path, std::string& error);

struct RunFolders {
    std::string worldFolder;   // "" : the working folder (or WORLD_DIR, which main enters itself)
    std::string outputFolder;  // "" : the world folder, as always
};

// What to run: `worldDirGiven` says the command line named a folder, `worldHere` that demo.kbw is
// in the working folder. The installed world is used only when neither holds and both
// `installedData` and `state` are known; its outputs then go to `state`. Otherwise nothing
// changes (and with no world the program says "Could not load world!" as always).
RunFolders chooseRunFolders(bool worldDirGiven, bool worldHere, const std::string& installedData,
                            const std::string& state);
