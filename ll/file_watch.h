// Noticing that files changed, through the platform's change notification (inotify on Linux,
// ReadDirectoryChangesW on Windows) and never a thread: the caller asks when it likes, and asking
// costs one system call that returns at once. Each file is watched through its folder, so a file
// replaced by a rename (how the world compiler writes), deleted or created is seen as well as one
// written in place; events for other files of those folders (the frame-rate log, screenshots,
// temporary files) are ignored.
#pragma once

#include <string>
#include <vector>

struct FileWatch;

// Starts watching `paths` (relative to the working folder or absolute). A folder that does not
// exist is skipped; null with a reason when no folder could be watched or the platform has no
// notification to give.
FileWatch* openFileWatch(const std::vector<std::string>& paths, std::string& error);
// Whether a watched file changed since the previous call (or since the watch opened). Never
// blocks. A lost or overflowing notification counts as a change, as does a watched folder that
// went away: the caller then looks at its files again.
bool fileWatchChanged(FileWatch* watch);
// Waits up to timeoutMs for fileWatchChanged to hold; false on the timeout or when a signal
// interrupted the wait.
bool waitFileWatch(FileWatch* watch, int timeoutMs);
// Ends the watch and releases what it holds; null is fine.
void closeFileWatch(FileWatch* watch);

// --- shared by the platform files ---

// Watched files grouped by folder: the folder as given ("." for a bare name) and the names in it.
struct WatchedFolder {
    std::string folder;
    std::vector<std::string> names;
};
std::vector<WatchedFolder> groupByFolder(const std::vector<std::string>& paths);
// Whether `name` is one of the folder's names (ignoring case on Windows, whose names do).
bool watchesName(const WatchedFolder& folder, const std::string& name);
