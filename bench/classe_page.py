"""The class view's figures, as a teacher pays them: a class of 200 flight files of 100 time units each
(2,000 integrator calls of scenario 2), dropped at once on classe.html in headless Chromium, the
exercise set to scenario 2; the time from the drop to the whole table and picture shown (every row
replayed, checked and scored, every path drawn: the page's own mark, taken once the frame that shows
the last of them is painted), and the longest task on the page's main thread meanwhile (a
PerformanceObserver of long tasks, which reports every task over 50 ms; the task of the driver's
script that makes the drop is set aside, the page's own handler taking under a millisecond of it).
Several rounds, each on a fresh page; the median and the extremes reported, with the machine's load.

With --own, every student has a start of their own (a code word and a spread of 2): each flight starts
from its name's start, which the page draws again for each of the 200 names, the planner flying its
trials for each draw.

The flights are made by the project's own programs: each starts as rendezvous-plan's flight from the
scenario's start (or from the name's own start), its presses replaced by a few drawn at random, and is
sealed to 2,000 calls by rendezvous-replay --write.

Usage, from the repository's root after `make web`:
    /usr/bin/python3 bench/classe_page.py build-web/site [--own] [ROUNDS]"""
import functools
import http.server
import os
import random
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import test_page  # noqa: E402  (the browser and its page)

FLIGHTS, CALLS, CODE, SPREAD = 200, 2000, "orbite", "2"
KEYS = ["Left", "Right", "Up", "Down"]


def flight(n, own, folder):
    """Student n's flight: the planner's head, presses drawn at random, sealed to CALLS calls."""
    name = "\u00c9l\u00e8ve %03d" % n
    plan, hand, out = (os.path.join(folder, f) for f in ("plan.vol", "hand.vol", "eleve-%03d.vol" % n))
    subprocess.run(["build/rendezvous-plan", "--vol", plan, "data/fo2.in"] +
                   (["--name", name, "--code", CODE, "--spread", SPREAD] if own else []), check=True, capture_output=True)
    head = [l for l in open(plan, encoding="utf-8").read().splitlines()
            if not re.match(r"([0-9.]+ \d+ |fin |note )", l)]
    draw = random.Random(n)
    calls = sorted(draw.sample(range(1, CALLS // 2), draw.randint(3, 12)))
    presses = ["%.3f %d %s 1" % (0.05 * (c - 1), c, draw.choice(KEYS)) for c in calls]
    with open(hand, "w", encoding="utf-8") as f:
        f.write("\n".join(head + (["nom: " + name] if not own else []) + presses + ["fin %d" % CALLS]) + "\n")
    subprocess.run(["build/rendezvous-replay", "--write", out, hand], check=True, capture_output=True)
    return os.path.basename(out), open(out, encoding="utf-8").read()


# The files that the script brings, made in the page (a task of the script's, not the page's); then
# their drop, with the page's long tasks watched from then on.
FILES = """window.files = new DataTransfer();
    for (const [name, text] of arguments[0]) files.items.add(new File([text], name))"""
DROP = """window.longest = 0;
    const from = performance.now();
    new PerformanceObserver(list => {
      for (const e of list.getEntries()) if (e.startTime >= from) longest = Math.max(longest, e.duration);
    }).observe({type: 'longtask'});
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: files, bubbles: true}))"""
EXERCISE = """const s = document.getElementById('classe-scenario'); s.value = '2';
    document.getElementById('classe-code').value = arguments[0];
    document.getElementById('classe-spread').value = arguments[1];
    s.dispatchEvent(new Event('change'))"""


def main():
    args = [a for a in sys.argv[1:] if a != "--own"]
    own = "--own" in sys.argv
    site, rounds = os.path.abspath(args[0]), int(args[1]) if len(args) > 1 else 5
    folder = tempfile.mkdtemp()
    files = [flight(n, own, folder) for n in range(1, FLIGHTS + 1)]
    out = subprocess.run(["build/rendezvous-replay", "--scenario", "data/fo2.in"] +
                         (["--code", CODE, "--spread", SPREAD] if own else []) +
                         [os.path.join(folder, name) for name, _ in files], capture_output=True, text=True)
    outcomes = {}
    for line in out.stdout.splitlines():
        word = re.search(r", (.+?) à temps", line).group(1)
        outcomes[word] = outcomes.get(word, 0) + 1
    assert out.returncode == 0, out.stdout + out.stderr
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(test_page.Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    browser = test_page.browser("chromium")
    page = test_page.Page(browser, "http://127.0.0.1:%d/classe.html" % server.server_address[1])
    shown, longest = [], []
    try:
        for _ in range(rounds):
            page.open()
            page.js("localStorage.clear()")
            page.js(EXERCISE, CODE if own else "", SPREAD)
            time.sleep(1.0)  # the workers started, as when a teacher opens the page and then drops
            page.js(FILES, files)
            time.sleep(0.2)
            page.js(DROP)
            page.wait(lambda: page.js("return document.body.dataset.shownMs"), timeout=120)
            rows = page.js("return [...document.querySelectorAll('#classe-table tbody tr')].map(tr => tr.cells[9].textContent)")
            assert len(rows) == FLIGHTS and set(rows) == {"v\u00e9rifi\u00e9"}, set(rows)
            assert page.js("return document.getElementById('classe-canvas').dataset.paths") == str(FLIGHTS)
            time.sleep(0.2)  # the last long task reported
            shown.append(int(page.js("return document.body.dataset.shownMs")))
            longest.append(page.js("return longest"))
    finally:
        browser.quit()
        server.shutdown()
    print("load average %.2f %.2f %.2f" % os.getloadavg())
    print("classe.html, %d flights of %d calls (%s)%s, %d rounds:" % (
        FLIGHTS, CALLS, ", ".join("%d %s" % (n, w) for w, n in sorted(outcomes.items())),
        ", each from its own start" if own else "", rounds))
    print("  drop to table and picture shown: median %d ms (fastest %d, slowest %d)" % (
        statistics.median(shown), min(shown), max(shown)))
    print("  longest main-thread task: median %.0f ms (slowest %.0f; 0 when none went over 50 ms)" % (
        statistics.median(longest), max(longest)))


if __name__ == "__main__":
    main()
