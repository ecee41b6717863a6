// 200 reloads of the shipped demo world leave nothing behind: no texture object, no display
// list, no heap block, no resident memory. The sanitizer build checks the heap at exit too, and
// scripts/leakcheck.sh runs this program under valgrind.
#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/world_reload.h"
#include "world/world_file.h"
#include "tests/app/reload_fixture.h"

namespace {

constexpr int kReloads = 200;
constexpr int kWarmUp = 20;  // first reloads: the GL driver's and the allocator's caches settle
constexpr GLuint kNameRange = 4096;

int liveTextures() {
    int n = 0;
    for (GLuint i = 1; i < kNameRange; ++i) n += glIsTexture(i) ? 1 : 0;
    return n;
}
int liveLists() {
    int n = 0;
    for (GLuint i = 1; i < kNameRange; ++i) n += glIsList(i) ? 1 : 0;
    return n;
}
size_t heapInUse() { return mallinfo2().uordblks; }
size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}
// Heap and resident figures mean something only on the plain allocator.
bool plainAllocator() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    const char* preload = std::getenv("LD_PRELOAD");
    return !(preload && std::string(preload).find("vgpreload") != std::string::npos);
#endif
}

class ReloadMemory : public ReloadFixture {
protected:
    // The shipped demo world, linked into the test's own folder.
    void startShippedDemo() {
        for (const char* name : {"demo.kbw", "demo.ktl", "textures"})
            ASSERT_EQ(symlink((std::string(QV_RUN_DIR) + "/" + name).c_str(), name), 0) << name;
        useBuildFont();
        startDemo();
        tap(kKeyF1);  // the overlay's font: display lists that must live through every reload
        ASSERT_NE(overlayState().font, nullptr);
    }
    // What F6 does, without the two frames a key press takes; a frame every tenth reload. The
    // scripted backend's swap presents nothing, so the work is finished here as a real swap
    // would: otherwise the GL driver keeps queueing frames in memory.
    void reload(int i) {
        const int before = worldWatchState().reloads;
        worldWatchFrame(timeLL(), true);
        ASSERT_EQ(worldWatchState().reloads, before + 1) << desktopState().reloadFailure;
        if (i % 10 == 0) {
            ASSERT_TRUE(frameAfter(16));
        }
        glFinish();
    }
};

TEST_F(ReloadMemory, TwoHundredReloadsOfTheDemoWorldLeaveNothingBehind) {
    startShippedDemo();
    const std::vector<GLuint> firstTextures(driverState().world->textures,
                                            driverState().world->textures + driverState().world->textureCount);
    for (int i = 0; i < kWarmUp; ++i) reload(i);
    const int textures = liveTextures();
    const int lists = liveLists();
    EXPECT_EQ(textures, driverState().world->textureCount);
    EXPECT_GT(lists, 0);
    // What one demo world holds on the heap: leaking even one must show.
    const size_t beforeProbe = heapInUse();
    World* probe = loadWorld(kWorldFile);
    ASSERT_NE(probe, nullptr);
    const long worldBytes = long(heapInUse()) - long(beforeProbe);
    freeWorld(probe);

    // The heap is compared between two points in the same step of the frame cycle, half way and
    // at the end: the GL driver frees some of its own memory late, which a baseline taken right
    // after the warm-up would count as shrinking.
    size_t heap = 0, resident = 0;
    testing::internal::CaptureStderr();  // a line per reload
    for (int i = 0; i < kReloads; ++i) {
        reload(i);
        if (i == kReloads / 2 - 1) {
            heap = heapInUse();
            resident = residentBytes();
        }
    }
    testing::internal::GetCapturedStderr();
    const long heapGrowth = long(heapInUse()) - long(heap);
    const long residentGrowth = long(residentBytes()) - long(resident);
    ASSERT_TRUE(frameAfter(16));
    glFinish();

    EXPECT_EQ(liveTextures(), textures);
    EXPECT_EQ(liveLists(), lists);
    for (GLuint name : firstTextures) {
        bool stillOurs = false;
        for (int k = 0; k < driverState().world->textureCount; ++k) stillOurs |= driverState().world->textures[k] == name;
        EXPECT_TRUE(stillOurs || !glIsTexture(name)) << "texture " << name << " of the first world is still there";
    }
    std::printf("over the last %d reloads: heap in use %+ld bytes (one world: %ld), resident %+ld KiB\n",
                kReloads / 2, heapGrowth, worldBytes, residentGrowth / 1024);
    if (plainAllocator()) {
        EXPECT_LT(heapGrowth, worldBytes / 2);
        // The GL driver holds every texture's levels: 100 leaked would be tens of megabytes.
        EXPECT_LT(residentGrowth, 4 * 1024 * 1024);
    }
}

}  // namespace
