// Builds the malformed-file corpus from small valid files whose fields are located by name.
#include "tests/hardening/malformed.h"

#include <cstring>
#include <stdexcept>

FieldBytes& FieldBytes::raw(const void* p, size_t n) {
    const auto* c = static_cast<const unsigned char*>(p);
    b.insert(b.end(), c, c + n);
    return *this;
}

FieldBytes& FieldBytes::count(const std::string& name, int width) {
    fields.push_back({name, b.size(), width, true});
    return *this;
}

FieldBytes& FieldBytes::index(const std::string& name, int width) {
    fields.push_back({name, b.size(), width, false});
    return *this;
}

const FieldBytes::Field& FieldBytes::field(const std::string& name) const {
    for (const Field& f : fields)
        if (f.name == name) return f;
    throw std::out_of_range("no field " + name);
}

std::vector<unsigned char> FieldBytes::with(const std::string& name, uint64_t value) const {
    const Field& f = field(name);
    std::vector<unsigned char> out = b;
    for (int i = 0; i < f.width; ++i) out[f.offset + i] = static_cast<unsigned char>(value >> (8 * i));
    return out;
}

std::vector<uint64_t> countValues(int width) {
    std::vector<uint64_t> v = {0, 1, 32767, 32768, 65535};
    if (width == 4) v.push_back(0xFFFFFFFFu);
    return v;
}

namespace {

void roomHead(FieldBytes& f, const std::string& room, uint16_t entities, uint16_t triangles,
              uint16_t portals) {
    f.count(room + ".entityCount", 2).u16(entities);
    f.count(room + ".triangleCount", 2).u16(triangles);
    f.count(room + ".portalCount", 2).u16(portals);
    f.vec(-4, -4, -4).vec(4, 4, 4);
    for (int i = 0; i < 8; ++i) {
        f.vec(float(i), 1, 0);
        for (int k = 0; k < 12; ++k) f.f(0.5f);
        f.u8(i == 0).u8(0);
    }
}

void triangle(FieldBytes& f, const std::string& name, uint32_t a, uint32_t b, uint32_t c,
              int32_t n0, int32_t n1, int32_t n2, bool neighboursMatter) {
    f.u16(0).u16(0);
    f.index(name + ".v0", 4).u32(a).index(name + ".v1", 4).u32(b).index(name + ".v2", 4).u32(c);
    if (neighboursMatter) f.index(name + ".adj0", 4);
    f.i32(n0);
    if (neighboursMatter) f.index(name + ".adj1", 4);
    f.i32(n1);
    if (neighboursMatter) f.index(name + ".adj2", 4);
    f.i32(n2);
    for (int k = 0; k < 6; ++k) f.f(0.25f * k);
}

void entity(FieldBytes& f, const std::string& name, float x) {
    f.index(name + ".model", 2).u16(0).vec(x, 0, 0).vec(0, 45, 0).u8(0);
}

}  // namespace

FieldBytes validWorld() {
    FieldBytes f;
    f.raw("BINWLD", 6).u16(10).index("version", 2).u16(5);
    f.count("vertexCount", 4).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    f.count("materialCount", 2).u16(1);
    for (int i = 0; i < 17; ++i) f.f(0.5f);
    f.count("modelCount", 2).u16(1);
    f.count("model.vertexCount", 4).u32(3).vec(0, 0, 0).vec(1, 0, 0).vec(0, 0, 1);
    f.count("model.triangleCount", 2).u16(2);
    triangle(f, "model.tri0", 0, 1, 2, 1, 1, 1, true);
    triangle(f, "model.tri1", 0, 2, 1, 0, 0, 0, true);
    f.count("roomCount", 2).u16(2);
    roomHead(f, "room0", 2, 1, 1);
    entity(f, "room0.ent0", 0);
    entity(f, "room0.ent1", 2);
    triangle(f, "room0.tri0", 0, 1, 2, -1, -1, -1, false);
    f.count("room0.portal.vertexCount", 2).u16(3).index("room0.portal.target", 2).u16(1);
    f.vec(0, 0, 0).vec(1, 0, 0).vec(0, 1, 0);
    roomHead(f, "room1", 0, 0, 1);
    f.count("room1.portal.vertexCount", 2).u16(3).index("room1.portal.target", 2).u16(0);
    f.vec(0, 0, 0).vec(0, 1, 0).vec(1, 0, 0);
    return f;
}

FieldBytes validTextureList() {
    FieldBytes f;
    f.raw("TLST", 4).count("count", 2).u16(2).count("namesSize", 4).u32(12);
    f.raw("a.raw\0b.raw\0", 12);
    return f;
}

FieldBytes validImage() {
    FieldBytes f;
    f.count("width", 2).u16(4).count("height", 2).u16(2).u8(0);
    for (int i = 0; i < 4 * 2 * 3; ++i) f.u8(static_cast<uint8_t>(i * 10));
    return f;
}

FieldBytes validFont() {
    FieldBytes f;
    f.raw("KBF", 3).count("width", 2).u16(8).count("height", 2).u16(4);
    for (uint8_t code : {65, 66, 65}) {
        f.u8(code);
        for (int i = 0; i < 4; ++i) f.u8(static_cast<uint8_t>(code + i));
    }
    return f;
}

namespace {

// Every proper prefix of `bytes`, named by its length.
void addTruncations(std::vector<Case>& out, const std::string& kind,
                    const std::vector<unsigned char>& bytes, Expect expect) {
    for (size_t n = 0; n < bytes.size(); ++n)
        out.push_back({kind + " cut to " + std::to_string(n) + " bytes",
                       std::vector<unsigned char>(bytes.begin(), bytes.begin() + n), expect});
}

void addCounts(std::vector<Case>& out, const std::string& kind, const FieldBytes& f,
               Expect (*expectFor)(const std::string& field, uint64_t value)) {
    for (const FieldBytes::Field& field : f.fields) {
        if (!field.isCount) continue;
        for (uint64_t v : countValues(field.width))
            out.push_back({kind + " " + field.name + " = " + std::to_string(v),
                           f.with(field.name, v), expectFor(field.name, v)});
    }
}

}  // namespace

std::vector<Case> worldCases() {
    const FieldBytes f = validWorld();
    std::vector<Case> out;
    out.push_back({"world as made", f.b, Expect::Load});
    addTruncations(out, "world", f.b, Expect::Fail);
    // Counts of 0 or 1 may happen to leave a well-formed file (the bytes after the last room are
    // never read); larger ones promise more than these few hundred bytes hold.
    addCounts(out, "world", f, [](const std::string&, uint64_t v) {
        return v <= 1 ? Expect::Either : Expect::Fail;
    });
    // Every index one past its table, and the neighbours also one below -1.
    const struct {
        const char* field;
        uint64_t value;
    } indices[] = {
        {"model.tri0.v0", 3},  {"model.tri0.v1", 3},  {"model.tri1.v2", 3},
        {"model.tri0.adj0", 2}, {"model.tri1.adj2", 2}, {"model.tri0.adj1", 0xFFFFFFFEu},
        {"room0.ent0.model", 1}, {"room0.ent1.model", 1},
        {"room0.tri0.v0", 3},  {"room0.tri0.v1", 3},  {"room0.tri0.v2", 3},
        {"room0.portal.target", 2}, {"room1.portal.target", 2},
    };
    for (const auto& i : indices)
        out.push_back({std::string("world ") + i.field + " = " + std::to_string(i.value),
                       f.with(i.field, i.value), Expect::Fail});
    // The last valid value of each index still loads.
    out.push_back({"world room0.tri0.v2 = 2", f.with("room0.tri0.v2", 2), Expect::Load});
    out.push_back({"world room1.portal.target = 1", f.with("room1.portal.target", 1), Expect::Load});
    for (uint64_t version : {0, 5})
        out.push_back({"world version " + std::to_string(version), f.with("version", version), Expect::Load});
    for (uint64_t version : {6, 0x8000, 0xFFFF})
        out.push_back({"world version " + std::to_string(version), f.with("version", version), Expect::Fail});
    for (size_t i = 0; i < 6; ++i) {
        std::vector<unsigned char> bad = f.b;
        bad[i] ^= 0x20;
        out.push_back({"world magic byte " + std::to_string(i) + " wrong", bad, Expect::Fail});
    }
    std::vector<unsigned char> farBody = f.b;
    farBody[6] = 0xFF;
    farBody[7] = 0xFF;
    out.push_back({"world body offset past the end", farBody, Expect::Fail});
    return out;
}

std::vector<Case> textureListCases() {
    const FieldBytes f = validTextureList();
    std::vector<Case> out;
    out.push_back({"list as made", f.b, Expect::Load});
    addTruncations(out, "list", f.b, Expect::Fail);
    addCounts(out, "list", f, [](const std::string& field, uint64_t v) {
        if (field == "count") return v <= 1 ? Expect::Load : Expect::Fail;  // 0 or 1 of 2 names
        return Expect::Fail;  // namesSize: the block is 12 bytes, none of the values match
    });
    // The name block ends before the second name's NUL (namesSize still matches the bytes).
    FieldBytes early;
    early.raw("TLST", 4).u16(2).u32(11).raw("a.raw\0b.raw", 11);
    out.push_back({"list name block ends inside a name", early.b, Expect::Fail});
    FieldBytes fewer;
    fewer.raw("TLST", 4).u16(3).u32(12).raw("a.raw\0b.raw\0", 12);
    out.push_back({"list with fewer names than its count", fewer.b, Expect::Fail});
    std::vector<unsigned char> trailing = f.b;
    trailing.push_back('x');
    out.push_back({"list with bytes after the block", trailing, Expect::Load});
    for (size_t i = 0; i < 4; ++i) {
        std::vector<unsigned char> bad = f.b;
        bad[i] ^= 0x20;
        out.push_back({"list magic byte " + std::to_string(i) + " wrong", bad, Expect::Fail});
    }
    return out;
}

std::vector<Case> imageCases() {
    const FieldBytes f = validImage();
    std::vector<Case> out;
    out.push_back({"image as made", f.b, Expect::Load});
    addTruncations(out, "image", f.b, Expect::Fail);  // the last one is one byte short
    addCounts(out, "image", f, [](const std::string& field, uint64_t v) {
        // 24 pixel bytes hold a 4 x 2 image; one side 0 needs none, one side 1 needs fewer.
        if (v == 0 || v == 1) return Expect::Load;
        (void)field;
        return Expect::Fail;
    });
    FieldBytes empty;
    empty.u16(0).u16(0).u8(0);
    out.push_back({"image 0 x 0", empty.b, Expect::Load});
    std::vector<unsigned char> rgba = f.b;
    rgba[4] = 7;  // any non-zero alpha byte means 4 bytes a pixel: 32 needed, 24 held
    out.push_back({"image alpha 7 with RGB pixels", rgba, Expect::Fail});
    return out;
}

std::vector<Case> fontCases() {
    const FieldBytes f = validFont();
    std::vector<Case> out;
    out.push_back({"font as made", f.b, Expect::Load});
    // Cut inside the header fails; cut inside the records gives the whole records before the cut.
    for (size_t n = 0; n < f.b.size(); ++n)
        out.push_back({"font cut to " + std::to_string(n) + " bytes",
                       std::vector<unsigned char>(f.b.begin(), f.b.begin() + n),
                       n < 7 ? Expect::Fail : Expect::Load});
    // Glyphs of 65536 bytes or more leave the format; other sizes read the bytes as records.
    addCounts(out, "font", f, [](const std::string& field, uint64_t v) {
        const uint64_t width = field == "width" ? v : 8, height = field == "height" ? v : 4;
        return height * (width / 16 + 1) > 65535 ? Expect::Fail : Expect::Load;
    });
    for (size_t i = 0; i < 3; ++i) {
        std::vector<unsigned char> bad = f.b;
        bad[i] ^= 0x20;
        out.push_back({"font magic byte " + std::to_string(i) + " wrong", bad, Expect::Fail});
    }
    // 65536 zero-byte glyph records (a 0 x 0 font): more records than the count can hold.
    std::vector<unsigned char> many = {'K', 'B', 'F', 0, 0, 0, 0};
    many.resize(7 + 65536, 'A');
    out.push_back({"font with 65536 records", many, Expect::Fail});
    many.pop_back();
    out.push_back({"font with 65535 records", many, Expect::Load});
    return out;
}
