"""Start-up as a user sees it: the console banner, then the window."""
import os
import shutil
import tempfile

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
    empty = tempfile.mkdtemp()
    p = harness.Program(binary, cwd=empty)
    try:
        p.wait_window()
        p.wait_output(FIRST_RESET)
        assert ': can\'t open data file "data/fo.in".' in p.stderr(), p.stderr()
    finally:
        p.close()
        shutil.rmtree(empty)


if __name__ == "__main__":
    harness.main([test_banner_then_window, test_missing_data_folder])
