#!/usr/bin/env python3
"""Every view of the window in all nine languages, at 100 % and 150 %, for
looking at: the start view with a description, the table, the About dialog,
the overwrite question, the finished view, the failure message of a damaged
archive and the missing-volume message. Writes one sheet per view and scale
(nine windows, one per language, each shot trimmed to its windows) to
build/language-sheets/ and prints their paths. Needs `make native win64`.

The missing-volume message comes before the archive names its language, so
it shows in the system's: Wine is started in that language's locale, which
is compiled once into build/language-sheets/locales (glibc's localedef)."""

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
LOCALES = OUT / "locales"
STUB = BUILD / "win64" / "bin" / "kestrum-sfx.exe"


def pack(folder, archive, *options):
    subprocess.run([str(BUILD / "native" / "bin" / "kestrum"), "pack", str(folder), "-o",
                    str(archive), "--stub", str(STUB), "--name", "Kestrum sample", *options],
                   check=True, stdout=subprocess.DEVNULL)
    return archive


def system_locale(lang):
    """The locale name of a language for LANG, compiled under LOCPATH."""
    name = f"{lang[:2]}_{lang[2:]}.UTF-8"
    target = LOCALES / name
    if not target.exists():
        LOCALES.mkdir(parents=True, exist_ok=True)
        # Exit status 1: compiled with warnings, which glibc's own files give.
        done = subprocess.run(["localedef", "-i", f"{lang[:2]}_{lang[2:]}", "-f", "UTF-8",
                               str(target)], capture_output=True)
        if done.returncode > 1 or not target.exists():
            raise RuntimeError(f"localedef {name}: {done.stderr.decode()}")
    return name


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

    def shot(view):
        path = wine.screenshot(OUT / "shots" / f"{view}-{scale}-{lang}.png")
        # The screen is black around the windows.
        subprocess.run(["mogrify", "-trim", "+repage", str(path)], check=True)

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

    wine.start(split, cwd=work, lang=system_locale(lang))
    wait_until(lambda: wine.visible_windows(), 30, "no message")
    time.sleep(2)
    shot("missing")
    wine.stop()


def main():
    shutil.rmtree(OUT / "shots", ignore_errors=True)
    wine = Wine()
    wine.env["LOCPATH"] = str(LOCALES)
    wine.winctl_exe = BUILD / "win64" / "bin" / "winctl.exe"
    reg = [wine.env["WINE64"], "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
           "/t", "REG_DWORD", "/d"]
    try:
        for scale, dpi in (("100", "96"), ("150", "144")):
            subprocess.run(reg + [dpi, "/f"], env=wine.env, check=True, capture_output=True)
            for lang in LANGUAGES:
                shoot(wine, lang, scale)
            for view in VIEWS:
                shots = [str(OUT / "shots" / f"{view}-{scale}-{lang}.png") for lang in LANGUAGES]
                sheet = OUT / f"{view}-{scale}.png"
                subprocess.run(["montage", *shots, "-tile", "3x3", "-geometry", "+6+6",
                                str(sheet)], check=True)
                print(sheet)
    finally:
        subprocess.run(reg + ["96", "/f"], env=wine.env, capture_output=True)
        wine.close()


if __name__ == "__main__":
    main()
