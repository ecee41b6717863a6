// The file watch on the platform's own notification (inotify on Linux; ReadDirectoryChangesW when
// this suite runs under Wine): a watched file written in place, replaced by a rename, deleted or
// created is seen; other files of its folder are not; folders that are missing are skipped.
#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <string>

#include "ll/file_watch.h"

namespace {

// How long a notification may take to arrive: it is asynchronous under Wine, and a busy machine
// delays it further.
constexpr int kArriveMs = 10000;
// How long an ignored change is given to show up anyway before the test takes it as ignored.
constexpr int kIgnoredMs = 500;

void makeFolder(const std::string& path) {
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0755);
#endif
}

void writeText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

// What the world compiler does: a temporary file renamed over the real one.
void replaceByRename(const std::string& path, const std::string& text) {
    writeText(path + ".tmp", text);
#ifdef _WIN32
    ASSERT_TRUE(MoveFileExA((path + ".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) << path;
#else
    ASSERT_EQ(std::rename((path + ".tmp").c_str(), path.c_str()), 0) << path;
#endif
}

class FileWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int n = 0;
#ifdef _WIN32
        dir_ = "fw-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++n);
#else
        dir_ = "fw-" + std::to_string(getpid()) + "-" + std::to_string(++n);
#endif
        makeFolder(dir_);
        makeFolder(dir_ + "/textures");
        writeText(dir_ + "/demo.kbw", "world");
        writeText(dir_ + "/demo.ktl", "list");
        writeText(dir_ + "/textures/a.raw", "image");
    }
    void TearDown() override {
        closeFileWatch(watch_);
        for (const char* name : {"demo.kbw", "demo.ktl", "textures/a.raw", "FPSlog.txt", "demo.kbw.tmp",
                                 "textures/b.raw", "new.kbw"})
            std::remove((dir_ + "/" + name).c_str());
        rmdir((dir_ + "/textures").c_str());
        rmdir(dir_.c_str());
    }
    void open(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const std::string& n : names) paths.push_back(dir_ + "/" + n);
        std::string error;
        watch_ = openFileWatch(paths, error);
        ASSERT_NE(watch_, nullptr) << error;
    }

    std::string dir_;
    FileWatch* watch_ = nullptr;
};

TEST_F(FileWatchTest, WritesRenamesDeletionsAndCreationsOfWatchedFilesAreSeen) {
    open({"demo.kbw", "demo.ktl", "textures/a.raw", "new.kbw"});
    EXPECT_FALSE(fileWatchChanged(watch_));

    writeText(dir_ + "/demo.ktl", "list 2");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs)) << "a write in place";
    while (waitFileWatch(watch_, kIgnoredMs)) {
    }  // the rest of that write's events

    replaceByRename(dir_ + "/demo.kbw", "world 2");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs)) << "a rename over the file";
    while (waitFileWatch(watch_, kIgnoredMs)) {
    }

    writeText(dir_ + "/textures/a.raw", "image 2");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs)) << "a file in a folder below";
    while (waitFileWatch(watch_, kIgnoredMs)) {
    }

    ASSERT_EQ(std::remove((dir_ + "/demo.ktl").c_str()), 0);
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs)) << "a deletion";
    while (waitFileWatch(watch_, kIgnoredMs)) {
    }

    writeText(dir_ + "/new.kbw", "born");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs)) << "a watched name that did not exist yet";
}

TEST_F(FileWatchTest, OtherFilesOfTheWatchedFoldersAreIgnored) {
    open({"demo.kbw", "textures/a.raw"});
    // The frame-rate log, the compiler's temporary file and an image the list does not name.
    writeText(dir_ + "/FPSlog.txt", "FPS: 60\n");
    writeText(dir_ + "/demo.kbw.tmp", "half");
    writeText(dir_ + "/textures/b.raw", "other");
    EXPECT_FALSE(waitFileWatch(watch_, kIgnoredMs));
    EXPECT_FALSE(fileWatchChanged(watch_));
    // Still watching: the watched file's change comes through after all that.
    writeText(dir_ + "/demo.kbw", "world 3");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs));
}

TEST_F(FileWatchTest, MissingFoldersAreSkippedAndNothingToWatchIsAnError) {
    std::string error;
    watch_ = openFileWatch({dir_ + "/no-such-folder/x.raw", dir_ + "/demo.kbw"}, error);
    ASSERT_NE(watch_, nullptr) << error;
    writeText(dir_ + "/demo.kbw", "again");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs));

    error.clear();
    FileWatch* none = openFileWatch({dir_ + "/no-such-folder/x.raw"}, error);
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
    closeFileWatch(none);
}

TEST(FileWatchFolders, NamesAreGroupedByTheirFolder) {
    const std::vector<WatchedFolder> folders =
        groupByFolder({"demo.kbw", "demo.ktl", "textures/a.raw", "textures/b.raw", "/abs/c.raw", "demo.kbw", "dir/"});
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0].folder, ".");
    EXPECT_EQ(folders[0].names, (std::vector<std::string>{"demo.kbw", "demo.ktl"}));
    EXPECT_EQ(folders[1].folder, "textures");
    EXPECT_EQ(folders[1].names, (std::vector<std::string>{"a.raw", "b.raw"}));
    EXPECT_EQ(folders[2].folder, "/abs");
    EXPECT_TRUE(watchesName(folders[1], "b.raw"));
    EXPECT_FALSE(watchesName(folders[1], "b.raw.tmp"));
    EXPECT_EQ(groupByFolder({"/top.kbw"})[0].folder, "/");
}

#ifndef _WIN32
TEST_F(FileWatchTest, AFileReachedThroughALinkIsWatchedWhereItLies) {
    const std::string elsewhere = dir_ + "/textures";
    writeText(elsewhere + "/b.raw", "target");
    ASSERT_EQ(symlink("textures/b.raw", (dir_ + "/FPSlog.txt").c_str()), 0);
    open({"FPSlog.txt"});
    writeText(elsewhere + "/b.raw", "target changed");
    EXPECT_TRUE(waitFileWatch(watch_, kArriveMs));
}
#endif

}  // namespace
