// Checks made on a PLY file's bytes before the importer sees them, for the parts of the format
// where the importer is known to hang, abort or trust sizes it has not checked (its header and
// body). glTF files get a whole check of their own (gltf_check.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// True when the bytes may go to the importer of `extension`; false with the reason otherwise.
// A PLY header must be plain text in the format's grammar (ply, format, comment, obj_info,
// element, property and end_header lines), its element counts must fit in the bytes that follow
// it, so a small file cannot claim billions of vertices, and an ASCII file's body must be
// numbers. Other formats pass.
bool precheckMeshBytes(const std::string& extension, const uint8_t* data, size_t size, std::string& error);
