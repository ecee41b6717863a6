// Reading a whole file into memory for the parsers, which then never touch the file again.
#pragma once

#include <string>
#include <vector>

// Reads all of a regular file into `out`. False when it cannot be opened, is not a regular file
// (a directory, pipe or device has no size to trust and could be endless), or cannot be read
// completely or held in memory.
bool readFileBytes(const char* fileName, std::vector<unsigned char>& out);
inline bool readFileBytes(const std::string& fileName, std::vector<unsigned char>& out) {
    return readFileBytes(fileName.c_str(), out);
}
