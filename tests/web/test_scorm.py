"""The package for learning platforms that make scorm builds: its manifest lists exactly the files it
holds, and, hosted as a platform hosts it (scorm-again's SCORM 1.2 runtime in the parent page, the
package's launch page in a frame), in headless Chromium: a docking of scenario 0 flown by keys passes
with the deck's score and keeps its flight, which replays to its own end; a collision after it lowers
nothing; the attempt opened again offers the kept flight (compressed, as a long one is kept); a
runtime that refuses every value leaves the flight going with one sentence; the page outside a
platform says nothing of one; and a class's link with a code word grades the own start of the
platform's name alone. Usage, from the repository's root (for build/rendezvous-replay):
test_scorm.py ZIP."""
import base64
import gzip
import json
import os
import re
import shutil
import sys
import tempfile
import time
import urllib.parse
import xml.etree.ElementTree as ET
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_page import Page, in_chromium, replay  # noqa: E402  (the page's driver)

HERE = os.path.dirname(os.path.abspath(__file__))
RUNTIME = os.path.join(HERE, "node_modules", "scorm-again", "dist", "scorm12.js")
NS = {"cp": "http://www.imsproject.org/xsd/imscp_rootv1p1p2", "adlcp": "http://www.adlnet.org/xsd/adlcp_rootv1p2"}
NAME = "Dupont, \u00c9lise"  # as platforms write a student's name


def check_manifest(package):
    """imsmanifest.xml at the root, one SCO launched at index.html, and every other file listed once."""
    with zipfile.ZipFile(package) as z:
        held = [n for n in z.namelist() if not n.endswith("/")]
        root = ET.fromstring(z.read("imsmanifest.xml"))
    assert root.findtext("cp:metadata/cp:schemaversion", namespaces=NS) == "1.2"
    (sco,) = root.findall("cp:resources/cp:resource", NS)
    assert sco.get("href") == "index.html" and sco.get("{%s}scormtype" % NS["adlcp"]) == "sco", sco.attrib
    listed = [f.get("href") for f in sco.findall("cp:file", NS)]
    assert sorted(listed) == sorted(n for n in held if n != "imsmanifest.xml"), (listed, held)
    assert "sw.js" not in held and "index.html" in held


class Platform(Page):
    """The platform page, and the package's page in its frame, which the driver's calls reach."""

    def __init__(self, browser, url):
        self.b, self.d, self.url = browser, browser.d, url  # opened by start()

    def open(self, suffix=""):
        super().open(suffix)
        self.d.switch_to.frame("sco")

    def start(self, **given):
        """The package launched, the platform holding `given` (cmi, refuse, launch), and the program
        running."""
        self.open("#" + urllib.parse.quote(json.dumps(given)))
        self.printed('open data file "data/cible.obj"')

    def cmi(self):
        """What the runtime holds now."""
        return self.js("return JSON.parse(JSON.stringify(window.parent.API.cmi))")

    def text(self, element_id):
        return self.js("const e = document.getElementById(arguments[0]); return e.hidden ? null : e.textContent",
                       element_id)

    def number(self, element_id):
        return float(self.text(element_id))

    def outcome(self, timeout=60):
        self.wait(lambda: self.text("deck-outcome"), timeout)
        return self.js("return Module._scorm_outcome()")

    def calls(self):
        return self.js("return JSON.parse(Module.UTF8ToString(Module._replay_state())).calls")

    def press(self, key, times=1):
        """Presses of a thruster key, each taken by an integrator call of its own (one pulse each): the
        next once a call has been made after the press was seen."""
        for _ in range(times):
            self.keys_now(key)
            seen, end = self.calls(), time.time() + 10
            while self.calls() == seen:
                assert time.time() < end, "the program took no call"

    def fly(self, up):
        """Scenario 0, closing at 0.3, at the quickest pace: `up` pulses of 0.1 towards the target."""
        self.keys("S", "S", "S", "S")
        self.press("ArrowUp", up)


def test_docked_then_collided(page):
    page.start(cmi={"core": {"student_name": NAME}})
    core = page.cmi()["core"]
    assert core["lesson_status"] == "incomplete" and core["score"]["raw"] == "", core
    assert page.js("const f = document.getElementById('deck-pilot'); return [f.value, f.readOnly]") == [NAME, True]
    # Fast to 1 from the port, then pulses back to 0.1, under the docking limit.
    page.fly(10)
    page.wait(lambda: page.number("deck-y") > -2.5, 60)
    page.press("ArrowDown", 12)
    assert page.outcome() == 3, page.text("deck-outcome")
    page.wait(lambda: page.cmi()["core"]["lesson_status"] == "passed")
    cmi = page.cmi()
    score = page.js("return JSON.parse(Module.UTF8ToString(Module._deck_score())).score")
    assert cmi["core"]["score"] == {"raw": str(score), "min": "0", "max": "100"} and score > 60, (cmi, score)
    assert re.fullmatch(r"\d{2,4}:\d\d:\d\d(\.\d\d?)?", cmi["core"]["session_time"]), cmi["core"]
    flight = cmi["suspend_data"]
    assert flight.startswith("# vol rendez-vous 1\n") and "\nnom: %s\n" % NAME in flight and len(flight) <= 4096
    status, lines, errors = replay(flight)
    assert status == 0 and lines[0].endswith(" conforme") and " arrim" in lines[0], (lines, errors)
    # A collision next: reported (a new session time) and lowering nothing.
    page.keys("k")
    page.fly(10)
    page.wait(lambda: page.number("deck-y") > -5.5, 60)
    page.press("ArrowRight")
    page.wait(lambda: page.number("deck-x") > 0.2, 30)
    page.press("ArrowLeft")
    assert page.outcome() == 1, page.text("deck-outcome")
    page.wait(lambda: page.cmi()["core"]["session_time"] != cmi["core"]["session_time"])
    after = page.cmi()
    assert after["core"]["lesson_status"] == "passed" and after["core"]["score"] == cmi["core"]["score"] and \
        after["suspend_data"] == flight, after
    KEPT.append(after)


KEPT = []  # the runtime's values after test_docked_then_collided, for the attempt opened again


def test_opened_again(page):
    # The attempt taken up again: its status stays, and its kept flight replays to its own end. It is
    # given compressed as the page keeps a flight too long for the platform (gzip, base64, after its
    # marker), and as the help page tells a teacher to read one.
    assert KEPT, "no attempt kept by test_docked_then_collided"
    core = KEPT[0]["core"]
    packed = "vol-gzip-base64:" + base64.b64encode(gzip.compress(KEPT[0]["suspend_data"].encode())).decode()
    page.start(cmi={"core": {"student_name": NAME, "lesson_status": "passed", "score": core["score"]},
                    "suspend_data": packed})
    page.wait(lambda: page.text("scorm-kept"))
    assert core["score"]["raw"] in page.text("scorm-kept")
    page.click("scorm-kept")
    page.wait(lambda: page.js("return JSON.parse(Module.UTF8ToString(Module._replay_state())).replaying"))
    page.click("replay-end")
    page.wait(lambda: page.js("return document.getElementById('replay-message').dataset.same") == "true")
    assert page.cmi()["core"]["lesson_status"] == "passed"
    # Left, as the platform leaves it: an attempt to take up again, and the session finished.
    page.d.switch_to.default_content()
    page.js("document.getElementById('sco').src = 'about:blank'")
    page.wait(lambda: page.js("return API.cmi.core.toJSON().exit") == "suspend")
    assert page.js("return API.isTerminated()")


def test_refused_and_outside(page):
    # A runtime that takes nothing: one sentence under the square, and the flight flies on to its end.
    page.start(refuse=True)
    said = page.js("return Words.t('scorm.not-recorded')")
    page.wait(lambda: page.text("scorm-message") == said)
    page.fly(10)
    assert page.outcome() in (1, 2)
    page.keys("k")
    page.wait(lambda: not page.text("deck-outcome"))
    assert page.text("scorm-message") == said
    # Outside a platform: no sentence, and the name is the person's to write.
    page.b.goto(page.url.replace("platform.html", "package/index.html"))
    page.printed('open data file "data/cible.obj"')
    assert page.text("scorm-message") is None
    assert page.js("return document.getElementById('deck-pilot').readOnly") is False


def test_own_start(page):
    # Launched on a class's link with a code word: the start is drawn at once from the platform's name,
    # and a flight from it is graded as that student's, not as another's.
    page.start(cmi={"core": {"student_name": NAME}}, launch="?ecart=2&code=orbite")
    page.wait(lambda: page.js("return OwnStart.code()") == "orbite", 30)
    assert page.js("const f = document.getElementById('own-name'); return [f.value, f.readOnly]") == [NAME, True]
    graded = "return Module.ccall('scorm_graded', 'number', ['string'], [arguments[0]])"
    assert page.js(graded, NAME) == 1 and page.js(graded, "Paul Martin") == 0


TESTS = [test_docked_then_collided, test_opened_again, test_refused_and_outside, test_own_start]


def main():
    package = sys.argv[1]
    check_manifest(package)
    print("PASS manifest")
    served = tempfile.mkdtemp()
    with zipfile.ZipFile(package) as z:
        z.extractall(os.path.join(served, "package"))
    shutil.copy(os.path.join(HERE, "platform.html"), served)
    shutil.copy(RUNTIME, served)
    in_chromium(served, TESTS, lambda browser, address: Platform(browser, address + "platform.html"))


if __name__ == "__main__":
    main()
