// Mesh file pre-checks (see mesh_precheck.h).
#include "tools/world/mesh_precheck.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

const size_t kMaxHeader = 65536;
const uint64_t kMaxCount = 100000000;

// Bytes of one value of a PLY scalar type, 0 when the name is not a type.
int typeSize(const std::string& t) {
    if (t == "char" || t == "uchar" || t == "int8" || t == "uint8") return 1;
    if (t == "short" || t == "ushort" || t == "int16" || t == "uint16") return 2;
    if (t == "int" || t == "uint" || t == "int32" || t == "uint32" || t == "float" || t == "float32") return 4;
    if (t == "double" || t == "float64") return 8;
    return 0;
}

bool digits(const std::string& s) {
    if (s.empty() || s.size() > 10) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool isSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// An ASCII PLY body is numbers and white space only: [+-]digits[.digits][e[+-]digits], or a
// number starting or ending with its point.
bool asciiNumbers(const uint8_t* p, size_t n, size_t offset, std::string& error) {
    size_t i = 0;
    while (i < n) {
        if (isSpace(p[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        if (p[i] == '+' || p[i] == '-') ++i;
        size_t mantissa = 0;
        while (i < n && isDigit(p[i])) ++i, ++mantissa;
        if (i < n && p[i] == '.') {
            ++i;
            while (i < n && isDigit(p[i])) ++i, ++mantissa;
        }
        bool ok = mantissa > 0;
        if (ok && i < n && (p[i] == 'e' || p[i] == 'E')) {
            ++i;
            if (i < n && (p[i] == '+' || p[i] == '-')) ++i;
            size_t exponent = 0;
            while (i < n && isDigit(p[i])) ++i, ++exponent;
            ok = exponent > 0;
        }
        if (!ok || (i < n && !isSpace(p[i]))) {
            error = "the ASCII PLY body holds something that is not a number at offset " + std::to_string(offset + start);
            return false;
        }
    }
    return true;
}

bool plyHeader(const uint8_t* data, size_t size, std::string& error) {
    size_t end = 0;
    std::vector<std::string> lines;
    std::string line;
    bool done = false;
    for (; end < size && end < kMaxHeader && !done; ++end) {
        const uint8_t c = data[end];
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            done = line == "end_header";
            line.clear();
        } else if ((c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r') {
            line += static_cast<char>(c);
        } else {
            error = "the PLY header holds a byte that is not text (line " + std::to_string(lines.size() + 1) + ")";
            return false;
        }
    }
    if (!done) {
        error = "the PLY header has no end_header line within its first " + std::to_string(kMaxHeader) + " bytes";
        return false;
    }
    if (lines.size() < 2 || lines[0] != "ply") {
        error = "a PLY file starts with the line \"ply\"";
        return false;
    }
    bool binary = false;
    uint64_t minimum = 0, elementCount = 0, elementBytes = 0;
    bool inElement = false;
    auto closeElement = [&]() {
        if (inElement) minimum += elementCount * std::max<uint64_t>(elementBytes, 1);
    };
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        std::string word;
        in >> word;
        std::vector<std::string> rest;
        for (std::string w; in >> w;) rest.push_back(w);
        const std::string where = "PLY header line " + std::to_string(i + 1) + ": ";
        if (word == "comment" || word == "obj_info" || word.empty()) continue;
        if (word == "format") {
            if (rest.size() != 2 ||
                (rest[0] != "ascii" && rest[0] != "binary_little_endian" && rest[0] != "binary_big_endian")) {
                error = where + "expected \"format ascii|binary_little_endian|binary_big_endian 1.0\"";
                return false;
            }
            binary = rest[0] != "ascii";
        } else if (word == "element") {
            if (rest.size() != 2 || !digits(rest[1]) || std::stoull(rest[1]) > kMaxCount) {
                error = where + "expected \"element NAME COUNT\" with a count up to " + std::to_string(kMaxCount);
                return false;
            }
            closeElement();
            inElement = true;
            elementCount = std::stoull(rest[1]);
            elementBytes = 0;
        } else if (word == "property") {
            const bool list = !rest.empty() && rest[0] == "list";
            const bool ok = inElement && (list ? rest.size() == 4 && typeSize(rest[1]) && typeSize(rest[2])
                                               : rest.size() == 2 && typeSize(rest[0]));
            if (!ok) {
                error = where + "expected \"property TYPE NAME\" or \"property list TYPE TYPE NAME\" after an element";
                return false;
            }
            // A list holds at least its count; an ASCII value at least a digit and a space.
            elementBytes += binary ? uint64_t(typeSize(list ? rest[1] : rest[0])) : 2;
        } else {
            error = where + "unknown keyword \"" + word + "\"";
            return false;
        }
    }
    closeElement();
    if (!binary && !asciiNumbers(data + end, size - end, end, error)) return false;
    if (minimum > size - end) {
        error = "the PLY header's elements need at least " + std::to_string(minimum) + " bytes, but " +
                std::to_string(size - end) + " follow it";
        return false;
    }
    return true;
}

}  // namespace

bool precheckMeshBytes(const std::string& extension, const uint8_t* data, size_t size, std::string& error) {
    if (extension == "ply") return plyHeader(data, size, error);
    return true;
}
