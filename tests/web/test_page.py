"""The simulator's web page in headless Chromium, driven as a person would (Selenium): the start-up
lines, the gauges, the telemetry and the scene by their pixels, keys and a drag on the canvas, `h`
and its tab, the menus and a scenario, a ramming, and Esc; the deck beside the square, its advice
against rendezvous-plan's, a docking flown by it, and the flight it saves. Usage: test_page.py SITE_DIR,
from the repository's root (the desktop's build/rendezvous-plan)."""
import functools
import http.server
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402  (the pixel helpers)
from test_frame import HELP, MESSAGE, SCENE, TELEMETRY, at, blue, box, gold, hull, planet, red  # noqa: E402

FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--disable-quic", "--no-first-run", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--window-size=1000,1400"]
MAIN_MENU = harness.MAIN_MENU
SCENARIOS = ["cas simple:     Omega=0.00, dans le plan, dans l'axe!",
             "cas simple:     Omega=0.10, dans le plan, dans l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, dans l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
             "cas assez dur: Omega=0.25, dans le plan, hors l'axe!",
             "cas dur  dur: Omega=0.25, hors du plan et de l'axe!"]
RESET = "fichier de donnees:   %s!   "
ARROWS = {"Up": Keys.ARROW_UP, "Down": Keys.ARROW_DOWN, "Left": Keys.ARROW_LEFT, "Right": Keys.ARROW_RIGHT,
          "PageUp": Keys.PAGE_UP, "PageDown": Keys.PAGE_DOWN}


class Page:
    def __init__(self, driver, url):
        self.d = driver
        self.opened = time.time()
        driver.get(url)
        self.canvas = driver.find_element(By.ID, "canvas")

    def js(self, script, *args):
        """The value of a script run in the page (`return ...`; arguments as `arguments[i]`)."""
        return self.d.execute_script(script, *args)

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
        for k in keys:
            ActionChains(self.d).send_keys(k).perform()
            time.sleep(0.1)

    def shot(self):
        """The canvas's pixels as harness images are: (width, height, rgb bytes)."""
        ppm = subprocess.run(["convert", "png:-", "ppm:-"], input=self.canvas.screenshot_as_png, check=True,
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

    def menu(self):
        """The labels of each menu shown, the main one first."""
        return self.d.execute_script(
            "return [...document.querySelectorAll('.glut-menu')].map(m => [...m.children].map(e => e.textContent))")

    def entry(self, menu, index):
        return self.d.find_elements(By.CSS_SELECTOR, ".glut-menu")[menu].find_elements(By.CSS_SELECTOR,
                                                                                       ".glut-menu-entry")[index]

    def keys_now(self, *keys):
        """Keys pressed in order, with no pause after them."""
        ActionChains(self.d).send_keys(*keys).perform()

    def click(self, element_id):
        self.d.find_element(By.ID, element_id).click()

    def deck(self):
        """What the deck shows: the time, the outcome, and the advice's step due next and when."""
        return self.js("""const d = id => document.getElementById(id), now = document.querySelector('[aria-current=step]');
            return {temps: d('deck-temps').textContent, outcome: d('deck-outcome').textContent,
                    step: now && now.querySelector('pre').textContent, due: now && now.textContent}""")

    def downloads(self, element_id, names, timeout=15.0):
        """The texts of the files that a click on the element saves (Chromium's DevTools say where)."""
        folder = tempfile.mkdtemp()
        self.d.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": folder})
        self.click(element_id)
        paths = [os.path.join(folder, name) for name in names]
        self.wait(lambda: all(os.path.exists(path) for path in paths), timeout)
        return [open(path, encoding="utf-8").read() for path in paths]

    def right_click(self, x=100, y=100):
        ActionChains(self.d).move_to_element_with_offset(self.canvas, x - 400, y - 400).context_click().perform()
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
    assert page.d.execute_script("return document.activeElement.id") == "canvas", "the canvas has not the focus"

    shot = page.shot_when(lambda s: harness.count(s, hull, SCENE) > 300)
    assert harness.count(shot, red, TELEMETRY) > 1500, "no telemetry at the top"
    assert harness.count(shot, red, box(-4.0, -4.14, 4.1, -3.8)) > 500, "no credits line"
    assert harness.count(shot, gold, (350, 320, 450, 420)) > 20, "no target ahead"
    # A full reserve is a bar 5 high, 20 presses one of 1: one press of the down arrow lowers it by
    # a twentieth of that.
    full = fuel_top(shot)
    assert abs(full - at(0, 2.0)[1]) <= 1, (full, at(0, 2.0))
    assert harness.count(shot, blue, box(-3.85, -3.0, -3.7, -2.88, margin=2)) > 0, "no speed-limit block"
    page.keys(Keys.ARROW_DOWN)
    pressed = page.shot_when(lambda s: fuel_top(s) > full)
    step = at(0, 2.0 - 1 / 20.0)[1] - at(0, 2.0)[1]  # about 5 pixels, give or take the rounding
    assert abs(fuel_top(pressed) - full - step) <= 1, (fuel_top(pressed), full, step)
    # The landscape view shows the planet; a drag turns it.
    page.keys("l")
    land = page.shot_when(lambda s: harness.count(s, planet) > 20000)
    assert harness.count(land, planet) > 20000, "no planet in the landscape view"
    ActionChains(page.d).move_to_element_with_offset(page.canvas, 0, 0).click_and_hold().move_by_offset(
        120, 60).release().perform()
    turned = page.shot_when(lambda s: harness.count(s, planet) < harness.count(land, planet) * 0.8)
    assert harness.count(turned, planet) < harness.count(land, planet) * 0.8, "the drag did not turn the view"


def test_help_and_menus(page):
    page.printed('open data file "data/cible.obj"')
    assert harness.count(page.shot(), red, HELP) == 0, "help shown before 'h'"
    page.keys("h")
    page.wait(lambda: len(page.d.window_handles) == 2)
    assert harness.count(page.shot_when(lambda s: harness.count(s, red, HELP) > 1000), red, HELP) > 1000
    main = page.d.current_window_handle
    page.d.switch_to.window([h for h in page.d.window_handles if h != main][0])
    page.wait(lambda: page.d.execute_script("return document.readyState") == "complete")
    assert page.d.current_url.endswith("/data/aide.html") and "Rendez-vous" in page.d.title, page.d.current_url
    page.d.close()
    page.d.switch_to.window(main)

    # The right button opens the main menu; Esc, or a click elsewhere, closes it without a choice.
    for close in ("escape", "click"):
        page.right_click()
        assert page.menu() == [MAIN_MENU], page.menu()
        if close == "escape":
            page.keys(Keys.ESCAPE)
        else:
            ActionChains(page.d).move_by_offset(-90, -90).click().perform()
        page.wait(lambda: page.menu() == [])
    assert "kenavo" not in page.console()
    # The scenario submenu from "cas initiaux ", and scenario 2 chosen with a click.
    page.right_click()
    ActionChains(page.d).move_to_element(page.entry(0, MAIN_MENU.index("cas initiaux "))).perform()
    page.wait(lambda: len(page.menu()) == 2)
    assert page.menu()[1] == SCENARIOS, page.menu()
    ActionChains(page.d).move_to_element(page.entry(1, 2)).click().perform()
    page.printed("2\n" + RESET % "data/fo2.in")
    page.wait(lambda: page.menu() == [])
    assert page.d.execute_script("return document.activeElement.id") == "canvas"


def test_ramming_and_end(page):
    # Scenario 0 comes straight at the port; faster and at the quickest pace it rams it: the outcome
    # message shows under the telemetry and the chaser stands still.
    page.printed('open data file "data/cible.obj"')
    page.keys(*(["S"] * 4 + [Keys.ARROW_UP] * 6))
    shot = page.shot_when(lambda s: harness.count(s, red, MESSAGE) > 400, timeout=60)
    assert harness.count(shot, red, MESSAGE) > 400, "no outcome message"
    time.sleep(0.3)
    assert page.shot() == page.shot(), "the chaser still moves after the ramming"
    page.keys(Keys.ESCAPE)
    page.printed("kenavo ! ")
    page.wait(lambda: page.d.find_element(By.ID, "ended").is_displayed())
    again = page.d.find_element(By.ID, "again")
    assert "Recommencer" in again.text
    again.click()
    page.opened = time.time()
    page.wait(lambda: page.console().count("on est ici") == 1 and RESET % "data/fo.in" in page.console())


def advice_as_planned(page, scenario):
    """Asks the deck, and holds its advice against rendezvous-plan's from the numbers it shows."""
    page.click("deck-advise")
    assert page.js("return document.activeElement.id") == "canvas", "the deck kept the keyboard"
    moment, method, steps = page.js("""const a = document.getElementById('deck-advice'), all = s => [...a.querySelectorAll(s)];
        return [a.querySelector('.deck-from').textContent.split(' : ')[1], all('.deck-method li').map(e => e.textContent),
                all('.deck-steps pre, .deck-arrival').map(e => e.textContent)]""")
    out = subprocess.run([os.path.join("build", "rendezvous-plan"), "--from", moment, scenario], capture_output=True,
                         text=True, check=True).stdout
    words, table = out.split("Quand l''ecran montre      faire\n")
    said = " ".join("%d. %s" % (i + 1, m) for i, m in enumerate(method))
    assert said.split() == words.split("\n\n", 1)[1].split(), (said, words)
    assert "\n".join(steps) == table.split("\nLes pressions")[0].replace("\n\n", "\n"), (steps, table)


def test_deck_advice(page):
    # The live path holds a point for each integrator call since the reset, the start point first,
    # one call every 2 frames at this pace.
    page.printed('open data file "data/cible.obj"')
    page.js("Module.chooseMenu([1, 5])")
    page.keys_now("S", "S", "S", Keys.ARROW_DOWN)
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
    while not page.deck()["outcome"]:
        assert time.time() < end, ("not docked", made, page.deck())
        deck = page.deck()
        if not deck["step"] or "maintenant" not in deck["due"] or float(deck["temps"]) < last + 0.2:
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


def test_deck_flight(page):
    page.printed('open data file "data/cible.obj"')
    made = fly_by_deck(page, 2)
    assert "gagn'e" in page.deck()["outcome"] and len(made) > 5, (page.deck(), made)
    page.click("deck-advise")
    assert "arrim\u00e9" in page.js("return document.getElementById('deck-advice').textContent")
    # The saved flight holds each press with the time the screen showed, one a line as they came 4 or
    # more calls apart; the picture names each at that time, and draws the advice dashed.
    picture, keys = page.downloads("deck-save", ["vol.svg", "vol-touches.txt"])
    assert keys == "".join("%s %s 1\n" % press for press in made), (keys, made)
    for t, _ in made:
        assert "%.2f : " % float(t) in picture.replace(",", "."), t
    assert 'class="conseil"' in picture and "Arrimage \u00e0 temps" in picture


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def run(site, tests):
    """Runs each test on a fresh page of the site; the number that failed."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/index.html" % server.server_address[1]
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in FLAGS:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    failed = 0
    try:
        for test in tests:
            try:
                test(Page(driver, url))
                print("PASS", test.__name__)
            except Exception as e:  # report every failure, then go on with the next test
                failed += 1
                print("FAIL", test.__name__, "-", e)
    finally:
        driver.quit()
        server.shutdown()
    return failed


def main():
    tests = [test_start_and_screen, test_help_and_menus, test_ramming_and_end, test_deck_advice, test_deck_flight]
    failed = run(os.path.abspath(sys.argv[1]), tests)
    print("%d passed, %d failed" % (len(tests) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
