"""The class view (classe.html) in Chromium, driven as a teacher would: a handful of flight files made by the
planner and the replay themselves (docked, too fast, collided, an edited `fin`, a start not its name's,
another scenario, a broken file) dropped on it, with the exercise set to scenario 2 and starts of their
own; their rows, their checks, the CSV and the paths of the picture, names shown and hidden. Then a
student's own start, drawn on the simulator's page from the class's link, against the planner's.
Usage, from the repository's root (for build/rendezvous-plan and build/rendezvous-replay):
test_classe.py SITE_DIR [TEST...]."""
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse

from test_page import FRENCH_SHOWN, Page, in_chromium

PLAN, REPLAY = os.path.join("build", "rendezvous-plan"), os.path.join("build", "rendezvous-replay")
CODE, SPREAD = "orbite", "2"


def planned(name, folder):
    """The planner's own flight from the own start of `name` in scenario 2, as a flight file's text."""
    path = os.path.join(folder, "plan.vol")
    subprocess.run([PLAN, "--name", name, "--code", CODE, "--spread", SPREAD, "--vol", path, "data/fo2.in"],
                   check=True, capture_output=True)
    return open(path, encoding="utf-8").read()


def sealed(text, folder):
    """A flight written or edited by hand, sealed by rendezvous-replay --write with its replay's end."""
    written, out = os.path.join(folder, "hand.vol"), os.path.join(folder, "sealed.vol")
    with open(written, "w", encoding="utf-8") as f:
        f.write(text)
    subprocess.run([REPLAY, "--write", out, written], check=True, capture_output=True)
    return open(out, encoding="utf-8").read()


def pressed(flight, key, count, back, folder):
    """The flight with `count` presses of `key` added 5 calls apart from `back` calls before its end,
    flown on for 400 more calls."""
    lines = flight.splitlines()
    calls = int(lines[-1].split()[1])
    events = [l for l in lines if re.match(r"[0-9.]+ \d+ ", l)]
    head = [l for l in lines[:-1] if l not in events]
    events += ["0.000 %d %s 1" % (calls - back + 5 * i, key) for i in range(count)]
    events.sort(key=lambda l: int(l.split()[1]))
    return sealed("\n".join(head + events + ["fin %d" % (calls + 400)]) + "\n", folder)


def class_files():
    """The class: file name, text, and the row expected: name, outcome code, check."""
    folder = tempfile.mkdtemp()
    elise = planned("\u00c9lise Dupont", folder)
    fin = elise.splitlines()[-1]
    edited = elise.replace(fin, fin.rsplit(" ", 1)[0] + " 99")  # a better reserve than flown
    five = os.path.join(folder, "five.vol")
    subprocess.run([PLAN, "--vol", five, "data/fo5.in"], check=True, capture_output=True)
    return [
        ("vol-elise.vol", elise, ("\u00c9lise Dupont", 3, "v\u00e9rifi\u00e9")),
        # A name a spreadsheet would take for a formula; read as a name, it is Paul Martin's.
        ("vol-paul.vol", pressed(planned("=Paul Martin", folder), "Up", 2, 40, folder), ("=Paul Martin", 2, "v\u00e9rifi\u00e9")),
        ("vol-ana.vol", pressed(planned("Ana Silva", folder), "Left", 4, 80, folder), ("Ana Silva", 1, "v\u00e9rifi\u00e9")),
        ("vol-li.vol", edited.replace("\u00c9lise Dupont", "Li Wei"), ("Li Wei", 3, "falsifi\u00e9")),
        ("vol-sam.vol", sealed(elise.replace("\u00c9lise Dupont", "Sam Okafor"), folder), ("Sam Okafor", 3, "d\u00e9part diff\u00e9rent")),
        ("vol-cinq.vol", open(five, encoding="utf-8").read(), ("vol-cinq.vol", 3, "autre sc\u00e9nario")),
        ("vol-casse.vol", elise.replace("Down 1", "Sideways 1", 1), ("vol-casse.vol", None, "illisible")),
    ]


DROP = """const files = new DataTransfer();
    for (const [name, text] of arguments[0]) files.items.add(new File([text], name));
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: files, bubbles: true}))"""
ROWS = """return [...document.querySelectorAll('#classe-table tbody tr')].map(tr =>
    [...tr.cells].map(td => td.textContent))"""


def test_class(page):
    page.open("classe.html")
    page.js("localStorage.clear()")
    page.open("classe.html")
    page.js("const s = document.getElementById('classe-scenario'); s.value = '2'; s.dispatchEvent(new Event('change'));"
            "for (const [id, v] of [['classe-code', arguments[0]], ['classe-spread', arguments[1]]]) {"
            "  const e = document.getElementById(id); e.value = v; e.dispatchEvent(new Event('input')); }", CODE, SPREAD)
    page.wait(lambda: "code=" + CODE in page.js("return document.getElementById('classe-link').value"))
    files = class_files()
    page.js(DROP, [[name, text] for name, text, _ in files])
    page.wait(lambda: page.js("return document.body.dataset.shownMs"), timeout=30)
    rows = {r[0]: r for r in page.js(ROWS)}
    assert len(rows) == len(files), rows
    outcomes = page.js("return [0, 1, 2, 3, 4].map(n => Words.t('replay.outcome.' + n))")
    for name, text, (shown, coll, check) in files:
        row = rows[shown]
        assert row[-1 if coll is None else -2] == check, (name, row)
        if coll is None:
            # A file that is no flight: the line at fault and why, in the words of the simulator's page.
            line = text.splitlines().index(next(l for l in text.splitlines() if "Sideways" in l)) + 1
            assert row[1].startswith("ligne %d : touche inconnue" % line), row
        else:
            assert row[2] == outcomes[coll], (name, row)
    # Élise flew the planner's own plan from her start: her reserve used is « conseil », a score of 100.
    elise = rows["\u00c9lise Dupont"]
    assert elise[5] == elise[7] and elise[8] == "100" and re.match(r"^\d+,\d{3}$", elise[3]), elise
    # One path a flight, none for the broken file; a row chosen brings its path forward, in the saved
    # picture too.
    assert page.js("return document.getElementById('classe-canvas').dataset.paths") == str(len(files) - 1)
    page.js("[...document.querySelectorAll('#classe-table tbody tr')].find(tr => tr.cells[0].textContent == arguments[0])"
            ".click()", "=Paul Martin")
    page.wait(lambda: page.js("return document.getElementById('classe-canvas').dataset.front") != "")

    (_, sheet), = page.downloads("classe-export", [".csv"])
    lines = sheet.splitlines()
    assert lines[0].startswith("\ufeffNom;Sc\u00e9nario;Issue;Dur\u00e9e;") and len(lines) == len(files) + 1, lines
    paul = next(l for l in lines if "Paul Martin" in l)
    assert paul.startswith('"\'=Paul Martin";') and re.search(r";\d+,\d+;", paul), paul

    # Sorted by score, best first at the second click; the files that are no flight last.
    page.js("const b = document.querySelector('[data-sort=score]'); b.click(); b.click()")
    page.wait(lambda: [r[8] for r in page.js(ROWS)[:-1]] == sorted((r[8] for r in page.js(ROWS)[:-1]), key=int, reverse=True))
    assert len(page.js(ROWS)[-1]) == 3
    # The picture saved, one path a flight; a row's flight opened in the simulator's page by its link.
    (_, svg), = page.downloads("classe-save", [".svg"])
    paths = re.findall(r"<polyline [^>]*stroke-width=\"([0-9.]+)\"[^>]*><title>([^<]*)</title>", svg)
    assert len(paths) == len(files) - 1 and paths[-1] == ("3", "=Paul Martin : arrim\u00e9 trop vite"), paths
    main = page.d.current_window_handle
    page.js("[...document.querySelectorAll('#classe-table tbody tr')].find(tr => tr.cells[0].textContent == arguments[0])"
            ".querySelector('button').click()", "Ana Silva")
    page.wait(lambda: len(page.d.window_handles) == 2)
    page.d.switch_to.window([h for h in page.d.window_handles if h != main][0])
    url = page.d.current_url
    page.d.close()
    page.d.switch_to.window(main)
    assert "/index.html?lang=fr#vol=" in url and urllib.parse.unquote(url.split("#vol=")[1]) == files[2][1], url[:200]

    # In English, names hidden: « Student N » in the table and on the picture's paths, none of the real
    # names, and nothing French.
    page.js("Words.set('en')")
    page.click("classe-anonymous")
    page.wait(lambda: page.js("return document.getElementById('classe-status').textContent") == "%d flights." % len(files))
    page.wait(lambda: all(r[0].startswith("Student ") for r in page.js(ROWS)))
    (_, svg), = page.downloads("classe-save", [".svg"])
    shown = page.js("return document.getElementById('classe-table').textContent") + svg
    for _, _, (name, _, _) in files:
        assert name not in shown, name
    assert sorted(int(r[0].split()[1]) for r in page.js(ROWS)) == list(range(1, len(files) + 1))
    assert page.js(FRENCH_SHOWN) == []
    page.js("Words.set('fr')")


def test_offline(page):
    # After a first visit, the class view opens and replays with the network gone.
    page.open("classe.html")
    page.wait(lambda: page.js("return navigator.serviceWorker.controller !== null"))
    flight = planned("\u00c9lise Dupont", tempfile.mkdtemp())
    page.offline(True)
    try:
        page.open("classe.html")
        page.js(DROP, [["vol.vol", flight]])
        page.wait(lambda: page.js("return document.body.dataset.shownMs"), timeout=30)
        assert page.js(ROWS)[0][-2] == "v\u00e9rifi\u00e9", page.js(ROWS)
    finally:
        page.offline(False)


def test_own_start(page):
    # The class's link on the simulator's page: the name asked, the start drawn by the program's C++ is
    # the planner's from that name, and a flight saved from it carries the name and the code word.
    head = lambda text: [float(re.search(r"^%s=(\S+)" % k, text, re.M).group(1)) for k in ("X0", "Y0")]
    expected = head(planned("Dupont, \u00c9lise", tempfile.mkdtemp()))
    page.open("index.html?cas=2&ecart=%s&code=%s" % (SPREAD, CODE))
    page.printed('open data file "data/cible.obj"')
    page.js("document.getElementById('own-name').value = arguments[0]", "\u00c9lise Dupont")
    page.wait(lambda: not page.js("return document.getElementById('own-go').disabled"))
    page.click("own-go")
    page.wait(lambda: page.js("return document.getElementById('deck-pilot').readOnly"), timeout=30)
    start = page.js("return [...new Float64Array(Module.HEAPF64.buffer, Module._deck_state(), 30)].slice(19, 21)")
    assert start == expected, (start, expected)
    flight = page.js("return Module.ccall('deck_flight', 'string', ['string', 'string', 'string'],"
                     "[document.getElementById('deck-pilot').value, Scenario.source(), OwnStart.code()])")
    assert "nom: \u00c9lise Dupont\ncode: %s\n" % CODE in flight, flight


def main():
    tests = [t for t in (test_class, test_offline, test_own_start) if len(sys.argv) <= 2 or t.__name__ in sys.argv[2:]]
    in_chromium(os.path.abspath(sys.argv[1]), tests, Page)


if __name__ == "__main__":
    main()
