// Finding the installed demo world and the per-user state folder.
#include "app/run_folders.h"

#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "app/driver.h"

namespace {

bool isFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "/usr/bin/../share/quorvel" as "/usr/share/quorvel": "." and ".." taken out by name (the
// program's folder comes from the system, so it has no links to follow that matter here).
std::string tidy(const std::string& path) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string out = path.empty() || path[0] != '/' ? "" : "/";
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    return out.empty() ? "." : out;
}

}  // namespace

std::string programFolder(const char* argv0) {
#ifdef _WIN32
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

std::string installedDataFolder(const std::string& programFolder) {
    if (programFolder.empty()) return std::string();
    const std::string data = tidy(programFolder + "/../share/quorvel");
    return isFile(data + "/" + kWorldFile) ? data : std::string();
}

std::string stateFolder(const char* xdgStateHome, const char* home) {
    // A relative XDG_STATE_HOME is not valid and is ignored, as the base directory rules say.
    if (xdgStateHome && xdgStateHome[0] == '/') return std::string(xdgStateHome) + "/quorvel";
    if (home && home[0] == '/') return std::string(home) + "/.local/state/quorvel";
    return std::string();
}

bool makeFolders(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "no folder";
        return false;
    }
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string prefix = path.substr(0, at);
        struct stat st;
        if (stat(prefix.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) continue;
            error = prefix + " is not a folder";
            return false;
        }
#ifdef _WIN32
        const int made = mkdir(prefix.c_str());
#else
        const int made = mkdir(prefix.c_str(), 0700);
#endif
        if (made != 0 && errno != EEXIST) {
            error = prefix + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

RunFolders chooseRunFolders(bool worldDirGiven, bool worldHere, const std::string& installedData,
                            const std::string& state) {
    if (worldDirGiven || worldHere || installedData.empty() || state.empty()) return RunFolders{};
    return RunFolders{installedData, state};
}
