// The file watch on Linux: one inotify descriptor, read without blocking, one watch per folder.
#include <limits.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "ll/file_watch.h"

struct FileWatch {
    int fd;
    std::vector<WatchedFolder> folders;
    std::vector<int> descriptors;  // descriptors[i] watches folders[i]; -1 when it could not
};

namespace {

// Written in place, replaced by a rename, created or deleted, or its metadata changed.
constexpr uint32_t kFileEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE | IN_DELETE;
// The folder itself went away or moved: its files must be looked at again.
constexpr uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW;

// A file reached through a symbolic link changes where the link points, so the target's own
// folder is watched too.
std::vector<std::string> withLinkTargets(const std::vector<std::string>& paths) {
    std::vector<std::string> all = paths;
    for (const std::string& path : paths) {
        char real[PATH_MAX];
        if (realpath(path.c_str(), real) && path != real) all.push_back(real);
    }
    return all;
}

}  // namespace

FileWatch* openFileWatch(const std::vector<std::string>& paths, std::string& error) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        error = std::string("inotify: ") + std::strerror(errno);
        return nullptr;
    }
    auto* watch = new FileWatch{fd, groupByFolder(withLinkTargets(paths)), {}};
    bool any = false;
    for (const WatchedFolder& f : watch->folders) {
        const int wd = inotify_add_watch(fd, f.folder.c_str(), kFileEvents | IN_DELETE_SELF | IN_MOVE_SELF);
        if (wd < 0 && error.empty()) error = "cannot watch \"" + f.folder + "\": " + std::strerror(errno);
        any = any || wd >= 0;
        watch->descriptors.push_back(wd);
    }
    if (!any) {
        if (error.empty()) error = "nothing to watch";
        closeFileWatch(watch);
        return nullptr;
    }
    return watch;
}

bool fileWatchChanged(FileWatch* watch) {
    if (!watch) return false;
    bool changed = false;
    alignas(inotify_event) char buf[8192];
    for (;;) {
        const ssize_t n = read(watch->fd, buf, sizeof buf);
        if (n <= 0) break;  // EAGAIN: nothing more waiting
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & kFolderGone) {
                changed = true;
                continue;
            }
            if (e->len == 0) continue;
            // The same folder named two ways (".", its full path) has one descriptor.
            for (size_t i = 0; i < watch->folders.size(); ++i)
                if (watch->descriptors[i] == e->wd && watchesName(watch->folders[i], e->name)) changed = true;
        }
    }
    return changed;
}

bool waitFileWatch(FileWatch* watch, int timeoutMs) {
    if (!watch) return false;
    if (fileWatchChanged(watch)) return true;
    pollfd p{watch->fd, POLLIN, 0};
    // Events for other files of the folders wake the wait too; they are read and the wait goes on
    // for what is left of the time.
    for (int left = timeoutMs; left >= 0;) {
        timespec before{};
        clock_gettime(CLOCK_MONOTONIC, &before);
        const int ready = poll(&p, 1, left);
        if (ready < 0) return false;  // EINTR: a signal asks the caller to look
        if (ready == 0) return false;
        if (fileWatchChanged(watch)) return true;
        timespec after{};
        clock_gettime(CLOCK_MONOTONIC, &after);
        left -= int((after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1000000);
    }
    return false;
}

void closeFileWatch(FileWatch* watch) {
    if (!watch) return;
    close(watch->fd);
    delete watch;
}
