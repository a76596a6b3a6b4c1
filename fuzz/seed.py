#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into the directory given (one folder per target), from
the models, scenarios and images under data/ and tests/data/. An OBJ file that names a library found
beside it gets that library appended after the "#MTL" line, renamed to fuzz.mtl as fuzz_obj expects."""
import glob
import os
import re
import sys

out = sys.argv[1]
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def put(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)


for path in glob.glob(os.path.join(root, "data", "*.obj")) + glob.glob(os.path.join(root, "tests", "data", "*.obj")):
    data = open(path, "rb").read()
    m = re.search(rb"^mtllib\s+(\S+)", data, re.M)
    library = m and os.path.join(os.path.dirname(path), m.group(1).decode())
    if library and os.path.exists(library):
        data = data.replace(m.group(0), b"mtllib fuzz.mtl") + b"\n#MTL\n" + open(library, "rb").read()
    put("obj", os.path.basename(path), data)
for path in glob.glob(os.path.join(root, "data", "fo*.in")):
    put("scenario", os.path.basename(path), open(path, "rb").read())
for path in glob.glob(os.path.join(root, "tests", "data", "*.ppm")):
    put("ppm", os.path.basename(path), open(path, "rb").read())
