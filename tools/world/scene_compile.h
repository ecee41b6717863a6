// The world compiler: turns a scene description (JSON) into a World, its texture list and its
// images, entirely in memory, so that nothing is written unless the whole scene is sound.
#pragma once

#include <string>
#include <vector>

#include "image/image_files.h"
#include "world/world.h"

struct CompiledScene {
    World* world = nullptr;                 // owned; released by releaseCompiledScene
    std::string baseName = "demo";          // output files: <baseName>.kbw, <baseName>.ktl
    std::vector<std::string> textureNames;  // as stored in the list, relative to the output folder
    std::vector<Image> images;              // one per texture, same order
    std::vector<std::string> warnings;      // things that compile but deserve a look
    std::vector<std::string> notes;         // what the compiler changed on its own (simplified models)
    // The files the scene named (images, meshes, OBJ files) as they were opened, the scene file
    // itself not included. Filled on failure too, up to the file that failed.
    std::vector<std::string> inputs;
};

// Compiles scene text. Relative file names in the scene (PNG, OBJ) are taken from `baseDir`;
// `label` names the scene in messages. False with one message naming the JSON path on error.
bool compileSceneText(const std::string& text, const std::string& baseDir, CompiledScene& out,
                      std::string& error);
// Reads and compiles a scene file; relative names are resolved against the file's folder.
bool compileSceneFile(const std::string& path, CompiledScene& out, std::string& error);

// Writes <dir>/<baseName>.kbw, <dir>/<baseName>.ktl and the images, creating folders as needed.
// Files are written under temporary names and renamed at the end, so that an I/O failure does not
// leave a half-written world next to a list that no longer matches it.
bool writeCompiledScene(const CompiledScene& scene, const std::string& dir, std::string& error);

void releaseCompiledScene(CompiledScene& scene);
