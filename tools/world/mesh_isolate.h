// Mesh import kept apart from the compiler: the importer runs in a child process that hands the
// mesh back as plain arrays through a pipe, so a crash, a hang or an out-of-memory inside a
// third-party parser fails one model with a message and never touches the compiler's own heap.
#pragma once

#include <cstdint>
#include <string>

#include "tools/world/mesh.h"

// importMeshFile in a child process. Besides importMeshFile's own failures, a child that dies
// by a signal (a crash, the time limit, the memory limit) gives
// `cannot read "FILE": the importer failed (signal N)`.
bool importMeshIsolated(const std::string& path, const std::string& node, Mesh& mesh, std::string& error);

// Whether importMeshIsolated forks (the default) or reads in this process; the fuzz targets read
// in-process so that a fault is reported where it happens.
void setMeshImportIsolated(bool isolated);

// The child's wall-clock limit (default 120 s) and address-space limit (default 8 GiB; not
// applied in sanitizer builds, whose shadow memory needs far more address space).
void setMeshImportLimits(int milliseconds, uint64_t addressSpaceBytes);

// Runs in the child just before the import: lets the tests stand in for an importer that
// crashes, hangs or runs out of memory.
void setMeshImportChildHook(void (*hook)());

// Back to the defaults above.
void resetMeshIsolation();
