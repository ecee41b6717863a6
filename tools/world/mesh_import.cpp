// Mesh files through assimp (glTF, PLY, STL) and the OBJ reader. Each import keeps only the
// importer of the file's own format registered, so a file is never handed to a parser of some
// other format that happens to claim it, and the set of parsers a bad file can reach stays small.
#include "tools/world/mesh_import.h"

#include <assimp/BaseImporter.h>
#include <assimp/DefaultLogger.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "tools/world/gltf_check.h"
#include "tools/world/mesh_precheck.h"
#include "tools/world/obj_import.h"
#include "world/file_bytes.h"

namespace {

// More triangles than any model can be simplified from in reasonable time and memory.
const size_t kMaxImportTriangles = 4000000;

std::string extensionOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

const char* formatName(const std::string& ext) {
    if (ext == "gltf" || ext == "glb") return "glTF";
    if (ext == "ply") return "PLY";
    if (ext == "stl") return "STL";
    return "OBJ";
}

bool listsExtension(const char* list, const std::string& ext) {
    // aiImporterDesc::mFileExtensions is a space-separated list.
    const std::string all = std::string(" ") + (list ? list : "") + " ";
    return all.find(" " + ext + " ") != std::string::npos;
}

// Unregisters (and deletes) every importer but the one for `ext`; glTF 1.0's importer also
// claims .gltf and .glb and is dropped too.
void keepOnlyImporterFor(Assimp::Importer& importer, const std::string& ext) {
    std::vector<Assimp::BaseImporter*> drop;
    for (size_t i = 0; i < importer.GetImporterCount(); ++i) {
        const aiImporterDesc* d = importer.GetImporterInfo(i);
        const bool keep = d && listsExtension(d->mFileExtensions, ext) &&
                          !(formatName(ext) == std::string("glTF") && std::strstr(d->mName, "glTF2") == nullptr);
        if (!keep) drop.push_back(importer.GetImporter(i));
    }
    for (Assimp::BaseImporter* b : drop)
        if (importer.UnregisterLoader(b) == aiReturn_SUCCESS) delete b;
}

// Some importers drop faces whose indices point past the vertices and only log it: the log's
// warnings are kept during an import, and such a drop fails the import instead.
class WarningLog : public Assimp::LogStream {
public:
    void write(const char* message) override {
        if (lines.size() < 16) lines.push_back(message ? message : "");
    }
    std::vector<std::string> lines;
};

class ImportLog {
public:
    ImportLog() {
        Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
        log_ = new WarningLog;  // the logger owns and deletes it
        Assimp::DefaultLogger::get()->attachStream(log_, Assimp::Logger::Warn | Assimp::Logger::Err);
    }
    ~ImportLog() { Assimp::DefaultLogger::kill(); }
    ImportLog(const ImportLog&) = delete;
    ImportLog& operator=(const ImportLog&) = delete;
    // The first warning that says data was out of range, without the logger's prefix.
    std::string outOfRange() const {
        for (std::string line : log_->lines) {
            if (line.find("out-of-range") == std::string::npos && line.find("out of range") == std::string::npos)
                continue;
            const size_t colon = line.find(": ");
            if (colon != std::string::npos && colon < 16) line = line.substr(colon + 2);
            while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
            return line;
        }
        return "";
    }

private:
    WarningLog* log_;
};

// Polygons are split here rather than by assimp's triangulation step, which aborts the process
// on some malformed faces (an assertion the packaged library keeps).
const unsigned kFlags = aiProcess_ValidateDataStructure;

struct Collector {
    const aiScene* scene;
    Mesh* mesh;
    size_t triangles = 0;
    std::string error;
};

bool addMesh(Collector& c, const aiMesh& m, const aiMatrix4x4& toModel) {
    if (!m.mVertices) return true;
    const bool mirrored = toModel.Determinant() < 0;
    const uint32_t base = static_cast<uint32_t>(c.mesh->positions.size());
    for (unsigned i = 0; i < m.mNumVertices; ++i) {
        const aiVector3D p = toModel * m.mVertices[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            c.error = "mesh \"" + std::string(m.mName.C_Str()) + "\" vertex " + std::to_string(i) +
                      " is not a finite number";
            return false;
        }
        c.mesh->positions.push_back({p.x, p.y, p.z});
    }
    const aiVector3D* uvs = m.mTextureCoords[0];
    for (unsigned f = 0; f < m.mNumFaces; ++f) {
        const aiFace& face = m.mFaces[f];
        if (face.mNumIndices < 3 || !face.mIndices) continue;  // points and lines
        float uv[3][2] = {{0, 0}, {0, 0}, {0, 0}};
        for (unsigned k = 0; k < face.mNumIndices; ++k)
            if (face.mIndices[k] >= m.mNumVertices) {
                c.error = "mesh \"" + std::string(m.mName.C_Str()) + "\" face " + std::to_string(f) +
                          " uses vertex " + std::to_string(face.mIndices[k]) + " but the mesh has " +
                          std::to_string(m.mNumVertices);
                return false;
            }
        // A polygon becomes a fan from its first corner, as OBJ faces do.
        for (unsigned k = 1; k + 1 < face.mNumIndices; ++k) {
            const unsigned v[3] = {face.mIndices[0], face.mIndices[k], face.mIndices[k + 1]};
            for (int j = 0; j < 3; ++j) {
                uv[j][0] = uvs ? uvs[v[j]].x : 0;
                uv[j][1] = uvs ? uvs[v[j]].y : 0;
                if (!std::isfinite(uv[j][0]) || !std::isfinite(uv[j][1])) uv[j][0] = uv[j][1] = 0;
            }
            if (++c.triangles > kMaxImportTriangles) {
                c.error = "more than " + std::to_string(kMaxImportTriangles) + " triangles";
                return false;
            }
            const int b = mirrored ? 2 : 1, d = mirrored ? 1 : 2;  // a mirroring node keeps faces outward
            addMeshTriangle(*c.mesh, base + v[0], base + v[b], base + v[d], uv[0], uv[b], uv[d]);
        }
    }
    return true;
}

bool collect(Collector& c, const aiNode& node, const aiMatrix4x4& parent, int depth) {
    if (depth > 256) {
        c.error = "the node hierarchy is deeper than 256";
        return false;
    }
    const aiMatrix4x4 toModel = parent * node.mTransformation;
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        if (!node.mMeshes || node.mMeshes[i] >= c.scene->mNumMeshes) continue;
        if (!addMesh(c, *c.scene->mMeshes[node.mMeshes[i]], toModel)) return false;
    }
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        if (node.mChildren && node.mChildren[i] && !collect(c, *node.mChildren[i], toModel, depth + 1)) return false;
    return true;
}

// The transform from `node`'s space to the file's root space.
aiMatrix4x4 globalTransform(const aiNode* node) {
    aiMatrix4x4 m;
    for (const aiNode* n = node; n; n = n->mParent) m = n->mTransformation * m;
    return m;
}

// Names of nodes that hold meshes, for the message when a name is not found.
void meshNodeNames(const aiNode& node, std::vector<std::string>& out, int depth) {
    if (depth > 256 || out.size() > 12) return;
    if (node.mNumMeshes && node.mName.length) out.push_back(node.mName.C_Str());
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        if (node.mChildren && node.mChildren[i]) meshNodeNames(*node.mChildren[i], out, depth + 1);
}

// The node called `name`, or else the first node that holds a mesh called `name`.
const aiNode* findNode(const aiScene& scene, const aiNode& node, const std::string& name, int depth) {
    if (depth > 256) return nullptr;
    if (name == node.mName.C_Str()) return &node;
    for (unsigned i = 0; i < node.mNumMeshes; ++i)
        if (node.mMeshes && node.mMeshes[i] < scene.mNumMeshes && name == scene.mMeshes[node.mMeshes[i]]->mName.C_Str())
            return &node;
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        if (node.mChildren && node.mChildren[i])
            if (const aiNode* found = findNode(scene, *node.mChildren[i], name, depth + 1)) return found;
    return nullptr;
}

bool meshFromScene(const aiScene* scene, const std::string& node, Mesh& mesh, std::string& error) {
    mesh = Mesh{};
    if (!scene->mRootNode) {
        error = "the file holds no nodes";
        return false;
    }
    Collector c{scene, &mesh, 0, std::string()};
    const aiNode* start = scene->mRootNode;
    aiMatrix4x4 parent;
    if (!node.empty()) {
        start = findNode(*scene, *scene->mRootNode, node, 0);
        if (!start) {
            std::vector<std::string> names;
            meshNodeNames(*scene->mRootNode, names, 0);
            std::string list;
            for (size_t i = 0; i < names.size() && i < 12; ++i) list += (i ? ", \"" : "\"") + names[i] + "\"";
            error = "no node or mesh named \"" + node + "\"" +
                    (list.empty() ? std::string() : " (nodes with meshes: " + list + ")");
            return false;
        }
        if (start->mParent) parent = globalTransform(start->mParent);
    }
    if (!collect(c, *start, parent, 0)) {
        error = c.error;
        return false;
    }
    if (mesh.triangles.empty()) {
        error = node.empty() ? "the file holds no triangles" : "node \"" + node + "\" holds no triangles";
        return false;
    }
    return true;
}

bool importWith(Assimp::Importer& importer, const aiScene* scene, const ImportLog& log, const std::string& ext,
                const std::string& node, const std::string& name, Mesh& mesh, std::string& error) {
    const std::string where = "\"" + name + "\": ";
    const std::string dropped = log.outOfRange();
    if (scene && !dropped.empty()) {
        error = where + "cannot read it as " + formatName(ext) + ": " + dropped;
        return false;
    }
    if (!scene) {
        std::string why = importer.GetErrorString();
        while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
        error = where + "cannot read it as " + formatName(ext) + ": " + (why.empty() ? "the importer gave no reason" : why);
        return false;
    }
    if (!meshFromScene(scene, node, mesh, error)) {
        error = where + error;
        return false;
    }
    return true;
}

// A glTF goes to the importer only as the GLB that checkGltf rebuilt from what it checked.
bool importGltf(const uint8_t* data, size_t size, const std::string& ext, const std::string& baseDir,
                const std::string& node, const std::string& name, Mesh& mesh, std::string& error) {
    std::vector<uint8_t> glb;
    std::string why;
    if (!checkGltf(data, size, ext == "glb", baseDir, glb, why)) {
        error = "\"" + name + "\": cannot read it as glTF: " + why;
        return false;
    }
    const ImportLog log;
    Assimp::Importer importer;
    keepOnlyImporterFor(importer, "glb");
    const aiScene* scene = importer.ReadFileFromMemory(glb.data(), glb.size(), kFlags, "glb");
    return importWith(importer, scene, log, ext, node, name, mesh, error);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool meshFormatKnown(const std::string& path) {
    const std::string ext = extensionOf(path);
    return ext == "gltf" || ext == "glb" || ext == "ply" || ext == "stl" || ext == "obj";
}

bool importMeshFile(const std::string& path, const std::string& node, Mesh& mesh, std::string& error) {
    const std::string ext = extensionOf(path);
    if (!meshFormatKnown(path)) {
        error = "\"" + path + "\": unknown mesh format \"." + ext + "\" (expected .gltf, .glb, .ply, .stl or .obj)";
        return false;
    }
    if (ext == "obj") {
        if (!node.empty()) {
            error = "\"" + path + "\": \"node\" chooses among a glTF file's nodes; an OBJ file is read whole";
            return false;
        }
        return importObj(path, mesh, error);
    }
    // The bytes are read once: the importer gets exactly the bytes that were checked.
    std::vector<unsigned char> bytes;
    if (!readFileBytes(path, bytes)) {
        error = "\"" + path + "\": cannot read it as " + formatName(ext) + ": the file cannot be opened";
        return false;
    }
    if (ext == "gltf" || ext == "glb")
        return importGltf(bytes.data(), bytes.size(), ext, folderOf(path), node, path, mesh, error);
    return importMeshMemory(bytes.data(), bytes.size(), ext, node, path, mesh, error);
}

bool importMeshMemory(const void* data, size_t size, const std::string& extension, const std::string& node,
                      const std::string& name, Mesh& mesh, std::string& error) {
    const std::string ext = extensionOf("x." + extension);
    if (ext == "obj" || !meshFormatKnown("x." + ext)) {
        error = "\"" + name + "\": only glTF, PLY and STL are read from memory";
        return false;
    }
    if (ext == "gltf" || ext == "glb")
        return importGltf(static_cast<const uint8_t*>(data), size, ext, "", node, name, mesh, error);
    std::string why;
    if (!precheckMeshBytes(ext, static_cast<const uint8_t*>(data), size, why)) {
        error = "\"" + name + "\": cannot read it as " + formatName(ext) + ": " + why;
        return false;
    }
    const ImportLog log;
    Assimp::Importer importer;
    keepOnlyImporterFor(importer, ext);
    const aiScene* scene = importer.ReadFileFromMemory(data, size, kFlags, ext.c_str());
    return importWith(importer, scene, log, ext, node, name, mesh, error);
}
