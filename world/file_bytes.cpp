// Reading a whole regular file: its size comes from the file system and it is read in one go.
#include "world/file_bytes.h"

#include <sys/stat.h>

#include <cstdio>
#include <exception>

bool readFileBytes(const char* fileName, std::vector<unsigned char>& out) {
    out.clear();
    FILE* f = std::fopen(fileName, "rb");
    if (!f) return false;
    struct stat info;
    bool ok = fstat(fileno(f), &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0;
    if (ok) {
        try {
            out.resize(static_cast<size_t>(info.st_size));
        } catch (const std::exception&) {  // larger than memory
            ok = false;
        }
        ok = ok && (out.empty() || std::fread(out.data(), 1, out.size(), f) == out.size());
    }
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}
