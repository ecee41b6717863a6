// The one allocation-or-exit helper. Allocation failures inside a model or room record end the
// process with exit code 1 and no message (table-level failures fail a load instead): by then
// every count has been checked against the file's size, so this only happens when memory is
// genuinely exhausted. Used by the reader, the in-memory world builder and the scene compiler.
#pragma once

#include <cstddef>

// calloc(1, bytes), zeroed, never null: one byte is taken for a zero-size request so an empty
// array is still a distinct allocation; exit(1) when memory runs out.
void* allocOrExit(size_t bytes);
// realloc that exits with code 1 instead of returning null; `bytes` of 0 is taken as 1.
void* reallocOrExit(void* block, size_t bytes);

// n zeroed records of type T.
template <typename T>
T* allocRecords(size_t n) {
    return static_cast<T*>(allocOrExit(sizeof(T) * (n ? n : 1)));
}
