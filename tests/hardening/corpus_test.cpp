// Every file of the malformed corpus through the readers, from memory and from a file, and
// through the command-line tools: a bad file gives a clean failure with a reason (the loader
// returns null or false, the tool exits 1 and says why); a good one gives a consistent result.
// The sanitizer build runs the same cases, so any out-of-bounds read or leak fails here too.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/world_check.h"
#include "tests/hardening/malformed.h"
#include "text/kbf.h"
#include "world/textures.h"
#include "world/world_file.h"

namespace {

std::string save(const std::vector<unsigned char>& bytes, const std::string& name) {
    const std::string path = "hard_" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

struct ToolRun {
    int status;
    std::string output;
};

ToolRun runTool(const std::string& command) {
    ToolRun run{-1, ""};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return run;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.output.append(buf, n);
    const int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// The tools are run on every case but truncations, and on every 64th truncation, so the suite
// stays quick under the sanitizers.
bool runToolFor(const Case& c) {
    const size_t cut = c.name.find(" cut to ");
    return cut == std::string::npos || std::stoul(c.name.substr(cut + 8)) % 64 == 0;
}

void expectOutcome(const Case& c, bool loaded, const std::string& reason) {
    if (c.expect == Expect::Fail) {
        EXPECT_FALSE(loaded) << c.name << " loaded";
    }
    if (c.expect == Expect::Load) {
        EXPECT_TRUE(loaded) << c.name << " failed: " << reason;
    }
    if (!loaded) {
        EXPECT_FALSE(reason.empty()) << c.name << " failed without a reason";
    }
}

TEST(MalformedCorpus, WorldsFailCleanlyOrLoadConsistently) {
    const std::vector<Case> cases = worldCases();
    ASSERT_GT(cases.size(), 100u);
    int toolRuns = 0;
    for (const Case& c : cases) {
        World* fromMemory = loadWorldFromMemory(c.bytes.data(), c.bytes.size());
        const std::string memoryReason = worldLoadError();
        const std::string path = save(c.bytes, "world.kbw");
        World* fromFile = loadWorld(path.c_str());
        EXPECT_EQ(fromMemory != nullptr, fromFile != nullptr) << c.name;
        EXPECT_EQ(memoryReason, worldLoadError()) << c.name;
        expectOutcome(c, fromFile != nullptr, worldLoadError());
        if (fromFile) {
            const char* problem = checkWorld(*fromFile);
            EXPECT_EQ(problem, nullptr) << c.name << ": " << problem;
        }
        freeWorld(fromMemory);
        freeWorld(fromFile);

        if (!runToolFor(c)) continue;
        ++toolRuns;
        const ToolRun info = runTool(std::string(QV_WORLD_TOOL) + " info " + path);
        if (c.expect == Expect::Fail) {
            EXPECT_EQ(info.status, 1) << c.name << "\n" << info.output;
            EXPECT_NE(info.output.find("quorvel-world info: " + path + ": "), std::string::npos)
                << c.name << "\n" << info.output;
        } else if (c.expect == Expect::Load) {
            EXPECT_EQ(info.status, 0) << c.name << "\n" << info.output;
        } else {
            EXPECT_TRUE(info.status == 0 || info.status == 1) << c.name << "\n" << info.output;
        }
    }
    EXPECT_GT(toolRuns, 50);
}

TEST(MalformedCorpus, TextureListsFailCleanlyAndTheValidatorSaysWhy) {
    for (const Case& c : textureListCases()) {
        TextureList list;
        std::string reason;
        const bool ok = parseTextureList(c.bytes.data(), c.bytes.size(), list, reason);
        expectOutcome(c, ok, reason);
        if (ok) {
            EXPECT_EQ(list.names.size(), static_cast<size_t>(list.count)) << c.name;
        }
        if (!runToolFor(c) || c.expect != Expect::Fail) continue;
        const std::string path = save(c.bytes, "list.ktl");
        const ToolRun run = runTool(std::string(QV_WORLD_TOOL) + " validate " + QV_SAMPLE_WORLD +
                                    " --textures " + path);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.output;
        EXPECT_NE(run.output.find("error: texture list: "), std::string::npos) << c.name << "\n" << run.output;
    }
}

TEST(MalformedCorpus, ImagesFailCleanlyFromMemoryAndFromFiles) {
    // The validator resolves image names against the list's folder.
    save(validTextureList().with("count", 1), "images.ktl");
    for (const Case& c : imageCases()) {
        RawImage fromMemory, fromFile;
        std::string memoryReason, fileReason;
        const bool memoryOk = parseRawImage(c.bytes.data(), c.bytes.size(), fromMemory, memoryReason);
        save(c.bytes, "a.raw");
        const bool fileOk = readRawImage("hard_a.raw", fromFile, fileReason);
        EXPECT_EQ(memoryOk, fileOk) << c.name;
        expectOutcome(c, fileOk, fileReason);
        expectOutcome(c, memoryOk, memoryReason);
        if (fileOk) {
            EXPECT_EQ(fromFile.pixels, fromMemory.pixels) << c.name;
            EXPECT_EQ(fromFile.pixels.size(),
                      size_t{fromFile.width} * fromFile.height * imageComponents(fromFile.alpha));
        }
        if (!runToolFor(c) || c.expect != Expect::Fail) continue;
        // The list names "a.raw" relative to itself; this test writes it as hard_a.raw.
        std::vector<unsigned char> list = {'T', 'L', 'S', 'T', 1, 0, 11, 0, 0, 0};
        for (char ch : std::string("hard_a.raw")) list.push_back(static_cast<unsigned char>(ch));
        list.push_back(0);
        const std::string listPath = save(list, "image_list.ktl");
        const ToolRun run = runTool(std::string(QV_WORLD_TOOL) + " validate " + QV_SAMPLE_WORLD +
                                    " --textures " + listPath);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.output;
        EXPECT_NE(run.output.find("error: texture 0 \"hard_a.raw\": "), std::string::npos)
            << c.name << "\n" << run.output;
    }
}

TEST(MalformedCorpus, FontsFailCleanlyFromMemoryAndFromFiles) {
    for (const Case& c : fontCases()) {
        KbfFont fromMemory, fromFile;
        std::string memoryReason, fileReason;
        const bool memoryOk = parseKbf(c.bytes.data(), c.bytes.size(), &fromMemory, memoryReason);
        const std::string path = save(c.bytes, "font.kbf");
        const bool fileOk = readKbfFile(path.c_str(), &fromFile, fileReason);
        EXPECT_EQ(memoryOk, fileOk) << c.name;
        expectOutcome(c, fileOk, fileReason);
        if (fileOk) {
            EXPECT_EQ(fromFile.bitmaps, fromMemory.bitmaps) << c.name;
            EXPECT_EQ(fromFile.recordCount, fromMemory.recordCount) << c.name;
        }
        if (!runToolFor(c) || c.expect != Expect::Fail) continue;
        const ToolRun run = runTool(std::string(QV_FONT_TOOL) + " --dump " + path);
        EXPECT_EQ(run.status, 1) << c.name << "\n" << run.output;
        EXPECT_NE(run.output.find("quorvel-font: " + path + ": "), std::string::npos) << c.name << "\n" << run.output;
    }
}

TEST(MalformedCorpus, ReadersRefuseDirectoriesAndMissingFiles) {
    EXPECT_EQ(loadWorld("."), nullptr);
    EXPECT_STRNE(worldLoadError(), "");
    EXPECT_EQ(loadWorld("hard_no_such_file.kbw"), nullptr);
    RawImage image;
    std::string reason;
    EXPECT_FALSE(readRawImage(".", image, reason));
    KbfFont font;
    EXPECT_FALSE(readKbfFile(".", &font, reason));
}

}  // namespace
