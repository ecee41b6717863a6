// Replacing the running world in place: the world file and its texture list are loaded and
// checked completely while the old world still draws, and only then does the old one go. A load
// that fails leaves the old world as it was. The desktop program calls it on F6 and when --watch
// sees the files change; any front end that receives new world files can call it the same way.
#pragma once

#include <string>

struct ReloadResult {
    bool ok;
    std::string file;    // on failure: the file the loader refused, as looked up
    std::string reason;  // on failure: the loader's reason
};

// Loads "demo.kbw" and "demo.ktl" from `folder` (null or "" for the working folder; the list's
// relative image names are taken from there too) and, when both load, swaps them in for the
// driver's world and textures. The camera keeps its position, angles and speed and is filed into
// the new room that holds it; when no room does, it goes back to its start (the origin, at rest,
// looking down -z). The spinner becomes the new room 0's first entity. Needs the driver's GL
// context current and a world already running.
ReloadResult reloadWorld(const char* folder);

// "reload failed: FILE: REASON" for a failure, "reloaded FILE and FILE" for a success.
std::string reloadMessage(const ReloadResult& result);
