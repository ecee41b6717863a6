// The file watch on Windows: one overlapped ReadDirectoryChangesW per folder, its completion
// looked at without waiting, and the next read issued at once so no change falls between two.
#include <windows.h>

#include <cstdint>

#include "ll/file_watch.h"

namespace {

constexpr DWORD kFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE |
                          FILE_NOTIFY_CHANGE_CREATION;
constexpr DWORD kBufferBytes = 16384;

struct FolderWatch {
    HANDLE folder = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    DWORD* buffer = nullptr;  // DWORD-aligned, as the notification records require
    bool pending = false;
};

bool issueRead(FolderWatch& w) {
    ResetEvent(w.overlapped.hEvent);
    w.pending = ReadDirectoryChangesW(w.folder, w.buffer, kBufferBytes, FALSE, kFilter, nullptr, &w.overlapped,
                                      nullptr) != 0;
    return w.pending;
}

std::string narrow(const WCHAR* text, int chars) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, chars, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text, chars, &out[0], bytes, nullptr, nullptr);
    return out;
}

}  // namespace

struct FileWatch {
    std::vector<WatchedFolder> folders;
    std::vector<FolderWatch> watches;  // watches[i] for folders[i]
};

namespace {

// Reads the records of a completed read of folder i; whether one names a watched file.
bool completed(FileWatch* watch, size_t i) {
    FolderWatch& w = watch->watches[i];
    DWORD bytes = 0;
    const bool ok = GetOverlappedResult(w.folder, &w.overlapped, &bytes, FALSE) != 0;
    w.pending = false;
    // No bytes: more changes came than the buffer holds, so any file may have changed.
    bool changed = !ok || bytes == 0;
    for (DWORD at = 0; ok && bytes > 0;) {
        const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(reinterpret_cast<const char*>(w.buffer) + at);
        // A name may hold a sub-path only for recursive watches, which these are not.
        if (watchesName(watch->folders[i], narrow(record->FileName, int(record->FileNameLength / sizeof(WCHAR)))))
            changed = true;
        if (record->NextEntryOffset == 0) break;
        at += record->NextEntryOffset;
    }
    // The folder went away or refuses a new read: say so, its files are looked at again.
    if (!issueRead(w)) changed = true;
    return changed;
}

}  // namespace

FileWatch* openFileWatch(const std::vector<std::string>& paths, std::string& error) {
    auto* watch = new FileWatch{groupByFolder(paths), {}};
    watch->watches.resize(watch->folders.size());
    bool any = false;
    for (size_t i = 0; i < watch->folders.size(); ++i) {
        FolderWatch& w = watch->watches[i];
        w.folder = CreateFileA(watch->folders[i].folder.c_str(), FILE_LIST_DIRECTORY,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (w.folder == INVALID_HANDLE_VALUE) {
            if (error.empty()) error = "cannot watch \"" + watch->folders[i].folder + "\"";
            continue;
        }
        w.overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        w.buffer = static_cast<DWORD*>(HeapAlloc(GetProcessHeap(), 0, kBufferBytes));
        if (!w.overlapped.hEvent || !w.buffer || !issueRead(w)) {
            if (error.empty()) error = "cannot watch \"" + watch->folders[i].folder + "\" for changes";
            continue;
        }
        any = true;
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
    for (size_t i = 0; i < watch->watches.size(); ++i) {
        const FolderWatch& w = watch->watches[i];
        if (w.pending && WaitForSingleObject(w.overlapped.hEvent, 0) == WAIT_OBJECT_0 && completed(watch, i))
            changed = true;
    }
    return changed;
}

bool waitFileWatch(FileWatch* watch, int timeoutMs) {
    if (!watch) return false;
    const DWORD start = GetTickCount();
    for (;;) {
        if (fileWatchChanged(watch)) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= DWORD(timeoutMs)) return false;
        std::vector<HANDLE> events;
        for (const FolderWatch& w : watch->watches)
            if (w.pending) events.push_back(w.overlapped.hEvent);
        if (events.empty()) return false;
        if (WaitForMultipleObjects(DWORD(events.size()), events.data(), FALSE, DWORD(timeoutMs) - spent) ==
            WAIT_TIMEOUT)
            return false;
    }
}

void closeFileWatch(FileWatch* watch) {
    if (!watch) return;
    for (FolderWatch& w : watch->watches) {
        if (w.folder != INVALID_HANDLE_VALUE) {
            if (w.pending) {
                CancelIo(w.folder);
                DWORD bytes = 0;
                GetOverlappedResult(w.folder, &w.overlapped, &bytes, TRUE);  // the buffer is ours again
            }
            CloseHandle(w.folder);
        }
        if (w.overlapped.hEvent) CloseHandle(w.overlapped.hEvent);
        if (w.buffer) HeapFree(GetProcessHeap(), 0, w.buffer);
    }
    delete watch;
}
