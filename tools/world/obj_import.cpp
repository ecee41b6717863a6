// OBJ import. The parser is asked not to triangulate: its triangulation reads vertex positions
// through face indices before anything has checked them, and this tool checks them first.
#include "tools/world/obj_import.h"

#include <tiny_obj_loader.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

// Where each face and vertex is in the file, so that messages can give its line. The parser keeps
// no lines, so the file is scanned once more the way the parser reads it: a line whose first word
// is "f" is a face, "v" a vertex. The scan also catches index 0, which OBJ does not have (indices
// count from 1, or back from -1), before the parser reports it in its own words.
struct ObjLines {
    std::vector<size_t> faces, vertices;
    std::string zeroIndex;  // the message for the first face with index 0, if any
};

ObjLines scanObjLines(const std::string& path) {
    ObjLines out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        size_t i = line.find_first_not_of(" \t");
        if (i == std::string::npos || i + 1 >= line.size() || (line[i + 1] != ' ' && line[i + 1] != '\t')) continue;
        if (line[i] == 'v') out.vertices.push_back(number);
        if (line[i] != 'f') continue;
        out.faces.push_back(number);
        if (!out.zeroIndex.empty()) continue;
        // Each corner is v, v/vt, v//vn or v/vt/vn; any of its numbers may not be 0.
        const char* c = line.c_str() + i + 1;
        for (int corner = 1; *c; ++corner) {
            while (*c == ' ' || *c == '\t' || *c == '\r') ++c;
            if (!*c) break;
            bool zero = false;
            while (*c && *c != ' ' && *c != '\t' && *c != '\r') {
                char* end;
                const long v = std::strtol(c, &end, 10);
                if (end != c && v == 0) zero = true;
                c = end != c ? end : c + 1;
            }
            if (zero) {
                out.zeroIndex = "\"" + path + "\" line " + std::to_string(number) + ": face " +
                                std::to_string(out.faces.size()) + " corner " + std::to_string(corner) +
                                " has index 0; OBJ indices count from 1 (or back from -1, the last one)";
                break;
            }
        }
    }
    return out;
}

std::string lineOf(const std::vector<size_t>& lines, size_t number) {
    return number >= 1 && number <= lines.size() ? " line " + std::to_string(lines[number - 1]) : "";
}

}  // namespace

bool importObj(const std::string& path, Mesh& mesh, std::string& error) {
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    config.vertex_color = false;
    const ObjLines lines = scanObjLines(path);
    if (!lines.zeroIndex.empty()) {
        error = lines.zeroIndex;
        return false;
    }
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config)) {
        error = "\"" + path + "\": " + (reader.Error().empty() ? "cannot read OBJ" : reader.Error());
        while (!error.empty() && error.back() == '\n') error.pop_back();
        return false;
    }
    const tinyobj::attrib_t& attrib = reader.GetAttrib();
    const size_t positions = attrib.vertices.size() / 3;
    const size_t texcoords = attrib.texcoords.size() / 2;
    mesh = Mesh{};
    mesh.positions.reserve(positions);
    for (size_t i = 0; i < positions; ++i) {
        const Vec3 p{attrib.vertices[3 * i], attrib.vertices[3 * i + 1], attrib.vertices[3 * i + 2]};
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            error = "\"" + path + "\"" + lineOf(lines.vertices, i + 1) + ": vertex " + std::to_string(i + 1) +
                    " is not a finite number";
            return false;
        }
        mesh.positions.push_back(p);
    }
    size_t faceNumber = 0;
    for (const tinyobj::shape_t& shape : reader.GetShapes()) {
        const auto& idx = shape.mesh.indices;
        size_t at = 0;
        for (unsigned char corners : shape.mesh.num_face_vertices) {
            ++faceNumber;
            auto where = [&]() {
                return "\"" + path + "\"" + lineOf(lines.faces, faceNumber) + ": face " +
                       std::to_string(faceNumber) + " (object \"" + shape.name + "\")";
            };
            if (at + corners > idx.size()) {
                error = where() + " has more corners than the file's index list holds";
                return false;
            }
            if (corners < 3) {
                error = where() + " has " + std::to_string(corners) + " corners; faces need 3";
                return false;
            }
            std::vector<uint32_t> v(corners);
            std::vector<std::array<float, 2>> uv(corners);
            for (unsigned c = 0; c < corners; ++c) {
                const tinyobj::index_t& ix = idx[at + c];
                if (ix.vertex_index < 0 || size_t(ix.vertex_index) >= positions) {
                    error = where() + " uses vertex " + std::to_string(ix.vertex_index + 1) +
                            " but the file has " + std::to_string(positions);
                    return false;
                }
                v[c] = static_cast<uint32_t>(ix.vertex_index);
                uv[c] = {0, 0};
                if (ix.texcoord_index >= 0) {
                    if (size_t(ix.texcoord_index) >= texcoords) {
                        error = where() + " uses texture coordinate " +
                                std::to_string(ix.texcoord_index + 1) + " but the file has " +
                                std::to_string(texcoords);
                        return false;
                    }
                    uv[c] = {attrib.texcoords[2 * ix.texcoord_index],
                             attrib.texcoords[2 * ix.texcoord_index + 1]};
                } else if (ix.texcoord_index < -1) {
                    error = where() + " uses an invalid texture coordinate index";
                    return false;
                }
            }
            for (unsigned c = 1; c + 1 < corners; ++c)
                addMeshTriangle(mesh, v[0], v[c], v[c + 1], uv[0].data(), uv[c].data(),
                                uv[c + 1].data());
            at += corners;
        }
    }
    return true;
}
