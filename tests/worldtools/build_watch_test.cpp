// quorvel-world build --watch as a user runs it: the example scene with its OBJ model and PNG
// image is built, then rebuilt when the scene, the model or the image is saved; broken JSON and a
// broken model print their errors and leave the last good output as it was while the watch goes
// on; Ctrl-C ends it with status 0.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tools/world/build_watch.h"

#ifndef QV_WORLD_EXE
#error "QV_WORLD_EXE must name quorvel-world"
#endif

namespace {

constexpr int kEffectMs = 30000;  // a busy machine builds slowly

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool waitUntil(const std::function<bool()>& done, int ms = kEffectMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

size_t count(const std::string& text, const std::regex& line) {
    return size_t(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()));
}

class BuildWatch : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qv-buildwatch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(std::system(("cp " QV_EXAMPLES_DIR "/two-rooms/* " + dir_).c_str()), 0);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::system(("rm -rf " + dir_).c_str());
    }
    void start() {
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir_.c_str()) != 0) _exit(120);
            const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            execl(QV_WORLD_EXE, "quorvel-world", "build", "--watch", "scene.json", "-o", "out",
                  static_cast<char*>(nullptr));
            _exit(121);
        }
    }
    std::string out() const { return readFile(dir_ + "/stdout.txt"); }
    std::string err() const { return readFile(dir_ + "/stderr.txt"); }
    std::string world() const { return readFile(dir_ + "/out/demo.kbw"); }
    size_t builds() const { return count(out(), std::regex("^built in \\d+ ms: out/demo\\.kbw \\(2 rooms, ", std::regex::multiline)); }
    size_t errors() const { return count(err(), std::regex("^error: ", std::regex::multiline)); }
    // The exit status once the program has ended, or -1 after `ms`.
    int waitExit(int ms) {
        int status = 0;
        const bool ended = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
        if (!ended) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir_;
    pid_t pid_ = -1;
};

TEST_F(BuildWatch, SavesRebuildBrokenSavesKeepTheLastGoodOutputAndCtrlCEndsWithZero) {
    start();
    ASSERT_TRUE(waitUntil([&] { return builds() == 1; })) << out() << err();
    const std::string scene = readFile(dir_ + "/scene.json");
    const std::string first = world();
    ASSERT_FALSE(first.empty());

    // The scene: another light colour.
    const std::string redScene = std::regex_replace(scene, std::regex("\"diffuse\": \\[1, 0.95, 0.85\\]"),
                                                    "\"diffuse\": [1, 0.2, 0.2]");
    ASSERT_NE(redScene, scene);
    writeFile(dir_ + "/scene.json", redScene);
    ASSERT_TRUE(waitUntil([&] { return builds() == 2; })) << out() << err();
    const std::string red = world();
    EXPECT_NE(red, first);

    // The OBJ model and the PNG image the scene names: each save is a build.
    const std::string obj = readFile(dir_ + "/pillar.obj");
    writeFile(dir_ + "/pillar.obj", obj + "# saved again\n");
    ASSERT_TRUE(waitUntil([&] { return builds() == 3; })) << out() << err();
    writeFile(dir_ + "/poster.png", readFile(dir_ + "/poster.png"));
    ASSERT_TRUE(waitUntil([&] { return builds() == 4; })) << out() << err();
    EXPECT_EQ(errors(), 0u) << err();

    // Broken JSON: its error with its place; the output stays the last good one.
    writeFile(dir_ + "/scene.json", "{ \"rooms\": [ }");
    ASSERT_TRUE(waitUntil([&] { return errors() == 1; })) << out() << err();
    EXPECT_TRUE(std::regex_search(err(), std::regex("error: scene\\.json: line 1, column \\d+: "))) << err();
    EXPECT_EQ(world(), red);

    // A broken model: the same, the error naming the file and line.
    writeFile(dir_ + "/scene.json", redScene);
    writeFile(dir_ + "/pillar.obj", obj + "f 1 2 0\n");
    ASSERT_TRUE(waitUntil([&] { return errors() >= 2; })) << out() << err();
    EXPECT_NE(err().find("pillar.obj"), std::string::npos) << err();
    EXPECT_EQ(world(), red);
    EXPECT_EQ(builds(), 4u);

    // Mended: built again, and the watch is still on.
    writeFile(dir_ + "/pillar.obj", obj);
    ASSERT_TRUE(waitUntil([&] { return builds() == 5; })) << out() << err();
    EXPECT_EQ(world(), red);

    kill(pid_, SIGINT);
    EXPECT_EQ(waitExit(kEffectMs), 0);
}

TEST_F(BuildWatch, AMissingSceneFolderCannotBeWatched) {
    EXPECT_EQ(std::system((std::string(QV_WORLD_EXE) + " build --watch " + dir_ +
                           "/no-such-folder/scene.json -o " + dir_ + "/out 2>/dev/null")
                              .c_str()) >> 8,
              1);
}

TEST(MeshCompanions, BuffersBesideGltfAndMaterialsBesideObj) {
    char pattern[] = "/tmp/qv-companions-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    for (const char* name : {"a.gltf", "a.bin", "b.BIN", "m.obj", "m.mtl", "x.png", "y.stl"})
        writeFile(dir + "/" + name, "x");
    std::vector<std::string> found = meshCompanions({dir + "/a.gltf"});
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{dir + "/a.bin", dir + "/b.BIN"}));
    EXPECT_EQ(meshCompanions({dir + "/m.obj"}), std::vector<std::string>{dir + "/m.mtl"});
    EXPECT_TRUE(meshCompanions({dir + "/x.png", dir + "/y.stl"}).empty());
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
