"""The real stub under Wine on a virtual display, driven as a person would.

Wine is set up by scripts/wine/wine-env.sh (shell stays the tool for that);
this module starts programs in that environment, finds their windows, and
reads and drives their controls through winctl, by the names the window's
layout gives them. Waits are for a condition, never a fixed sleep.
"""

import os
import pathlib
import re
import shutil
import subprocess
import time

REPO = pathlib.Path(__file__).resolve().parents[2]
BUILD = REPO / "build"


def control_ids():
    """Layout names to control ids: the form's controls from 1000 on in form
    order, then the two cases of the view switch and the completion message."""
    text = (REPO / "view" / "common_layout.cpp").read_text()
    names = re.findall(r'\{ControlId::(\w+), "', text)
    ids = {name: 1000 + i for i, name in enumerate(names)}
    ids.update(view_structure=1100, view_table=1101, finished_message=1102)
    return ids


IDS = control_ids()


def wait_until(condition, timeout, what):
    """Polls `condition` until it returns something true; fails with `what`."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"after {timeout} s: {what}")
        time.sleep(0.1)


def pe_machine(path):
    data = pathlib.Path(path).read_bytes()[:4096]
    pe = int.from_bytes(data[60:64], "little")
    return int.from_bytes(data[pe + 4 : pe + 6], "little")


class Wine:
    """One Wine session on its own Xvfb display."""

    def __init__(self, build=BUILD):
        out = subprocess.run(
            ["bash", "-c", 'source "$1/scripts/wine/wine-env.sh" "$2" >&2 && env -0', "_",
             str(REPO), str(build)],
            check=True, stdout=subprocess.PIPE)
        self.env = dict(item.split("=", 1) for item in out.stdout.decode().split("\0") if "=" in item)
        self.env.pop("WAYLAND_DISPLAY", None)
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as display:
            number = display.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        self.program = None

    def loader(self, exe):
        return self.env["WINE32"] if pe_machine(exe) == 0x14C else self.env["WINE64"]

    def start(self, exe, *args, cwd=None, lang=None):
        """Starts a program (32- or 64-bit); one at a time."""
        self.stop()
        env = dict(self.env)
        if lang:
            env["LANG"] = env["LC_ALL"] = lang
        self.log = open(BUILD / "wine" / "gui-test.log", "w")
        self.program = subprocess.Popen([self.loader(exe), str(exe), *map(str, args)], cwd=cwd,
                                        env=env, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        return self.program

    def run(self, exe, *args, cwd=None, timeout=300):
        """Runs a program to its end: (exit status, standard output, standard error)."""
        done = subprocess.run([self.loader(exe), str(exe), *map(str, args)], cwd=cwd,
                              env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
        return done.returncode, done.stdout.decode(), done.stderr.decode()

    def wait_exit(self, timeout):
        """The program's exit status, or None when it is still running."""
        try:
            return self.program.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.program and self.program.poll() is None:
            self.program.terminate()
            try:
                self.program.wait(5)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        self.program = None

    def close(self):
        self.stop()
        subprocess.run([self.env["WINESERVER"], "-k"], env=self.env, stderr=subprocess.DEVNULL)
        self.xvfb.terminate()
        self.xvfb.wait()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, text=True,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout

    def visible_windows(self):
        return self.xdotool("search", "--onlyvisible", "--name", ".").split()

    def window(self, title, timeout=60):
        """Waits for a mapped window with exactly that title."""
        def find():
            for wid in self.xdotool("search", "--onlyvisible", "--name", re.escape(title)).split():
                if self.xdotool("getwindowname", wid).rstrip("\n") == title:
                    return wid
            if self.program and self.program.poll() is not None:
                raise AssertionError(f'the program ended before "{title}" appeared')
            return None
        return Window(self, title, wait_until(find, timeout, f'no window "{title}"'))

    def screenshot(self, path):
        """The whole screen, once two grabs in a row match."""
        path.parent.mkdir(parents=True, exist_ok=True)
        previous = None
        for _ in range(30):
            grab = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "rgb:-"],
                                  env=self.env, stdout=subprocess.PIPE).stdout
            if grab == previous:
                break
            previous = grab
            time.sleep(0.1)
        subprocess.run(["import", "-silent", "-window", "root", str(path)], env=self.env,
                       check=True)
        return path


class Window:
    """A top-level window and its controls, by their layout names."""

    def __init__(self, wine, title, wid):
        self.wine, self.title, self.wid = wine, title, wid

    def winctl(self, *args):
        winctl = self.wine.winctl_exe
        out = subprocess.run([self.wine.loader(winctl), str(winctl), args[0], self.title,
                              *map(str, args[1:])], env=self.wine.env, text=True,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return out.stdout.replace("\r", "")

    def controls(self):
        """id -> (shown, "l,t,r,b", text) of every child control."""
        found = {}
        for line in self.winctl("dump").splitlines():
            parts = line.split(" ", 4)
            if len(parts) >= 4 and parts[0].lstrip("-").isdigit():
                found[int(parts[0])] = (parts[2] == "shown", parts[3],
                                        parts[4] if len(parts) > 4 else "")
        return found

    def exists(self):
        return bool(self.controls())

    @staticmethod
    def _id(name):
        return name if isinstance(name, int) else IDS[name]

    def state(self, name):
        return self.controls().get(self._id(name), (False, "", ""))

    def shown(self, name):
        return self.state(name)[0]

    def rect(self, name):
        return self.state(name)[1]

    def text(self, name):
        return self.state(name)[2]

    def click(self, name):
        self.winctl("click", self._id(name))

    def settext(self, name, text):
        self.winctl("settext", self._id(name), text)

    def select(self, name, index):
        self.winctl("select", self._id(name), index)

    def point(self, name):
        x, y = self.winctl("point", self._id(name)).split()[:2]
        return int(x), int(y)

    def dropped(self, name):
        return self.winctl("dropped", self._id(name)).startswith("1")

    def tree(self, name="file_tree"):
        """The tree's shown items: (open, image, (x, y), text)."""
        items = []
        for line in self.winctl("tree", self._id(name)).splitlines():
            parts = line.split(" ", 3)
            if len(parts) == 4 and parts[0] in ("open", "closed"):
                x, y = map(int, parts[2].split(","))
                items.append((parts[0] == "open", int(parts[1]), (x, y), parts[3]))
        return items

    def focus(self):
        self.wine.xdotool("windowfocus", "--sync", self.wid)

    def key(self, *keys):
        self.wine.xdotool("key", "--clearmodifiers", *keys)


def with_entry_name(archive, out, prefix):
    """A copy of a single-file archive whose first entry name starts with
    `prefix` in place of its first bytes (a name that climbs out, say).
    Stamp at byte 28: u32 header_offset, u32 table_offset; the table starts
    with the archive name (u32 n + n bytes) and the entry count (u32); a
    record is a flag byte, u64 size, u64 stored size, then u32 n + name."""
    data = bytearray(pathlib.Path(archive).read_bytes())
    table = int.from_bytes(data[32:36], "little")
    name_length = int.from_bytes(data[table : table + 4], "little")
    name_at = table + 4 + name_length + 4 + 1 + 8 + 8 + 4
    data[name_at : name_at + len(prefix)] = prefix
    pathlib.Path(out).write_bytes(data)
    return out


def with_last_byte_flipped(archive, out):
    """A copy whose last byte, inside the last gzip member's trailer, is wrong."""
    data = bytearray(pathlib.Path(archive).read_bytes())
    data[-1] ^= 0x40
    pathlib.Path(out).write_bytes(data)
    return out


def fresh_dir(path):
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)
    return path
