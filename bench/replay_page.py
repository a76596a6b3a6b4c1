"""« Aller à la fin » in the page, timed as a person pays it: a flight of 100 time units (2,000
integrator calls of scenario 2 with its ten sub-steps each) loaded by « Revoir un vol », then the
button clicked; the time from the click to the end shown, in headless Chromium, several rounds, the
median reported. The flight file is written by hand and sealed by build/rendezvous-replay --write.

Usage, from the repository's root after `make web`: /usr/bin/python3 bench/replay_page.py build-web/site [ROUNDS]"""
import functools
import http.server
import os
import statistics
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import test_page  # noqa: E402  (the browser and its page)

# Scenario 2 at rest 8.5 before the port, one pulse outwards: the chaser hops and drifts back, an orbit
# after another, and never meets the target in 100 time units.
FLIGHT = "# vol rendez-vous 1\n" + open("data/fo2.in").read() + "0.000 1 Right 1\nfin 2000\n"


def main():
    site, rounds = os.path.abspath(sys.argv[1]), int(sys.argv[2]) if len(sys.argv) > 2 else 7
    folder = tempfile.mkdtemp()
    hand, sealed = os.path.join(folder, "main.vol"), os.path.join(folder, "scellé.vol")
    with open(hand, "w") as f:
        f.write(FLIGHT)
    subprocess.run(["build/rendezvous-replay", "--write", sealed, hand], check=True, capture_output=True)
    text = open(sealed, encoding="utf-8").read()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(test_page.Quiet, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    browser = test_page.browser("chromium")
    page = test_page.Page(browser, "http://127.0.0.1:%d/index.html" % server.server_address[1])
    page.printed('open data file "data/cible.obj"')
    times = []
    try:
        for _ in range(rounds):
            page.drop("vol.vol", text)
            page.wait(lambda: page.js("return JSON.parse(Module.UTF8ToString(Module._replay_state())).replaying"))
            ms = page.js("""const t0 = performance.now(); document.getElementById('replay-end').click();
                            const m = document.getElementById('replay-message');
                            return [performance.now() - t0, m.dataset.same, JSON.parse(Module.UTF8ToString(Module._replay_state())).calls]""")
            assert ms[1] == "true" and ms[2] == 2000, ms
            times.append(ms[0])
    finally:
        browser.quit()
        server.shutdown()
    print("« Aller à la fin », 2000 calls (100 time units), %d rounds: median %.1f ms (fastest %.1f, slowest %.1f)"
          % (rounds, statistics.median(times), min(times), max(times)))


if __name__ == "__main__":
    main()
