// The file watch in the browser: its in-memory files change only when the page puts a world
// there, and the page reloads the world itself then, so there is nothing to be notified of.
#include "ll/file_watch.h"

FileWatch* openFileWatch(const std::vector<std::string>&, std::string& error) {
    error = "the browser gives no change notification for its files";
    return nullptr;
}

bool fileWatchChanged(FileWatch*) { return false; }

bool waitFileWatch(FileWatch*, int) { return false; }

void closeFileWatch(FileWatch*) {}
