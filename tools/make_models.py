#!/usr/bin/env python3
"""Writes the two spacecraft the simulator draws: data/chasseur.obj + .mtl and data/cible.obj + .mtl.

    python3 tools/make_models.py [output folder, data/ by default]

Model axes, as the program turns them into the scene: +y is up (out of the orbital plane), +z points
at the other spacecraft. The chaser's docking probe is its frontmost point along +z; the target's
docking port its frontmost point along +z. Both are written already centred with a longest span of
2 (their solar panels, along x), so the program's unitize leaves them as they are. The chaser docks
with its centre 1.45 in front of the target's centre: the probe's tip (z 0.70) and the port's face
(z 0.72) then stand 1.45 - 0.70 - 0.72 = 0.03 apart, so the two touch anywhere in the docking window
without either hull passing through the other.

Every part is a closed convex solid (box, cylinder, cone), its triangles wound counter-clockwise seen
from outside, so the facet normals the program computes point outwards and the light falls right.
"""
import math
import os
import sys

SEGMENTS = 32  # around every round part

CHASER_PROBE_TIP = 0.70
TARGET_PORT_FACE = 0.72


def new_model(name):
    return {"name": name, "vertices": [], "groups": []}


def part(model, group, material, vertices, faces):
    """Adds a convex solid: faces are lists of indices into vertices (0-based), fanned into triangles
    and turned to face away from the solid's centre."""
    base = len(model["vertices"])
    model["vertices"].extend(vertices)
    centre = [sum(v[a] for v in vertices) / len(vertices) for a in range(3)]
    triangles = []
    for face in faces:
        for k in range(1, len(face) - 1):
            tri = [face[0], face[k], face[k + 1]]
            p = [vertices[i] for i in tri]
            u = [p[1][a] - p[0][a] for a in range(3)]
            v = [p[2][a] - p[0][a] for a in range(3)]
            n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
            mid = [sum(q[a] for q in p) / 3.0 - centre[a] for a in range(3)]
            if sum(n[a] * mid[a] for a in range(3)) < 0.0:
                tri = [tri[0], tri[2], tri[1]]
            triangles.append([base + i for i in tri])
    for g in model["groups"]:
        if g["name"] == group:
            assert g["material"] == material, group
            g["triangles"].extend(triangles)
            return
    model["groups"].append({"name": group, "material": material, "triangles": triangles})


def box(model, group, material, x0, x1, y0, y1, z0, z1):
    corners = [(x, y, z) for x in (x0, x1) for y in (y0, y1) for z in (z0, z1)]
    # One set of corners per side, so the sides keep their own normals (sharp edges).
    sides = [(0, 1, 3, 2), (4, 5, 7, 6), (0, 1, 5, 4), (2, 3, 7, 6), (0, 2, 6, 4), (1, 3, 7, 5)]
    vertices, faces = [], []
    for side in sides:
        faces.append([len(vertices) + k for k in range(4)])
        vertices.extend(corners[i] for i in side)
    part(model, group, material, vertices, faces)


def frustum(model, group, material, z0, r0, z1, r1):
    """A solid of revolution about z from radius r0 at z0 to r1 at z1; a radius 0 makes a cone's
    apex. The round side and each flat end have vertices of their own, so the edges stay sharp."""
    vertices, faces = [], []

    def ring(z, r):
        if r == 0.0:
            vertices.append((0.0, 0.0, z))
            return [len(vertices) - 1] * SEGMENTS
        start = len(vertices)
        for k in range(SEGMENTS):
            a = 2.0 * math.pi * k / SEGMENTS
            vertices.append((r * math.cos(a), r * math.sin(a), z))
        return list(range(start, start + SEGMENTS))

    a, b = ring(z0, r0), ring(z1, r1)
    for k in range(SEGMENTS):
        k1 = (k + 1) % SEGMENTS
        if r0 == 0.0:
            faces.append([a[k], b[k], b[k1]])
        elif r1 == 0.0:
            faces.append([a[k], a[k1], b[k]])
        else:
            faces.append([a[k], a[k1], b[k1], b[k]])
    for z, r in ((z0, r0), (z1, r1)):
        if r > 0.0:
            faces.append(ring(z, r))
    part(model, group, material, vertices, faces)


def chaser():
    m = new_model("chasseur")
    frustum(m, "coque", "coque", -0.40, 0.20, 0.30, 0.20)
    frustum(m, "nez", "coque", 0.30, 0.20, 0.42, 0.09)
    frustum(m, "tuyere", "tuyere", -0.47, 0.10, -0.40, 0.10)
    frustum(m, "tuyere", "tuyere", -0.70, 0.16, -0.47, 0.08)
    frustum(m, "sonde", "sonde", 0.42, 0.02, 0.65, 0.02)
    frustum(m, "sonde", "sonde", 0.65, 0.02, CHASER_PROBE_TIP, 0.0)
    for s in (1.0, -1.0):
        box(m, "panneaux", "panneau", *sorted((0.30 * s, 1.00 * s)), -0.01, 0.01, -0.22, 0.12)
        box(m, "bras", "structure", *sorted((0.18 * s, 0.30 * s)), -0.015, 0.015, -0.07, -0.03)
    return m


def target():
    m = new_model("cible")
    frustum(m, "coque", "coque", -0.45, 0.30, 0.40, 0.30)
    frustum(m, "avant", "coque", 0.40, 0.30, 0.55, 0.14)
    frustum(m, "port", "port", 0.55, 0.14, TARGET_PORT_FACE, 0.14)
    frustum(m, "service", "structure", -0.62, 0.22, -0.45, 0.22)
    frustum(m, "antenne", "antenne", -0.72, 0.18, -0.62, 0.04)
    for s in (1.0, -1.0):
        box(m, "panneaux", "panneau", *sorted((0.35 * s, 1.00 * s)), -0.012, 0.012, -0.32, 0.12)
        box(m, "bras", "structure", *sorted((0.28 * s, 0.35 * s)), -0.02, 0.02, -0.12, -0.08)
        box(m, "radiateurs", "radiateur", -0.01, 0.01, *sorted((0.29 * s, 0.55 * s)), -0.38, 0.02)
    return m


# name: (Ka, Kd, Ks, Ns). The scene's one light is faint, so the ambient colours carry most of the look.
MATERIALS = {
    "chasseur": {
        "coque": ((0.80, 0.80, 0.84), (0.85, 0.85, 0.88), (0.9, 0.9, 0.9), 300),
        "tuyere": ((0.30, 0.30, 0.32), (0.35, 0.35, 0.38), (0.5, 0.5, 0.5), 100),
        "sonde": ((1.00, 0.85, 0.10), (1.00, 0.85, 0.10), (1.0, 1.0, 0.6), 400),
        "panneau": ((0.15, 0.30, 0.85), (0.20, 0.35, 0.90), (0.7, 0.7, 0.9), 600),
        "structure": ((0.50, 0.50, 0.50), (0.55, 0.55, 0.55), (0.3, 0.3, 0.3), 50),
    },
    "cible": {
        "coque": ((0.95, 0.75, 0.30), (0.95, 0.75, 0.30), (1.0, 0.9, 0.6), 500),
        "port": ((0.90, 0.95, 0.95), (0.90, 0.95, 0.95), (1.0, 1.0, 1.0), 300),
        "structure": ((0.50, 0.50, 0.52), (0.55, 0.55, 0.58), (0.3, 0.3, 0.3), 50),
        "antenne": ((0.90, 0.90, 0.90), (0.90, 0.90, 0.90), (0.6, 0.6, 0.6), 200),
        "panneau": ((0.15, 0.30, 0.85), (0.20, 0.35, 0.90), (0.7, 0.7, 0.9), 600),
        "radiateur": ((0.85, 0.85, 0.85), (0.90, 0.90, 0.90), (0.2, 0.2, 0.2), 30),
    },
}


def centre_and_check(model, front):
    """Checks the model is centred with a longest span of 2, as unitize would leave it, and that
    `front` is its largest z."""
    vs = model["vertices"]
    lo = [min(v[a] for v in vs) for a in range(3)]
    hi = [max(v[a] for v in vs) for a in range(3)]
    for a in range(3):
        assert abs(lo[a] + hi[a]) < 1e-9, (model["name"], "not centred on axis", a, lo, hi)
    assert abs(max(hi[a] - lo[a] for a in range(3)) - 2.0) < 1e-9, (model["name"], lo, hi)
    assert abs(hi[2] - front) < 1e-9, (model["name"], hi[2])


def write(model, folder):
    name = model["name"]
    with open(os.path.join(folder, name + ".mtl"), "w") as f:
        f.write("# %s: materials of the %s model, written by tools/make_models.py\n" % (name, name))
        for mat, (ka, kd, ks, ns) in MATERIALS[name].items():
            f.write("\nnewmtl %s\n" % mat)
            f.write("Ka %.3f %.3f %.3f\n" % ka)
            f.write("Kd %.3f %.3f %.3f\n" % kd)
            f.write("Ks %.3f %.3f %.3f\n" % ks)
            f.write("Ns %d\n" % ns)
    with open(os.path.join(folder, name + ".obj"), "w") as f:
        count = sum(len(g["triangles"]) for g in model["groups"])
        f.write("# %s: %d vertices, %d triangles, written by tools/make_models.py\n"
                % (name, len(model["vertices"]), count))
        f.write("# +y up, +z towards the other spacecraft\n")
        f.write("mtllib %s.mtl\n" % name)
        for v in model["vertices"]:
            f.write("v %.6f %.6f %.6f\n" % tuple(0.0 if abs(c) < 5e-7 else c for c in v))
        for g in model["groups"]:
            assert g["material"] in MATERIALS[name], g["material"]
            f.write("g %s\nusemtl %s\n" % (g["name"], g["material"]))
            for tri in g["triangles"]:
                f.write("f %d %d %d\n" % tuple(i + 1 for i in tri))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data")
    for model, front in ((chaser(), CHASER_PROBE_TIP), (target(), TARGET_PORT_FACE)):
        centre_and_check(model, front)
        write(model, folder)


if __name__ == "__main__":
    main()
