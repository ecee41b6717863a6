// When the running world is reloaded: at once on F6, and with --watch whenever the world file,
// the texture list or an image it names changes on disk. Changes are taken once the files have
// been quiet for a moment, so a compiler renaming several files in turn gives one reload. A
// reload that fails keeps the old world, puts its reason on the overlay and on stderr, and is
// tried again on the next change, or on the next tick when the files look different from the
// ones that failed (a writer caught half way may send no further notice).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileWatch;

constexpr uint32_t kWatchPollMs = 50;     // how often the notification is asked, at most
constexpr uint32_t kWatchSettleMs = 150;  // quiet time after the last change before reloading
constexpr uint32_t kWatchTickMs = 1000;   // how often files are looked at without a notification

// What identifies one version of a file without reading it.
struct FileStamp {
    bool exists;
    uint64_t size;
    int64_t modified;   // seconds
    int64_t modifiedNs; // within the second, where the system keeps it
    uint64_t inode;     // a replaced file gets a new one, where the system has them
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && size == o.size && modified == o.modified && modifiedNs == o.modifiedNs &&
               inode == o.inode;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
FileStamp stampFile(const std::string& path);

struct WorldWatchState {
    bool enabled;          // --watch
    FileWatch* watch;      // null without --watch, or when the platform gave none (then: ticks)
    std::vector<std::string> files;  // the world file, the list and the images it names
    std::vector<FileStamp> stamps;   // without a notification: files[i] as last seen
    size_t nextImage;                // without a notification: the image looked at next tick
    bool saidNoNotification;
    bool pending;          // a change waits for the files to settle
    uint32_t changedAt;    // timeLL() of the latest change seen
    uint32_t lastPoll;
    uint32_t lastTick;
    bool failed;           // the latest reload failed; failure holds its line
    std::string failure;
    FileStamp failedWorld, failedList;  // the two files as the failed reload found them
    int reloads;           // reloads that succeeded
    int attempts;          // reloads tried
};
WorldWatchState& worldWatchState();
// Closes the watch and goes back to the zero state.
void resetWorldWatch();

// With --watch: starts watching the running world's files (call once the world runs).
void startWorldWatch();
// Once a frame, before the frame is timed: reloads now when `reloadKey` (F6) went down, or when
// the watched files changed and have settled. `now` is timeLL(). Whether a reload was tried.
bool worldWatchFrame(uint32_t now, bool reloadKey);
// Ends the watch (at shutdown).
void stopWorldWatch();
