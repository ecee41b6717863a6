// Where the program runs and writes: the state folder from the environment, the installed demo
// world beside the program's folder, making the state folder, the choice between the working
// folder and the installed world, the outputs going to the output folder (the log at start-up,
// F12's screenshots), and --version on the command line.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/command_line.h"
#include "app/desktop.h"
#include "app/driver.h"
#include "app/run_folders.h"
#include "ll/headless_gl.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder for one test, removed with it.
struct TempFolder {
    fs::path path;
    explicit TempFolder(const std::string& name)
        : path(fs::temp_directory_path() / ("qv-run-folders-" + name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
};

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

TEST(StateFolder, XdgStateHomeFirstThenHomeAndNothingRelative) {
    EXPECT_EQ(stateFolder("/x/state", "/home/ann"), "/x/state/quorvel");
    EXPECT_EQ(stateFolder(nullptr, "/home/ann"), "/home/ann/.local/state/quorvel");
    EXPECT_EQ(stateFolder("", "/home/ann"), "/home/ann/.local/state/quorvel") << "set but empty: the default";
    EXPECT_EQ(stateFolder("relative/state", "/home/ann"), "/home/ann/.local/state/quorvel")
        << "a relative XDG_STATE_HOME is invalid and ignored";
    EXPECT_EQ(stateFolder(nullptr, nullptr), "");
    EXPECT_EQ(stateFolder(nullptr, "not/absolute"), "");
    EXPECT_EQ(stateFolder("/only/xdg", nullptr), "/only/xdg/quorvel");
}

TEST(InstalledDataFolder, OnlyWhereTheWorldLiesBesideTheProgramsFolder) {
    TempFolder prefix("prefix");
    fs::create_directories(prefix.path / "bin");
    const std::string bin = (prefix.path / "bin").string();
    EXPECT_EQ(installedDataFolder(bin), "") << "no share/quorvel: a build from source";
    fs::create_directories(prefix.path / "share/quorvel/demo.kbw");
    EXPECT_EQ(installedDataFolder(bin), "") << "a folder named demo.kbw is not a world";
    fs::remove(prefix.path / "share/quorvel/demo.kbw");
    touch(prefix.path / "share/quorvel/demo.kbw");
    EXPECT_EQ(installedDataFolder(bin), (prefix.path / "share/quorvel").string()) << "tidied: no /bin/..";
    EXPECT_EQ(installedDataFolder(bin + "/"), (prefix.path / "share/quorvel").string());
    EXPECT_EQ(installedDataFolder(""), "");
    fs::create_directories(prefix.path / "opt/bin");
    EXPECT_EQ(installedDataFolder((prefix.path / "opt/bin").string()), "") << "only the prefix beside the program's folder";
}

TEST(InstalledDataFolder, TheBuildsOwnProgramHasNone) {
    // build/app/quorvel: build/share/quorvel does not exist, so a build from source never
    // switches to an installed world.
    EXPECT_EQ(installedDataFolder(fs::path(QV_QUORVEL_PATH).parent_path().string()), "");
}

TEST(MakeFolders, MakesTheMissingParentsPrivateAndKeepsWhatIsThere) {
    TempFolder root("make");
    const fs::path deep = root.path / "a/b/c";
    std::string error;
    ASSERT_TRUE(makeFolders(deep.string(), error)) << error;
    EXPECT_TRUE(fs::is_directory(deep));
    struct stat st;
    ASSERT_EQ(stat((root.path / "a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    touch(deep / "FPSlog.txt");
    EXPECT_TRUE(makeFolders(deep.string(), error)) << "already there: " << error;
    EXPECT_TRUE(fs::exists(deep / "FPSlog.txt"));
    EXPECT_TRUE(makeFolders(deep.string() + "/", error)) << error;

    touch(root.path / "file");
    EXPECT_FALSE(makeFolders((root.path / "file/sub").string(), error));
    EXPECT_NE(error.find((root.path / "file").string()), std::string::npos) << error;
    EXPECT_FALSE(makeFolders("", error));
}

TEST(ChooseRunFolders, TheInstalledWorldOnlyWhenNothingElseIsThere) {
    const std::string data = "/usr/share/quorvel", state = "/home/ann/.local/state/quorvel";
    const RunFolders installed = chooseRunFolders(false, false, data, state);
    EXPECT_EQ(installed.worldFolder, data);
    EXPECT_EQ(installed.outputFolder, state);
    for (const RunFolders& same : {chooseRunFolders(true, false, data, state), chooseRunFolders(false, true, data, state),
                                   chooseRunFolders(false, false, "", state), chooseRunFolders(false, false, data, "")}) {
        EXPECT_EQ(same.worldFolder, "");
        EXPECT_EQ(same.outputFolder, "");
    }
}

TEST(CommandLine, VersionIsAnOptionOfItsOwn) {
    CommandLine line;
    std::string error;
    const char* version[] = {"quorvel", "--version"};
    ASSERT_TRUE(parseCommandLine(2, version, line, error));
    EXPECT_TRUE(line.version);
    EXPECT_FALSE(line.help);
    const char* named[] = {"quorvel", "--", "--version"};
    ASSERT_TRUE(parseCommandLine(3, named, line, error));
    EXPECT_FALSE(line.version);
    EXPECT_EQ(line.worldDir, "--version") << "after -- it is a folder's name";
}

TEST(OutputFolder, NamesTheLogAndTakesF12sScreenshots) {
    resetDriver();
    EXPECT_EQ(outputPath("FPSlog.txt"), "FPSlog.txt") << "no output folder: the working folder, as always";
    TempFolder out("shots");
    driverState().outputFolder = out.path.string();
    EXPECT_EQ(outputPath("FPSlog.txt"), (out.path / "FPSlog.txt").string());

    std::string error;
    ASSERT_TRUE(createHeadlessGL(HeadlessGLConfig{}, error)) << error;
    glViewport(0, 0, 64, 48);
    glClearColor(0.5f, 0.25f, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    resetDesktop();
    desktopState().shotWanted = true;
    const fs::path here = fs::current_path();
    const bool hadShot = fs::exists(here / "quorvel-0001.png");
    desktopAfterFrame(driverState(), 0);
    EXPECT_TRUE(fs::exists(out.path / "quorvel-0001.png")) << desktopState().notice;
    if (!hadShot) {
        EXPECT_FALSE(fs::exists(here / "quorvel-0001.png")) << "nothing in the working folder";
    }
    resetDesktop();
    resetDriver();
}

}  // namespace
