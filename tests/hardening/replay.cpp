// Reads any of the three formats the way the program and the fuzz targets do.
#include "tests/hardening/replay.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fuzz/world_check.h"
#include "text/kbf.h"
#include "world/textures.h"
#include "world/world_file.h"

namespace {

enum class Format { World, List, Image, Font, Unknown };

bool endsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool startsWith(const std::string& s, const char* head) { return s.rfind(head, 0) == 0; }

Format formatOf(const std::string& name) {
    if (endsWith(name, ".kbw") || startsWith(name, "world")) return Format::World;
    if (endsWith(name, ".ktl") || startsWith(name, "list")) return Format::List;
    if (endsWith(name, ".raw") || startsWith(name, "image")) return Format::Image;
    if (endsWith(name, ".kbf") || startsWith(name, "font")) return Format::Font;
    return Format::Unknown;
}

void finishWorld(World* w, ReadOutcome& out) {
    out.loaded = w != nullptr;
    if (!w) out.reason = worldLoadError();
    else if (const char* problem = checkWorld(*w)) out.problem = problem;
    freeWorld(w);
}

void finishImage(const RawImage& image, ReadOutcome& out) {
    // The level chain the uploader builds, each level from the full image.
    for (int i = 0; i < 32; ++i) {
        if (!((image.height >> i) & 1) && !((image.width >> i) & 1)) continue;
        for (int j = 0; j <= i; ++j)
            std::free(downsampleBox(image.width, image.height, image.width >> j, image.height >> j,
                                    image.alpha, image.pixels.data()));
        break;
    }
    (void)out;
}

void finishFont(const KbfFont& font, ReadOutcome& out) {
    std::vector<uint8_t> rows;
    for (unsigned code = 0; code < 256; ++code) {
        const uint8_t* glyph = font.glyph(code);
        if (!glyph) continue;
        kbfBitmapRows(font.width, font.height, glyph, &rows);
        if (rows.size() != size_t{(font.width + 7u) / 8u} * font.height) out.problem = "glyph rows of the wrong size";
    }
}

}  // namespace

ReadOutcome readAnyFormat(const std::string& name, const std::vector<unsigned char>& bytes) {
    ReadOutcome out;
    const unsigned char* data = bytes.empty() ? nullptr : bytes.data();
    switch (formatOf(name)) {
    case Format::World:
        out.known = true;
        finishWorld(loadWorldFromMemory(data, bytes.size()), out);
        break;
    case Format::List: {
        out.known = true;
        TextureList list;
        out.loaded = parseTextureList(data, bytes.size(), list, out.reason);
        if (out.loaded && list.names.size() != static_cast<size_t>(list.count)) out.problem = "name count";
        break;
    }
    case Format::Image: {
        out.known = true;
        RawImage image;
        out.loaded = parseRawImage(data, bytes.size(), image, out.reason);
        if (out.loaded) finishImage(image, out);
        break;
    }
    case Format::Font: {
        out.known = true;
        KbfFont font;
        out.loaded = parseKbf(data, bytes.size(), &font, out.reason);
        if (out.loaded) finishFont(font, out);
        break;
    }
    case Format::Unknown:
        break;
    }
    return out;
}

ReadOutcome readAnyFile(const std::string& path) {
    ReadOutcome out;
    switch (formatOf(path)) {
    case Format::World:
        out.known = true;
        finishWorld(loadWorld(path.c_str()), out);
        break;
    case Format::Image: {
        out.known = true;
        RawImage image;
        out.loaded = readRawImage(path.c_str(), image, out.reason);
        if (out.loaded) finishImage(image, out);
        break;
    }
    case Format::Font: {
        out.known = true;
        KbfFont font;
        out.loaded = readKbfFile(path.c_str(), &font, out.reason);
        if (out.loaded) finishFont(font, out);
        break;
    }
    default:
        return readAnyFormat(path, fileBytes(path));
    }
    return out;
}

std::vector<std::string> regressionFiles() {
    std::vector<std::string> out;
    DIR* dir = opendir(QV_REGRESSION_DIR);
    if (!dir) return out;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && name != "README.md" && name != "outcomes.txt")
            out.push_back(std::string(QV_REGRESSION_DIR) + "/" + name);
    }
    closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return bytes;
}

std::map<std::string, std::string> regressionOutcomes() {
    std::map<std::string, std::string> out;
    std::ifstream in(std::string(QV_REGRESSION_DIR) + "/outcomes.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, outcome;
        if (fields >> name >> outcome) out[std::string(QV_REGRESSION_DIR) + "/" + name] = outcome;
    }
    return out;
}
