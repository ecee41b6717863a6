// Running quorvel-capture from the tests and checking its pictures.
#include "tests/capture/capture_harness.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/capture/image_compare.h"
#include "image/png_io.h"

const std::string kExe = QV_CAPTURE_EXE;
const std::string kWorld = QV_CAPTURE_WORLD;
const std::string kDemoWorld = QV_DEMO_WORLD;
const std::string kFlight = QV_DEMO_FLIGHT;
const std::string kSource = QV_CAPTURE_SOURCE;
const std::string kOut = QV_CAPTURE_OUT;

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// llvmpipe is pinned so that pictures do not depend on the machine's GPU.
Outcome capture(const std::string& name, const std::string& args, const std::string& folder) {
    mkdir(kOut.c_str(), 0755);
    const std::string errPath = kOut + "/" + name + ".stderr";
    const std::string cmd = (folder.empty() ? "" : "cd '" + folder + "' && ") + "GALLIUM_DRIVER=llvmpipe LIBGL_ALWAYS_SOFTWARE=1 " + kExe + " " + args + " >" + kOut +
                            "/" + name + ".stdout 2>" + errPath;
    const int raw = std::system(cmd.c_str());
    return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(errPath)};
}

std::string script(const std::string& name, const std::string& text) {
    mkdir(kOut.c_str(), 0755);
    const std::string path = kOut + "/" + name + ".txt";
    std::ofstream(path) << text;
    return path;
}

Image png(const std::string& path) {
    Image image;
    std::string error;
    EXPECT_TRUE(readPng(path, image, error)) << error;
    return image;
}

std::string copyDemoWorld(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(kOut) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(fs::path(kDemoWorld) / "demo.kbw", dir);
    fs::copy(fs::path(kDemoWorld) / "demo.ktl", dir);
    fs::copy(fs::path(kDemoWorld) / "textures", dir / "textures", fs::copy_options::recursive);
    return dir.string();
}

nlohmann::json report(const std::string& path) { return nlohmann::json::parse(slurp(path)); }

void expectMatchesReference(const std::string& actualPath, const std::string& referencePath) {
    const Image actual = png(actualPath);
    const Image expected = png(referencePath);
    const ImageDiff d = compareImages(actual, expected, 3);
    const long allowed = long(actual.width) * actual.height / 1000; // 0.1% of the pixels
    if (!d.sameSize || d.pixelsBeyond > allowed) {
        std::string stem = actualPath.substr(0, actualPath.size() - 4);
        const std::string suffix = "-actual";
        if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
            stem.resize(stem.size() - suffix.size());
        std::string error;
        writePng(stem + "-expected.png", expected, error);
        if (d.sameSize) writePng(stem + "-difference.png", differenceImage(actual, expected), error);
    }
    ASSERT_TRUE(d.sameSize) << actual.width << "x" << actual.height << " against " << expected.width << "x"
                            << expected.height;
    EXPECT_LE(d.pixelsBeyond, allowed) << "largest channel difference " << d.maxDifference << "; pictures beside "
                                       << actualPath;
}
