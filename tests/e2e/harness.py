"""Drives the real build/rendezvous under the X display that `make test` provides (Xvfb): start it
with Program(binary), wait for its window, send keys and menu choices with xdotool, read what it
printed, take screenshots (xwd + convert). Standard library only."""
import os
import subprocess
import sys
import tempfile
import time

TITLE = "Hill~QOR *  * *    *  * *Tessavan* *  * * OpenGL"
OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "out")

# The main menu's entries in order, so that choose() finds an entry by its label.
MAIN_MENU = ["Remise `a z'ero compl`ete", "cas initiaux ", "[k] raz Kul en cours", "[v] raz vue",
             "[r] vue en rotation", "[t]vue en translation", "[l] vue du chasseur/vue paysage", "[h] aide",
             "[Esc] Exit"]
SCENARIO_MENU = 6  # entries of the "cas initiaux " submenu; two of them share a label, so pick by index
MENU_BORDER = 2  # pixels above the first entry of a freeglut menu (and below the last)


def run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout.strip()


class Program:
    def __init__(self, binary, cwd=None, env=None):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.err = tempfile.TemporaryFile(mode="w+")
        self.proc = subprocess.Popen([os.path.abspath(binary)], cwd=cwd, env=env, stdout=self.out, stderr=self.err)
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

    def geometry(self):  # (width, height)
        size = run("xdotool", "getwindowgeometry", self.window).split("Geometry:")[1].split()[0]
        return tuple(int(v) for v in size.split("x"))

    def key(self, *keys, delay=0.15, check=True):
        """Types keys into the window. A key that closes the window leaves xdotool unable to deliver
        the release there; pass check=False for those."""
        for k in keys:
            run("xdotool", "windowfocus", "--sync", self.window, check=False)
            typed = subprocess.run(["xdotool", "key", "--window", self.window, k], capture_output=True)
            if typed.returncode != 0:
                # Release the key anyway: a key left down in the server auto-repeats into whatever
                # window opens next.
                run("xdotool", "keyup", k, check=False)
                if check:
                    raise AssertionError("xdotool key %s failed: %s" % (k, typed.stderr.decode()))
            time.sleep(delay)

    def click(self, x, y, button=1):
        run("xdotool", "mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.1)
        run("xdotool", "click", str(button))
        time.sleep(0.3)

    def choose(self, entry, sub=None, at=(100, 100)):
        """Right-clicks at window position `at` and chooses the main-menu entry labelled `entry`; for
        "cas initiaux " also the submenu entry of index `sub`. The pointer glides from entry to entry,
        as a hand would: freeglut opens a submenu only when the pointer hovers its entry."""
        self.click(at[0], at[1], button=3)
        main = wait_menus(1)[0]
        y = entry_y(main, MAIN_MENU.index(entry), len(MAIN_MENU))
        glide((main[0] + 10, main[1] + MENU_BORDER + 1), (main[0] + main[2] // 3, y))
        if sub is not None:
            menu = [m for m in wait_menus(2) if m != main][0]
            inside = menu[0] + 20
            glide((main[0] + main[2] // 3, y), (inside, y))
            glide((inside, y), (inside, entry_y(menu, sub, SCENARIO_MENU)))
        time.sleep(0.3)
        run("xdotool", "click", "1")
        time.sleep(0.3)

    def stdout(self):
        self.out.seek(0)
        return self.out.read()

    def stderr(self):
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
        while text not in self.stdout():
            if time.time() > end:
                raise AssertionError("%r never printed; output:\n%s" % (text, self.stdout()))
            time.sleep(0.1)

    def screenshot(self, name):
        """Saves OUT_DIR/name.png and returns the window's pixels as (width, height, rgb bytes)."""
        os.makedirs(OUT_DIR, exist_ok=True)
        xwd = subprocess.run(["xwd", "-silent", "-id", self.window], check=True, capture_output=True).stdout
        png = os.path.join(OUT_DIR, name + ".png")
        ppm = subprocess.run(["convert", "xwd:-", "-strip", "-write", png, "ppm:-"], input=xwd, check=True,
                             capture_output=True).stdout
        _, size, _, rgb = ppm.split(b"\n", 3)  # P6, width and height, 255, the pixels
        w, h = (int(v) for v in size.split())
        return w, h, rgb

    def screenshot_when(self, name, ready, timeout=10.0):
        """Screenshots until ready(image) holds or timeout seconds pass (a loaded machine may draw
        its first frames late); returns the last one."""
        end = time.time() + timeout
        while True:
            shot = self.screenshot(name)
            if ready(shot) or time.time() > end:
                return shot
            time.sleep(0.2)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def menus():
    """(x, y, width, height) on the screen of each freeglut menu that is shown."""
    shown = []
    for menu in run("xdotool", "search", "--onlyvisible", "--name", "freeglut menu", check=False).split():
        field = dict(l.split("=") for l in run("xdotool", "getwindowgeometry", "--shell", menu).splitlines())
        shown.append(tuple(int(field[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")))
    return shown


def wait_menus(n, timeout=5.0):
    """Waits until n menus are shown; returns their geometries."""
    end = time.time() + timeout
    while len(menus()) < n:
        if time.time() > end:
            raise AssertionError("%d menu(s) expected on the screen, saw %r" % (n, menus()))
        time.sleep(0.1)
    return menus()


def entry_y(menu, index, entries):
    """Screen y of the middle of entry `index` in a menu of `entries` entries."""
    height = (menu[3] - 2 * MENU_BORDER) / entries
    return int(menu[1] + MENU_BORDER + height * (index + 0.5))


def glide(start, end, steps=8):
    """Moves the pointer from start to end in small steps, so every entry on the way sees it."""
    for i in range(1, steps + 1):
        run("xdotool", "mousemove", str(start[0] + (end[0] - start[0]) * i // steps),
            str(start[1] + (end[1] - start[1]) * i // steps))
        time.sleep(0.04)


def pixel(image, x, y):
    w, _, rgb = image
    k = (y * w + x) * 3
    return rgb[k], rgb[k + 1], rgb[k + 2]


def count(image, pred, box=None):
    """How many pixels in box (x0, y0, x1, y1), or the whole image, satisfy pred(r, g, b)."""
    w, h, rgb = image
    x0, y0, x1, y1 = box or (0, 0, w, h)
    rows = (range((y * w + x0) * 3, (y * w + x1) * 3, 3) for y in range(y0, y1))
    return sum(1 for row in rows for k in row if pred(rgb[k], rgb[k + 1], rgb[k + 2]))


def main(tests):
    """Runs each test function with the binary path from argv; prints a summary; exits non-zero on failure."""
    binary = sys.argv[1]
    failed = 0
    # Xvfb resets itself whenever its last client leaves, refusing connections meanwhile: one idle
    # client held for the whole run keeps a program started just after another from failing.
    keeper = subprocess.Popen(["xdotool", "sleep", "100000"])
    try:
        for test in tests:
            try:
                test(binary)
                print("PASS", test.__name__)
            except Exception as e:  # report every failure, then go on with the next test
                failed += 1
                print("FAIL", test.__name__, "-", e)
    finally:
        keeper.kill()
        keeper.wait()
    print("%d passed, %d failed" % (len(tests) - failed, failed))
    sys.exit(1 if failed else 0)
