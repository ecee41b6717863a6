// The process entry of quorvel: the optional command line (a world folder, --fullscreen, --watch,
// --help, --version), then the driver does everything. Without arguments the program runs in the
// folder it was started in; an installed program started where there is no world runs the
// installed demo world (app/run_folders.h).
#include <unistd.h>
#ifndef _WIN32
#include <pwd.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/driver.h"
#include "app/overlay.h"
#include "app/run_folders.h"
#include "quorvel_version.h"
#ifdef _WIN32
#include "app/console_win32.h"
#endif

namespace {

std::string currentFolder() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

// The installed demo world when the program is installed and finds no world where it starts:
// the working folder becomes the installed world's, and the outputs go to the state folder.
void useInstalledWorld(const std::string& installedData) {
    const char* home = std::getenv("HOME");
#ifndef _WIN32
    if (!home || !*home) {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
#endif
    const RunFolders folders = chooseRunFolders(false, access(kWorldFile, F_OK) == 0, installedData,
                                                stateFolder(std::getenv("XDG_STATE_HOME"), home));
    if (folders.worldFolder.empty() || chdir(folders.worldFolder.c_str()) != 0) return;
    std::string error;
    if (!makeFolders(folders.outputFolder, error))
        std::fprintf(stderr, "quorvel: cannot make %s (%s): no FPSlog.txt or screenshots\n",
                     folders.outputFolder.c_str(), error.c_str());
    driverState().outputFolder = folders.outputFolder;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    useParentConsole();
#endif
    CommandLine line;
    std::string error;
    if (!parseCommandLine(argc, argv, line, error)) {
        std::fprintf(stderr, "quorvel: %s\n", error.c_str());
        printUsage(stderr);
        return 2;
    }
    if (line.help) {
        printUsage(stdout);
        return 0;
    }
    if (line.version) {
        std::printf("quorvel %s\n", QV_VERSION);
        return 0;
    }
    // The overlay's font: the world folder's own, else the one where the program was started, else
    // the build's run folder beside the program's folder.
    const std::string started = currentFolder();
    const std::string program = programFolder(argv[0]);
    setOverlayFontPaths({"font.kbf", started + "/font.kbf", program + "/../run/font.kbf"});
    if (!line.worldDir.empty() && chdir(line.worldDir.c_str()) != 0) {
        std::fprintf(stderr, "quorvel: cannot enter \"%s\": %s\n", line.worldDir.c_str(), std::strerror(errno));
        return 1;
    }
    if (line.worldDir.empty()) useInstalledWorld(installedDataFolder(program));
    driverState().fullscreen = line.fullscreen;
    driverState().watch = line.watch;
    return demoMain();
}
