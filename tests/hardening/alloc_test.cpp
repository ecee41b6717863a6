// Allocation against file size. This test program counts every byte the heap hands out (malloc
// and friends are wrapped around glibc's own), so it can check that reading any file, however
// hostile, never holds more than a small multiple of the file's size plus a constant, and that
// loading and freeing the demo world a thousand times returns every byte. Built only without
// the sanitizers, whose allocator cannot be wrapped this way.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <string>
#include <vector>

#include "tests/hardening/malformed.h"
#include "tests/hardening/replay.h"
#include "text/kbf.h"
#include "world/textures.h"
#include "world/world_file.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};

void* counted(void* p) {
    if (p) {
        const size_t now = live += malloc_usable_size(p);
        size_t was = peak.load();
        while (now > was && !peak.compare_exchange_weak(was, now)) {
        }
    }
    return p;
}

void uncount(void* p) {
    if (p) live -= malloc_usable_size(p);
}

}  // namespace

extern "C" {
void* malloc(size_t n) { return counted(__libc_malloc(n)); }
void* calloc(size_t n, size_t size) { return counted(__libc_calloc(n, size)); }
void free(void* p) {
    uncount(p);
    __libc_free(p);
}
void* realloc(void* p, size_t n) {
    const size_t old = p ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, n);
    if (q || n == 0) live -= old;
    return counted(q);
}
void* memalign(size_t alignment, size_t n) { return counted(__libc_memalign(alignment, n)); }
void* aligned_alloc(size_t alignment, size_t n) { return memalign(alignment, n); }
int posix_memalign(void** out, size_t alignment, size_t n) {
    void* p = memalign(alignment, n);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
void* valloc(size_t n) { return memalign(4096, n); }
void* pvalloc(size_t n) { return memalign(4096, (n + 4095) & ~size_t{4095}); }
}

namespace {

// The bound every reader keeps: peak bytes held while reading a file of `size` bytes.
constexpr size_t kPerFileByte = 32;
constexpr size_t kConstant = 2u << 20;

// Peak heap bytes held by `run` beyond what was held before it; the file bytes are held by the
// caller and not counted.
size_t peakDuring(const std::function<void()>& run) {
    const size_t before = live.load();
    peak = before;
    run();
    return peak.load() - before;
}

void expectBounded(const std::string& name, size_t fileSize, size_t used) {
    EXPECT_LE(used, kPerFileByte * fileSize + kConstant)
        << name << ": " << used << " bytes for a " << fileSize << "-byte file";
    std::printf("  %-44s %9zu-byte file, peak %10zu bytes (%.1f x size)\n", name.c_str(), fileSize,
                used, fileSize ? double(used) / double(fileSize) : 0.0);
}

std::vector<unsigned char> worldHead(uint32_t vertices) {
    FieldBytes f;
    f.raw("BINWLD", 6).u16(10).u16(5).u32(vertices);
    for (uint32_t i = 0; i < vertices; ++i) f.vec(float(i), 0, 1);
    return f.b;
}

void roomHead(FieldBytes& f, uint16_t entities, uint16_t triangles, uint16_t portals) {
    f.u16(entities).u16(triangles).u16(portals).vec(-1, -1, -1).vec(1, 1, 1);
    for (int i = 0; i < 8 * 62; ++i) f.u8(0);
}

void triangle(FieldBytes& f, uint32_t a, uint32_t b, uint32_t c) {
    f.u16(0).u16(0).u32(a).u32(b).u32(c).i32(-1).i32(-1).i32(-1);
    for (int k = 0; k < 6; ++k) f.f(0);
}

// Worlds built to make the reader allocate as much as the format lets each byte ask for.
std::vector<std::pair<std::string, std::vector<unsigned char>>> hostileWorlds() {
    std::vector<std::pair<std::string, std::vector<unsigned char>>> out;
    {
        FieldBytes f;
        f.b = worldHead(0);
        f.u16(0).u16(0).u16(1);
        roomHead(f, 0, 0, 32767);
        for (int i = 0; i < 32767; ++i) f.u16(0).u16(0);
        out.push_back({"32767 empty portals", f.b});
    }
    {
        FieldBytes f;
        f.b = worldHead(0);
        f.u16(0).u16(32767);
        for (int i = 0; i < 32767; ++i) f.u32(0).u16(0);
        f.u16(0);
        out.push_back({"32767 empty models", f.b});
    }
    {
        FieldBytes f;
        f.b = worldHead(0);
        f.u16(0).u16(1).u32(0).u16(0).u16(1);
        roomHead(f, 65535, 0, 0);
        for (int i = 0; i < 65535; ++i) f.u16(0).vec(0, 0, 0).vec(0, 0, 0).u8(0);
        out.push_back({"65535 entities of an empty model", f.b});
    }
    {
        // Every entity's lit mask is as long as the model's 32767 triangles: without a limit
        // this file of under 4 MB would ask for 2 GiB of masks. The load fails instead.
        FieldBytes f;
        f.b = worldHead(0);
        f.u16(0).u16(1).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0).u16(32767);
        for (int i = 0; i < 32767; ++i) triangle(f, 0, 1, 2);
        f.u16(1);
        roomHead(f, 65535, 0, 0);
        for (int i = 0; i < 65535; ++i) f.u16(0).vec(0, 0, 0).vec(0, 0, 0).u8(0);
        out.push_back({"65535 entities of a 32767-triangle model", f.b});
    }
    {
        FieldBytes f;
        f.b = worldHead(100000);
        f.u16(0).u16(0).u16(1);
        roomHead(f, 0, 32767, 0);
        for (int i = 0; i < 32767; ++i) triangle(f, 0, 1, 2);
        out.push_back({"100000 vertices, 32767 room triangles", f.b});
    }
    return out;
}

TEST(AllocationBound, HostileWorldsHoldASmallMultipleOfTheirSize) {
    for (const auto& [name, bytes] : hostileWorlds()) {
        bool loaded = false;
        const size_t used = peakDuring([&] {
            World* w = loadWorldFromMemory(bytes.data(), bytes.size());
            loaded = w != nullptr;
            freeWorld(w);
        });
        expectBounded(name, bytes.size(), used);
        if (name.find("32767-triangle") != std::string::npos) {
            EXPECT_FALSE(loaded);
            EXPECT_NE(std::string(worldLoadError()).find("lit masks"), std::string::npos) << worldLoadError();
        } else {
            EXPECT_TRUE(loaded) << name << ": " << worldLoadError();
        }
    }
}

TEST(AllocationBound, CorpusAndRegressionFilesHoldASmallMultipleOfTheirSize) {
    std::vector<Case> all = worldCases();
    for (auto more : {textureListCases(), imageCases(), fontCases()}) all.insert(all.end(), more.begin(), more.end());
    size_t worst = 0;
    for (const Case& c : all) {
        const size_t used = peakDuring([&] { readAnyFormat(c.name, c.bytes); });
        EXPECT_LE(used, kPerFileByte * c.bytes.size() + kConstant) << c.name;
        worst = std::max(worst, used);
    }
    std::printf("  %zu corpus files: largest peak %zu bytes\n", all.size(), worst);
    for (const std::string& path : regressionFiles()) {
        const std::vector<unsigned char> bytes = fileBytes(path);
        expectBounded(path.substr(path.find_last_of('/') + 1), bytes.size(),
                      peakDuring([&] { readAnyFormat(path, bytes); }));
    }
}

TEST(AllocationBound, ListsImagesAndFontsAtTheirLimits) {
    FieldBytes names;
    names.raw("TLST", 4).u16(32767).u32(32767);
    for (int i = 0; i < 32767; ++i) names.u8(0);
    expectBounded("32767 empty texture names", names.b.size(),
                  peakDuring([&] { readAnyFormat("names.ktl", names.b); }));
    FieldBytes image;
    image.u16(256).u16(256).u8(1);
    image.b.resize(5 + 256 * 256 * 4, 0x80);
    expectBounded("256 x 256 RGBA image and its mipmaps", image.b.size(),
                  peakDuring([&] { readAnyFormat("big.raw", image.b); }));
    // The widest glyphs the format allows, in a file with no records, then with 256 of them.
    FieldBytes font;
    font.raw("KBF", 3).u16(65535).u16(15);
    expectBounded("7-byte font of 65535 x 15 glyphs", font.b.size(),
                  peakDuring([&] { readAnyFormat("wide.kbf", font.b); }));
    for (int code = 0; code < 256; ++code) {
        font.u8(static_cast<uint8_t>(code));
        font.b.resize(font.b.size() + kbfGlyphBytes(65535, 15), 0xAA);
    }
    expectBounded("256 glyphs of 65535 x 15", font.b.size(),
                  peakDuring([&] { readAnyFormat("wide.kbf", font.b); }));
}

long residentKiB() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

TEST(LoadAndFree, ThousandCyclesOfTheDemoWorldReturnEveryByte) {
    // The demo world when it has been made, else the sample world the build always makes.
    std::string world = std::string(QV_RUN_DIR) + "/demo.kbw";
    if (FILE* f = std::fopen(world.c_str(), "rb")) std::fclose(f);
    else world = std::string(QV_RUN_DIR) + "/sample.kbw";
    const std::string list = std::string(QV_RUN_DIR) + "/demo.ktl";
    std::printf("  cycling %s\n", world.c_str());

    auto cycle = [&] {
        World* w = loadWorld(world.c_str());
        ASSERT_NE(w, nullptr) << worldLoadError();
        freeWorld(w);
        const std::vector<unsigned char> bytes = fileBytes(list);
        TextureList names;
        std::string reason;
        if (!bytes.empty() && parseTextureList(bytes.data(), bytes.size(), names, reason)) {
            for (const std::string& name : names.names) {
                RawImage image;
                readRawImage((std::string(QV_RUN_DIR) + "/" + name).c_str(), image, reason);
            }
        }
    };
    cycle();
    const size_t before = live.load();
    long rss[10] = {};  // resident size after every hundred cycles
    for (int i = 0; i < 1000; ++i) {
        cycle();
        ASSERT_EQ(live.load(), before) << "cycle " << i << " kept bytes";
        if (i % 100 == 99) rss[i / 100] = residentKiB();
    }
    // From cycle 100 on the heap has found its working size and must stay there.
    const long rssBefore = rss[0], rssAfter = rss[9];
    std::printf("  live heap %zu bytes before and after; resident %ld KiB after 100 cycles, "
                "%ld KiB after 1000\n", before, rssBefore, rssAfter);
    EXPECT_LE(rssAfter, rssBefore + 256);
}

}  // namespace
