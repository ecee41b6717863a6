// The malformed-file corpus: a valid file of each format with every count and index field
// located, and from it every truncation, every count field set to 0, 1, 32767, 32768, 65535 and
// 2^32 - 1 (where the field is that wide), every index out of range by one, bad magic and
// versions, and the format-specific breakages (a name block ending early, an image one byte
// short, a 0 x 0 image, a font header ending early).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Expect { Fail, Load, Either };

struct Case {
    std::string name;
    std::vector<unsigned char> bytes;
    Expect expect;
};

// A byte string under construction that remembers where named fields start, so cases can
// overwrite exactly one field of a valid file.
struct FieldBytes {
    struct Field {
        std::string name;
        size_t offset;
        int width;  // 2 or 4 bytes
        bool isCount;
    };
    std::vector<unsigned char> b;
    std::vector<Field> fields;

    FieldBytes& raw(const void* p, size_t n);
    FieldBytes& u8(uint8_t v) { return raw(&v, 1); }
    FieldBytes& u16(uint16_t v) { return raw(&v, 2); }
    FieldBytes& u32(uint32_t v) { return raw(&v, 4); }
    FieldBytes& i32(int32_t v) { return raw(&v, 4); }
    FieldBytes& f(float v) { return raw(&v, 4); }
    FieldBytes& vec(float x, float y, float z) { return f(x).f(y).f(z); }
    // Marks the next field (2 or 4 bytes wide) under `name`.
    FieldBytes& count(const std::string& name, int width);
    FieldBytes& index(const std::string& name, int width);
    const Field& field(const std::string& name) const;
    // A copy with the named field set to `value` (cut to the field's width).
    std::vector<unsigned char> with(const std::string& name, uint64_t value) const;
};

// The valid files the corpus starts from.
FieldBytes validWorld();
FieldBytes validTextureList();
FieldBytes validImage();
FieldBytes validFont();

std::vector<Case> worldCases();
std::vector<Case> textureListCases();
std::vector<Case> imageCases();
std::vector<Case> fontCases();

// The count values every count field is set to, limited to the field's width.
std::vector<uint64_t> countValues(int width);
