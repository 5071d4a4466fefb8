"""The stub run from a command line, as a script or a deployment tool runs
it: each option, exit codes, output through pipes and a console, existing
files under each overwrite choice, a damaged and a split archive."""

import filecmp
import os
import subprocess

import pytest

from harness import BUILD, REPO, fresh_dir, with_last_byte_flipped


def win(path):
    return "Z:" + str(path).replace("/", "\\")


def same_tree(a, b):
    compared = filecmp.dircmp(a, b)
    if compared.left_only or compared.right_only or compared.diff_files or compared.funny_files:
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in compared.common_dirs)


def tool(*args):
    return subprocess.run([str(BUILD / "native" / "bin" / "kestrum"), *map(str, args)],
                          check=True, text=True, stdout=subprocess.PIPE).stdout


@pytest.mark.parametrize("args, code, text", [
    (["--help"], 0, "exit codes: 0 done, 1 failed"),
    (["/?"], 0, "usage: ARCHIVE.exe"),
    (["--version"], 0, "kestrum-sfx "),
    (["--frobnicate"], 2, "kestrum-sfx: unknown option --frobnicate\n"),
    (["--json"], 2, "kestrum-sfx: --json needs --extract, --list or --test\n"),
    (["--list", "--test"], 2, "only one of --extract, --list"),
    (["--test", "--overwrite", "skip"], 2, "--overwrite does not go with this action"),
])
def test_help_version_and_usage_errors(wine, sample_exe, args, code, text):
    status, stdout, stderr = wine.run(sample_exe, *args)
    assert status == code
    assert text in (stdout if code == 0 else stderr)


def test_list_prints_what_the_tool_prints(wine, sample_exe):
    for args in ([], ["--json"]):
        status, stdout, _ = wine.run(sample_exe, "--list", *args)
        assert status == 0
        assert stdout == tool("list", *args, sample_exe)
    # Through cmd: the stub inherits the console program's handles.
    done = subprocess.run([wine.loader(sample_exe), "cmd", "/c", win(sample_exe), "--list"],
                          env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          timeout=300)
    assert done.returncode == 0
    assert "Archive:      Kestrum sample" in done.stdout.decode(errors="replace")


def test_extract_and_test_a_single_and_a_split_archive(wine, pack, sample_exe, out):
    split = pack(REPO / "sample", out / "cli-split.exe", "--split",
                 str((BUILD / "win32" / "bin" / "kestrum-sfx.exe").stat().st_size + 300_000))
    assert (out / "cli-split.002").exists()
    for archive in (sample_exe, split):
        into = fresh_dir(out / ("cli-" + archive.stem))
        log = out / (archive.stem + ".log")
        status, stdout, _ = wine.run(archive, "--extract", "-o", win(into), "--log", win(log))
        assert status == 0 and stdout.startswith("extracted 8 files")
        assert same_tree(REPO / "sample", into)
        lines = log.read_text(encoding="utf-8").splitlines()
        assert "extracted: Documents\\Отчёты\\Годовой отчёт.txt" in lines
        assert lines[-1].startswith("extracted 8 files")
        status, stdout, _ = wine.run(archive, "--test")
        assert status == 0 and "every byte checked against the manifest" in stdout
    # The default folder is the current one, as the window's.
    here = fresh_dir(out / "cli-here")
    assert wine.run(sample_exe, "-y", cwd=here)[0] == 0
    assert same_tree(REPO / "sample", here)


def test_existing_files_under_each_overwrite_choice(wine, sample_exe, out):
    into = fresh_dir(out / "cli-existing")
    (into / "README.txt").write_text("mine")
    status, _, stderr = wine.run(sample_exe, "--extract", "-o", win(into))
    assert status == 1 and "README.txt exists already (use --overwrite" in stderr
    assert os.listdir(into) == ["README.txt"]  # nothing written at all
    expected = {"skip": "mine", "rename": "mine",
                "replace": (REPO / "sample" / "README.txt").read_text()}
    for choice, readme in expected.items():
        assert wine.run(sample_exe, "--extract", "-o", win(into), "--overwrite", choice)[0] == 0
        assert (into / "README.txt").read_text() == readme
    assert (into / "README (1).txt").read_text() == (REPO / "sample" / "README.txt").read_text()


def test_a_damaged_archive_fails_and_leaves_nothing_half_written(wine, sample_exe, out):
    damaged = with_last_byte_flipped(sample_exe, out / "cli-damaged.exe")
    into = fresh_dir(out / "cli-damaged")
    status, _, stderr = wine.run(damaged, "--extract", "-o", win(into))
    assert status == 1 and "damaged" in stderr
    assert not (into / "README.txt").exists()  # the last entry, whose member is damaged
    assert wine.run(damaged, "--test")[0] == 1


# Many small files: each costs Wine a few system calls, so the run lasts
# long enough to be seen and cancelled (the 64-bit stub runs natively: more).
def test_progress_window_and_cancel(wine, pack, out, target):
    count = 8000 if target == "win64" else 6000
    many = fresh_dir(out / "cli-many-source")
    for i in range(count):
        (many / f"f{i:05}.txt").write_text(f"file {i}\n" * 20)
    archive = pack(many, out / "cli-many.exe", "--name", "Many")
    into = fresh_dir(out / "cli-progress")
    wine.start(archive, "--extract", "--progress", "-o", win(into))
    wine.window("Many").click(2)  # Cancel
    assert wine.wait_exit(120) == 130
    written = sorted(os.listdir(into))
    assert len(written) < count
    for name in written:  # whole files only
        assert (into / name).read_text() == (many / name).read_text()
    # Left alone, the window closes itself when the run is done.
    wine.start(archive, "--extract", "--progress", "-o", win(fresh_dir(into)))
    wine.window("Many")
    wine.screenshot(out / "progress-window.png")
    assert wine.wait_exit(300) == 0
    assert len(os.listdir(into)) == count
