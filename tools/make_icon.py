#!/usr/bin/env python3
"""Draws the desktop icon from the two spacecraft of data/: the chaser closing on the target's port,
seen from above and aside, on a disc of night sky with the planet's rim below.

    python3 tools/make_icon.py [output file, dist/rendezvous.svg by default]

No display is needed: the triangles are turned, lit (the materials' ambient and diffuse colours under
one light) and projected here, then written as SVG polygons farthest first (painter's order). Faces
turned away from the eye are left out; every part of the models is a closed convex solid.
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
SIZE = 256  # the SVG's user units; the icon scales from there

GAP = 1.9  # between the two centres along the approach axis: closing in, not yet docked
YAW, PITCH = math.radians(-50.0), math.radians(24.0)  # the eye: beside the approach axis, a little above
LIGHT = (-0.45, 0.75, 0.50)  # towards the light, in eye coordinates (x right, y up, z towards the eye)
FILL = 0.86  # of the disc's diameter that the two spacecraft span, corner to corner


def read_mtl(path):
    """{material: (Ka, Kd)}"""
    materials, name = {}, None
    for line in open(path):
        words = line.split()
        if not words:
            continue
        if words[0] == "newmtl":
            name = words[1]
            materials[name] = [(0.2, 0.2, 0.2), (0.8, 0.8, 0.8)]
        elif words[0] in ("Ka", "Kd") and name:
            materials[name][words[0] == "Kd"] = tuple(float(w) for w in words[1:4])
    return materials


def read_obj(path):
    """[(three corners, (Ka, Kd))], the faces fanned into triangles."""
    vertices, triangles, materials, current = [], [], {}, ((0.2, 0.2, 0.2), (0.8, 0.8, 0.8))
    for line in open(path):
        words = line.split()
        if not words:
            continue
        if words[0] == "v":
            vertices.append(tuple(float(w) for w in words[1:4]))
        elif words[0] == "mtllib":
            materials.update(read_mtl(os.path.join(os.path.dirname(path), words[1])))
        elif words[0] == "usemtl":
            current = tuple(materials[words[1]])
        elif words[0] == "f":
            corners = [vertices[int(w.split("/")[0]) - 1] for w in words[1:]]
            for k in range(1, len(corners) - 1):
                triangles.append(((corners[0], corners[k], corners[k + 1]), current))
    return triangles


def placed(triangles, turn, dz):
    """The triangles turned half round y when `turn`, then moved dz along z."""
    out = []
    for corners, material in triangles:
        if turn:
            corners = tuple((-x, y, -z) for x, y, z in corners)
        out.append((tuple((x, y, z + dz) for x, y, z in corners), material))
    return out


def to_eye(p):
    x, y, z = p
    x, z = x * math.cos(YAW) + z * math.sin(YAW), -x * math.sin(YAW) + z * math.cos(YAW)
    y, z = y * math.cos(PITCH) - z * math.sin(PITCH), y * math.sin(PITCH) + z * math.cos(PITCH)
    return x, y, z


def sub(a, b):
    return tuple(a[i] - b[i] for i in range(3))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def unit(v):
    n = math.sqrt(sum(c * c for c in v)) or 1.0
    return tuple(c / n for c in v)


def polygons(triangles):
    """(depth, points, colour) of every triangle that faces the eye."""
    light = unit(LIGHT)
    out = []
    for corners, (ka, kd) in triangles:
        eye = [to_eye(p) for p in corners]
        n = unit(cross(sub(eye[1], eye[0]), sub(eye[2], eye[0])))
        if n[2] <= 0.0:
            continue
        lit = max(0.0, sum(n[i] * light[i] for i in range(3)))
        colour = tuple(min(1.0, 0.45 * ka[i] + 0.75 * kd[i] * lit) for i in range(3))
        out.append((sum(p[2] for p in eye) / 3.0, [(x, -y) for x, y, _ in eye], colour))
    out.sort(key=lambda q: q[0])
    return fit(out)


def fit(polys):
    """The polygons scaled and moved so that the box around them is centred on the disc and its
    diagonal spans FILL of the disc."""
    xs = [x for _, points, _ in polys for x, _ in points]
    ys = [y for _, points, _ in polys for _, y in points]
    zoom = FILL * (SIZE - 8) / math.hypot(max(xs) - min(xs), max(ys) - min(ys))
    cx, cy = (max(xs) + min(xs)) / 2, (max(ys) + min(ys)) / 2
    return [(d, [(SIZE / 2 + zoom * (x - cx), SIZE / 2 + zoom * (y - cy)) for x, y in points], colour)
            for d, points, colour in polys]


def svg(polys):
    c = SIZE / 2
    lines = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">' % ((SIZE,) * 4),
        "<!-- written by tools/make_icon.py from data/chasseur.obj and data/cible.obj -->",
        "<defs><clipPath id=\"sky\"><circle cx=\"%g\" cy=\"%g\" r=\"%g\"/></clipPath></defs>" % (c, c, c - 4),
        '<circle cx="%g" cy="%g" r="%g" fill="#0b1430"/>' % (c, c, c - 4),
        '<circle cx="%g" cy="%g" r="%g" fill="#1f4fb0" clip-path="url(#sky)"/>' % (c - 170, SIZE + 350, 420),
        '<g stroke-linejoin="round" stroke-width="0.4">',
    ]
    for _, points, colour in polys:
        rgb = "#%02x%02x%02x" % tuple(round(255 * v) for v in colour)
        lines.append('<polygon points="%s" fill="%s" stroke="%s"/>'
                     % (" ".join("%.1f,%.1f" % p for p in points), rgb, rgb))
    lines += ["</g>", "</svg>", ""]
    return "\n".join(lines)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "dist", "rendezvous.svg")
    target = placed(read_obj(os.path.join(DATA, "cible.obj")), False, -GAP / 2)
    chaser = placed(read_obj(os.path.join(DATA, "chasseur.obj")), True, GAP / 2)
    with open(out, "w") as f:
        f.write(svg(polygons(target + chaser)))


if __name__ == "__main__":
    main()
