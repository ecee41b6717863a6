// Open file descriptors of this process, to check that loaders close what they open.
#pragma once

#include <dirent.h>

inline int openFdCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int n = 0;
    while (readdir(dir)) ++n;
    closedir(dir);
    return n;
}
