"""The deck's figures in headless Chromium, and pictures of it: the time from a click on « Conseil »
to the advice shown, from 10 moments of scenario 5; the frame rate with the deck shown and hidden,
by turns in the same run; then scenario 5 flown by the deck, with screenshots at its start, mid-flight,
after the docking, and of the saved picture. Run from the repository's root:

    /usr/bin/python3 bench/deck_page.py build-web/site SHOTS_DIR
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import test_page  # noqa: E402  (the page driven as the browser test drives it)
from test_page import ARROWS, fly_by_deck  # noqa: E402


def figures(page, shots):
    page.printed('open data file "data/cible.obj"')
    page.js("Module.chooseMenu([1, 5])")
    page.keys_now("S", "S", "S")
    answers = []
    for i in range(10):
        start = float(page.deck()["temps"])
        page.keys_now(ARROWS[["Up", "Left", "PageUp", "Down", "Right"][i % 5]])
        page.wait(lambda: float(page.deck()["temps"]) > start + 0.6, timeout=60)
        page.keys_now("p")
        page.click("deck-advise")
        answers.append(float(page.js("return document.getElementById('deck-advice').dataset.ms")))
        page.keys_now("p")
    print("Conseil, click to advice shown: median %.1f ms of %d (min %.1f, max %.1f)"
          % (statistics.median(answers), len(answers), min(answers), max(answers)))

    page.js("window.frames_seen = 0; const f = Module.onFrame; Module.onFrame = () => { frames_seen++; f(); }")
    rates = {True: [], False: []}
    for _ in range(5):
        for hidden in (True, False):
            page.js("document.getElementById('deck').hidden = arguments[0]", hidden)
            before, t0 = page.js("return frames_seen"), time.time()
            time.sleep(3)
            rates[hidden].append((page.js("return frames_seen") - before) / (time.time() - t0))
    page.js("document.getElementById('deck').hidden = false")
    shown, hidden = statistics.median(rates[False]), statistics.median(rates[True])
    print("frames a second, deck shown: median %.1f %s; hidden: median %.1f %s; ratio %.2f"
          % (shown, [round(r, 1) for r in rates[False]], hidden, [round(r, 1) for r in rates[True]], shown / hidden))

    page.js("Module.chooseMenu([1, 5])")
    page.keys_now("p")
    page.click("deck-advise")
    page.d.save_screenshot(os.path.join(shots, "deck-start.png"))
    page.keys_now("p")

    def midway(made):
        if len(made) == 8:
            page.d.save_screenshot(os.path.join(shots, "deck-mid.png"))

    made = fly_by_deck(page, 5, midway, timeout=400)
    time.sleep(0.3)
    page.d.save_screenshot(os.path.join(shots, "deck-docked.png"))
    print("scenario 5 flown: %d presses, %s" % (len(made), page.deck()["outcome"]))
    picture, keys = page.downloads("deck-save", ["vol.svg", "vol-touches.txt"])
    for name, text in (("vol.svg", picture), ("vol-touches.txt", keys)):
        with open(os.path.join(shots, name), "w", encoding="utf-8") as f:
            f.write(text)
    subprocess.run(["chromium", "--headless=new", "--no-sandbox", "--window-size=980,1400",
                    "--screenshot=" + os.path.join(shots, "vol-svg.png"), "file://" + os.path.join(shots, "vol.svg")],
                   check=True, capture_output=True)


def main():
    site, shots = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(shots, exist_ok=True)
    test_page.CHROMIUM_FLAGS[-1] = "--window-size=1300,1000"  # wide enough for the deck beside the square
    test_page.run(site, "chromium", [lambda page: figures(page, shots)])
    print("site: %d bytes" % sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(site) for f in fs))


if __name__ == "__main__":
    main()
