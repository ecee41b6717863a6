// quorvel-font: makes a KBF bitmap font from a TrueType or OpenType font, or dumps one as text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text/kbf.h"
#include "tools/font/dump.h"
#include "tools/font/rasterize.h"

namespace {

const char kUsage[] =
    "usage: quorvel-font [--height PX] [--width PX] [--latin1] FONT.ttf OUT.kbf\n"
    "       quorvel-font --dump FILE.kbf [--chars TEXT]\n"
    "Makes a monospaced bitmap font of codes 32-126 (and 160-255 with --latin1) in cells of\n"
    "width x height pixels (default 8 x 16; width 1 to 8 or 16), or prints a font's glyphs.\n";

int fail(const std::string& reason) {
    std::fprintf(stderr, "quorvel-font: %s\n", reason.c_str());
    return 1;
}

bool parseInt(const char* text, int* out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 65535) return false;
    *out = static_cast<int>(v);
    return true;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot write " + path;
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    RasterOptions options;
    std::string dumpPath, chars, outPath;
    bool dump = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--dump" && hasValue) {
            dump = true;
            dumpPath = argv[++i];
        } else if (arg == "--chars" && hasValue) {
            chars = argv[++i];
        } else if (arg == "--height" && hasValue) {
            if (!parseInt(argv[++i], &options.height)) return fail("bad --height " + std::string(argv[i]));
        } else if (arg == "--width" && hasValue) {
            if (!parseInt(argv[++i], &options.width)) return fail("bad --width " + std::string(argv[i]));
        } else if (arg == "--latin1") {
            options.latin1 = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fputs(kUsage, stderr);
            return fail("unknown or incomplete option " + arg);
        } else {
            positional.push_back(arg);
        }
    }

    std::string error;
    if (dump) {
        if (!positional.empty()) return fail("--dump takes one file");
        if (!dumpFont(dumpPath.c_str(), chars, stdout, error)) return fail(dumpPath + ": " + error);
        return 0;
    }
    if (positional.size() != 2) {
        std::fputs(kUsage, stderr);
        return fail("expected a font file and an output file");
    }
    options.fontPath = positional[0];
    outPath = positional[1];
    std::vector<KbfRecord> records;
    int pixelSize = 0;
    if (!rasterizeFont(options, &records, &pixelSize, error)) return fail(error);
    const std::vector<uint8_t> bytes =
        encodeKbf(static_cast<uint16_t>(options.width), static_cast<uint16_t>(options.height), records);
    if (!writeFile(outPath, bytes, error)) return fail(error);
    std::printf("quorvel-font: %s: %zu glyphs, %d x %d cells, %d px font size\n", outPath.c_str(),
                records.size(), options.width, options.height, pixelSize);
    return 0;
}
