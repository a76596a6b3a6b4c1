"""The program as installed: `cmake --install` into a staging tree, started from / as a desktop menu
starts it, its menu entry and manual pages; then the Debian package `make package` builds."""
import os
import re
import shutil
import stat
import subprocess
import tempfile

import harness
from test_frame import SCENE, drawn, hull
from test_startup import FIRST_RESET

STAGE = tempfile.mkdtemp()  # DESTDIR; the prefix is /usr, as in the package
# The heading of the exit-status section of the manual page, by the language folder it is installed
# in below share/man ("" for the English default).
EXIT_STATUS = {"": "EXIT STATUS", "fr": "CODE DE RETOUR"}


def files(root):
    """{(mode string, path below root)} of the files and links under root."""
    out = set()
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            out.add((stat.filemode(os.lstat(path).st_mode), "/" + os.path.relpath(path, root)))
    return out


def test_installed_program_starts_anywhere(binary):
    env = dict(os.environ, DESTDIR=STAGE)
    subprocess.run(["cmake", "--install", os.path.dirname(binary), "--prefix", "/usr"], env=env, check=True,
                   capture_output=True)
    command = os.path.join(STAGE, "usr/bin/rendezvous")
    p = harness.Program(command, cwd="/")
    try:
        p.wait_window()
        p.wait_output(FIRST_RESET)
        assert "can't open" not in p.stderr(), p.stderr()
        assert harness.count(drawn(p, "installed"), hull, SCENE), "no chaser on the screen"
        p.key("Escape", check=False)
        assert p.wait_exit() == 0
    finally:
        p.close()
    # The launcher hands its arguments to the program, whose GLUT then fails on this display.
    bad = subprocess.run([command, "-display", ":99999"], cwd="/", capture_output=True, text=True, timeout=30)
    assert bad.returncode == 1 and "':99999'" in bad.stderr, bad.stderr
    # The planner is installed beside it and reads the installed scenarios.
    plan = subprocess.run([os.path.join(STAGE, "usr/bin/rendezvous-plan"), "--keys",
                           os.path.join(STAGE, "usr/share/rendezvous/data/fo3.in")], capture_output=True, text=True)
    assert plan.returncode == 0 and " Left " in plan.stdout, plan.stderr  # 0: the plan docks
    # The replay beside it replays the planner's own flight: it conforms.
    flight = os.path.join(tempfile.mkdtemp(), "fo3.vol")
    subprocess.run([os.path.join(STAGE, "usr/bin/rendezvous-plan"), "--vol", flight,
                    os.path.join(STAGE, "usr/share/rendezvous/data/fo3.in")], capture_output=True, check=True)
    replay = subprocess.run([os.path.join(STAGE, "usr/bin/rendezvous-replay"), flight], capture_output=True, text=True)
    assert replay.returncode == 0 and replay.stdout.endswith(" conforme\n"), replay.stdout + replay.stderr

    share = os.path.join(STAGE, "usr/share")
    entry = os.path.join(share, "applications/rendezvous.desktop")
    harness.run("desktop-file-validate", entry)
    keys = dict(l.strip().split("=", 1) for l in open(entry) if "=" in l)
    assert os.path.join(STAGE, "usr/bin", keys["Exec"].split()[0]) == command, keys["Exec"]
    icons = [f for _, f in files(os.path.join(share, "icons/hicolor"))]
    assert [f for f in icons if os.path.splitext(os.path.basename(f))[0] == keys["Icon"]], icons
    # One manual page per language, read in a UTF-8 locale; its footer names the version CMake put in.
    man = os.path.join(share, "man")
    found = {f: re.fullmatch(r"(?:/([^/]+))?/man6/rendezvous\.6\.gz", f) for _, f in files(man)}
    assert all(found.values()), found
    pages = [(m.group(1) or "", f) for f, m in found.items()]
    assert sorted(lang for lang, _ in pages) == sorted(EXIT_STATUS), pages
    for lang, path in pages:
        page = subprocess.run(["man", "--warnings", "-l", man + path], capture_output=True, text=True,
                              env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
        assert page.returncode == 0 and not page.stderr, (path, page.stderr)
        footer = page.stdout.splitlines()[-1]
        assert EXIT_STATUS[lang] in page.stdout and re.search(r"rendezvous \d", footer), page.stdout


def test_package_holds_the_installed_tree(binary):
    out = tempfile.mkdtemp()
    try:
        harness.run("cpack", "--config", os.path.join(os.path.dirname(binary), "CPackConfig.cmake"), "-B", out)
        deb = [os.path.join(out, f) for f in os.listdir(out) if f.endswith(".deb")][0]
        depends = harness.run("dpkg-deb", "-f", deb, "Depends")
        for runtime in ("libglut", "libgl1", "libglu1"):
            assert runtime in depends, depends
        listed = set()
        for line in harness.run("dpkg-deb", "-c", deb).splitlines():
            mode, _, _, _, _, path = line.split(None, 5)
            if not mode.startswith("d"):
                listed.add((mode, path[1:]))
        assert listed == files(STAGE), listed ^ files(STAGE)
    finally:
        shutil.rmtree(out)


if __name__ == "__main__":
    try:
        harness.main([test_installed_program_starts_anywhere, test_package_holds_the_installed_tree])
    finally:
        shutil.rmtree(STAGE)
