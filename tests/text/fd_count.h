// Open file descriptors of this process, to check that loaders close what they open.
#pragma once

#ifdef _WIN32
#include <io.h>

// The C runtime's descriptors that still name an open file (a loader's fopen takes one).
inline int openFdCount() {
    int n = 0;
    for (int fd = 0; fd < 2048; ++fd)
        if (_get_osfhandle(fd) != -1) ++n;
    return n;
}
#else
#include <dirent.h>

inline int openFdCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int n = 0;
    while (readdir(dir)) ++n;
    closedir(dir);
    return n;
}
#endif
