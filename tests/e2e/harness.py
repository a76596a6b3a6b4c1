"""Drives the real build/rendezvous under the X display that `make test` provides (Xvfb).

Start it with Program(binary), wait for its window, send keys and mouse clicks with xdotool, read
what it printed, take screenshots. Standard library only; screenshots go through xwd + convert.
"""
import os
import subprocess
import sys
import tempfile
import time

TITLE = "Hill~QOR *  * *    *  * *Tessavan* *  * * OpenGL"
OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout.strip()


class Program:
    def __init__(self, binary, cwd=None):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.err = tempfile.TemporaryFile(mode="w+")
        self.proc = subprocess.Popen([os.path.abspath(binary)], cwd=cwd, stdout=self.out, stderr=self.err)
        self.window = None

    def wait_window(self, timeout=20.0):
        """Waits until the window is mapped; returns its X id."""
        end = time.time() + timeout
        while time.time() < end:
            if self.proc.poll() is not None:
                raise AssertionError("program ended early:\n" + self.stdout() + self.stderr())
            ids = run("xdotool", "search", "--onlyvisible", "--name", "Tessavan", check=False).split()
            if ids:
                self.window = ids[0]
                time.sleep(0.5)  # let the first frames (and the model loading) happen
                return self.window
            time.sleep(0.1)
        raise AssertionError("no window after %.0f s" % timeout)

    def title(self):
        return run("xdotool", "getwindowname", self.window)

    def geometry(self):
        """(width, height) of the window."""
        lines = run("xdotool", "getwindowgeometry", self.window).splitlines()
        size = [l for l in lines if "Geometry:" in l][0].split()[-1]
        w, h = size.split("x")
        return int(w), int(h)

    def key(self, *keys, delay=0.15):
        for k in keys:
            run("xdotool", "windowfocus", "--sync", self.window, check=False)
            run("xdotool", "key", "--window", self.window, k)
            time.sleep(delay)

    def click(self, x, y, button=1):
        run("xdotool", "mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.1)
        run("xdotool", "click", str(button))
        time.sleep(0.3)

    def stdout(self):
        self.out.flush()
        self.out.seek(0)
        return self.out.read()

    def stderr(self):
        self.err.flush()
        self.err.seek(0)
        return self.err.read()

    def wait_exit(self, timeout=10.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise AssertionError("program did not end")

    def wait_output(self, text, timeout=10.0):
        end = time.time() + timeout
        while time.time() < end:
            if text in self.stdout():
                return
            time.sleep(0.1)
        raise AssertionError("%r never printed; output:\n%s" % (text, self.stdout()))

    def screenshot(self, name):
        """Saves OUT_DIR/name.png and returns the window's pixels as (width, height, rgb bytes)."""
        os.makedirs(OUT_DIR, exist_ok=True)
        xwd = os.path.join(OUT_DIR, name + ".xwd")
        run("xwd", "-silent", "-id", self.window, "-out", xwd)
        run("convert", xwd, os.path.join(OUT_DIR, name + ".png"))
        ppm = subprocess.run(["convert", xwd, "ppm:-"], check=True, capture_output=True).stdout
        os.remove(xwd)
        return parse_ppm(ppm)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def parse_ppm(data):
    """(width, height, rgb bytes) of a binary P6 image with maxval 255."""
    fields, i = [], 2
    while len(fields) < 3:
        while data[i : i + 1].isspace():
            i += 1
        if data[i : i + 1] == b"#":  # a header comment (convert writes the window name there)
            i = data.index(b"\n", i)
            continue
        j = i
        while not data[j : j + 1].isspace():
            j += 1
        fields.append(int(data[i:j]))
        i = j
    w, h, _ = fields
    return w, h, data[i + 1 : i + 1 + w * h * 3]


def pixel(image, x, y):
    w, _, rgb = image
    k = (y * w + x) * 3
    return rgb[k], rgb[k + 1], rgb[k + 2]


def count(image, pred, box=None):
    """How many pixels in box (x0, y0, x1, y1), or the whole image, satisfy pred(r, g, b)."""
    w, h, rgb = image
    x0, y0, x1, y1 = box or (0, 0, w, h)
    n = 0
    for yy in range(y0, y1):
        for xx in range(x0, x1):
            k = (yy * w + xx) * 3
            if pred(rgb[k], rgb[k + 1], rgb[k + 2]):
                n += 1
    return n


def main(tests):
    """Runs each test function with the binary path from argv; prints a summary; exits non-zero on failure."""
    binary = sys.argv[1]
    failed = 0
    for test in tests:
        try:
            test(binary)
            print("PASS", test.__name__)
        except Exception as e:  # report every failure, then go on with the next test
            failed += 1
            print("FAIL", test.__name__, "-", e)
    print("%d passed, %d failed" % (len(tests) - failed, failed))
    sys.exit(1 if failed else 0)
