#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into the directory given, one folder per target, from the
models, scenarios, images and flights under data/ and tests/data/. An OBJ file naming a library found beside it
gets that library after a "#MTL" line, renamed fuzz.mtl as fuzz_obj expects."""
import glob, os, re, sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
for target, pattern in (("obj", "*.obj"), ("scenario", "fo*.in"), ("ppm", "*.ppm"), ("vol", "*.vol")):
    os.makedirs(os.path.join(sys.argv[1], target), exist_ok=True)
    for path in glob.glob(os.path.join(root, "data", pattern)) + glob.glob(os.path.join(root, "tests", "data", pattern)):
        data = open(path, "rb").read()
        m = target == "obj" and re.search(rb"^mtllib\s+(\S+)", data, re.M)
        library = m and os.path.join(os.path.dirname(path), m.group(1).decode())
        if library and os.path.exists(library):
            data = data.replace(m.group(0), b"mtllib fuzz.mtl") + b"\n#MTL\n" + open(library, "rb").read()
        open(os.path.join(sys.argv[1], target, os.path.basename(path)), "wb").write(data)
