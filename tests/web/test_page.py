"""The simulator's web page in the three browser engines, driven as a person would: the start-up
lines, the gauges, the telemetry and the scene by their pixels, keys and a drag on the canvas, the
menus and a scenario, a tap on the pad, a scenario by link, and the deck's advice against
rendezvous-plan's; and in Chromium `h` and its tab, a ramming and Esc, the page on small screens and
under a finger, scenarios by link and by file, the page without network, a docking flown by the deck
and the flight it saves. Chromium (headless, with SwiftShader) and WebKitGTK's MiniBrowser (under
Xvfb) are driven by Debian's Selenium; Firefox ESR by firefox.js (puppeteer-core over WebDriver BiDi),
headless under Xvfb. Chromium runs every check; the other two run the short list that every engine
must pass, and Firefox also the page without WebGL. Usage, from the repository's root (for the
desktop's build/rendezvous-plan): test_page.py SITE_DIR [chromium|firefox|webkit] [TEST...]."""
import base64
import functools
import http.server
import json
import os
import re
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions import interaction
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.actions.mouse_button import MouseButton
from selenium.webdriver.common.actions.pointer_input import PointerInput
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.webkitgtk.options import Options as WebKitGTKOptions

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402  (the pixel helpers)
from test_frame import HELP, MESSAGE, SCENE, TELEMETRY, at, blue, box, gold, hull, planet, red  # noqa: E402

CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                  "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--window-size=1000,1400", "--lang=fr-FR"]
# Each browser speaks French, whatever the machine's language: the page follows the browser's.
LANGUAGE = "fr-FR"
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
MAIN_MENU = harness.MAIN_MENU
SCENARIOS = ["cas simple:     Omega=0.00, dans le plan, dans l'axe!",
             "cas simple:     Omega=0.10, dans le plan, dans l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, dans l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
             "cas dur  dur: Omega=0.25, hors du plan et de l'axe!"]
RESET = "fichier de donnees:   %s!   "
ARROWS = {"Up": "ArrowUp", "Down": "ArrowDown", "Left": "ArrowLeft", "Right": "ArrowRight", "PageUp": "PageUp",
          "PageDown": "PageDown"}  # the planner's names of the keys, and the browser's


# Keys by the browser's names, as Selenium sends them.
SELENIUM_KEYS = {"ArrowUp": Keys.ARROW_UP, "ArrowDown": Keys.ARROW_DOWN, "ArrowLeft": Keys.ARROW_LEFT,
                 "ArrowRight": Keys.ARROW_RIGHT, "PageUp": Keys.PAGE_UP, "PageDown": Keys.PAGE_DOWN,
                 "Escape": Keys.ESCAPE}


class Selenium:
    """Chromium or WebKitGTK's MiniBrowser through Selenium: the few actions a person's hands make."""

    def __init__(self, engine):
        if engine == "chromium":
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for flag in CHROMIUM_FLAGS:
                options.add_argument(flag)
            options.add_experimental_option("prefs", {"intl.accept_languages": LANGUAGE})
            self.d = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        else:
            options = WebKitGTKOptions()
            options.binary_location = MINIBROWSER
            options.add_argument("--automation")
            # Without it frames come at half the rate, and element pictures lose their top rows.
            os.environ["WEBKIT_DISABLE_DMABUF_RENDERER"] = "1"
            # WebKitGTK takes its language from the environment, as a GTK program does.
            os.environ["LANGUAGE"] = LANGUAGE.replace("-", "_")
            self.d = webdriver.WebKitGTK(options=options)
            self.d.set_window_size(1000, 1400)

    def goto(self, url):
        self.d.get(url)

    def js(self, script, args):
        return self.d.execute_script(script, *args)

    def keys(self, names):
        ActionChains(self.d).send_keys(*[SELENIUM_KEYS.get(name, name) for name in names]).perform()

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

    def tap(self, x, y):
        """A finger in Chromium; WebKitGTK's driver has no touch, and its tap is a click."""
        actions = ActionBuilder(self.d, mouse=PointerInput(interaction.POINTER_TOUCH, "finger"))
        actions.pointer_action.move_to_location(round(x), round(y)).pointer_down().pointer_up()
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
        prefs = {"intl.accept_languages": LANGUAGE}
        if not webgl:
            prefs["webgl.disabled"] = True
        self.call("launch", width=1000, height=1400, prefs=prefs)

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

    def keys(self, names):
        for name in names:
            self.call("key", name=name)

    def mouse(self, action, x, y):
        self.call("mouse", action=action, x=x, y=y)

    def tap(self, x, y):
        self.call("tap", x=x, y=y)

    def shot(self, selector):
        return base64.b64decode(self.call("shot", selector=selector))

    def quit(self):
        self.call("quit")
        self.p.stdin.close()
        self.p.wait(timeout=30)


def browser(engine, webgl=True):
    """A browser of the engine; WebGL turned off is Firefox's alone (its webgl.disabled)."""
    return Firefox(webgl) if engine == "firefox" else Selenium(engine)


class Page:
    """The page open in one engine, and what a person does with it."""

    def __init__(self, browser, url):
        self.b = browser
        self.d = getattr(browser, "d", None)  # Selenium's driver, for Chromium's own checks
        self.url = url
        self.open()

    def open(self, suffix=""):
        """The page loaded afresh, with a query or a fragment after its address."""
        self.b.goto("about:blank")
        self.opened = time.time()
        self.b.goto(self.url + suffix)

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
        """Keys by the browser's names ("ArrowDown", "PageUp", "Escape", "l", "S"), a tenth of a second apart."""
        for k in keys:
            self.b.keys([k])
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

    def keys_now(self, *keys):
        """Keys pressed in order, with no pause after them."""
        self.b.keys(keys)

    def click(self, element_id):
        """A click on the middle of an element, brought into view first."""
        self.js("document.getElementById(arguments[0]).scrollIntoView({block: 'nearest'})", element_id)
        self.mouse("click", None, None, "#" + element_id)

    def deck(self):
        """What the deck shows: the time, the outcome, and the advice's step due next and when."""
        return self.js("""const d = id => document.getElementById(id), now = document.querySelector('[aria-current=step]');
            return {temps: d('deck-temps').textContent, outcome: d('deck-outcome').textContent,
                    step: now && now.querySelector('pre').textContent, due: now && now.textContent}""")

    def downloads(self, element_id, endings, timeout=15.0):
        """The names and texts of the files, one for each ending, that a click on the element saves
        (Chromium's DevTools say where)."""
        folder = tempfile.mkdtemp()
        self.d.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": folder})
        self.click(element_id)
        found = lambda: [next((f for f in os.listdir(folder) if f.endswith(e)), None) for e in endings]
        self.wait(lambda: all(found()), timeout)
        time.sleep(0.2)  # written whole
        return [(f, open(os.path.join(folder, f), encoding="utf-8").read()) for f in found()]

    def right_click(self, x=100, y=100):
        self.mouse("context", x, y)
        time.sleep(0.1)

    def rect(self, selector):
        """An element's box in the window: left, top, right, bottom."""
        return self.js("const r = document.querySelector(arguments[0]).getBoundingClientRect();"
                       "return [r.left, r.top, r.right, r.bottom]", selector)

    def tap(self, selector):
        """A finger's tap on the middle of an element; a click where the engine has no touch."""
        left, top, right, bottom = self.rect(selector)
        self.b.tap((left + right) / 2, (top + bottom) / 2)
        time.sleep(0.2)

    def drop(self, name, text):
        """A file of that name and text dropped on the page."""
        self.js("const files = new DataTransfer(); files.items.add(new File([arguments[1]], arguments[0]));"
                "document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: files, bubbles: true}))", name, text)

    def offline(self, cut):
        """The network gone (the site's server answers nothing), or back."""
        Quiet.cut = cut

    # ---- Chromium's DevTools: screens and fingers that the other engines' drivers do not offer ----

    def screen(self, width=None, height=None, touch=False):
        """The window as a device of that size, a touch screen or not; no size: back to the window's."""
        if width:
            self.d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": touch})
        else:
            self.d.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        self.d.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": touch, "maxTouchPoints": 2})

    def touch(self, selector, hold=0.05, dx=0, dy=0):
        """A finger on the middle of an element, held `hold` seconds, dragged by dx, dy, then lifted."""
        left, top, right, bottom = self.rect(selector)
        x, y = (left + right) / 2, (top + bottom) / 2
        self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": [{"x": x, "y": y}]})
        time.sleep(hold)
        for i in range(1, 11 if dx or dy else 1):
            at = {"x": x + dx * i / 10, "y": y + dy * i / 10}
            self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchMove", "touchPoints": [at]})
        self.d.execute_cdp_cmd("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})
        time.sleep(0.2)


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


def velocity(page, axis):
    """The chaser's velocity along x, y or z (0, 1, 2), read through the deck's seam."""
    return page.js("return new Float64Array(Module.HEAPF64.buffer, Module._deck_state(), 26)[4 + arguments[0]]", axis)


SCENARIO = "dt=0.005\nnx=500\ntrois=3\nOmega=0.0\nX0=0.0\nY0=-12.0\nZ0=0.0\nXp0=0.0\nYp0=0.037\nZp0=0.0\np=2.0\n"


def test_pad_and_link(page):
    # A link that carries a scenario starts on its values.
    page.open("#scenario=" + urllib.parse.quote(SCENARIO))
    page.wait(lambda: page.console().count(RESET % "data/fo.in") == 2)
    assert velocity(page, 1) == 0.037, velocity(page, 1)
    # A tap on « descendre » (a click where the engine has no touch) is one press of PageDown, and the
    # keys fly again after it.
    before = velocity(page, 2)
    page.tap("#pad [aria-label^=descendre]")
    page.wait(lambda: velocity(page, 2) != before)
    tapped, before = velocity(page, 2) - before, velocity(page, 2)
    page.keys("PageDown")
    page.wait(lambda: velocity(page, 2) != before)
    assert tapped < 0 and abs(tapped - (velocity(page, 2) - before)) < 1e-9, (tapped, velocity(page, 2) - before)


def test_screens_and_touch(page):
    page.printed('open data file "data/cible.obj"')
    # The square, the line above it and the pad in view without scrolling, on a laptop's screen and a
    # tablet's either way up.
    for width, height in ((1366, 768), (1280, 720), (1024, 768), (768, 1024)):
        page.screen(width, height, touch=True)
        for part in ("h1", "#canvas", "#pad"):
            left, top, right, bottom = page.rect(part)
            assert left >= 0 and top >= 0 and right <= width and bottom <= height, (width, height, part)
    # The deck beside the square from 1250 pixels across, below it under that.
    for width, beside in ((1250, True), (1249, False)):
        page.screen(width, 1000)
        square, deck = page.rect("#canvas"), page.rect("#deck")
        assert (deck[0] >= square[2] and deck[2] <= width if beside else deck[1] >= square[3]), (width, square, deck)
    # Under a finger, a tap on the arrow that brakes lowers the fuel bar by one press's step.
    full = fuel_top(page.shot())
    page.touch("#pad [aria-label*=arri]")
    pressed = page.shot_when(lambda s: fuel_top(s) > full)
    step = at(0, 2.0 - 1 / 20.0)[1] - at(0, 2.0)[1]
    assert abs(fuel_top(pressed) - full - step) <= 1, (fuel_top(pressed), full, step)
    # A finger held on the square opens the menu there; taps choose a scenario from its submenu.
    page.touch("#canvas", hold=0.8)
    assert page.menu() == [MAIN_MENU], page.menu()
    page.touch(".glut-menu-entry:nth-child(%d)" % (MAIN_MENU.index("cas initiaux ") + 1))
    page.touch(".glut-menu + .glut-menu .glut-menu-entry:nth-child(3)")
    page.printed("2\n" + RESET % "data/fo2.in")
    # On the scaled square, paused, a finger's drag turns the landscape view and the mouse's drag back
    # brings it exactly where it was: both reach the program's window in the same pixels.
    page.screen(1366, 768, touch=True)
    page.keys("p", "l")
    time.sleep(0.3)
    before = page.shot()
    page.touch("#canvas", dx=120, dy=60)
    turned = page.shot()
    scale = (page.rect("#canvas")[2] - page.rect("#canvas")[0]) / 800
    page.drag(400, 400, 400 - 120 / scale, 400 - 60 / scale)
    time.sleep(0.3)
    assert turned != before == page.shot(), "a finger's drag and the mouse's reach the window differently"
    page.screen()


def test_scenarios(page):
    page.open("?cas=3")
    page.printed("3\n" + RESET % "data/fo3.in")
    # The full reset from the menu comes back to a scenario carried by a link, after a press.
    page.open("#scenario=" + urllib.parse.quote(SCENARIO))
    page.wait(lambda: page.console().count(RESET % "data/fo.in") == 2)
    link = page.js("return document.getElementById('scenario-link').value")
    assert urllib.parse.unquote(link.split("#scenario=")[1]) == SCENARIO, link
    page.keys("ArrowUp")
    page.wait(lambda: velocity(page, 1) > 0.037)
    page.right_click()
    page.entry(0, 0, "click")
    page.wait(lambda: page.console().count(RESET % "data/fo.in") == 3)
    assert velocity(page, 1) == 0.037, velocity(page, 1)
    # Bad files are refused, each with its message, and the flight goes on as it was.
    printed = page.console()
    for name, text, said in (("nx-mal-ecrit.in", SCENARIO.replace("nx=", "nX="), "nx="),
                             ("nx-hors.in", SCENARIO.replace("nx=500", "nx=1"), "nx="),
                             ("image.png", "\x89PNG\r\n\x1a\n\x00\x00", "texte")):
        page.drop(name, text)
        page.wait(lambda: name in page.js("return document.getElementById('scenario-message').textContent"))
        message = page.js("return document.getElementById('scenario-message').textContent")
        assert said in message and "refus" in message, message
    assert page.console() == printed and velocity(page, 1) == 0.037, page.console()[len(printed):]
    t = page.deck()["temps"]
    page.wait(lambda: page.deck()["temps"] != t, 30)  # the flight goes on


def test_offline(page):
    page.printed('open data file "data/cible.obj"')
    page.wait(lambda: page.js("return navigator.serviceWorker.controller !== null"))
    page.offline(True)
    try:
        page.open("?cas=1")
        page.printed("1\n" + RESET % "data/fo1.in")
    finally:
        page.offline(False)


def advice_as_planned(page, scenario, language="fr"):
    """Asks the deck, and holds its advice against rendezvous-plan's from the numbers it shows, in the
    page's language."""
    page.click("deck-advise")
    assert page.js("return document.activeElement.id") == "canvas", "the deck kept the keyboard"
    moment, method, steps, table = page.js("""const a = document.getElementById('deck-advice'), all = s => [...a.querySelectorAll(s)];
        return [a.querySelector('.deck-moment').textContent, all('.deck-method li').map(e => e.textContent),
                all('.deck-steps pre, .deck-arrival').map(e => e.textContent), Words.t('plan.table')]""")
    out = subprocess.run([os.path.join("build", "rendezvous-plan"), "--lang", language, "--from", moment, scenario],
                         capture_output=True, text=True, check=True).stdout
    words, steps_said = out.split(table + "\n")
    said = " ".join("%d. %s" % (i + 1, m) for i, m in enumerate(method))
    assert said.split() == words.split("\n\n", 1)[1].split(), (said, words)
    block, rest = steps_said.split("\n\n", 1)  # the steps, then the arrival and the pace
    assert "\n".join(steps) == block + "\n" + rest.split("\n")[0], (steps, steps_said)


def test_deck_advice(page):
    # The live path holds a point for each integrator call since the reset, the start point first,
    # one call every 2 frames at this pace.
    page.printed('open data file "data/cible.obj"')
    page.js("Module.chooseMenu([1, 5])")
    assert page.js("return document.getElementById('deck-file').textContent") == "data/fo5.in"
    page.keys_now("S", "S", "S", "ArrowDown")
    start = float(page.deck()["temps"])
    page.wait(lambda: float(page.deck()["temps"]) > start + 1.5, timeout=60)
    page.keys_now("p")
    points, calls = page.js("return [document.getElementById('deck-plane').dataset.points, "
                            "new Float64Array(Module.HEAPF64.buffer, Module._deck_state(), 26)[12]]")
    assert int(points) == calls + 1 > 20, (points, calls)
    advice_as_planned(page, "data/fo5.in")
    # Scenario 2 from its start, the time running on from the reset.
    page.js("Module.chooseMenu([1, 2])")
    advice_as_planned(page, "data/fo2.in")


def fly_by_deck(page, scenario, pressed=lambda made: None, timeout=150):
    """Flies scenario n of the menu by the deck at the quickest pace: each press at the deck's word, 4
    or more integrator calls after the last, made paused so that its time is read as the program takes
    it; a pause and the advice asked again at each check. Returns the presses, (time shown, key)."""
    page.js("Module.chooseMenu([1, arguments[0]])", scenario)
    page.keys_now("p", "S", "S", "S", "S")
    page.click("deck-advise")
    page.keys_now("p")
    made, last, end = [], -1.0, time.time() + timeout
    now = page.js("return Words.t('deck.due-now')")
    while not page.deck()["outcome"]:
        assert time.time() < end, ("not docked", made, page.deck())
        deck = page.deck()
        if not deck["step"] or now not in deck["due"] or float(deck["temps"]) < last + 0.2:
            time.sleep(0.005)
        elif "pause" in deck["step"]:
            page.keys_now("p")
            page.click("deck-advise")
            page.keys_now("p")
        else:
            page.keys_now("p")
            key = re.search(r"\((\w+)\)", deck["step"]).group(1)
            made.append((page.deck()["temps"], key))
            page.keys_now(ARROWS[key], "p")
            last = float(made[-1][0])
            pressed(made)
    return made


FLOWN = []  # the flight file that test_deck_flight saved, for the replays after it


def replay(*args):
    """rendezvous-replay on files of these texts, in French: its status and its lines."""
    folder = tempfile.mkdtemp()
    paths = []
    for i, text in enumerate(args):
        paths.append(os.path.join(folder, "vol%d.vol" % i))
        with open(paths[-1], "w", encoding="utf-8") as f:
            f.write(text)
    out = subprocess.run([os.path.join("build", "rendezvous-replay"), "--lang", "fr"] + paths, capture_output=True,
                         text=True)
    return out.returncode, out.stdout.splitlines(), out.stderr


def presses(flight):
    """The lines of a flight file that say a press: TEMPS APPEL TOUCHE NOMBRE."""
    return [line.split() for line in flight.splitlines() if len(line.split()) == 4 and line.split()[2] in ARROWS]


def test_deck_flight(page):
    page.printed('open data file "data/cible.obj"')
    page.js("const f = document.getElementById('deck-pilot'); f.value = '\u00c9lise Dupont';"
            "f.dispatchEvent(new Event('change'))")
    made = fly_by_deck(page, 2)
    assert "gagn'e" in page.deck()["outcome"] and len(made) > 5, (page.deck(), made)
    page.click("deck-advise")
    assert "arrim\u00e9" in page.js("return document.getElementById('deck-advice').textContent")
    # The flight file holds each press with the time the screen showed, one a line as they came 4 or
    # more calls apart, and replays to its own end; the picture names each press at its time, and draws
    # the advice dashed. Both are named after the pilot and the scenario.
    (svg_name, picture), (name, flight) = page.downloads("deck-save", [".svg", ".vol"])
    assert name.startswith("vol-elise-dupont-fo2-") and svg_name == name[:-4] + ".svg", name
    assert [(t, key) for t, _, key, count in presses(flight)] == made, (flight, made)
    assert "nom: \u00c9lise Dupont" in flight and "scenario: data/fo2.in" in flight, flight
    for t, _ in made:
        assert "%.2f : " % float(t) in picture.replace(",", "."), t
    assert 'class="conseil"' in picture and "Arrimage \u00e0 temps" in picture
    status, lines, errors = replay(flight)
    assert status == 0 and len(lines) == 1 and lines[0].endswith(" conforme") and "non conforme" not in lines[0], \
        (lines, errors)
    FLOWN.append(flight)


def replay_state(page):
    return page.js("return JSON.parse(Module.UTF8ToString(Module._replay_state()))")


def test_replay_in_the_page(page):
    # The flight of test_deck_flight, dropped on the page, flies again at the pace in force; a press by
    # hand waits for the controls to be taken; taken over, the new record holds the replayed presses up
    # to the hand-over.
    assert FLOWN, "no flight saved by test_deck_flight"
    flight = FLOWN[0]
    page.printed('open data file "data/cible.obj"')
    page.keys_now("S", "S", "S", "S")
    page.drop("vol-elise.vol", flight)
    page.wait(lambda: replay_state(page)["replaying"])
    page.keys("ArrowUp")
    assert page.js("return document.getElementById('replay-message').textContent") == \
        page.js("return Words.t('replay.take-first')")
    lines = presses(flight)
    handover = int(lines[2][1])  # past the third press
    page.wait(lambda: replay_state(page)["calls"] > handover, timeout=60)
    page.click("replay-take")
    taken = replay_state(page)["calls"]
    page.click("deck-save")
    ((_, again),) = page.downloads("deck-save", [".vol"])
    head = lambda f: [l for l in f.splitlines() if "=" in l and not l.startswith("#")]
    assert head(again) == head(flight), (head(again), head(flight))
    assert [l for l in presses(again) if int(l[1]) <= taken] == [l for l in lines if int(l[1]) <= taken], (again, flight)
    # The same file again, to its end at once: the replay ends on the file's own last line.
    page.drop("vol-elise.vol", flight)
    page.wait(lambda: replay_state(page)["replaying"])
    page.click("replay-end")
    page.wait(lambda: page.js("return document.getElementById('replay-message').dataset.same") == "true")
    # Kept as a ghost, the flight is drawn dotted while its start is flown again (paused here, so that
    # the new run stands at its start).
    page.keys_now("p")
    page.click("replay-race")
    page.wait(lambda: int(page.js("return document.getElementById('deck-plane').dataset.ghost || 0")) > 100)
    assert replay_state(page)["calls"] == 0


DEMO = "# vol rendez-vous 1\n" + SCENARIO + "nom: D\u00e9monstration\nnote 0.5 Ici, on freine.\n0.000 1 Down 1\nfin 60\n"


def test_notes_and_bad_flights(page):
    # A flight written by hand and sealed by rendezvous-replay --write: its note stops the replay until
    # « Continuer », and it ends on its sealed last line. A flight that cannot be one is refused with the
    # line at fault, and the flight under way goes on.
    folder = tempfile.mkdtemp()
    written, sealed = os.path.join(folder, "demo.vol"), os.path.join(folder, "sealed.vol")
    with open(written, "w", encoding="utf-8") as f:
        f.write(DEMO)
    subprocess.run([os.path.join("build", "rendezvous-replay"), "--write", sealed, written], check=True,
                   capture_output=True)
    page.printed('open data file "data/cible.obj"')
    page.keys_now("S", "S", "S", "S")
    page.drop("demo.vol", open(sealed, encoding="utf-8").read())
    page.wait(lambda: page.js("return !document.getElementById('replay-note').hidden"), timeout=30)
    assert page.js("return document.getElementById('replay-note-text').textContent") == "Ici, on freine."
    t = replay_state(page)["t"]
    time.sleep(0.5)
    assert replay_state(page)["t"] == t and replay_state(page)["paused"], "the note did not stop the replay"
    page.click("replay-continue")
    page.wait(lambda: page.js("return document.getElementById('replay-message').dataset.same") == "true", timeout=30)
    # A flight left while its note holds the program lets the program go: here, for its ghost.
    page.drop("demo.vol", open(sealed, encoding="utf-8").read())
    page.wait(lambda: page.js("return !document.getElementById('replay-note').hidden"), timeout=30)
    page.click("replay-race")
    assert not replay_state(page)["paused"], "the program stays paused by a note put away"
    printed, good = page.console(), open(sealed, encoding="utf-8").read()
    press = next(l for l in good.splitlines() if l.endswith(" Down 1"))
    for name, text, fault in (("cle.vol", good.replace(press, press.replace("Down", "Sideways")), press.replace("Down", "Sideways")),
                              ("zero.vol", good.replace(press, press.replace("Down 1", "Down 0")), press.replace("Down 1", "Down 0")),
                              ("apres.vol", good + press + "\n", press)):
        line = text.splitlines().index(fault, text.splitlines().index(fault) + (name == "apres.vol")) + 1
        page.drop(name, text)
        page.wait(lambda: name in page.js("return document.getElementById('replay-message').textContent"))
        said = page.js("return document.getElementById('replay-message').textContent")
        assert (" %d " % line) in said and "refus" in said, (name, line, said)
    assert page.console() == printed and not replay_state(page)["replaying"]


# What a page in English shows that is French: texts of the French table that English says otherwise,
# French letters, or a word missing from the table ("[deck.advise]"); the canvas, the program's console,
# the simulator's menus and what is marked as quoted French (lang="fr") set aside.
FRENCH_SHOWN = """const fr = Words.table('fr'), en = Words.table('en'), phrases = [];
    for (const k in fr) if (fr[k] != en[k])
      for (const part of fr[k].split(/\\{[1-9]\\}|\\n|<[^>]*>/)) if (/\\p{L}{4,}/u.test(part)) phrases.push(part.trim());
    const shown = [], aside = '#canvas, #console, .glut-menu, [lang=fr], script, style';
    const walk = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let n; (n = walk.nextNode());)
      if (n.textContent.trim() && !n.parentElement.closest(aside) && n.parentElement.getClientRects().length)
        shown.push(n.textContent);
    for (const e of document.querySelectorAll('[title], [aria-label]'))
      if (!e.closest(aside)) shown.push(e.title || '', e.getAttribute('aria-label') || '');
    return shown.filter(t => /[\u00e0\u00e2\u00e7\u00e8-\u00eb\u00ee\u00ef\u00f4\u00f9\u00fb\u00fc\u0153\u00ab\u00bb]/i.test(t) ||
      /\\[[a-z]+\\.[A-Za-z0-9.-]+\\]/.test(t) || phrases.some(p => t.includes(p)))"""


def test_english(page):
    # A browser that speaks English gets the page in English; with the canvas and the console set aside,
    # nothing it shows is French: at the start, in the deck's advice and its words of the screen, in a
    # scenario refused.
    page.d.execute_cdp_cmd("Emulation.setUserAgentOverride", {"userAgent": page.js("return navigator.userAgent"),
                                                              "acceptLanguage": "en-GB"})
    page.js("localStorage.clear()")
    page.open()
    page.printed('open data file "data/cible.obj"')
    assert page.js("return [Words.lang, document.documentElement.lang]") == ["en", "en"]
    page.js("document.getElementById('deck-screen').open = true")
    assert page.js(FRENCH_SHOWN) == []
    advice_as_planned(page, "data/fo.in", "en")
    assert page.js("return document.querySelectorAll('.deck-steps li').length") > 0
    assert page.js(FRENCH_SHOWN) == []
    page.drop("nx-mal-ecrit.in", SCENARIO.replace("nx=", "nX="))
    page.wait(lambda: page.js("return document.getElementById('scenario-message').textContent") != "")
    assert page.js(FRENCH_SHOWN) == [], page.js("return document.getElementById('scenario-message').textContent")
    # The help opens in the page's language.
    page.keys("h")
    page.wait(lambda: len(page.d.window_handles) == 2)
    main = page.d.current_window_handle
    page.d.switch_to.window([h for h in page.d.window_handles if h != main][0])
    page.wait(lambda: page.d.current_url.endswith("/data/help.html"))
    page.d.close()
    page.d.switch_to.window(main)
    # The switch at the top turns the page French in place, keeps the choice and puts it in the address.
    page.js("window.scrollTo(0, 0)")
    page.mouse("click", None, None, "#languages a")  # its one link, to the other language
    page.wait(lambda: page.js("return Words.lang") == "fr")
    assert "lang=fr" in page.js("return location.search") and page.js(
        "return document.documentElement.lang == 'fr' && document.querySelector('#deck h2').textContent"
        ".startsWith(Words.table('fr')['deck.title']) && !document.getElementById('deck-advice').textContent")
    page.open()
    page.printed('open data file "data/cible.obj"')
    assert page.js("return Words.lang") == "fr", "the choice was not kept"
    page.js("localStorage.clear()")
    page.d.execute_cdp_cmd("Emulation.setUserAgentOverride", {"userAgent": page.js("return navigator.userAgent"),
                                                              "acceptLanguage": LANGUAGE})


# Every engine runs the short list; Chromium runs every check.
SHORT = [test_start_and_screen, test_menus, test_pad_and_link, test_deck_advice]
TESTS = {"chromium": SHORT + [test_help, test_ramming_and_end, test_screens_and_touch, test_scenarios, test_deck_flight,
                              test_replay_in_the_page, test_notes_and_bad_flights, test_offline, test_english],
         "firefox": SHORT + [test_no_webgl], "webkit": SHORT}


class Quiet(http.server.SimpleHTTPRequestHandler):
    cut = False  # the network is gone: connections close unanswered

    def handle_one_request(self):
        if Quiet.cut:
            self.close_connection = True
        else:
            super().handle_one_request()

    def log_message(self, *args):
        pass


def serve(folder):
    """The folder served over HTTP on a port of its own: the server, and its address."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def each(tests, run, label):
    """Runs every test through run(test), saying PASS, with the seconds it took, or FAIL for each: the
    number that failed."""
    failed = 0
    for test in tests:
        start = time.time()
        try:
            run(test)
            print("PASS", label, test.__name__, "(%.0f s)" % (time.time() - start))
        except Exception as e:  # report every failure, then go on with the next test
            failed += 1
            print("FAIL", label, test.__name__, "-", e)
    return failed


def run(site, engine, tests):
    """Runs each test on a fresh page of the site in the engine; the number that failed."""
    server, address = serve(site)
    url = address + "index.html"
    usual = browser(engine)
    # The browser's own first WebGL context (its GPU process, SwiftShader's start) is the browser's
    # cost, paid once when it starts, not the page's: it is paid before the first page is timed.
    usual.goto("about:blank")
    usual.js("document.createElement('canvas').getContext('webgl')", [])

    def one(test):
        b = usual if getattr(test, "webgl", True) else browser(engine, webgl=False)
        try:
            test(Page(b, url))
        finally:
            if b is not usual:
                b.quit()

    try:
        return each(tests, one, engine)
    finally:
        usual.quit()
        server.shutdown()


def verdict(tests, failed):
    """How many passed and failed, and the exit status that says it."""
    print("%d passed, %d failed" % (len(tests) - failed, failed))
    sys.exit(1 if failed else 0)


def in_chromium(folder, tests, page):
    """Runs each test on page(browser, address) in one Chromium, the folder served; exits with the verdict."""
    server, address = serve(folder)
    b = browser("chromium")
    try:
        failed = each(tests, lambda test: test(page(b, address)), "chromium")
    finally:
        b.quit()
        server.shutdown()
    verdict(tests, failed)


def main():
    engine = sys.argv[2] if len(sys.argv) > 2 else "chromium"
    # Some of the engine's checks only, by name, when more arguments follow.
    tests = [t for t in TESTS[engine] if len(sys.argv) <= 3 or t.__name__ in sys.argv[3:]]
    verdict(tests, run(os.path.abspath(sys.argv[1]), engine, tests))


if __name__ == "__main__":
    main()
