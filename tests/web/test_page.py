"""The simulator's web page in the three browser engines, driven as a person would: the start-up
lines, the gauges, the telemetry and the scene by their pixels, keys and a drag on the canvas, the
menus and a scenario, and, in Chromium, `h` and its tab, a ramming and Esc. Chromium (headless, with
SwiftShader) and WebKitGTK's MiniBrowser (under Xvfb) are driven by Debian's Selenium; Firefox ESR by
firefox.js (puppeteer-core over WebDriver BiDi), headless under Xvfb. Chromium runs every check; the
other two run the short list that every engine must pass, and Firefox also the page without WebGL.
Usage: test_page.py SITE_DIR [chromium|firefox|webkit]."""
import base64
import functools
import http.server
import json
import os
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.mouse_button import MouseButton
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.webkitgtk.options import Options as WebKitGTKOptions

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402  (the pixel helpers)
from test_frame import HELP, MESSAGE, SCENE, TELEMETRY, at, blue, box, gold, hull, planet, red  # noqa: E402

CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--window-size=1000,1400"]
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
MAIN_MENU = harness.MAIN_MENU
SCENARIOS = ["cas simple:     Omega=0.00, dans le plan, dans l'axe!",
             "cas simple:     Omega=0.10, dans le plan, dans l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, dans l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
             "cas dur  dur: Omega=0.25, hors du plan et de l'axe!"]
RESET = "fichier de donnees:   %s!   "


# Keys by the browser's names, as Selenium sends them.
SELENIUM_KEYS = {"ArrowUp": Keys.ARROW_UP, "ArrowDown": Keys.ARROW_DOWN, "ArrowLeft": Keys.ARROW_LEFT,
                 "ArrowRight": Keys.ARROW_RIGHT, "PageUp": Keys.PAGE_UP, "PageDown": Keys.PAGE_DOWN,
                 "Escape": Keys.ESCAPE}


class Selenium:
    """Chromium or WebKitGTK's MiniBrowser through Selenium: the few actions a person's need."""

    def __init__(self, engine, webgl=True):
        if engine == "chromium":
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for flag in CHROMIUM_FLAGS + ([] if webgl else ["--disable-3d-apis"]):
                options.add_argument(flag)
            self.d = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        else:
            options = WebKitGTKOptions()
            options.binary_location = MINIBROWSER
            options.add_argument("--automation")
            # Without it frames come at half the rate, and element pictures lose their top rows.
            os.environ["WEBKIT_DISABLE_DMABUF_RENDERER"] = "1"
            self.d = webdriver.WebKitGTK(options=options)
            self.d.set_window_size(1000, 1400)

    def goto(self, url):
        self.d.get(url)

    def js(self, script, args):
        return self.d.execute_script(script, *args)

    def key(self, name):
        ActionChains(self.d).send_keys(SELENIUM_KEYS.get(name, name)).perform()

    def mouse(self, action, x, y):
        """At (x, y) in CSS pixels of the window's view: 'move', 'click', 'context' (right button),
        'down' or 'up'."""
        actions = ActionBuilder(self.d)
        actions.pointer_action.move_to_location(round(x), round(y))
        button = MouseButton.RIGHT if action == "context" else MouseButton.LEFT
        if action in ("click", "context", "down"):
            actions.pointer_action.pointer_down(button)
        if action in ("click", "context", "up"):
            actions.pointer_action.pointer_up(button)
        actions.perform()

    def shot(self, selector):
        return self.d.find_element(By.CSS_SELECTOR, selector).screenshot_as_png

    def quit(self):
        self.d.quit()


class Firefox:
    """Firefox ESR through firefox.js, one JSON command a line over a pipe."""

    def __init__(self, webgl=True):
        here = os.path.dirname(os.path.abspath(__file__))
        self.p = subprocess.Popen(["node", os.path.join(here, "firefox.js")], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        self.call("launch", width=1000, height=1400, prefs={} if webgl else {"webgl.disabled": True})

    def call(self, cmd, **args):
        self.p.stdin.write(json.dumps(dict(cmd=cmd, **args)) + "\n")
        self.p.stdin.flush()
        answer = json.loads(self.p.stdout.readline() or '{"error": "firefox.js ended"}')
        if "error" in answer:
            raise AssertionError("firefox.js %s: %s" % (cmd, answer["error"]))
        return answer["value"]

    def goto(self, url):
        self.call("goto", url=url)

    def js(self, script, args):
        return self.call("js", script=script, args=list(args))

    def key(self, name):
        self.call("key", name=name)

    def mouse(self, action, x, y):
        self.call("mouse", action=action, x=x, y=y)

    def shot(self, selector):
        return base64.b64decode(self.call("shot", selector=selector))

    def quit(self):
        self.call("quit")
        self.p.stdin.close()
        self.p.wait(timeout=30)


def browser(engine, webgl=True):
    return Firefox(webgl) if engine == "firefox" else Selenium(engine, webgl)


class Page:
    """The page open in one engine, and what a person does with it."""

    def __init__(self, browser, url):
        self.b = browser
        self.d = getattr(browser, "d", None)  # Selenium's driver, for Chromium's own checks
        self.opened = time.time()
        browser.goto(url)

    def js(self, script, *args):
        """The value of a script run in the page (`return ...`; arguments as `arguments[i]`)."""
        return self.b.js(script, args)

    def console(self):
        return self.js("return document.getElementById('console').textContent")

    def wait(self, what, timeout=15.0):
        """Waits until what() is true; returns the seconds since the page was opened."""
        end = time.time() + timeout
        while not what():
            if time.time() > end:
                raise AssertionError("waited %.0f s; console:\n%s" % (timeout, self.console()))
            time.sleep(0.05)
        return time.time() - self.opened

    def printed(self, text, timeout=15.0):
        return self.wait(lambda: text in self.console(), timeout)

    def keys(self, *keys):
        """Keys by the browser's names ("ArrowDown", "PageUp", "Escape", "l", "S")."""
        for k in keys:
            self.b.key(k)
            time.sleep(0.1)

    def shot(self):
        """The canvas's pixels as harness images are: (width, height, rgb bytes)."""
        ppm = subprocess.run(["convert", "png:-", "ppm:-"], input=self.b.shot("#canvas"), check=True,
                             capture_output=True).stdout
        _, size, _, rgb = ppm.split(b"\n", 3)
        w, h = (int(v) for v in size.split())
        return w, h, rgb

    def shot_when(self, ready, timeout=10.0):
        end = time.time() + timeout
        while True:
            shot = self.shot()
            if ready(shot) or time.time() > end:
                return shot
            time.sleep(0.1)

    def where(self, selector, index=0, x=None, y=None):
        """The view's position of the element's point (x, y), in the element's own pixels for the
        canvas (whatever its shown size), or of its centre."""
        r = self.js("const e = document.querySelectorAll(arguments[0])[arguments[1]];"
                    "const r = e.getBoundingClientRect(); return [r.left, r.top, r.width, r.height, e.width || 0]",
                    selector, index)
        scale = r[2] / r[4] if r[4] else 1.0
        return (r[0] + (r[2] / 2 if x is None else x * scale), r[1] + (r[3] / 2 if y is None else y * scale))

    def mouse(self, action, x, y, selector="#canvas", index=0):
        self.b.mouse(action, *self.where(selector, index, x, y))
        time.sleep(0.1)

    def drag(self, x0, y0, x1, y1):
        self.mouse("down", x0, y0)
        for i in range(1, 5):
            self.mouse("move", x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4)
        self.mouse("up", x1, y1)

    def menu(self):
        """The labels of each menu shown, the main one first."""
        return self.js(
            "return [...document.querySelectorAll('.glut-menu')].map(m => [...m.children].map(e => e.textContent))")

    def entry(self, menu, index, action="move"):
        """Moves onto, or clicks, entry `index` of the menu shown `menu`-th."""
        r = self.js("const r = document.querySelectorAll('.glut-menu')[arguments[0]].children[arguments[1]]"
                    ".getBoundingClientRect(); return [r.left + r.width / 3, r.top + r.height / 2]", menu, index)
        self.b.mouse(action, *r)
        time.sleep(0.2)

    def right_click(self, x=100, y=100):
        self.mouse("context", x, y)
        time.sleep(0.1)


def fuel_top(shot):
    """Row of the fuel bar's top, or None."""
    x = at(-4.07, 0)[0]
    return next((y for y in range(shot[1]) if red(*harness.pixel(shot, x, y))), None)


def test_start_and_screen(page):
    # The lines the desktop prints, in its order, and the first reset's line soon after opening.
    seconds = page.printed(RESET % "data/fo.in")
    page.printed('open data file "data/cible.obj"')
    lines = page.console().splitlines()
    assert lines[0].startswith("on est ici: argv[0]-> ") and len(lines[1:17]) == 16, lines[:18]
    assert lines[1] == lines[11] == lines[13] == lines[16] == "-" * 72, lines[1:17]
    assert lines[17:20] == [RESET % "data/fo.in", ': open data file "data/chasseur.obj".',
                            ': open data file "data/cible.obj".'], lines[17:]
    print("first reset's line %.2f s after opening the page" % seconds)
    assert seconds < 3.0, "the first reset's line came %.2f s after the page was opened" % seconds
    assert page.js("return document.activeElement.id") == "canvas", "the canvas has not the focus"

    shot = page.shot_when(lambda s: harness.count(s, hull, SCENE) > 300)
    assert harness.count(shot, red, TELEMETRY) > 1500, "no telemetry at the top"
    assert harness.count(shot, red, box(-4.0, -4.14, 4.1, -3.8)) > 500, "no credits line"
    assert harness.count(shot, gold, (350, 320, 450, 420)) > 20, "no target ahead"
    # A full reserve is a bar 5 high, 20 presses one of 1: one press of the down arrow lowers it by
    # a twentieth of that.
    full = fuel_top(shot)
    assert abs(full - at(0, 2.0)[1]) <= 1, (full, at(0, 2.0))
    assert harness.count(shot, blue, box(-3.85, -3.0, -3.7, -2.88, margin=2)) > 0, "no speed-limit block"
    page.keys("ArrowDown")
    pressed = page.shot_when(lambda s: fuel_top(s) > full)
    step = at(0, 2.0 - 1 / 20.0)[1] - at(0, 2.0)[1]  # about 5 pixels, give or take the rounding
    assert abs(fuel_top(pressed) - full - step) <= 1, (fuel_top(pressed), full, step)
    # The landscape view shows the planet; a drag turns it.
    page.keys("l")
    land = page.shot_when(lambda s: harness.count(s, planet) > 20000)
    assert harness.count(land, planet) > 20000, "no planet in the landscape view"
    page.drag(400, 400, 520, 460)
    turned = page.shot_when(lambda s: harness.count(s, planet) < harness.count(land, planet) * 0.8)
    assert harness.count(turned, planet) < harness.count(land, planet) * 0.8, "the drag did not turn the view"


def test_menus(page):
    page.printed('open data file "data/cible.obj"')
    # The right button opens the main menu; Esc, or a click elsewhere, closes it without a choice.
    for close in ("escape", "click"):
        page.right_click()
        assert page.menu() == [MAIN_MENU], page.menu()
        if close == "escape":
            page.keys("Escape")
        else:
            page.mouse("click", 10, 10)
        page.wait(lambda: page.menu() == [])
    assert "kenavo" not in page.console()
    # The scenario submenu from "cas initiaux ", and scenario 2 chosen with a click.
    page.right_click()
    page.entry(0, MAIN_MENU.index("cas initiaux "))
    page.wait(lambda: len(page.menu()) == 2)
    assert page.menu()[1] == SCENARIOS, page.menu()
    page.entry(1, 2)
    page.entry(1, 2, "click")
    page.printed("2\n" + RESET % "data/fo2.in")
    page.wait(lambda: page.menu() == [])
    assert page.js("return document.activeElement.id") == "canvas"


def test_help(page):
    page.printed('open data file "data/cible.obj"')
    assert harness.count(page.shot(), red, HELP) == 0, "help shown before 'h'"
    page.keys("h")
    page.wait(lambda: len(page.d.window_handles) == 2)
    assert harness.count(page.shot_when(lambda s: harness.count(s, red, HELP) > 1000), red, HELP) > 1000
    main = page.d.current_window_handle
    page.d.switch_to.window([h for h in page.d.window_handles if h != main][0])
    page.wait(lambda: page.js("return document.readyState") == "complete")
    assert page.d.current_url.endswith("/data/aide.html") and "Rendez-vous" in page.d.title, page.d.current_url
    page.d.close()
    page.d.switch_to.window(main)


def test_ramming_and_end(page):
    # Scenario 0 comes straight at the port; faster and at the quickest pace it rams it: the outcome
    # message shows under the telemetry and the chaser stands still.
    page.printed('open data file "data/cible.obj"')
    page.keys(*(["S"] * 4 + ["ArrowUp"] * 6))
    shot = page.shot_when(lambda s: harness.count(s, red, MESSAGE) > 400, timeout=60)
    assert harness.count(shot, red, MESSAGE) > 400, "no outcome message"
    time.sleep(0.3)
    assert page.shot() == page.shot(), "the chaser still moves after the ramming"
    page.keys("Escape")
    page.printed("kenavo ! ")
    page.wait(lambda: page.js("return getComputedStyle(document.getElementById('ended')).display") == "block")
    assert "Recommencer" in page.js("return document.getElementById('again').textContent")
    page.mouse("click", None, None, "#again")
    page.opened = time.time()
    page.wait(lambda: page.console().count("on est ici") == 1 and RESET % "data/fo.in" in page.console())


def test_no_webgl(page):
    # A browser without WebGL: the page says so and what to try, and the program does not start.
    page.wait(lambda: page.js("return document.getElementById('nowebgl').offsetHeight > 0"))
    said = page.js("return document.getElementById('nowebgl').innerText")
    assert "WebGL" in said and "autre navigateur" in said and "acc\u00e9l\u00e9ration" in said, said
    time.sleep(1.0)
    assert page.js("return getComputedStyle(document.getElementById('ended')).display") == "none"
    assert "on est ici" not in page.console(), page.console()
test_no_webgl.webgl = False  # noqa: E305  (the browser it needs)

# Every engine runs the short list; Chromium runs every check.
SHORT = [test_start_and_screen, test_menus]
TESTS = {"chromium": SHORT + [test_help, test_ramming_and_end], "firefox": SHORT + [test_no_webgl],
         "webkit": SHORT}


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    site = os.path.abspath(sys.argv[1])
    engine = sys.argv[2] if len(sys.argv) > 2 else "chromium"
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/index.html" % server.server_address[1]
    failed = 0
    tests = TESTS[engine]
    usual = browser(engine)
    try:
        for test in tests:
            webgl = getattr(test, "webgl", True)
            b = usual if webgl else browser(engine, webgl=False)
            try:
                test(Page(b, url))
                print("PASS", engine, test.__name__)
            except Exception as e:  # report every failure, then go on with the next test
                failed += 1
                print("FAIL", engine, test.__name__, "-", e)
            finally:
                if b is not usual:
                    b.quit()
    finally:
        usual.quit()
        server.shutdown()
    print("%d passed, %d failed" % (len(tests) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
