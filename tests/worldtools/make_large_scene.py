#!/usr/bin/env python3
"""Writes a large scene for timing `quorvel-world build`: 1,000 rooms in a 40 x 25 grid joined by
doors, and a 100,000-triangle torus OBJ standing in room 0.

usage: make_large_scene.py DIR   (then: time quorvel-world build DIR/scene.json -o DIR/out)
"""
import json
import math
import os
import sys

out = sys.argv[1]
os.makedirs(out, exist_ok=True)

# Torus with 250 x 200 quads = 100,000 triangles, closed, wound outward.
n, m, R, r = 250, 200, 1.0, 0.35
with open(os.path.join(out, "big.obj"), "w") as f:
    for i in range(n):
        t = 2 * math.pi * i / n
        for j in range(m):
            p = 2 * math.pi * j / m
            w = R + r * math.cos(p)
            f.write("v %.6f %.6f %.6f\n" % (w * math.sin(t), r * math.sin(p), w * math.cos(t)))
    for i in range(n):
        for j in range(m):
            a = i * m + j + 1
            b = ((i + 1) % n) * m + j + 1
            c = ((i + 1) % n) * m + (j + 1) % m + 1
            d = i * m + (j + 1) % m + 1
            f.write("f %d %d %d\nf %d %d %d\n" % (a, b, c, a, c, d))

cols, rows, size = 40, 25, 4.0
rooms, doors = [], []
for y in range(rows):
    for x in range(cols):
        name = "r%d_%d" % (x, y)
        room = {"name": name, "min": [x * size, 0, y * size], "max": [(x + 1) * size, 3, (y + 1) * size],
                "lights": [{"position": [x * size + 2, 2.5, y * size + 2]}],
                "surfaces": {"floor": {"texture": "floor"}, "walls": {"texture": "bricks"}},
                "entities": [{"model": "crate", "position": [x * size + 1, 0.5, y * size + 1]}]}
        rooms.append(room)
        if x > 0:
            doors.append({"rooms": ["r%d_%d" % (x - 1, y), name], "width": 1.2, "height": 2.2})
        if y > 0:
            doors.append({"rooms": ["r%d_%d" % (x, y - 1), name], "width": 1.2, "height": 2.2})
rooms[0]["entities"].insert(0, {"model": "big", "position": [2, 1.5, 2]})
scene = {
    "name": "large",
    "textures": {"floor": {"type": "tiles", "size": 256}, "bricks": {"type": "bricks", "size": 256}},
    "models": {"big": {"obj": "big.obj"}, "crate": {"primitive": "box", "size": [0.8, 0.8, 0.8]}},
    "rooms": rooms,
    "doors": doors,
}
with open(os.path.join(out, "scene.json"), "w") as f:
    json.dump(scene, f)
