// Bitmap font file parsing, writing and row layout. One parser serves memory and files through a
// small reader, so the checks cannot drift apart between the two.
#include "text/kbf.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr char kMagic[3] = {'K', 'B', 'F'};

void setReason(std::string* reason, const char* text) {
    if (reason) *reason = text;
}

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;

    int getByte() { return pos < size ? data[pos++] : EOF; }
    bool read(uint8_t* dst, size_t n) {
        if (size - pos < n) return false;
        if (n) std::memcpy(dst, data + pos, n);
        pos += n;
        return true;
    }
    bool totalSize(uint64_t* out) {
        *out = size;
        return true;
    }
};

struct FileReader {
    FILE* file;

    int getByte() { return std::fgetc(file); }
    bool read(uint8_t* dst, size_t n) { return std::fread(dst, 1, n, file) == n; }
    // The size by seeking to the end, then back to where the records start.
    bool totalSize(uint64_t* out) {
        if (fseeko(file, 0, SEEK_END) != 0) return false;
        off_t end = ftello(file);
        if (end < 0) return false;
        if (fseeko(file, static_cast<off_t>(kKbfHeaderSize), SEEK_SET) != 0) return false;
        *out = static_cast<uint64_t>(end);
        return true;
    }
};

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

template <typename Reader>
bool parseFrom(Reader& reader, KbfFont* out, std::string* reason) {
    // The magic is compared a byte at a time so a wrong file is rejected at its first bad byte.
    for (char expected : kMagic) {
        int c = reader.getByte();
        if (c == EOF || c != static_cast<unsigned char>(expected)) {
            setReason(reason, "not a KBF font: bad magic");
            return false;
        }
    }
    uint8_t dims[4];
    if (!reader.read(dims, sizeof dims)) {
        setReason(reason, "header ends inside width and height");
        return false;
    }
    const uint16_t width = readU16(dims);
    const uint16_t height = readU16(dims + 2);
    const uint32_t glyphBytes = kbfGlyphBytes(width, height);
    if (glyphBytes > kKbfMaxGlyphBytes) {
        setReason(reason, "glyphs of 65536 bytes or more");
        return false;
    }
    uint64_t fileSize = 0;
    if (!reader.totalSize(&fileSize)) {
        setReason(reason, "cannot determine the file size");
        return false;
    }
    if (fileSize < kKbfHeaderSize) {
        setReason(reason, "file shorter than its header");
        return false;
    }
    const uint64_t recordCount = (fileSize - kKbfHeaderSize) / (glyphBytes + 1);
    if (recordCount > kKbfMaxRecords) {
        setReason(reason, "more than 65535 glyph records");
        return false;
    }

    KbfFont font;
    font.width = width;
    font.height = height;
    font.glyphBytes = static_cast<uint16_t>(glyphBytes);
    font.recordCount = static_cast<uint16_t>(recordCount);
    font.slot.fill(-1);
    try {
        std::vector<uint8_t> record(glyphBytes + 1);
        for (uint64_t i = 0; i < recordCount; ++i) {
            if (!reader.read(record.data(), record.size())) {
                setReason(reason, "file ended inside a glyph record");
                return false;
            }
            const uint8_t code = record[0];
            if (font.slot[code] < 0) {
                font.slot[code] = static_cast<int32_t>(font.bitmaps.size());
                font.bitmaps.resize(font.bitmaps.size() + glyphBytes);
            }
            // A later record for the same code replaces the earlier bitmap.
            if (glyphBytes) std::memcpy(&font.bitmaps[font.slot[code]], record.data() + 1, glyphBytes);
        }
    } catch (const std::bad_alloc&) {
        setReason(reason, "out of memory");
        return false;
    }
    *out = std::move(font);
    return true;
}

}  // namespace

const uint8_t* KbfFont::glyph(unsigned code) const {
    static const uint8_t kNoBytes = 0;  // glyphs of zero bytes still exist
    if (code > 255 || slot[code] < 0) return nullptr;
    return bitmaps.empty() ? &kNoBytes : bitmaps.data() + slot[code];
}

int KbfFont::presentCount() const {
    int n = 0;
    for (int32_t s : slot) n += s >= 0;
    return n;
}

uint32_t kbfRowBytes(uint32_t width) { return width / 16 + 1; }

uint32_t kbfGlyphBytes(uint32_t width, uint32_t height) { return height * kbfRowBytes(width); }

bool parseKbf(const uint8_t* data, size_t size, KbfFont* out, std::string& reason) {
    MemoryReader reader{data, data ? size : 0, 0};
    return parseFrom(reader, out, &reason);
}

bool readKbfFile(const char* fileName, KbfFont* out, std::string& reason) {
    FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!file) {
        setReason(&reason, "cannot open the file");
        return false;
    }
    FileReader reader{file};
    const bool ok = parseFrom(reader, out, &reason);
    std::fclose(file);
    return ok;
}

std::vector<uint8_t> encodeKbf(uint16_t width, uint16_t height, const std::vector<KbfRecord>& records) {
    const uint32_t glyphBytes = kbfGlyphBytes(width, height);
    std::vector<uint8_t> bytes = {'K', 'B', 'F',
                                  static_cast<uint8_t>(width & 0xff), static_cast<uint8_t>(width >> 8),
                                  static_cast<uint8_t>(height & 0xff), static_cast<uint8_t>(height >> 8)};
    bytes.reserve(bytes.size() + records.size() * (glyphBytes + 1));
    for (const KbfRecord& r : records) {
        bytes.push_back(r.code);
        for (uint32_t i = 0; i < glyphBytes; ++i) bytes.push_back(i < r.bitmap.size() ? r.bitmap[i] : 0);
    }
    return bytes;
}

void kbfBitmapRows(uint16_t width, uint16_t height, const uint8_t* stored, std::vector<uint8_t>* out) {
    const uint32_t glRow = (width + 7u) / 8u;
    const uint32_t storedRow = kbfRowBytes(width);
    const uint32_t copied = storedRow < glRow ? storedRow : glRow;
    out->assign(static_cast<size_t>(glRow) * height, 0);
    if (!stored || glRow == 0) return;
    // Bits past the width in the last byte are padding; clear them so the rows hold only the glyph.
    const uint8_t lastMask = static_cast<uint8_t>(0xff00u >> (width - (glRow - 1) * 8));
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out->data() + static_cast<size_t>(y) * glRow;
        std::memcpy(row, stored + static_cast<size_t>(y) * storedRow, copied);
        row[glRow - 1] &= lastMask;
    }
}

bool kbfPixel(const std::vector<uint8_t>& rows, uint16_t width, unsigned x, unsigned y) {
    const size_t glRow = (width + 7u) / 8u;
    const size_t at = y * glRow + x / 8;
    if (x >= width || at >= rows.size()) return false;
    return (rows[at] >> (7 - x % 8)) & 1;
}
