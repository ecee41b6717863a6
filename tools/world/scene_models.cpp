// Scene models: primitives and mesh files, with their transform, fitting to a size, hole caps and
// the triangle budget.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/world/mesh_degenerate.h"
#include "tools/world/mesh_holes.h"
#include "tools/world/mesh_import.h"
#include "tools/world/mesh_isolate.h"
#include "tools/world/mesh_simplify.h"
#include "tools/world/obj_import.h"
#include "tools/world/primitives.h"
#include "tools/world/scene_internal.h"

namespace {

// "scale" (one number or [x, y, z]), "rotate" (degrees about x, y, z) and "translate".
MeshTransform transformOf(const JsonAt& entry) {
    MeshTransform tf;
    if (entry.has("scale")) {
        const JsonAt s = entry["scale"];
        if (s.json().is_number()) {
            const float k = s.number();
            tf.scale = {k, k, k};
        } else {
            tf.scale = s.vec3();
        }
        if (tf.scale.x == 0 || tf.scale.y == 0 || tf.scale.z == 0) s.fail("a scale of 0 flattens the mesh");
    }
    tf.rotate = entry.vec3("rotate", tf.rotate);
    tf.translate = entry.vec3("translate", tf.translate);
    return tf;
}

std::string pointText(const Vec3& p) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%g, %g, %g)", p.x, p.y, p.z);
    return buf;
}

// Adjacency, or the build stops with the model's name and, for edges joined by three or more
// triangles, how many there are and where the first few are.
void adjacencyOrFail(ModelBuild& out, const JsonAt& m, const char* stage) {
    std::string why;
    if (computeAdjacency(out.mesh, why)) return;
    const auto crowded = crowdedEdges(out.mesh);
    if (!crowded.empty()) {
        why += "; " + std::to_string(crowded.size()) + " edge" + (crowded.size() > 1 ? "s are" : " is") +
               " shared by three or more triangles, at";
        for (size_t i = 0; i < crowded.size() && i < 4; ++i)
            why += std::string(i ? "," : "") + " " + pointText(out.mesh.positions[crowded[i][0]]) + "-" +
                   pointText(out.mesh.positions[crowded[i][1]]);
        if (crowded.size() > 4) why += ", ...";
    }
    m.fail("model \"" + out.name + "\"" + stage + ": " + why);
}

// Triangles with no area in the file itself are taken out like the ones our own processing
// leaves (see repairDegenerateTriangles), as mesh importers commonly do, with a warning that says
// how many there were and where the first is, so that the user can mend the file.
void fileSliverWarning(SceneBuild& b, const JsonAt& m, const ModelBuild& out, const DegenerateRepair& r) {
    if (!r.found) return;
    std::string w = m.path() + ": model \"" + out.name + "\": " + std::to_string(r.found) +
                    (r.found == 1 ? " triangle" : " triangles") + " of the file " + (r.found == 1 ? "has" : "have") +
                    " no area (the first at " + pointText(r.firstAt) + " in the file) and " +
                    (r.found == 1 ? "was" : "were") + " removed";
    if (r.opened)
        w += "; " + std::to_string(r.opened) + " of them could only be dropped where " +
             (r.opened == 1 ? "it lay" : "they lay") + ", which leaves open edges";
    b.warnings.push_back(w);
}

// What the compiler did to a model on its own account: the triangle budget, and triangles that
// simplifying or fitting left with no area (removed so that the model still compiles).
void modelNote(SceneBuild& b, const ModelBuild& out, size_t opened) {
    if (!out.simplifiedFrom && !out.slivers) return;
    std::string n = out.path + ": model \"" + out.name + "\" ";
    if (out.simplifiedFrom)
        n += "simplified from " + std::to_string(out.simplifiedFrom) + " to " +
             std::to_string(out.mesh.triangles.size()) + " triangles";
    else
        n += "has " + std::to_string(out.mesh.triangles.size()) + " triangles";
    n += "; " + std::to_string(out.slivers) + (out.slivers == 1 ? " triangle" : " triangles") +
         " left with no area dropped";
    if (opened) n += " (" + std::to_string(opened) + " of them leaving open edges)";
    b.notes.push_back(n);
}

void boundsOf(const Mesh& mesh, Vec3& lo, Vec3& hi) {
    lo = hi = mesh.positions[0];
    for (const Vec3& p : mesh.positions)
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], p[a]);
            hi[a] = std::max(hi[a], p[a]);
        }
}

// "height" or "size" scales uniformly to fit, then "origin" moves the bounds' base centre or
// centre to the model's origin, then "translate" applies.
void placeMesh(ModelBuild& out, const JsonAt& m) {
    MeshTransform tf = transformOf(m);
    const Vec3 translate = tf.translate;
    tf.translate = {0, 0, 0};
    transformMesh(out.mesh, tf);
    out.placed = tf;
    Vec3 lo, hi;
    boundsOf(out.mesh, lo, hi);
    if (m.has("height") && m.has("size")) m.fail("give \"height\" or \"size\", not both");
    if (m.has("height")) {
        const float h = m["height"].numberIn(1e-4f, 1e6f);
        if (!(hi.y > lo.y)) m["height"].fail("the mesh is flat along y, so no scale gives it a height");
        out.fit = h / (hi.y - lo.y);
    } else if (m.has("size")) {
        const Vec3 size = m["size"].vec3();
        float k = INFINITY;
        for (int a = 0; a < 3; ++a) {
            if (!(size[a] > 0)) m["size"].fail("sizes must be positive");
            if (hi[a] > lo[a]) k = std::min(k, size[a] / (hi[a] - lo[a]));
        }
        out.fit = k;
    }
    Vec3 shift{0, 0, 0};
    if (m.has("origin")) {
        const std::string o = m["origin"].string();
        const Vec3 c{(lo.x + hi.x) / 2 * out.fit, (lo.y + hi.y) / 2 * out.fit, (lo.z + hi.z) / 2 * out.fit};
        if (o == "base") shift = {-c.x, -lo.y * out.fit, -c.z};
        else if (o == "center") shift = {-c.x, -c.y, -c.z};
        else m["origin"].fail("expected \"base\" or \"center\"");
    }
    out.shift = {shift.x + translate.x, shift.y + translate.y, shift.z + translate.z};
    if (out.fit == 1 && out.shift.x == 0 && out.shift.y == 0 && out.shift.z == 0) return;
    for (Vec3& p : out.mesh.positions)
        p = {p.x * out.fit + out.shift.x, p.y * out.fit + out.shift.y, p.z * out.fit + out.shift.z};
}

// A model from a mesh file: "obj" (as it always was) or "mesh" (any format by extension).
void loadFileModel(SceneBuild& b, const JsonAt& m, ModelBuild& out) {
    const bool byMesh = m.has("mesh");
    if (byMesh && m.has("obj")) m.fail("give \"mesh\" or \"obj\", not both");
    if (byMesh)
        m.expectObject({"mesh", "node", "material", "texture", "scale", "rotate", "translate", "height", "size",
                        "origin", "closeHoles", "maxTriangles"});
    else
        m.expectObject({"obj", "material", "texture", "scale", "rotate", "translate", "height", "size", "origin",
                        "closeHoles", "maxTriangles"});
    const JsonAt file = m[byMesh ? "mesh" : "obj"];
    std::string why;
    if (byMesh) {
        const std::string node = m.has("node") ? m["node"].string() : "";
        if (!importMeshIsolated(scenePath(b, file.string()), node, out.mesh, why)) file.fail(why);
    } else if (!importObj(scenePath(b, file.string()), out.mesh, why)) {
        file.fail(why);
    }
    out.fromFile = true;
    const bool close = m.boolean("closeHoles", false);
    const int budget = m.has("maxTriangles") ? m["maxTriangles"].integer(4, int(kMaxRecordTriangles)) : 0;
    // Everything below works on the file's own topology, so the vertices are welded first.
    weldMesh(out.mesh);
    if (out.mesh.triangles.empty()) m.fail("model \"" + out.name + "\" has no triangles");
    fileSliverWarning(b, m, out, repairDegenerateTriangles(out.mesh));
    if (out.mesh.triangles.empty()) m.fail("model \"" + out.name + "\" has no triangle with an area");
    if (close || budget) {
        adjacencyOrFail(out, m, "");
        if (close) {
            closeHoles(out.mesh);
            adjacencyOrFail(out, m, " with its holes closed");
        }
        const size_t before = out.mesh.triangles.size();
        if (budget && !simplifyMesh(out.mesh, size_t(budget), why, &out.slivers)) m["maxTriangles"].fail(why);
        if (out.mesh.triangles.size() < before) out.simplifiedFrom = before;
    }
    if (byMesh && !budget && out.mesh.triangles.size() > kMaxRecordTriangles) {
        weldMesh(out.mesh);  // count what would be stored
        if (out.mesh.triangles.size() > kMaxRecordTriangles)
            m.fail("model \"" + out.name + "\" has " + std::to_string(out.mesh.triangles.size()) +
                   " triangles; a model holds at most 32767: add \"maxTriangles\" (say 10000) to simplify it");
    }
    placeMesh(out, m);
}

Mesh primitiveMesh(const JsonAt& m) {
    m.expectObject({"primitive", "material", "texture", "size", "radius", "tubeRadius", "height", "segments",
                    "rings", "uvRepeat", "scale", "rotate", "translate"});
    PrimitiveParams p;
    p.size = m.vec3("size", p.size);
    if (!(p.size.x > 0 && p.size.y > 0 && p.size.z > 0)) m["size"].fail("sizes must be positive");
    p.radius = m.has("radius") ? m["radius"].numberIn(1e-4f, 1e6f) : p.radius;
    p.tubeRadius = m.has("tubeRadius") ? m["tubeRadius"].numberIn(1e-4f, 1e6f) : p.tubeRadius;
    p.height = m.has("height") ? m["height"].numberIn(1e-4f, 1e6f) : p.height;
    p.segments = m.integer("segments", 3, 512, p.segments);
    p.rings = m.integer("rings", 2, 512, p.rings);
    if (m.has("uvRepeat")) {
        const JsonAt r = m["uvRepeat"];
        if (r.size() != 2) r.fail("expected [u, v]");
        p.uvRepeat[0] = r.element(0).number();
        p.uvRepeat[1] = r.element(1).number();
    }
    const std::string kind = m["primitive"].string();
    Mesh mesh;
    if (kind == "box") mesh = makeBox(p);
    else if (kind == "wedge") mesh = makeWedge(p);
    else if (kind == "cylinder") mesh = makeCylinder(p);
    else if (kind == "sphere") mesh = makeSphere(p);
    else if (kind == "torus") {
        if (p.tubeRadius >= p.radius) m["tubeRadius"].fail("must be smaller than radius");
        p.rings = std::max(p.rings, 3);
        mesh = makeTorus(p);
    } else {
        m["primitive"].fail("unknown primitive \"" + kind + "\" (expected box, wedge, cylinder, sphere or torus)");
    }
    transformMesh(mesh, transformOf(m));
    return mesh;
}

}  // namespace

Mesh loadObjWithTransform(SceneBuild& b, const JsonAt& entry) {
    Mesh mesh;
    std::string why;
    if (!importObj(scenePath(b, entry["obj"].string()), mesh, why)) entry["obj"].fail(why);
    transformMesh(mesh, transformOf(entry));
    return mesh;
}

void parseModels(SceneBuild& b, const JsonAt& models) {
    if (!models.json().is_object())
        models.fail("expected an object of named models, got " + jsonTypeName(models.json()));
    for (auto it = models.json().begin(); it != models.json().end(); ++it) {
        const JsonAt m = models.member(it.key());
        ModelBuild out;
        out.name = it.key();
        out.path = m.path();
        if (m.has("obj") || m.has("mesh")) loadFileModel(b, m, out);
        else if (m.has("primitive")) out.mesh = primitiveMesh(m);
        else
            m.fail("a model needs \"mesh\" (a .gltf, .glb, .ply, .stl or .obj file), \"obj\" or \"primitive\" "
                   "(box, wedge, cylinder, sphere, torus)");
        out.material = materialRef(b, m);
        out.texture = textureRef(b, m);
        weldMesh(out.mesh);
        if (out.mesh.triangles.empty()) m.fail("model \"" + out.name + "\" has no triangles");
        // Fitting rounds positions in the final units: points that were apart may now weld, and
        // thin triangles may lose what area they had.
        const DegenerateRepair placed = repairDegenerateTriangles(out.mesh);
        out.slivers += placed.found;
        if (out.mesh.triangles.empty()) m.fail("model \"" + out.name + "\" has no triangles");
        modelNote(b, out, placed.opened);
        adjacencyOrFail(out, m, "");
        size_t open = 0;
        for (const MeshTri& t : out.mesh.triangles)
            for (int32_t a : t.adj) open += a < 0;
        if (!open && signedVolume6(out.mesh) < 0)
            b.warnings.push_back(m.path() + ": model \"" + out.name + "\" is inside out (its faces point inwards)");
        b.modelIndex[out.name] = b.models.size();
        b.models.push_back(std::move(out));
    }
}
