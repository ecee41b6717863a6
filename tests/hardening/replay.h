// Reading a file of any of the formats by its name's extension (or a corpus case's name), the
// way the fuzz targets do: the parser, then what the program builds from the result (the mipmap
// chain of an image, the glBitmap rows of a font's glyphs).
#pragma once

#include <map>
#include <string>
#include <vector>

struct ReadOutcome {
    bool known = false;   // the name told the format
    bool loaded = false;
    std::string reason;   // why it failed
    std::string problem;  // a loaded world or font that breaks what its users rely on
};

ReadOutcome readAnyFormat(const std::string& name, const std::vector<unsigned char>& bytes);

// The same through the file readers (loadWorld, readRawImage, readKbfFile); texture lists are
// read whole by their loader, so they go through the memory parser.
ReadOutcome readAnyFile(const std::string& path);

// Every file under tests/hardening/regressions/, sorted.
std::vector<std::string> regressionFiles();
// regressions/outcomes.txt: full path of each file -> "fail" or "load".
std::map<std::string, std::string> regressionOutcomes();
std::vector<unsigned char> fileBytes(const std::string& path);
