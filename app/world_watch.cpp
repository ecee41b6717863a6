// F6 and --watch: deciding when to reload the world, and saying how it went.
#include "app/world_watch.h"

#include <sys/stat.h>

#include <cstdio>

#include "app/desktop.h"
#include "app/driver.h"
#include "app/world_reload.h"
#include "ll/file_watch.h"
#include "ll/ll.h"
#include "world/file_bytes.h"
#include "world/textures.h"

namespace {

WorldWatchState state{};

// The world file, the list and, when the list on disk reads, the images it names; otherwise the
// images watched so far.
std::vector<std::string> worldFiles(const std::vector<std::string>& before) {
    std::vector<std::string> files = {kWorldFile, kTextureListFile};
    std::vector<unsigned char> bytes;
    TextureList list;
    std::string reason;
    if (readFileBytes(kTextureListFile, bytes) && parseTextureList(bytes.data(), bytes.size(), list, reason)) {
        files.insert(files.end(), list.names.begin(), list.names.end());
    } else if (before.size() > 2) {
        files.insert(files.end(), before.begin() + 2, before.end());
    }
    return files;
}

// (Re)opens the notification over the current files; without one, stamps them for the ticks.
void watchFiles() {
    state.files = worldFiles(state.files);
    std::string error;
    FileWatch* next = openFileWatch(state.files, error);
    // The new watch is open before the old one goes, so a save landing during the reload is
    // noticed by one or the other.
    if (fileWatchChanged(state.watch)) {
        state.pending = true;
        state.changedAt = timeLL();
    }
    closeFileWatch(state.watch);
    state.watch = next;
    if (!state.watch) {
        // Said once: the ticks take over quietly afterwards.
        if (!state.saidNoNotification)
            std::fprintf(stderr, "quorvel: no change notification (%s); looking at the files every second\n",
                         error.c_str());
        state.saidNoNotification = true;
        state.stamps.clear();
        for (const std::string& f : state.files) state.stamps.push_back(stampFile(f));
        state.nextImage = 0;
    }
}

// Without a notification: the world file, the list and one image in turn, once a tick.
bool filesLookChanged() {
    std::vector<size_t> look = {0, 1};
    if (state.files.size() > 2) {
        look.push_back(2 + state.nextImage % (state.files.size() - 2));
        ++state.nextImage;
    }
    bool changed = false;
    for (size_t i : look) {
        if (i >= state.stamps.size()) continue;
        const FileStamp now = stampFile(state.files[i]);
        changed = changed || now != state.stamps[i];
        state.stamps[i] = now;
    }
    return changed;
}

void attemptReload() {
    ++state.attempts;
    state.pending = false;
    const FileStamp world = stampFile(kWorldFile);
    const FileStamp list = stampFile(kTextureListFile);
    const ReloadResult result = reloadWorld(nullptr);
    const std::string line = reloadMessage(result);
    std::fprintf(stderr, "quorvel: %s\n", line.c_str());
    if (result.ok) {
        ++state.reloads;
        state.failed = false;
        state.failure.clear();
    } else {
        state.failed = true;
        state.failure = line;
        state.failedWorld = world;
        state.failedList = list;
    }
    desktopState().reloadFailure = state.failure;
    // The images may be others now, and a folder may have come or gone.
    if (state.enabled) watchFiles();
}

}  // namespace

FileStamp stampFile(const std::string& path) {
    FileStamp s{};
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.size = uint64_t(st.st_size);
    s.modified = int64_t(st.st_mtime);
#ifndef _WIN32
    s.modifiedNs = int64_t(st.st_mtim.tv_nsec);
    s.inode = uint64_t(st.st_ino);
#endif
    return s;
}

WorldWatchState& worldWatchState() { return state; }

void resetWorldWatch() {
    closeFileWatch(state.watch);
    state = WorldWatchState{};
}

void startWorldWatch() {
    state.enabled = true;
    state.lastPoll = state.lastTick = timeLL();
    watchFiles();
}

bool worldWatchFrame(uint32_t now, bool reloadKey) {
    if (reloadKey) {
        attemptReload();
        return true;
    }
    if (!state.enabled) return false;
    // Asking costs a system call, so not every frame.
    if (now - state.lastPoll >= kWatchPollMs) {
        state.lastPoll = now;
        if (state.watch && fileWatchChanged(state.watch)) {
            state.pending = true;
            state.changedAt = now;
        }
    }
    if (now - state.lastTick >= kWatchTickMs) {
        state.lastTick = now;
        bool changed = !state.watch && filesLookChanged();
        // A file caught half written may send no further notice: look at it again.
        if (state.failed && (stampFile(kWorldFile) != state.failedWorld || stampFile(kTextureListFile) != state.failedList))
            changed = true;
        if (changed && !state.pending) {
            state.pending = true;
            state.changedAt = now;
        }
    }
    if (state.pending && now - state.changedAt >= kWatchSettleMs) {
        attemptReload();
        return true;
    }
    return false;
}

void stopWorldWatch() {
    closeFileWatch(state.watch);
    state.watch = nullptr;
}
