// PLY body walk (see ply_body.h).
#include "tools/world/ply_body.h"

#include <cstring>

namespace {

int sizeOf(const std::string& t) {
    if (t == "char" || t == "uchar" || t == "int8" || t == "uint8") return 1;
    if (t == "short" || t == "ushort" || t == "int16" || t == "uint16") return 2;
    if (t == "double" || t == "float64") return 8;
    return 4;
}

bool isSigned(const std::string& t) { return t == "char" || t == "int8" || t == "short" || t == "int16" || t == "int" || t == "int32"; }

uint64_t largest(const std::string& t) { return (uint64_t(1) << (8 * sizeOf(t) - (isSigned(t) ? 1 : 0))) - 1; }

bool isSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The next value of the body, as text or as bytes; false at the end.
class Cursor {
public:
    Cursor(const uint8_t* p, size_t n, bool binary, bool bigEndian) : p_(p), n_(n), binary_(binary), big_(bigEndian) {}

    bool skipText() {
        while (at_ < n_ && isSpace(p_[at_])) ++at_;
        if (at_ == n_) return false;
        while (at_ < n_ && !isSpace(p_[at_])) ++at_;
        return true;
    }

    // A list count: in text, digits only; false when the body ends or the count is not whole.
    bool count(const std::string& type, uint64_t& value, bool& whole) {
        value = 0;
        whole = true;
        if (binary_) {
            const int s = sizeOf(type);
            if (n_ - at_ < size_t(s)) return false;
            uint64_t v = 0;
            for (int i = 0; i < s; ++i) v |= uint64_t(p_[at_ + size_t(big_ ? s - 1 - i : i)]) << (8 * i);
            at_ += size_t(s);
            if (isSigned(type) && (v >> (8 * s - 1)) & 1) whole = false;  // negative
            value = v;
            return true;
        }
        while (at_ < n_ && isSpace(p_[at_])) ++at_;
        if (at_ == n_) return false;
        for (; at_ < n_ && !isSpace(p_[at_]); ++at_) {
            if (p_[at_] < '0' || p_[at_] > '9' || value > (uint64_t(1) << 40)) whole = false;
            else value = value * 10 + (p_[at_] - '0');
        }
        return true;
    }

    // Skips `items` values of `type`; false when the body ends first.
    bool skip(const std::string& type, uint64_t items) {
        if (binary_) {
            if (items > (n_ - at_) / size_t(sizeOf(type))) return false;
            at_ += size_t(items) * size_t(sizeOf(type));
            return true;
        }
        for (uint64_t i = 0; i < items; ++i)
            if (!skipText()) return false;
        return true;
    }

    // Where the next value starts.
    size_t next() {
        while (!binary_ && at_ < n_ && isSpace(p_[at_])) ++at_;
        return at_;
    }

private:
    const uint8_t* p_;
    size_t n_, at_ = 0;
    bool binary_, big_;
};

bool isIndexList(const PlyProperty& p) { return p.name == "vertex_index" || p.name == "vertex_indices"; }

}  // namespace

bool checkPlyBody(const std::vector<PlyElement>& elements, const uint8_t* body, size_t size, size_t offset,
                  bool binary, bool bigEndian, std::string& error) {
    Cursor c(body, size, binary, bigEndian);
    for (const PlyElement& e : elements) {
        const bool face = e.name == "face";
        for (uint64_t k = 0; k < e.count; ++k) {
            const std::string where =
                "element \"" + e.name + "\" " + std::to_string(k) + " (at offset " + std::to_string(offset + c.next()) + ")";
            uint64_t corners = 0, uvs = 0;
            for (const PlyProperty& p : e.properties) {
                uint64_t items = 1;
                if (!p.countType.empty()) {
                    bool whole = true;
                    if (!c.count(p.countType, items, whole)) {
                        error = "the PLY body ends before " + where;
                        return false;
                    }
                    if (!whole || items > largest(p.countType)) {
                        error = where + ": the count of list \"" + p.name + "\" is not a whole number that fits its type (" +
                                p.countType + ")";
                        return false;
                    }
                    if (face && isIndexList(p)) corners = items;
                    if (face && p.name == "texcoord") uvs = items;
                }
                if (!c.skip(p.type, items)) {
                    error = "the PLY body ends inside " + where;
                    return false;
                }
            }
            // The importer reads a corner for each pair of coordinates when there are 6 to 8.
            if (uvs / 3 == 2 && corners < (uvs + 1) / 2) {
                error = where + ": " + std::to_string(uvs) + " texture coordinates for " + std::to_string(corners) +
                        " corners";
                return false;
            }
        }
    }
    return true;
}
