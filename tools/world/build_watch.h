// quorvel-world build --watch: compiles the scene, then again whenever the scene or a file it
// names changes, until Ctrl-C. A build that fails writes nothing, so the last good output stays.
#pragma once

#include <string>
#include <vector>

// One build into `outDir`: true when it wrote the world. Prints one line: "built in N ms: ..."
// on stdout, or "error: ..." on stderr (warnings go to stderr before it, as in a plain build,
// unless `quietWarnings` holds them back). `inputs` gets the files to watch: the scene, the files
// it named (those read before a failure) and the companions a mesh file reads beside itself.
bool buildOnce(const std::string& scene, const std::string& outDir, std::vector<std::string>& inputs,
               std::vector<std::string>& lastWarnings);

// Builds, then watches and rebuilds until SIGINT or SIGTERM; returns 0 then, 1 when the files
// cannot be watched at all.
int buildWatch(const std::string& scene, const std::string& outDir);

// The companions of the mesh files among `inputs`: the .bin buffers beside a .gltf and the .mtl
// files beside an .obj, which the importers read without the scene naming them.
std::vector<std::string> meshCompanions(const std::vector<std::string>& inputs);
