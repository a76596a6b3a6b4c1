"""The gauges and the text over the scene, as the running window shows them."""
import math
import time

import harness

W = H = 800  # the window at start


def at(x, y):
    """Screenshot pixel (column, row from the top) of the overlay-plane point (x, y): the plane lies
    10 units before the eye under a 45-degree vertical field of view."""
    f = 1.0 / math.tan(math.radians(22.5))
    aspect = W / H
    return (1.0 + f * x / (aspect * 10.0)) * W / 2.0, H - (1.0 + f * y / 10.0) * H / 2.0


def box(x0, y0, x1, y1, margin=2):
    """Pixel box (left, top, right, bottom) inside the overlay-plane rectangle, `margin` pixels in."""
    left, bottom = at(x0, y0)
    right, top = at(x1, y1)
    return (max(0, int(left) + margin), int(top) + margin, int(right) - margin, int(bottom) - margin)


def area(b):
    return (b[2] - b[0]) * (b[3] - b[1])


def red(r, g, b):
    return r > 120 and g < 40 and b < 40


def blue(r, g, b):
    return b > 120 and r < 40 and g < 40


TELEMETRY = box(-3.5, 3.2, 4.1, 4.14, margin=0)
HELP = box(-1.0, -3.1, 4.1, -1.35, margin=0)


def drawn(p, name):
    """A screenshot once the window shows its first frame."""
    return p.screenshot_when(name, lambda shot: harness.count(shot, lambda r, g, b: r or g or b, (0, 0, 40, H)))


def test_gauges_and_telemetry(binary):
    p = harness.Program(binary)
    try:
        p.wait_window()
        shot = drawn(p, "overlay_start")
        assert (shot[0], shot[1]) == (W, H), shot[:2]
        # The full fuel bar: red from -3.0 to 2.0, at the left edge.
        fuel = box(-4.15, -3.0, -4.0, 2.0)
        assert harness.count(shot, red, fuel) == area(fuel), "fuel bar not all red"
        above = box(-4.15, 2.0, -4.0, 2.4)
        assert harness.count(shot, red, above) == 0, "fuel bar taller than a full reserve"
        # The speed-limit block, 0.12 high, and the speed bar of the start speed 0.3 of data/fo.in.
        limit = box(-3.85, -3.0, -3.7, -2.88, margin=1)
        assert harness.count(shot, blue, limit) == area(limit), "no blue speed-limit block"
        speed = box(-4.0, -3.0, -3.85, -2.7)
        assert harness.count(shot, blue, speed) == area(speed), "no blue speed bar"
        over = box(-4.0, -2.6, -3.7, -2.0)
        assert harness.count(shot, blue, over) == 0, "blue above the speed bar"
        # Red telemetry at the top, red credits at the bottom, no help.
        assert harness.count(shot, red, TELEMETRY) > 1500, "no telemetry at the top"
        credits = box(-4.0, -4.14, 4.1, -3.8, margin=0)
        assert harness.count(shot, red, credits) > 500, "no credits line"
        assert harness.count(shot, red, HELP) == 0, "help shown before 'h'"

        # The telemetry follows the simulation: its time advances from one frame to the next.
        time.sleep(0.5)
        later = p.screenshot("overlay_later")
        assert crop(shot, TELEMETRY) != crop(later, TELEMETRY), "telemetry does not change"
    finally:
        p.close()


def crop(image, b):
    w, _, rgb = image
    return b"".join(rgb[(y * w + b[0]) * 3 : (y * w + b[2]) * 3] for y in range(b[1], b[3]))


def test_help_after_h(binary):
    p = harness.Program(binary)
    try:
        p.wait_window()
        drawn(p, "overlay_help_before")
        p.key("h")
        time.sleep(0.3)
        shot = p.screenshot("overlay_help")
        if harness.count(shot, red, HELP) == 0 and not keyboard_wired(p):
            print("SKIP test_help_after_h: the keyboard handler does not answer yet")
            return
        assert harness.count(shot, red, HELP) > 1000, "no help block after 'h'"
        assert harness.count(shot, red, TELEMETRY) > 1500, "telemetry gone with the help"
        p.key("h")
        time.sleep(0.3)
        shot = p.screenshot("overlay_help_off")
        assert harness.count(shot, red, HELP) == 0, "help still shown after a second 'h'"
    finally:
        p.close()


def keyboard_wired(p):
    """Whether 'p' pauses the run: the telemetry then stands still between two frames."""
    p.key("p")
    time.sleep(0.3)
    first = crop(p.screenshot("overlay_pause_1"), TELEMETRY)
    time.sleep(0.5)
    second = crop(p.screenshot("overlay_pause_2"), TELEMETRY)
    return first == second


if __name__ == "__main__":
    harness.main([test_gauges_and_telemetry, test_help_after_h])
