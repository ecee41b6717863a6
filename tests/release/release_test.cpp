// What a release promises before it is packed: every program names the project's version, and
// the program laid out as the package installs it (PREFIX/bin beside PREFIX/share/quorvel) runs
// the installed world from an empty folder and writes its log to the state folder, while the
// program run from the build keeps to the working folder. Without a display the program stops at
// the window ("Could not initialize LL!"), after the log is opened, which is all these need; the
// package's own end-to-end test (deb_install_test.sh) runs it on an X server.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "quorvel_version.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
};

// `command` through the shell with its output kept; the exit status, or -1 for a signal.
Outcome run(const std::string& command) {
    const fs::path out = fs::temp_directory_path() / ("qv-release-" + std::to_string(getpid()) + ".txt");
    const int raw = std::system((command + " >" + out.string() + " 2>&1").c_str());
    std::ifstream f(out);
    std::stringstream s;
    s << f.rdbuf();
    fs::remove(out);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, s.str()};
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

struct TempFolder {
    fs::path path;
    explicit TempFolder(const std::string& name)
        : path(fs::temp_directory_path() / ("qv-release-" + name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
};

bool isEmpty(const fs::path& dir) { return fs::is_empty(dir); }

TEST(Version, EveryProgramPrintsTheProjectsVersion) {
    const std::string version = QV_VERSION;
    EXPECT_TRUE(version.find_first_not_of("0123456789.") == std::string::npos && !version.empty()) << version;
    const std::pair<const char*, const char*> programs[] = {
        {"quorvel", QV_QUORVEL_PATH}, {"quorvel-world", QV_WORLD_PATH}, {"quorvel-capture", QV_CAPTURE_PATH}};
    for (const auto& [name, path] : programs) {
        const Outcome r = run(std::string("env -u DISPLAY '") + path + "' --version");
        EXPECT_EQ(r.status, 0) << name << ": " << r.out;
        EXPECT_EQ(r.out, std::string(name) + " " + version + "\n");
    }
}

// A prefix laid out as the package installs it, with the built program and the built world.
struct InstalledLayout {
    TempFolder root{"layout"};
    fs::path bin = root.path / "usr/bin";
    fs::path data = root.path / "usr/share/quorvel";
    fs::path empty = root.path / "empty";
    fs::path home = root.path / "home";
    InstalledLayout() {
        fs::create_directories(bin);
        fs::create_directories(data);
        fs::create_directories(empty);
        fs::create_directories(home);
        fs::copy_file(QV_QUORVEL_PATH, bin / "quorvel");
        for (const char* f : {"demo.kbw", "demo.ktl", "font.kbf"}) fs::copy_file(fs::path(QV_RUN_DIR) / f, data / f);
        fs::copy(fs::path(QV_RUN_DIR) / "textures", data / "textures", fs::copy_options::recursive);
    }
    // The program started in `where` without a display; the environment and arguments as given.
    Outcome start(const fs::path& program, const fs::path& where, const std::string& env,
                  const std::string& args = "") const {
        return run("cd " + quoted(where) + " && env -u DISPLAY -u XDG_STATE_HOME SDL_VIDEODRIVER=x11 " + env + " " +
                   quoted(program) + " " + args);
    }
};

TEST(InstalledLayout, RunsFromAnEmptyFolderWithTheLogInXdgStateHome) {
    InstalledLayout layout;
    const fs::path state = layout.root.path / "state";
    const Outcome r = layout.start(layout.bin / "quorvel", layout.empty,
                               "HOME=" + quoted(layout.home) + " XDG_STATE_HOME=" + quoted(state));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Could not initialize LL!"), std::string::npos) << "it got as far as the window: " << r.out;
    EXPECT_TRUE(fs::exists(state / "quorvel/FPSlog.txt")) << r.out;
    EXPECT_TRUE(isEmpty(layout.empty)) << "nothing in the folder it started in";
    EXPECT_TRUE(isEmpty(layout.home)) << "nothing in the home folder";
    EXPECT_FALSE(fs::exists(layout.data / "FPSlog.txt")) << "nothing beside the installed world";
}

TEST(InstalledLayout, WithoutXdgStateHomeTheLogGoesUnderHomesLocalState) {
    InstalledLayout layout;
    const Outcome r = layout.start(layout.bin / "quorvel", layout.empty, "HOME=" + quoted(layout.home));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(fs::exists(layout.home / ".local/state/quorvel/FPSlog.txt")) << r.out;
    EXPECT_TRUE(isEmpty(layout.empty));
    // Only the state folder in the home folder.
    int entries = 0;
    for (const auto& e : fs::recursive_directory_iterator(layout.home)) entries += e.is_regular_file();
    EXPECT_EQ(entries, 1);
}

TEST(InstalledLayout, AWorldInTheWorkingFolderOrAGivenFolderStaysWhereItIs) {
    InstalledLayout layout;
    const fs::path state = layout.root.path / "state";
    const fs::path own = layout.root.path / "own";
    fs::create_directories(own);
    std::ofstream(own / "demo.kbw") << "not read: the window fails first";
    Outcome r = layout.start(layout.bin / "quorvel", own, "XDG_STATE_HOME=" + quoted(state));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(fs::exists(own / "FPSlog.txt")) << "its own world: its own folder, as always";
    EXPECT_FALSE(fs::exists(state)) << r.out;

    fs::remove(own / "FPSlog.txt");
    r = layout.start(layout.bin / "quorvel", layout.empty, "XDG_STATE_HOME=" + quoted(state), quoted(own));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(fs::exists(own / "FPSlog.txt")) << "WORLD_DIR given: that folder, as always";
    EXPECT_FALSE(fs::exists(state));
    EXPECT_TRUE(isEmpty(layout.empty));
}

TEST(InstalledLayout, TheCaptureToolDefaultsToTheInstalledWorldToo) {
    InstalledLayout layout;
    fs::copy_file(QV_CAPTURE_PATH, layout.bin / "quorvel-capture");
    const fs::path state = layout.root.path / "state";
    const fs::path shot = layout.root.path / "shot.png";
    const Outcome r = layout.start(layout.bin / "quorvel-capture", layout.empty,
                                   "HOME=" + quoted(layout.home) + " XDG_STATE_HOME=" + quoted(state),
                                   "--frames 1 --shot 0:" + quoted(shot));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_GT(fs::file_size(shot), 1000u) << "the installed world's first frame";
    EXPECT_TRUE(fs::exists(state / "quorvel/FPSlog.txt")) << r.out;
    EXPECT_TRUE(isEmpty(layout.empty));
    EXPECT_TRUE(isEmpty(layout.home));
}

TEST(BuildFromSource, KeepsToTheWorkingFolder) {
    TempFolder empty("source-empty"), state("source-state");
    const Outcome r = run("cd " + quoted(empty.path) + " && env -u DISPLAY SDL_VIDEODRIVER=x11 XDG_STATE_HOME=" +
                      quoted(state.path) + " '" QV_QUORVEL_PATH "'");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(fs::exists(empty.path / "FPSlog.txt")) << "the log where it started, as always";
    EXPECT_TRUE(isEmpty(state.path)) << "the state folder is only for the installed program";
}

}  // namespace
