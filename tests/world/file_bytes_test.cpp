// Whole-file reading for the parsers: regular files only, so a directory, a device or a pipe
// handed over as a world, texture list or image fails at once instead of hanging or exhausting memory.
#include <gtest/gtest.h>

#include <cstdio>

#include "world/file_bytes.h"
#include "world/world_file.h"

namespace {

TEST(FileBytes, ReadsRegularFilesWholeAndRefusesEverythingElse) {
    const std::string path = "file_bytes_test.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("BINWLD", f);
    std::fclose(f);
    std::vector<unsigned char> bytes{1, 2, 3};
    ASSERT_TRUE(readFileBytes(path, bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "BINWLD");

    EXPECT_FALSE(readFileBytes(".", bytes));  // a directory
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(readFileBytes("/dev/zero", bytes));  // endless
    EXPECT_FALSE(readFileBytes("no-such-file.bin", bytes));
    EXPECT_EQ(loadWorld("/dev/zero"), nullptr);
    EXPECT_NE(std::string(worldLoadError()).find("/dev/zero"), std::string::npos);
}

}  // namespace
