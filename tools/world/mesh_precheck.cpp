// Mesh file pre-checks (see mesh_precheck.h).
#include "tools/world/mesh_precheck.h"

#include "tools/world/ply_body.h"

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

uint32_t u32le(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

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
        } else if ((c >= 0x20 && c < 0x7F) || c == '\t' || (c == '\r' && end + 1 < size && data[end + 1] == '\n')) {
            // (The importer ends a line at a lone carriage return too: only CR LF ends one here.)
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
    bool format = false, binary = false, bigEndian = false;
    std::vector<PlyElement> elements;
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
        // The importer ends an element's property list at the first line that is not a property
        // and drops the properties after it: comments and blank lines go before the elements.
        if (word == "comment" || word == "obj_info" || word.empty()) {
            if (!elements.empty()) {
                error = where + "comments and blank lines go before the first element";
                return false;
            }
            continue;
        }
        if (word == "format") {
            // One format line, before any element: the importer and this check must agree on it.
            if (format || !elements.empty() || rest.size() != 2 ||
                (rest[0] != "ascii" && rest[0] != "binary_little_endian" && rest[0] != "binary_big_endian")) {
                error = where + "expected \"format ascii|binary_little_endian|binary_big_endian 1.0\" once, before the elements";
                return false;
            }
            format = true;
            binary = rest[0] != "ascii";
            bigEndian = rest[0] == "binary_big_endian";
        } else if (word == "element") {
            if (rest.size() != 2 || !digits(rest[1]) || std::stoull(rest[1]) > kMaxCount) {
                error = where + "expected \"element NAME COUNT\" with a count up to " + std::to_string(kMaxCount);
                return false;
            }
            // The importer sizes a mesh's arrays by the first element of a kind and fills them
            // from every element of that kind, and keeps one triangle of each strip.
            for (const PlyElement& e : elements)
                if (e.name == rest[0]) {
                    error = where + "element \"" + rest[0] + "\" is declared twice";
                    return false;
                }
            if (rest[0] == "tristrips") {
                error = where + "triangle strips (element \"tristrips\") are not read";
                return false;
            }
            // The importer counts no instances of an element it does not know and would read the
            // next element's values from where this one's are.
            if (rest[0] != "vertex" && rest[0] != "face") {
                error = where + "element \"" + rest[0] + "\" is not read (only vertex and face)";
                return false;
            }
            closeElement();
            inElement = true;
            elementCount = std::stoull(rest[1]);
            elementBytes = 0;
            elements.push_back({rest[0], elementCount, {}});
        } else if (word == "property") {
            const bool list = !rest.empty() && rest[0] == "list";
            const bool ok = inElement && (list ? rest.size() == 4 && typeSize(rest[1]) && typeSize(rest[2])
                                               : rest.size() == 2 && typeSize(rest[0]));
            if (!ok) {
                error = where + "expected \"property TYPE NAME\" or \"property list TYPE TYPE NAME\" after an element";
                return false;
            }
            const std::string countType = list ? rest[1] : "";
            const auto whole = [](const std::string& t) { return t.find("float") != 0 && t != "double"; };
            if (list && (!whole(countType) || ((rest[3] == "vertex_index" || rest[3] == "vertex_indices") && !whole(rest[2])))) {
                error = where + "a list's count, and a vertex index, has a whole-number type";
                return false;
            }
            // The importer reads the first value of every other property, list or not, and an empty
            // list has none.
            if (list && rest[3] != "vertex_index" && rest[3] != "vertex_indices" && rest[3] != "texcoord") {
                error = where + "\"" + rest[3] + "\" is a list; lists other than vertex_indices and texcoord are not read";
                return false;
            }
            elements.back().properties.push_back({rest.back(), list ? rest[2] : rest[0], countType});
            // A list holds at least its count; an ASCII value at least a digit and a space.
            elementBytes += binary ? uint64_t(typeSize(list ? rest[1] : rest[0])) : 2;
        } else {
            error = where + "unknown keyword \"" + word + "\"";
            return false;
        }
    }
    closeElement();
    if (!format) {
        error = "the PLY header has no format line";
        return false;
    }
    for (const PlyElement& e : elements) {
        bool indices = false, uvs = false;
        for (const PlyProperty& p : e.properties) {
            indices = indices || (!p.countType.empty() && (p.name == "vertex_index" || p.name == "vertex_indices"));
            uvs = uvs || (!p.countType.empty() && p.name == "texcoord");
        }
        if (e.name == "face" && uvs && !indices) {
            error = "the PLY faces have a texcoord list but no vertex_indices list";
            return false;
        }
    }
    if (!binary && !asciiNumbers(data + end, size - end, end, error)) return false;
    if (binary && end < size && data[end] == '\n') {
        error = "the binary PLY body starts with a line feed byte, which the importer skips";
        return false;
    }
    if (minimum > size - end) {
        error = "the PLY header's elements need at least " + std::to_string(minimum) + " bytes, but " +
                std::to_string(size - end) + " follow it";
        return false;
    }
    return checkPlyBody(elements, data + end, size - end, end, binary, bigEndian, error);
}

// The words of an ASCII STL file, one at a time, with the line each is on.
class StlWords {
public:
    StlWords(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool next(std::string& word) {
        while (at_ < n_ && isSpace(p_[at_])) line_ += p_[at_++] == '\n';
        if (at_ == n_) return false;
        const size_t start = at_;
        while (at_ < n_ && !isSpace(p_[at_])) ++at_;
        word.assign(reinterpret_cast<const char*>(p_ + start), at_ - start);
        return true;
    }
    // To the end of the line, which for the importer is also a lone carriage return.
    void skipLine() {
        while (at_ < n_ && p_[at_] != '\n' && p_[at_] != '\r') ++at_;
    }
    size_t line() const { return line_; }

private:
    const uint8_t* p_;
    size_t n_, at_ = 0, line_ = 1;
};

// A number as the importer's reader takes it whole: a point must have digits after it (the
// reader stops before a bare point, and the next number would start there).
bool stlNumber(const std::string& w) {
    size_t i = 0, digits = 0;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
    while (i < w.size() && isDigit(uint8_t(w[i]))) ++i, ++digits;
    if (i < w.size() && w[i] == '.') {
        ++i;
        size_t fraction = 0;
        while (i < w.size() && isDigit(uint8_t(w[i]))) ++i, ++fraction;
        if (!fraction) return false;
        digits += fraction;
    }
    if (!digits) return false;
    if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
        ++i;
        if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < w.size() && isDigit(uint8_t(w[i]))) ++i, ++exponent;
        if (!exponent) return false;
    }
    return i == w.size();
}

// A binary STL is 84 bytes and 50 per triangle, as the importer tells them apart. Anything else
// must be ASCII STL in its grammar: "solid NAME", then facets of "facet normal X Y Z", "outer
// loop", three "vertex X Y Z", "endloop", "endfacet", then "endsolid"; several solids may follow
// one another. The importer parses the text assuming that shape, and leaks what it built for a
// solid it gives up on.
bool stlText(const uint8_t* data, size_t size, std::string& error) {
    // The importer first "converts" a file that starts with a byte-order mark to UTF-8, binary
    // or not: past the end of the bytes for UTF-32, and swapping or cutting them for the others.
    static const struct {
        const char* bytes;
        size_t n;
    } marks[] = {{"\xEF\xBB\xBF", 3}, {"\xFE\xFF", 2}, {"\xFF\xFE", 2}, {"\x00\x00\xFE\xFF", 4}};
    for (const auto& m : marks)
        if (size >= m.n && std::memcmp(data, m.bytes, m.n) == 0) {
            error = "the file starts with a text byte-order mark, which the importer would convert";
            return false;
        }
    if (size >= 84 && uint64_t(u32le(data + 80)) * 50 + 84 == size) return true;
    for (size_t i = 0; i < size; ++i)
        if ((data[i] < 0x20 || data[i] >= 0x7F) && !isSpace(data[i])) {
            error = "the file is neither binary STL (84 bytes and 50 per triangle) nor ASCII text (byte " +
                    std::to_string(i) + " is not text)";
            return false;
        }
    for (size_t i = 0; i < size; ++i)
        if (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n')) {
            error = "byte " + std::to_string(i) + " is a carriage return that does not end a line";
            return false;
        }
    StlWords words(data, size);
    std::string w;
    auto expect = [&](const char* what) {
        if (!words.next(w) || w != what) {
            error = "ASCII STL line " + std::to_string(words.line()) + ": expected \"" + what + "\"";
            return false;
        }
        return true;
    };
    // The importer reads a keyword's numbers from its own line only.
    auto numbers = [&]() {
        const size_t line = words.line();
        for (int i = 0; i < 3; ++i)
            if (!words.next(w) || words.line() != line || !stlNumber(w)) {
                error = "ASCII STL line " + std::to_string(line) + ": expected three numbers on the line";
                return false;
            }
        return true;
    };
    auto sameLine = [&](const char* what) {
        const size_t line = words.line();
        if (!expect(what)) return false;
        if (words.line() != line) {
            error = "ASCII STL line " + std::to_string(words.line()) + ": \"" + what + "\" belongs on the line before";
            return false;
        }
        return true;
    };
    if (!expect("solid")) return false;
    for (;;) {
        const size_t line = words.line();  // of the word "solid"
        if (!words.next(w)) return true;  // the last solid may end without "endsolid"
        if (w.size() > 1000) {
            error = "ASCII STL line " + std::to_string(words.line()) + ": a name longer than 1000 characters";
            return false;
        }
        // The importer takes the first word on the "solid" line for the name, whatever it is, and
        // reads the words after it as it reads the rest of the file: they must not be keywords.
        if (words.line() == line) {
            if (!words.next(w)) return true;
            while (words.line() == line) {
                if (w.rfind("facet", 0) == 0 || w.rfind("vertex", 0) == 0 || w.rfind("endsolid", 0) == 0) {
                    error = "ASCII STL line " + std::to_string(line) + ": the solid's name holds the keyword \"" + w + "\"";
                    return false;
                }
                if (!words.next(w)) return true;
            }
        }
        while (w == "facet") {
            if (!sameLine("normal") || !numbers() || !expect("outer") || !expect("loop")) return false;
            for (int v = 0; v < 3; ++v)
                if (!expect("vertex") || !numbers()) return false;
            if (!expect("endloop") || !expect("endfacet")) return false;
            if (!words.next(w)) return true;
        }
        if (w != "endsolid") {
            error = "ASCII STL line " + std::to_string(words.line()) + ": expected \"facet\" or \"endsolid\"";
            return false;
        }
        words.skipLine();
        if (!words.next(w)) return true;
        if (w != "solid") {
            error = "ASCII STL line " + std::to_string(words.line()) + ": expected \"solid\" or the end of the file";
            return false;
        }
    }
}

}  // namespace

bool precheckMeshBytes(const std::string& extension, const uint8_t* data, size_t size, std::string& error) {
    if (extension == "ply") return plyHeader(data, size, error);
    if (extension == "stl") return stlText(data, size, error);
    return true;
}
