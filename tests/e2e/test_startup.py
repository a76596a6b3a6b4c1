"""Start-up as a user sees it: the console banner, then the window."""
import os
import re
import shutil
import subprocess
import tempfile
import time

import harness

BANNER_START = "on est ici: argv[0]-> "
FIRST_RESET = "fichier de donnees:   data/fo.in!   \n"


def test_banner_then_window(binary):
    p = harness.Program(binary)
    try:
        p.wait_window()
        p.wait_output(FIRST_RESET)
        assert p.title() == harness.TITLE, p.title()
        assert p.geometry() == (800, 800), p.geometry()
        lines = p.stdout().splitlines(keepends=True)
        assert lines[0].startswith(BANNER_START) and lines[0].endswith("  \n"), lines[0]
        banner = lines[1:17]
        rule = "-" * 72 + "\n"
        assert [banner[i] for i in (0, 10, 12, 15)] == [rule] * 4, banner
        assert banner[1] == " " * 72 + "\n"
        assert banner[2] == "      Tessavan" + " " * 49 + "\n"
        assert banner[7] == " --- = 2 Omega  -- + 3  Omega x; --- = -2 Omega --;  --- = - Omega z    \n"
        assert banner[13] == " changer cible.obj et chasseur.obj" + " " * 38 + "\n"
        assert lines[17] == FIRST_RESET, lines[17]
        assert p.proc.poll() is None, "the program should still be running"
    finally:
        p.close()


def test_missing_data_folder(binary):
    """Without data/ the run starts all the same: the missing scenario is reported, with the folder
    looked in and how to start the program instead (and no word on the unread file's nx), and the
    window opens; the first frame then finds no model file and ends the process with status 1. That
    can happen before xdotool would see the window, so the X server's own record of top-level windows
    created and mapped is what shows the window opened."""
    empty = tempfile.mkdtemp()
    watch = subprocess.Popen(["xev", "-root", "-event", "substructure"], stdout=subprocess.PIPE, text=True)
    try:
        time.sleep(0.5)  # xev is listening
        p = harness.Program(binary, cwd=empty)
        try:
            assert p.wait_exit(20.0) == 1, "a missing model file must end the run with status 1"
            assert p.stdout().endswith(FIRST_RESET), p.stdout()[-200:]
            err = p.stderr()
            scenario = err.find(': can\'t open data file "data/fo.in".\n')
            model = err.find('glmReadOBJ() failed: can\'t open data file "data/chasseur.obj".\n')
            looked = err.find(os.path.join(os.path.realpath(empty), "data") + " ")
            assert 0 <= scenario < looked < err.find("make run") < model, err
            assert "nx" not in err, err
            assert err.endswith('"data/chasseur.obj".\n'), err
        finally:
            p.close()
        time.sleep(0.3)
    finally:
        watch.terminate()
        events = watch.communicate()[0]
        shutil.rmtree(empty)
    created = re.findall(r"CreateNotify.*\n.*window (0x[0-9a-f]+), \(0,0\), width 800, height 800\n.*override NO",
                         events)
    mapped = re.findall(r"MapNotify.*\n.*window (0x[0-9a-f]+), override NO", events)
    assert set(created) & set(mapped), "no 800 x 800 window was mapped:\n" + events


if __name__ == "__main__":
    harness.main([test_banner_then_window, test_missing_data_folder])
