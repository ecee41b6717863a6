// The compiler's watch loop: build, wait for a change through the file watch, let the saves
// settle, build again.
#include "tools/world/build_watch.h"

#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include "ll/file_watch.h"
#include "tools/world/scene_compile.h"

namespace {

constexpr int kSettleMs = 100;   // an editor's save can be several writes and renames
constexpr int kStopCheckMs = 500;

volatile sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), s.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::vector<std::string> meshCompanions(const std::vector<std::string>& inputs) {
    std::vector<std::string> companions;
    for (const std::string& input : inputs) {
        const char* extension = endsWith(input, ".gltf") ? ".bin" : endsWith(input, ".obj") ? ".mtl" : nullptr;
        if (!extension) continue;
        const std::string folder = folderOf(input);
        DIR* dir = opendir(folder.c_str());
        if (!dir) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            const std::string path = folder == "." && input.find('/') == std::string::npos ? name : folder + "/" + name;
            if (endsWith(name, extension) && std::find(companions.begin(), companions.end(), path) == companions.end())
                companions.push_back(path);
        }
        closedir(dir);
    }
    return companions;
}

bool buildOnce(const std::string& scene, const std::string& outDir, std::vector<std::string>& inputs,
               std::vector<std::string>& lastWarnings) {
    const auto start = std::chrono::steady_clock::now();
    CompiledScene compiled;
    std::string error;
    bool ok = compileSceneFile(scene, compiled, error);
    inputs = {scene};
    inputs.insert(inputs.end(), compiled.inputs.begin(), compiled.inputs.end());
    const std::vector<std::string> companions = meshCompanions(compiled.inputs);
    inputs.insert(inputs.end(), companions.begin(), companions.end());
    if (ok) {
        // Warnings that the previous build gave already are not repeated on every save.
        if (compiled.warnings != lastWarnings)
            for (const std::string& w : compiled.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
        lastWarnings = compiled.warnings;
        ok = writeCompiledScene(compiled, outDir, error);
    }
    const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                             .count());
    if (ok) {
        const World& w = *compiled.world;
        std::printf("built in %ld ms: %s/%s.kbw (%d rooms, %d models, %u world vertices, %u materials) and %s.ktl "
                    "(%zu textures)\n",
                    ms, outDir.c_str(), compiled.baseName.c_str(), w.roomCount, w.modelCount, w.vertexCount,
                    w.materialCount, compiled.baseName.c_str(), compiled.images.size());
    } else {
        std::fprintf(stderr, "error: %s\n", error.c_str());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    releaseCompiledScene(compiled);
    return ok;
}

int buildWatch(const std::string& scene, const std::string& outDir) {
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    sigemptyset(&stop.sa_mask);
    // No SA_RESTART: the wait returns at once and the loop sees the request.
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

    std::vector<std::string> inputs, warnings;
    // The watch is opened before each build, so a save made while it runs is not missed.
    std::string error;
    FileWatch* watch = openFileWatch({scene}, error);
    buildOnce(scene, outDir, inputs, warnings);
    while (!stopRequested) {
        FileWatch* next = openFileWatch(inputs, error);
        if (!next) {
            std::fprintf(stderr, "error: cannot watch \"%s\": %s\n", scene.c_str(), error.c_str());
            closeFileWatch(watch);
            return 1;
        }
        const bool changedDuringBuild = fileWatchChanged(watch);
        closeFileWatch(watch);
        watch = next;
        if (!changedDuringBuild)
            while (!stopRequested && !waitFileWatch(watch, kStopCheckMs)) {
            }
        if (stopRequested) break;
        // Let the rest of the save land: build once the files have been quiet for a moment.
        while (!stopRequested && waitFileWatch(watch, kSettleMs)) {
        }
        if (stopRequested) break;
        std::vector<std::string> before = inputs;
        if (!buildOnce(scene, outDir, inputs, warnings)) {
            // A scene that stops parsing names nothing: its files stay watched all the same.
            for (const std::string& file : before)
                if (std::find(inputs.begin(), inputs.end(), file) == inputs.end()) inputs.push_back(file);
        }
    }
    closeFileWatch(watch);
    return 0;
}
