// Builds world files byte by byte in tests, so malformed and hand-laid files can be made exactly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct WorldBytes {
    std::vector<unsigned char> b;

    WorldBytes& raw(const void* p, size_t n) {
        const auto* c = static_cast<const unsigned char*>(p);
        b.insert(b.end(), c, c + n);
        return *this;
    }
    WorldBytes& u8(uint8_t v) { return raw(&v, 1); }
    WorldBytes& u16(uint16_t v) { return raw(&v, 2); }
    WorldBytes& u32(uint32_t v) { return raw(&v, 4); }
    WorldBytes& i32(int32_t v) { return raw(&v, 4); }
    WorldBytes& f(float v) { return raw(&v, 4); }
    WorldBytes& vec(float x, float y, float z) { return f(x).f(y).f(z); }
    WorldBytes& header(uint16_t bodyOffset = 10, uint16_t version = 5) {
        return raw("BINWLD", 6).u16(bodyOffset).u16(version);
    }
    // A room head: counts, box, and eight lights whose fields are numbered so order shows.
    WorldBytes& roomHead(uint16_t entities, uint16_t triangles, uint16_t portals) {
        u16(entities).u16(triangles).u16(portals).vec(-1, -1, -1).vec(1, 1, 1);
        for (int i = 0; i < 8; ++i) {
            vec(float(i), 100.0f + i, 200.0f + i);                      // position
            for (int k = 0; k < 12; ++k) f(float(1000 * (i + 1) + k));  // ambient, diffuse, specular
            u8(uint8_t(i % 3)).u8(uint8_t(i == 2 ? 1 : 0));              // enabled, type
        }
        return *this;
    }
    WorldBytes& triangle(uint16_t texture, uint16_t material, uint32_t a, uint32_t b2, uint32_t c,
                         int32_t n0 = -1, int32_t n1 = -1, int32_t n2 = -1) {
        u16(texture).u16(material).u32(a).u32(b2).u32(c).i32(n0).i32(n1).i32(n2);
        for (int k = 0; k < 6; ++k) f(0.5f * k);
        return *this;
    }
    WorldBytes& entity(uint16_t model, float x, uint8_t flags = 0) {
        return u16(model).vec(x, 0, 0).vec(0, 0, 0).u8(flags);
    }

    std::string save(const std::string& name) const {
        const std::string path = "wb_" + name + ".kbw";
        FILE* fp = std::fopen(path.c_str(), "wb");
        if (fp) {
            if (!b.empty()) std::fwrite(b.data(), 1, b.size(), fp);
            std::fclose(fp);
        }
        return path;
    }
};

inline std::string saveBytes(const std::vector<unsigned char>& bytes, const std::string& name) {
    WorldBytes w;
    w.b = bytes;
    return w.save(name);
}
