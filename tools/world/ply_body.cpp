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
        for (uint64_t i = 0; i < items; ++i) {
            const size_t start = (next(), at_);
            if (!skipText()) return false;
            if (integral(type) && !wholeText(start, at_)) {
                notWhole_ = true;
                return false;
            }
        }
        return true;
    }

    // True after skip() stopped at a value of a whole-number type written with a point or an
    // exponent (the importer would read part of it and start the next value inside it).
    bool notWhole() const { return notWhole_; }

    // Where the next value starts.
    size_t next() {
        while (!binary_ && at_ < n_ && isSpace(p_[at_])) ++at_;
        return at_;
    }

private:
    static bool integral(const std::string& t) { return t.find("float") != 0 && t != "double"; }
    bool wholeText(size_t from, size_t to) const {
        if (from < to && (p_[from] == '-' || p_[from] == '+')) ++from;
        if (from == to) return false;
        for (; from < to; ++from)
            if (p_[from] < '0' || p_[from] > '9') return false;
        return true;
    }

    const uint8_t* p_;
    size_t n_, at_ = 0;
    bool binary_, big_, notWhole_ = false;
};

bool isIndexList(const PlyProperty& p) { return p.name == "vertex_index" || p.name == "vertex_indices"; }

// One element instance from the cursor: every property's values, list counts checked.
bool walkInstance(Cursor& c, const PlyElement& e, const std::string& where, std::string& error) {
    uint64_t corners = 0, uvs = 0;
    for (const PlyProperty& p : e.properties) {
        uint64_t items = 1;
        if (!p.countType.empty()) {
            bool whole = true;
            if (!c.count(p.countType, items, whole)) {
                error = "the PLY body ends inside " + where;
                return false;
            }
            if (!whole || items > largest(p.countType)) {
                error = where + ": the count of list \"" + p.name + "\" is not a whole number that fits its type (" +
                        p.countType + ")";
                return false;
            }
            if (e.name == "face" && isIndexList(p)) corners = items;
            if (e.name == "face" && p.name == "texcoord") uvs = items;
        }
        if (!c.skip(p.type, items)) {
            error = c.notWhole() ? where + ": a value of \"" + p.name + "\" is not a whole number, as its type (" +
                                       p.type + ") needs"
                                 : "the PLY body ends inside " + where;
            return false;
        }
    }
    // The importer reads a corner for each pair of coordinates when there are 6 to 8.
    if (uvs / 3 == 2 && corners < (uvs + 1) / 2) {
        error = where + ": " + std::to_string(uvs) + " texture coordinates for " + std::to_string(corners) + " corners";
        return false;
    }
    return true;
}

std::string instanceName(const PlyElement& e, uint64_t k, size_t at) {
    return "element \"" + e.name + "\" " + std::to_string(k) + " (at offset " + std::to_string(at) + ")";
}

}  // namespace

bool checkPlyBody(const std::vector<PlyElement>& elements, const uint8_t* body, size_t size, size_t offset,
                  bool binary, bool bigEndian, std::string& error) {
    if (binary) {
        Cursor c(body, size, true, bigEndian);
        for (const PlyElement& e : elements)
            for (uint64_t k = 0; k < e.count; ++k)
                if (!walkInstance(c, e, instanceName(e, k, offset + c.next()), error)) return false;
        return true;
    }
    // The importer reads an ASCII body line by line, one element instance on each line.
    size_t at = 0;
    for (const PlyElement& e : elements)
        for (uint64_t k = 0; k < e.count; ++k) {
            const std::string where = instanceName(e, k, offset + at);
            if (at >= size) {
                error = "the PLY body ends before " + where;
                return false;
            }
            const uint8_t* nl = static_cast<const uint8_t*>(std::memchr(body + at, '\n', size - at));
            const size_t end = nl ? size_t(nl - body) : size;
            size_t lineEnd = end;
            if (lineEnd > at && body[lineEnd - 1] == '\r') --lineEnd;
            if (std::memchr(body + at, '\r', lineEnd - at)) {
                error = where + ": a carriage return that does not end the line";
                return false;
            }
            Cursor c(body + at, lineEnd - at, false, false);
            if (c.next() == lineEnd - at) {
                error = where + ": a blank line where the element's values belong";
                return false;
            }
            if (!walkInstance(c, e, where, error)) {
                if (error.rfind("the PLY body ends inside", 0) == 0)
                    error = where + ": the line ends before the element's last value";
                return false;
            }
            if (c.skipText()) {
                error = where + ": the line holds more values than the element has properties";
                return false;
            }
            at = end + 1;
        }
    for (; at < size; ++at)
        if (!isSpace(body[at])) {
            error = "the PLY body holds more lines than its elements (at offset " + std::to_string(offset + at) + ")";
            return false;
        }
    return true;
}
