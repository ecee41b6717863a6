// GLB chunks, glTF buffer bytes and the rebuilt GLB (see gltf_buffers.h).
#include "tools/world/gltf_buffers.h"

#include <cstring>

#include "world/file_bytes.h"

namespace {

uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict base64: the alphabet, then at most two '=' closing the last group of four (or no padding).
bool decodeBase64(const char* p, size_t n, std::vector<uint8_t>& out) {
    size_t padding = 0;
    while (n > 0 && p[n - 1] == '=' && padding < 3) --n, ++padding;
    if (padding > 2 || (padding ? (n + padding) % 4 != 0 : n % 4 == 1)) return false;
    out.clear();
    out.reserve(n * 3 / 4);
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i < n; ++i) {
        const int v = base64Value(p[i]);
        if (v < 0) return false;
        acc = (acc << 6) | uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(uint8_t(acc >> bits));
            acc &= (1u << bits) - 1;
        }
    }
    return true;
}

bool hexValue(char c, int& v) {
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return false;
    return true;
}

// A relative URI's %XX escapes decoded; false when one is malformed or decodes to a NUL.
bool percentDecode(const std::string& uri, std::string& out) {
    out.clear();
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            out += uri[i];
            continue;
        }
        int hi = 0, lo = 0;
        if (i + 2 >= uri.size() || !hexValue(uri[i + 1], hi) || !hexValue(uri[i + 2], lo) || (hi | lo) == 0)
            return false;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return true;
}

}  // namespace

bool splitGlb(const uint8_t* data, size_t size, const uint8_t*& json, size_t& jsonSize, const uint8_t*& bin,
              size_t& binSize, std::string& error) {
    if (size < 20 || std::memcmp(data, "glTF", 4) != 0) {
        error = "a binary glTF file starts with \"glTF\" and a 12-byte header";
        return false;
    }
    if (u32(data + 4) != 2) {
        error = "the binary glTF container is version " + std::to_string(u32(data + 4)) + "; version 2 is read";
        return false;
    }
    if (u32(data + 8) != size) {
        error = "the header gives a length of " + std::to_string(u32(data + 8)) + " bytes, but the file has " +
                std::to_string(size);
        return false;
    }
    const uint64_t jsonLength = u32(data + 12);
    if (jsonLength > size - 20 || std::memcmp(data + 16, "JSON", 4) != 0) {
        error = "the first chunk must be JSON and fit in the file";
        return false;
    }
    json = data + 20;
    jsonSize = size_t(jsonLength);
    bin = nullptr;
    binSize = 0;
    const uint64_t next = 20 + jsonLength;
    if (next + 8 <= size) {
        const uint64_t length = u32(data + next);
        if (length > size - next - 8) {
            error = "the binary chunk declares " + std::to_string(length) + " bytes but " +
                    std::to_string(size - next - 8) + " follow it";
            return false;
        }
        if (std::memcmp(data + next + 4, "BIN\0", 4) == 0) {
            bin = data + next + 8;
            binSize = size_t(length);
        }
    }
    return true;
}

bool loadGltfBuffer(const std::string& uri, bool hasUri, const uint8_t* bin, size_t binSize, bool binary,
                    const std::string& baseDir, GltfBufferBytes& out, std::string& error) {
    if (!hasUri) {
        if (!binary || !bin) {
            error = binary ? "the buffer has no uri and the file has no binary chunk"
                           : "the buffer has no uri, which only a binary glTF (.glb) may leave out";
            return false;
        }
        out.bytes = bin;
        out.size = binSize;
        return true;
    }
    if (uri.rfind("data:", 0) == 0) {
        const size_t comma = uri.find(',');
        if (comma == std::string::npos || comma < 12 || uri.compare(comma - 7, 7, ";base64") != 0) {
            error = "only base64 data URIs (\"data:...;base64,\") are read";
            return false;
        }
        if (!decodeBase64(uri.data() + comma + 1, uri.size() - comma - 1, out.owned)) {
            error = "the data URI is not valid base64";
            return false;
        }
        out.bytes = out.owned.data();
        out.size = out.owned.size();
        return true;
    }
    std::string path;
    const size_t colon = uri.find(':'), slash = uri.find('/');
    if ((colon != std::string::npos && (slash == std::string::npos || colon < slash)) || uri.empty() ||
        uri[0] == '/' || !percentDecode(uri, path)) {
        error = "\"" + uri + "\" is not a data URI or a file name relative to the glTF file";
        return false;
    }
    if (baseDir.empty()) {
        error = "\"" + uri + "\" is another file, which cannot be read with bytes from memory";
        return false;
    }
    if (!readFileBytes(baseDir + "/" + path, out.owned)) {
        error = "cannot read the buffer file \"" + baseDir + "/" + path + "\"";
        return false;
    }
    out.bytes = out.owned.data();
    out.size = out.owned.size();
    return true;
}

std::vector<uint8_t> writeGlb(const std::string& json, const std::vector<uint8_t>& bin) {
    const size_t jsonPadded = (json.size() + 3) & ~size_t(3);
    const size_t binPadded = (bin.size() + 3) & ~size_t(3);
    std::vector<uint8_t> out;
    out.reserve(28 + jsonPadded + binPadded);
    out.insert(out.end(), {'g', 'l', 'T', 'F'});
    putU32(out, 2);
    putU32(out, uint32_t(12 + 8 + jsonPadded + (bin.empty() ? 0 : 8 + binPadded)));
    putU32(out, uint32_t(jsonPadded));
    out.insert(out.end(), {'J', 'S', 'O', 'N'});
    out.insert(out.end(), json.begin(), json.end());
    out.resize(out.size() + jsonPadded - json.size(), ' ');
    if (!bin.empty()) {
        putU32(out, uint32_t(binPadded));
        out.insert(out.end(), {'B', 'I', 'N', '\0'});
        out.insert(out.end(), bin.begin(), bin.end());
        out.resize(out.size() + binPadded - bin.size(), 0);
    }
    return out;
}
