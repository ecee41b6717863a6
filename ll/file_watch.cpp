// The platform-free half of the file watch: which folders to watch and which names count.
#include "ll/file_watch.h"

#include <algorithm>
#include <cctype>

namespace {

bool sameName(const std::string& a, const std::string& b) {
#ifdef _WIN32
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
#else
    return a == b;
#endif
}

bool isSlash(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

}  // namespace

std::vector<WatchedFolder> groupByFolder(const std::vector<std::string>& paths) {
    std::vector<WatchedFolder> folders;
    for (const std::string& path : paths) {
        size_t slash = std::string::npos;
        for (size_t i = 0; i < path.size(); ++i)
            if (isSlash(path[i])) slash = i;
        std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty()) continue;
        auto it = std::find_if(folders.begin(), folders.end(),
                               [&](const WatchedFolder& f) { return sameName(f.folder, folder); });
        if (it == folders.end()) {
            folders.push_back({folder, {}});
            it = folders.end() - 1;
        }
        if (!watchesName(*it, name)) it->names.push_back(name);
    }
    return folders;
}

bool watchesName(const WatchedFolder& folder, const std::string& name) {
    return std::any_of(folder.names.begin(), folder.names.end(),
                       [&](const std::string& n) { return sameName(n, name); });
}
