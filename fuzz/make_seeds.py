#!/usr/bin/env python3
"""Writes the small hand-made seed files in fuzz/corpus/. Run from anywhere; the files are
committed, this script only records how they were made. Seeds from the shipped data (the demo
and sample worlds, the texture list and its images, the built font) are added by scripts/fuzz.sh
at fuzz time."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(kind, name, data):
    os.makedirs(os.path.join(here, kind), exist_ok=True)
    with open(os.path.join(here, kind, name), "wb") as f:
        f.write(data)


def vec(x, y, z):
    return struct.pack("<3f", x, y, z)


def tri(tex, mat, a, b, c, n=(-1, -1, -1)):
    return struct.pack("<HH3I3i6f", tex, mat, a, b, c, *n, 0, 0, 1, 0, 0, 1)


def room_head(entities, triangles, portals):
    out = struct.pack("<3H", entities, triangles, portals) + vec(-4, -4, -4) + vec(4, 4, 4)
    for i in range(8):
        out += vec(i, 2, 0) + struct.pack("<12f", *([0.5] * 12)) + struct.pack("<BB", i == 0, 0)
    return out


def world(version=5, body_offset=10, pad=b""):
    out = b"BINWLD" + struct.pack("<HH", body_offset, version) + pad
    out += struct.pack("<I", 3) + vec(0, 0, 0) + vec(1, 0, 0) + vec(0, 1, 0)
    out += struct.pack("<H", 1) + struct.pack("<17f", *([0.25] * 17))
    # One model: a two-sided triangle whose faces are each other's neighbours.
    out += struct.pack("<H", 1) + struct.pack("<I", 3) + vec(0, 0, 0) + vec(1, 0, 0) + vec(0, 0, 1)
    out += struct.pack("<H", 2) + tri(0, 0, 0, 1, 2, (1, 1, 1)) + tri(0, 0, 0, 2, 1, (0, 0, 0))
    # Two rooms joined by portals both ways; room 0 holds two entities.
    out += struct.pack("<H", 2)
    out += room_head(2, 1, 1)
    out += struct.pack("<H", 0) + vec(0, 0, 0) + vec(0, 0, 0) + struct.pack("<B", 0)
    out += struct.pack("<H", 0) + vec(1, 0, 0) + vec(0, 90, 0) + struct.pack("<B", 1)
    out += tri(0, 0, 0, 1, 2)
    out += struct.pack("<HH", 3, 1) + vec(0, 0, 0) + vec(1, 0, 0) + vec(0, 1, 0)
    out += room_head(0, 0, 1) + struct.pack("<HH", 3, 0) + vec(0, 0, 0) + vec(0, 1, 0) + vec(1, 0, 0)
    return out


put("world", "empty.kbw", b"BINWLD" + struct.pack("<HH", 10, 0) + struct.pack("<IHHH", 0, 0, 0, 0))
put("world", "small.kbw", world())
put("world", "offset16.kbw", world(version=3, body_offset=16, pad=b"\0" * 6))

put("textures", "list.ktl", b"TLST" + struct.pack("<HI", 2, 12) + b"a.raw\0b.raw\0")
put("textures", "empty.ktl", b"TLST" + struct.pack("<HI", 0, 0))
put("textures", "rgb4x2.raw", struct.pack("<HHB", 4, 2, 0) + bytes(range(24)))
put("textures", "rgba2x2.raw", struct.pack("<HHB", 2, 2, 7) + bytes(range(16)))
put("textures", "zero.raw", struct.pack("<HHB", 0, 0, 0))


def kbf(width, height, records):
    glyph = height * (width // 16 + 1)
    out = b"KBF" + struct.pack("<HH", width, height)
    for code, fill in records:
        out += bytes([code]) + bytes([fill]) * glyph
    return out


put("kbf", "8x16.kbf", kbf(8, 16, [(65, 0x18), (66, 0x7E), (65, 0xFF)]))
put("kbf", "header_only.kbf", kbf(8, 16, []))
put("kbf", "10x12.kbf", kbf(10, 12, [(0, 0xC0), (255, 0x3F)]))


# Mesh files: a unit box in every format the compiler reads, each behind the byte that picks the
# format in the fuzz_mesh_* targets (0 glTF, 1 GLB, 2 PLY, 3 STL, 4 OBJ). The box's top is left open, so the
# hole caps run too.
BOX_V = [(-1, -1, -1), (1, -1, -1), (1, 1, -1), (-1, 1, -1), (-1, -1, 1), (1, -1, 1), (1, 1, 1), (-1, 1, 1)]
BOX_F = [(0, 2, 1), (0, 3, 2), (4, 5, 6), (0, 1, 5), (0, 5, 4), (1, 2, 6), (1, 6, 5),
         (2, 3, 7), (2, 7, 6), (3, 0, 4), (3, 4, 7)]  # (4, 6, 7) left out: one open corner


def gltf_parts():
    import json
    pos = b"".join(struct.pack("<3f", *v) for v in BOX_V)
    idx = b"".join(struct.pack("<3H", *f) for f in BOX_F)
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
           "nodes": [{"name": "box", "mesh": 0, "translation": [0, 1, 0]}],
           "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
           "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": len(pos)},
                           {"buffer": 0, "byteOffset": len(pos), "byteLength": len(idx)}],
           "accessors": [{"bufferView": 0, "componentType": 5126, "count": 8, "type": "VEC3",
                          "min": [-1, -1, -1], "max": [1, 1, 1]},
                         {"bufferView": 1, "componentType": 5123, "count": len(idx) // 2, "type": "SCALAR"}]}
    return doc, pos + idx


def gltf_text():
    import base64
    import json
    doc, data = gltf_parts()
    doc["buffers"] = [{"byteLength": len(data),
                       "uri": "data:application/octet-stream;base64," + base64.b64encode(data).decode()}]
    return json.dumps(doc).encode()


def glb():
    import json
    doc, data = gltf_parts()
    data += b"\0" * (-len(data) % 4)
    doc["buffers"] = [{"byteLength": len(data)}]
    text = json.dumps(doc).encode()
    text += b" " * (-len(text) % 4)
    body = struct.pack("<I4s", len(text), b"JSON") + text + struct.pack("<I4s", len(data), b"BIN\0") + data
    return b"glTF" + struct.pack("<II", 2, 12 + len(body)) + body


def gltf_tree():
    """Two nodes under a parent, one placed by translation, rotation and scale and one by a matrix,
    sharing a mesh of two primitives over an interleaved (strided) view of positions and texture
    coordinates, with byte indices; a material and an animation that the import leaves out."""
    import base64
    import json
    inter = b"".join(struct.pack("<3f2f", *v, (v[0] + 1) / 2, (v[1] + 1) / 2) for v in BOX_V)
    idx = bytes(i for f in BOX_F for i in f)
    data = inter + idx + b"\0" * (-len(idx) % 4)
    doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}],
           "nodes": [{"name": "root", "children": [1, 2]},
                     {"name": "a", "mesh": 0, "translation": [1, 0, 0], "rotation": [0, 0.7071, 0, 0.7071],
                      "scale": [1, 2, 1]},
                     {"name": "b", "mesh": 0, "matrix": [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 3, 0, 1]}],
           "meshes": [{"name": "shared", "primitives": [
               {"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "indices": 2, "material": 0},
               {"attributes": {"POSITION": 0}, "mode": 5, "indices": 2}]}],
           "materials": [{"name": "paint"}],
           "animations": [{"channels": [], "samplers": []}],
           "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": len(inter), "byteStride": 20},
                           {"buffer": 0, "byteOffset": len(inter), "byteLength": len(idx)}],
           "accessors": [{"bufferView": 0, "componentType": 5126, "count": 8, "type": "VEC3"},
                         {"bufferView": 0, "byteOffset": 12, "componentType": 5126, "count": 8, "type": "VEC2"},
                         {"bufferView": 1, "componentType": 5121, "count": len(idx), "type": "SCALAR"}],
           "buffers": [{"byteLength": len(data),
                        "uri": "data:application/octet-stream;base64," + base64.b64encode(data).decode()}]}
    return json.dumps(doc).encode()


def ply(binary):
    head = ("ply\nformat %s 1.0\nelement vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
            "element face %d\nproperty list uchar int vertex_indices\nend_header\n"
            % ("binary_little_endian" if binary else "ascii", len(BOX_F))).encode()
    if binary:
        return head + b"".join(struct.pack("<3f", *v) for v in BOX_V) + \
            b"".join(struct.pack("<B3i", 3, *f) for f in BOX_F)
    return head + "".join("%g %g %g\n" % v for v in BOX_V).encode() + \
        "".join("3 %d %d %d\n" % f for f in BOX_F).encode()


def stl(binary):
    if binary:
        out = b"binary".ljust(80, b"\0") + struct.pack("<I", len(BOX_F))
        for f in BOX_F:
            out += struct.pack("<3f", 0, 0, 0) + b"".join(struct.pack("<3f", *BOX_V[i]) for i in f) + b"\0\0"
        return out
    out = "solid box\n"
    for f in BOX_F:
        out += " facet normal 0 0 0\n  outer loop\n"
        out += "".join("   vertex %g %g %g\n" % BOX_V[i] for i in f)
        out += "  endloop\n endfacet\n"
    return (out + "endsolid box\n").encode()


def obj():
    return ("".join("v %g %g %g\n" % v for v in BOX_V) + "vt 0 0\nvt 1 1\n" +
            "".join("f %d/1 %d/2 %d/1\n" % (f[0] + 1, f[1] + 1, f[2] + 1) for f in BOX_F)).encode()


put("mesh", "box.gltf", b"\0" + gltf_text())
put("mesh", "box.glb", b"\1" + glb())
put("mesh", "tree.gltf", b"\0" + gltf_tree())
put("mesh", "ascii.ply", b"\2" + ply(False))
put("mesh", "binary.ply", b"\2" + ply(True))
put("mesh", "ascii.stl", b"\3" + stl(False))
put("mesh", "binary.stl", b"\3" + stl(True))
put("mesh", "box.obj", b"\4" + obj())

# Scenes: the mesh models of the scene guide (fuzz_scene writes its vase.gltf and pedestal.stl),
# with every fitting key, and primitives; the shipped scenes are added by scripts/fuzz.sh.
put("scene", "meshes.json", b"""{"models": {
  "vase": {"mesh": "vase.gltf", "height": 1.2, "origin": "base", "closeHoles": true},
  "cut": {"mesh": "vase.gltf", "node": "vase", "maxTriangles": 100, "size": [1, 1, 1], "origin": "center"},
  "pedestal": {"mesh": "pedestal.stl", "size": [1.2, 0.8, 1.2], "origin": "base", "rotate": [0, 22.5, 0]},
  "ball": {"primitive": "sphere", "segments": 8, "rings": 4}},
 "rooms": [{"name": "a", "min": [-4, -1, -4], "max": [4, 3, 4], "lights": [{"position": [1, 2.5, 1]}],
   "entities": [{"model": "vase", "position": [0, -0.2, -2]}, {"model": "pedestal", "position": [0, -1, -2]},
                {"model": "cut", "position": [2, 0, 0]}, {"model": "ball", "position": [-2, 0, 0]}]},
  {"name": "b", "min": [4, -1, -4], "max": [8, 3, 4]}],
 "doors": [{"rooms": ["a", "b"], "width": 1.2, "height": 2}]}
""")
