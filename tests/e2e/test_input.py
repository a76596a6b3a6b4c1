"""Keys and right-button menus as a user drives them: quitting, resets, scenarios, the help page."""
import os
import shutil
import stat
import tempfile
import time

import harness

RESET = "fichier de donnees:   %s!   \n"


def started(binary, env=None):
    p = harness.Program(binary, env=env)
    p.wait_window()
    p.wait_output(': open data file "data/cible.obj".\n')  # the first frame is drawn
    return p


def test_quitting(binary):
    """Esc and Q say goodbye and end the run, q does nothing, the menu's exit ends it silently."""
    for keys, entry, goodbye in [(["Escape"], None, True), (["q", "Q"], None, True), ([], "[Esc] Exit", False)]:
        p = started(binary)
        try:
            before = p.stdout()
            for k in keys:
                p.key(k, check=False)
                time.sleep(0.3)
                assert k != "q" or p.proc.poll() is None, "q must not quit"
            if entry:
                p.choose(entry)
            assert p.wait_exit() == 0
            assert p.stdout() == before + "kenavo ! \n" * goodbye, p.stdout()[len(before) :]
        finally:
            p.close()


def test_menu_resets_and_scenarios(binary):
    p = started(binary)
    try:
        # Entries 3 and 4 of the submenu look alike and read different files. The run reset re-reads
        # the scenario now chosen; the complete reset goes back to the default.
        p.choose("cas initiaux ", 3)
        p.choose("cas initiaux ", 4)
        p.choose("[k] raz Kul en cours")
        p.choose(harness.MAIN_MENU[0])
        p.wait_output("\n3\n" + RESET % "data/fo3.in" + "4\n" + (RESET % "data/fo4.in") * 2 + RESET % "data/fo.in")
        assert p.proc.poll() is None
    finally:
        p.close()


def test_help_opens_the_page_in_the_background(binary):
    """h and the menu's help entry start the desktop opener on data/aide.html, each time they switch
    the help on; a slow opener does not hold the program up, a finished one is collected at once
    while nobody touches anything, and with no opener nothing breaks."""
    tools, empty = tempfile.mkdtemp(), tempfile.mkdtemp()
    log = os.path.join(tools, "opened")
    with open(os.path.join(tools, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\necho "$@" >> "%s"\nsleep 1\n' % log)
    os.chmod(os.path.join(tools, "xdg-open"), stat.S_IRWXU)
    page = os.path.join(os.getcwd(), "data", "aide.html")
    assert os.path.isfile(page)
    for path in [tools + os.pathsep + os.environ["PATH"], empty]:
        p = started(binary, env=dict(os.environ, PATH=path))
        try:
            p.key("h")  # on: opens
            p.key("h")  # off
            p.choose("[h] aide")  # on again: opens
            p.key("p")  # paused, and no key after this: the openers must still be collected
            if path != empty:
                time.sleep(2.5)  # each opener ends 1 s after it started; a second more to collect it
                assert open(log).read() == (page + "\n") * 2, open(log).read()
                states = harness.run("ps", "--ppid", str(p.proc.pid), "-o", "stat=", check=False).split()
                assert not [s for s in states if s.startswith("Z")], "zombie openers: %r" % states
            p.key("Escape", check=False)
            assert p.wait_exit(timeout=3) == 0
        finally:
            p.close()
    shutil.rmtree(tools)
    shutil.rmtree(empty)


if __name__ == "__main__":
    harness.main([test_quitting, test_menu_resets_and_scenarios, test_help_opens_the_page_in_the_background])
