"""The window as a user sees it: the gauges and the text over the scene, the help block, the
spacecraft, planet and trail in each camera mode, scenario 0 flown to a docking, and a window
stretched beyond what the GL driver draws."""
import math
import re
import time

import harness

W = H = 800
F = 1.0 / math.tan(math.radians(22.5))  # the 45-degree perspective


def at(x, y):
    """Pixel (column, row from the top) of the overlay-plane point (x, y), 10 units before the eye."""
    return int((1.0 + F * x / 10.0) * W / 2.0), int(H - (1.0 + F * y / 10.0) * H / 2.0)


def box(x0, y0, x1, y1, margin=0):
    """Pixel box (left, top, right, bottom) of an overlay-plane rectangle, `margin` pixels inside it."""
    (left, bottom), (right, top) = at(x0, y0), at(x1, y1)
    return max(0, left + margin), top + margin, right - margin, bottom - margin


def area(b):
    return (b[2] - b[0]) * (b[3] - b[1])


def around(x, y, d):
    return max(0, x - d), max(0, y - d), min(W, x + d), min(H, y + d)


# Colours of the lit scene under its faint light, all well apart from the red text and the pure blue
# gauges.
def panel(r, g, b):  # the solar panels' blue
    return r >= 10 and g >= 25 and b >= 70 and b > 2.5 * r


def hull(r, g, b):  # the chaser's grey
    return 40 <= r <= 230 and max(r, g, b) - min(r, g, b) <= 8


def gold(r, g, b):  # the target's hull
    return r > g > b and r >= 60 and r - b > 40 and g > 0.6 * r


def planet(r, g, b):
    return r == 0 and 10 <= g <= 40 and 80 <= b <= 130


def white(r, g, b):  # the trail in the orbital plane
    return r == g == b == 255


def red(r, g, b):  # the text and the fuel bar
    return r > 120 and g < 40 and b < 40


def blue(r, g, b):  # the speed bar and the speed-limit block
    return b > 120 and r < 40 and g < 40


SCENE = (60, 100, W, 740)  # clear of the gauges at the left, the telemetry and the credits
TELEMETRY = box(-3.5, 3.2, 4.1, 4.14)
HELP = box(-1.0, -3.1, 4.1, -1.35)
MESSAGE = (at(-2.0, 3.0)[0] - 2, at(-2.0, 3.0)[1] - 16, W, at(-2.0, 3.0)[1] + 5)


def drawn(p, name):
    """A screenshot once the window shows the scene."""
    return p.screenshot_when(name, lambda shot: harness.count(shot, hull, SCENE))


def crop(image, b):
    w, _, rgb = image
    return b"".join(rgb[(y * w + b[0]) * 3 : (y * w + b[2]) * 3] for y in range(b[1], b[3]))


def test_overlay_and_views(binary):
    p = harness.Program(binary)
    try:
        p.wait_window()
        shot = drawn(p, "start")
        assert shot[:2] == (W, H), shot[:2]
        # The full fuel bar, 5 high; the speed-limit block, 0.12 high; the speed bar of the start
        # speed 0.3 of data/fo.in.
        for pred, (x0, y0, x1, y1), top, what in [
            (red, (-4.15, -3.0, -4.0, 2.0), 2.4, "fuel bar"),
            (blue, (-3.85, -3.0, -3.7, -2.88), -2.88, "speed-limit block"),
            (blue, (-4.0, -3.0, -3.85, -2.7), -2.0, "speed bar"),
        ]:
            inside = box(x0, y0, x1, y1, margin=2)
            assert harness.count(shot, pred, inside) == area(inside), what + " not whole"
            assert top == y1 or not harness.count(shot, pred, box(x0, y1, x1, top, margin=2)), what + " too tall"
        # Red telemetry at the top, the credits at the bottom, no help yet; the time runs on.
        assert harness.count(shot, red, TELEMETRY) > 1500, "no telemetry at the top"
        assert harness.count(shot, red, box(-4.0, -4.14, 4.1, -3.8)) > 500, "no credits line"
        assert harness.count(shot, red, HELP) == 0, "help shown before 'h'"
        time.sleep(0.5)
        assert crop(shot, TELEMETRY) != crop(p.screenshot("later"), TELEMETRY), "telemetry does not change"
        p.key("h")
        time.sleep(0.3)
        shot = p.screenshot("help")
        assert harness.count(shot, red, HELP) > 1000, "no help block after 'h'"
        assert harness.count(shot, red, TELEMETRY) > 1500, "telemetry gone with the help"
        p.key("h")
        time.sleep(0.3)
        assert harness.count(p.screenshot("help_off"), red, HELP) == 0, "help still shown after a second 'h'"

        # Chaser view: the chaser close in front of the eye, the target ahead in the middle, the
        # trail growing out from behind the chaser.
        shot = p.screenshot_when("chaser_view", lambda s: harness.count(s, white, (60, 400, W, 740)) > 10)
        assert harness.count(shot, panel, SCENE) > 500, "the chaser's panels do not show"
        assert harness.count(shot, hull, SCENE) > 300, "the chaser's hull does not show"
        assert harness.count(shot, gold, around(400, 400, 80)) > 20, "no target ahead"
        assert harness.count(shot, white, (60, 400, W, 740)) > 10, "no trail behind the chaser"

        # Rotating landscape view: the target in the middle, the planet's side at the upper left.
        p.key("l")
        time.sleep(0.5)
        shot = p.screenshot("rotating_view")
        assert harness.count(shot, gold, around(400, 400, 40)) > 50, "no target in the middle"
        assert harness.count(shot, planet) > 20000, "no planet"
        assert harness.count(shot, panel, SCENE) - harness.count(shot, panel, around(400, 400, 40)) > 30, "no chaser"
        assert harness.count(shot, white, SCENE) > 10, "no trail"

        # The view reset looks down on the orbital plane from +z: the chaser below the target on the
        # line of approach, the planet out of sight. The translating view, its offsets set back to 0
        # by 't', shows the same, the chaser a little farther along.
        shots = []
        for key, name in [("v", "top_view"), ("t", "translating_view")]:
            p.key(key)
            time.sleep(0.5)
            shots.append(p.screenshot(name))
            assert harness.count(shots[-1], gold, around(400, 400, 30)) > 50, name + ": no target in the middle"
            assert harness.count(shots[-1], panel, (300, 440, 500, 740)) > 20, name + ": no chaser below the target"
            assert harness.count(shots[-1], planet) == 0, name + ": the planet should be out of sight"
            assert harness.count(shots[-1], white, (390, 440, 410, 800)) > 10, name + ": no trail to the chaser"
        assert shots[0] != shots[1], "the chaser does not move"
        assert p.stdout().count('open data file "data/chasseur.obj"') == 1, "the models are read again"
    finally:
        p.close()


def test_fly_scenario_0_to_docking(binary):
    """Scenario 0 comes in at 0.3 along +y; two presses of the down arrow slow it to 0.1, under the
    docking limit of 0.12, and it drifts into the port. 'S' four times takes the pace from 8 idle
    calls per integrator call to 1, so the flight takes seconds."""
    p = harness.Program(binary)
    try:
        p.wait_window()
        drawn(p, "flight_start")
        p.key("S", "S", "S", "S")
        p.key("Down", "Down", delay=0.3)  # two separate integrator calls apart
        time.sleep(1.0)
        # The speed bar has dropped below the top of the speed-limit block.
        flight = p.screenshot("flight")
        speed_bar = box(-4.0, -3.0, -3.85, -2.88, margin=1)
        assert harness.count(flight, blue, (speed_bar[0], 0, speed_bar[2], speed_bar[1] - 1)) == 0, "too fast"
        assert harness.count(flight, blue, speed_bar) > 0, "no speed bar"

        shot = p.screenshot_when("docked", lambda s: harness.count(s, red, MESSAGE) > 300, timeout=120.0)
        # "Arrimage OK, gagn'e.    Appuyer sur 'k' pour recommencer": three words, the padding's wide
        # gap, then five words. The collision has two words before the gap, docking too fast four.
        inked = "".join("x" if any(red(*harness.pixel(shot, x, y)) for y in range(MESSAGE[1], MESSAGE[3])) else "."
                        for x in range(MESSAGE[0], MESSAGE[2]))
        gaps = [len(g) for g in re.findall(r"x(\.{4,})(?=x)", inked)]
        assert len(gaps) == 7 and gaps.index(max(gaps)) == 2, "not the docking message: %r" % inked
        # Docked, the chaser stands still: the telemetry no longer changes.
        time.sleep(0.5)
        later = p.screenshot("docked_later")
        def ink(image):  # the red text above the message
            return [red(*harness.pixel(image, x, y)) for y in range(at(0, 3.2)[1]) for x in range(W)]

        assert ink(shot) == ink(later), "the chaser still moves"
        assert harness.count(shot, gold, SCENE) > 1000, "the target is not in sight"
        assert harness.count(shot, panel, SCENE) > 200, "the chaser is not in sight"
    finally:
        p.close()


def test_window_beyond_the_driver(binary):
    """A window stretched beyond the largest size the GL driver draws is brought back within it,
    once said on standard error, and the scene is drawn again."""
    p = harness.Program(binary)
    try:
        p.wait_window()
        drawn(p, "before_huge")
        harness.run("xdotool", "windowsize", p.window, "32767", "32767")
        deadline = time.time() + 20
        while time.time() < deadline and max(p.geometry()) >= 32767:
            time.sleep(0.2)
        time.sleep(1.0)
        assert p.proc.poll() is None, "the program ended:\n" + p.stderr()
        assert p.stderr().count("beyond what the GL driver draws") == 1, p.stderr()
        assert max(p.geometry()) < 32767, p.geometry()
        harness.run("xdotool", "windowsize", p.window, str(W), str(H))
        time.sleep(0.5)
        assert harness.count(drawn(p, "after_huge"), hull, SCENE), "the scene is not drawn again"
    finally:
        p.close()


if __name__ == "__main__":
    harness.main([test_overlay_and_views, test_fly_scenario_0_to_docking, test_window_beyond_the_driver])
