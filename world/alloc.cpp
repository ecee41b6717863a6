// Allocation that ends the process on failure (see alloc.h for when that is the right answer).
#include "world/alloc.h"

#include <cstdlib>

void* allocOrExit(size_t bytes) {
    void* p = std::calloc(1, bytes ? bytes : 1);
    if (!p) std::exit(1);
    return p;
}

void* reallocOrExit(void* block, size_t bytes) {
    void* p = std::realloc(block, bytes ? bytes : 1);
    if (!p) std::exit(1);
    return p;
}
