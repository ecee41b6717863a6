// A PLY body walked element by element before the importer reads it: every list count must be a
// whole number its count type can hold and must fit in what follows, every element the header
// declares must be there, and a face's texture coordinate list must not name more corners than
// its vertex index list has. The importer trusts all three and writes or reads past its arrays
// when one is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PlyProperty {
    std::string name;
    std::string type;       // the value type (the item type of a list)
    std::string countType;  // a list's count type; empty for a single value
};

struct PlyElement {
    std::string name;
    uint64_t count = 0;
    std::vector<PlyProperty> properties;
};

// `body` is everything after the end_header line, `offset` where it starts in the file (for
// messages). False with the reason when the body does not hold what the header says.
bool checkPlyBody(const std::vector<PlyElement>& elements, const uint8_t* body, size_t size, size_t offset,
                  bool binary, bool bigEndian, std::string& error);
