// The process entry of quorvel: the optional command line (a world folder, --fullscreen, --watch, --help),
// then the driver does everything. Without arguments the program runs in the folder it was started in.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/driver.h"
#include "app/overlay.h"
#ifdef _WIN32
#include "app/console_win32.h"
#endif

namespace {

std::string currentFolder() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

std::string programFolder(const char* argv0) {
#ifdef _WIN32
    // The folder of the path the program was started by.
    const std::string path = argv0 ? argv0 : "";
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
#else
    (void)argv0;
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/'));
#endif
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
    // The overlay's font: the world folder's own, else the one where the program was started, else
    // the build's run folder beside the program's folder.
    const std::string started = currentFolder();
    setOverlayFontPaths({"font.kbf", started + "/font.kbf", programFolder(argv[0]) + "/../run/font.kbf"});
    if (!line.worldDir.empty() && chdir(line.worldDir.c_str()) != 0) {
        std::fprintf(stderr, "quorvel: cannot enter \"%s\": %s\n", line.worldDir.c_str(), std::strerror(errno));
        return 1;
    }
    driverState().fullscreen = line.fullscreen;
    driverState().watch = line.watch;
    return demoMain();
}
