// Swapping a freshly loaded world in for the running one.
#include "app/world_reload.h"

#include "app/driver.h"
#include "render/texture_upload.h"
#include "scene/entity.h"
#include "world/world_file.h"

namespace {

std::string inFolder(const char* folder, const char* name) {
    return folder && *folder ? std::string(folder) + "/" + name : std::string(name);
}

// The camera as start-up makes it: at the origin looking down -z, at rest, never drawn.
void cameraAtStart(Entity& camera) {
    camera = Entity{};
    camera.flags = kEntityHidden;
    camera.dirty = 0xFF;
}

}  // namespace

ReloadResult reloadWorld(const char* folder) {
    const std::string worldPath = inFolder(folder, kWorldFile);
    const std::string listPath = inFolder(folder, kTextureListFile);
    World* fresh = loadWorld(worldPath.c_str());
    if (!fresh) return {false, worldPath, worldLoadError()};
    if (!loadTextureListIn(listPath.c_str(), folder, fresh)) {
        // The failed list has already deleted whatever textures it made.
        const ReloadResult failed{false, listPath, textureLoadError()};
        freeWorld(fresh);
        return failed;
    }

    DriverState& driver = driverState();
    Entity& camera = driver.camera;
    // Out of the old room's list before the list goes with the old world.
    unlinkEntity(&camera);
    camera.room = nullptr;
    if (World* old = driver.world) {
        freeTextures(old->textureCount, old->textures);
        old->textures = nullptr;
        old->textureCount = 0;
        freeWorld(old);
    }
    driver.world = fresh;
    driver.spinner = fresh->roomCount > 0 ? fresh->rooms[0]->entities : nullptr;

    locateRoom(&camera, fresh);
    if (camera.room)
        linkEntity(&camera, camera.room);
    else
        cameraAtStart(camera);  // the renderer files it as it does at start-up
    return {true, "", ""};
}

std::string reloadMessage(const ReloadResult& result) {
    if (result.ok) return std::string("reloaded ") + kWorldFile + " and " + kTextureListFile;
    return "reload failed: " + result.file + ": " + result.reason;
}
