#!/usr/bin/env python3
"""Every view of the window in all nine languages, at 100 % and 150 %, for
looking at: the start view with a description, the table, the About dialog,
the overwrite question, the finished view, the failure message of a damaged
archive and the missing-volume message. Writes one sheet per view and scale
(nine windows, one per language) to build/language-sheets/ and prints their
paths. Needs `make native win64`."""

import pathlib
import shutil
import subprocess
import sys
import time

REPO = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "gui"))
from harness import BUILD, Wine, wait_until, with_last_byte_flipped  # noqa: E402

LANGUAGES = ["enUS", "ruRU", "deDE", "frFR", "esES", "itIT", "ukUA", "zhCN", "kkKZ"]
VIEWS = ["start", "table", "about", "question", "finished", "damaged", "missing"]
OUT = BUILD / "language-sheets"
STUB = BUILD / "win64" / "bin" / "kestrum-sfx.exe"


def pack(folder, archive, *options):
    subprocess.run([str(BUILD / "native" / "bin" / "kestrum"), "pack", str(folder), "-o",
                    str(archive), "--stub", str(STUB), "--name", "Kestrum sample", *options],
                   check=True, stdout=subprocess.DEVNULL)
    return archive


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)
    return path


def second_window(wine, before):
    """Waits for a top-level window that was not there before."""
    return wait_until(lambda: [w for w in wine.visible_windows() if w not in before], 30,
                      "no second window")


def shoot(wine, lang, scale):
    work = fresh(OUT / "work" / lang)
    archive = pack(REPO / "sample", work / "a.exe", "--language", lang, "--description",
                   "[* Kestrum sample]: text, data and names in Cyrillic and Chinese.")
    damaged = with_last_byte_flipped(archive, work / "damaged.exe")
    split = pack(REPO / "sample", work / "s.exe", "--language", lang, "--split",
                 str(STUB.stat().st_size + 400_000))
    (work / "s.002").unlink()
    shot = lambda view: wine.screenshot(OUT / "shots" / f"{view}-{scale}-{lang}.png")

    wine.start(archive, cwd=fresh(work / "x"))
    window = wine.window("Kestrum")
    shot("start")
    window.click("view_table")
    time.sleep(1)
    shot("table")
    before = wine.visible_windows()
    window.focus()
    window.key("ctrl+i")
    second_window(wine, before)
    time.sleep(1)
    shot("about")

    def extract_until_asked(exe, into, view):
        """Extract pressed; the window it opens (a question, a message) shot."""
        wine.start(exe, cwd=into)
        window = wine.window("Kestrum")
        before = wine.visible_windows()
        window.click("bt_extract")
        second_window(wine, before)
        time.sleep(1)
        shot(view)

    into = fresh(work / "y")
    (into / "README.txt").write_text("mine")
    extract_until_asked(archive, into, "question")

    wine.start(archive, cwd=fresh(work / "z"))
    window = wine.window("Kestrum")
    window.click("bt_extract")
    wait_until(lambda: window.shown("bt_catalog"), 60, "no finished view")
    shot("finished")

    extract_until_asked(damaged, fresh(work / "d"), "damaged")

    wine.start(split, cwd=work)
    wait_until(lambda: wine.visible_windows(), 30, "no message")
    time.sleep(2)
    shot("missing")
    wine.stop()


def main():
    fresh(OUT)
    wine = Wine()
    wine.winctl_exe = BUILD / "win64" / "bin" / "winctl.exe"
    reg = [wine.env["WINE64"], "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
           "/t", "REG_DWORD", "/d"]
    try:
        for scale, dpi, crop in (("100", "96", "620x600+0+0"), ("150", "144", "930x900+0+0")):
            subprocess.run(reg + [dpi, "/f"], env=wine.env, check=True, capture_output=True)
            for lang in LANGUAGES:
                shoot(wine, lang, scale)
            for view in VIEWS:
                shots = [str(OUT / "shots" / f"{view}-{scale}-{lang}.png") for lang in LANGUAGES]
                sheet = OUT / f"{view}-{scale}.png"
                subprocess.run(["montage", *shots, "-crop", crop, "-tile", "3x3", "-geometry",
                                "+6+6", str(sheet)], check=True)
                print(sheet)
    finally:
        subprocess.run(reg + ["96", "/f"], env=wine.env, capture_output=True)
        wine.close()


if __name__ == "__main__":
    main()
