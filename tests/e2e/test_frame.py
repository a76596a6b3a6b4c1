"""The scene as the running window shows it: both spacecraft lit, the planet, the trail, the camera
modes, and scenario 0 flown to a docking with the thruster keys."""
import math
import time

import harness

W = H = 800
F = 1.0 / math.tan(math.radians(22.5))  # the 45-degree perspective


# Colours of the lit scene under its faint light (all well apart from the red text and the pure blue
# gauges).
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


def red(r, g, b):  # the text
    return r > 120 and g < 40 and b < 40


def gauge_blue(r, g, b):
    return b > 120 and r < 40 and g < 40


def around(x, y, d):
    return (max(0, x - d), max(0, y - d), min(W, x + d), min(H, y + d))


def overlay(x, y):
    """Pixel (column, row from the top) of the overlay-plane point (x, y)."""
    return int((1.0 + F * x / 10.0) * W / 2.0), int(H - (1.0 + F * y / 10.0) * H / 2.0)


SCENE = (60, 100, W, 740)  # clear of the gauges at the left, the telemetry and the credits
MESSAGE = (overlay(-2.0, 3.0)[0] - 2, overlay(-2.0, 3.0)[1] - 16, W, overlay(-2.0, 3.0)[1] + 5)
SPEED_BAR = (overlay(-4.0, 0)[0] + 1, 0, overlay(-3.85, 0)[0] - 1, 0)


def drawn(p, name):
    """A screenshot once the window shows the scene."""
    return p.screenshot_when(name, lambda shot: harness.count(shot, hull, SCENE))


def test_views(binary):
    p = harness.Program(binary)
    try:
        p.wait_window()
        # Chaser view: the chaser close in front of the eye, the target at a distance ahead, almost
        # in the middle, the trail behind the chaser.
        drawn(p, "frame_chaser_view")
        # The trail grows out from behind the chaser's nozzle after a few seconds.
        shot = p.screenshot_when("frame_chaser_view", lambda s: harness.count(s, white, (60, 400, W, 740)) > 10)
        assert harness.count(shot, panel, SCENE) > 500, "the chaser's panels do not show"
        assert harness.count(shot, hull, SCENE) > 300, "the chaser's hull does not show"
        assert harness.count(shot, gold, around(400, 400, 80)) > 20, "no target ahead"
        assert harness.count(shot, white, (60, 400, W, 740)) > 10, "no trail behind the chaser"

        # Rotating landscape view: the target at the origin, in the middle; the planet's side at the
        # upper left; the chaser away from the middle.
        p.key("l")
        time.sleep(0.5)
        shot = p.screenshot("frame_rotating_view")
        assert harness.count(shot, gold, around(400, 400, 40)) > 50, "no target in the middle"
        assert harness.count(shot, planet) > 20000, "no planet"
        chaser = harness.count(shot, panel, SCENE) - harness.count(shot, panel, around(400, 400, 40))
        assert chaser > 30, "no chaser"
        assert harness.count(shot, white, SCENE) > 10, "no trail"

        # The view reset looks down on the orbital plane from +z: the target in the middle, the chaser
        # below it on the line of approach, the planet out of sight at the left.
        p.key("v")
        time.sleep(0.5)
        top = p.screenshot("frame_top_view")
        assert harness.count(top, gold, around(400, 400, 30)) > 50, "no target in the middle"
        assert harness.count(top, panel, (300, 440, 500, 740)) > 20, "no chaser below the target"
        assert harness.count(top, planet) == 0, "the planet should be out of sight"
        assert harness.count(top, white, (390, 440, 410, 800)) > 10, "no trail along the line of approach"

        # Translating view, shifted by the mouse's offsets, which 't' sets back to 0: the same
        # picture, the chaser a little farther along.
        p.key("t")
        time.sleep(0.5)
        shot = p.screenshot("frame_translating_view")
        assert harness.count(shot, gold, around(400, 400, 30)) > 50, "no target in the middle"
        assert harness.count(shot, panel, (300, 440, 500, 740)) > 20, "no chaser below the target"
        assert shot != top, "the chaser does not move"
    finally:
        p.close()


def words(shot, box):
    """The runs of columns holding red pixels in box, split where 4 or more empty columns come."""
    w, _, rgb = shot
    x0, y0, x1, y1 = box
    inked = []
    for x in range(x0, x1):
        inked.append(any(red(*rgb[(y * w + x) * 3 : (y * w + x) * 3 + 3]) for y in range(y0, y1)))
    runs, start, gap = [], None, 0
    for i, on in enumerate(inked):
        if on:
            if start is None:
                start = i
            gap = 0
            end = i
        elif start is not None:
            gap += 1
            if gap >= 4:
                runs.append((x0 + start, x0 + end + 1))
                start = None
    if start is not None:
        runs.append((x0 + start, x0 + end + 1))
    return runs


def test_fly_scenario_0_to_docking(binary):
    """Scenario 0 comes in at 0.3 along +y; two presses of the down arrow slow it to 0.1, under the
    docking limit of 0.12, and it drifts into the port. 'S' four times takes the pace from 8 idle
    calls per integrator call to 1, so the flight takes seconds."""
    p = harness.Program(binary)
    try:
        p.wait_window()
        drawn(p, "frame_flight_start")
        p.key("S", "S", "S", "S")
        p.key("Down", "Down", delay=0.3)  # two separate integrator calls apart
        time.sleep(1.0)
        flight = p.screenshot("frame_flight")
        # The speed bar has dropped below the top of the speed-limit block (0.12).
        assert harness.count(flight, gauge_blue, (SPEED_BAR[0], 0, SPEED_BAR[2], overlay(0, -2.88)[1] - 1)) == 0
        assert harness.count(flight, gauge_blue, (SPEED_BAR[0], overlay(0, -2.92)[1], SPEED_BAR[2], overlay(0, -3.0)[1] - 1)) > 0
        assert harness.count(flight, white, SCENE) > 10, "no trail"

        shot = p.screenshot_when("frame_docked", lambda s: harness.count(s, red, MESSAGE) > 300, timeout=120.0)
        assert harness.count(shot, red, MESSAGE) > 300, "no outcome message"
        # "Arrimage OK, gagn'e.    Appuyer sur 'k' pour recommencer": three words, the wide gap of the
        # padding, then five words. "collision, perdu." has two words before the gap, "Arrimage OK,
        # trop vite." four.
        runs = words(shot, MESSAGE)
        gaps = [b[0] - a[1] for a, b in zip(runs, runs[1:])]
        assert len(runs) == 8 and gaps.index(max(gaps)) == 2, "not the docking message: %r" % runs
        # Docked, the chaser stands still: the telemetry's text no longer changes.
        time.sleep(0.5)
        later = p.screenshot("frame_docked_later")
        telemetry = (0, 0, W, overlay(0, 3.2)[1])
        assert harness.count(shot, red, telemetry) > 1500
        assert text(shot, telemetry) == text(later, telemetry), "the chaser still moves"
        assert harness.count(shot, gold, SCENE) > 1000, "the target is not in sight"
        assert harness.count(shot, panel, SCENE) > 200, "the chaser is not in sight"
        p.key("l")
        time.sleep(0.5)
        shot = p.screenshot("frame_docked_landscape")
        assert harness.count(shot, gold, around(400, 400, 60)) > 50, "no target in the middle"
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


def text(image, b):
    """Where the red text lies in box b (the trail may cross the box and change behind it)."""
    w, _, rgb = image
    return [red(*rgb[(y * w + x) * 3 : (y * w + x) * 3 + 3]) for y in range(b[1], b[3]) for x in range(b[0], b[2])]


if __name__ == "__main__":
    harness.main([test_views, test_fly_scenario_0_to_docking, test_window_beyond_the_driver])
