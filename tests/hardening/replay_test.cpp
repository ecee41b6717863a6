// Replays every file that once broke a reader (tests/hardening/regressions/, found by fuzzing or
// by review) through the memory parsers and the file readers: each must fail with a reason or
// load into something consistent, and both roads must agree.
#include <gtest/gtest.h>

#include "tests/hardening/replay.h"

TEST(Regressions, EveryFileFailsCleanlyOrLoadsConsistently) {
    const std::vector<std::string> files = regressionFiles();
    const std::map<std::string, std::string> outcomes = regressionOutcomes();
    ASSERT_GE(files.size(), 10u) << "tests/hardening/regressions/ lost its files";
    EXPECT_EQ(outcomes.size(), files.size()) << "every file needs one line in outcomes.txt";
    for (const std::string& path : files) {
        const ReadOutcome memory = readAnyFormat(path, fileBytes(path));
        const ReadOutcome file = readAnyFile(path);
        ASSERT_TRUE(memory.known) << path << ": name it .kbw, .ktl, .raw or .kbf";
        EXPECT_EQ(memory.loaded, file.loaded) << path;
        const auto expected = outcomes.find(path);
        ASSERT_NE(expected, outcomes.end()) << path << " has no line in outcomes.txt";
        EXPECT_EQ(file.loaded ? "load" : "fail", expected->second) << path << ": " << file.reason;
        if (!file.loaded) {
            EXPECT_FALSE(file.reason.empty()) << path;
        }
        EXPECT_EQ(memory.problem, "") << path;
        EXPECT_EQ(file.problem, "") << path;
    }
    std::printf("  %zu regression files replayed\n", files.size());
}
