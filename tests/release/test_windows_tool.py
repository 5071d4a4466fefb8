"""The Windows kestrum.exe under Wine against the Linux tool: packing with its
built-in stub, identical listings both ways round, extraction byte for byte,
split archives, names on a console, the 32-bit tool, and the same version,
error texts and exit codes."""

import filecmp
import json
import os
import subprocess

import pytest

from conftest import KESTRUM, REPO, kestrum, stub
from harness import BUILD

TOOL64 = BUILD / "win64" / "bin" / "kestrum.exe"
TOOL32 = BUILD / "win32" / "bin" / "kestrum.exe"


def win(path):
    """A Unix path as a Windows program sees it (Wine's Z: drive is /)."""
    return "Z:" + os.path.realpath(path).replace("/", "\\")


def same_tree(a, b):
    compared = filecmp.dircmp(a, b)
    if compared.left_only or compared.right_only or compared.diff_files:
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in compared.common_dirs)


@pytest.fixture(scope="module")
def tool(wine, out):
    """tool(*args, bits=64): (exit code, stdout, stderr) of kestrum.exe. The
    output goes through files: a pipe would wait for Wine's services."""
    env = {k: v for k, v in wine.env.items() if k != "DISPLAY"}

    def run(*args, bits=64):
        loader = env["WINE64"] if bits == 64 else env["WINE32"]
        exe = TOOL64 if bits == 64 else TOOL32
        with open(out / "stdout", "wb") as o, open(out / "stderr", "wb") as e:
            code = subprocess.run([loader, str(exe), *map(str, args)], env=env,
                                  stdin=subprocess.DEVNULL, stdout=o, stderr=e).returncode
        text = lambda name: (out / name).read_bytes().decode().replace("\r\n", "\n")
        return code, text("stdout"), text("stderr")

    return run


@pytest.fixture(scope="module")
def packed(tool, out):
    """sample/ packed by kestrum.exe with its built-in stub, an icon, a banner
    and a description read from a file with a Unicode name."""
    notes = out / "Описание 说明"
    notes.mkdir()
    (notes / "текст.qtf").write_text("[* Пример] 示例\n")
    code, stdout, stderr = tool(
        "pack", win(REPO / "sample"), "-o", win(out / "sample.exe"), "--name", "Образец 样本",
        "--description", "@" + win(notes / "текст.qtf"), "--icon",
        win(REPO / "images/png/KX_logo.png"), "--banner", win(REPO / "images/png/Kestrum_text.png"))
    assert code == 0 and stdout.startswith("packed 8 files"), stdout + stderr
    return out / "sample.exe"


def test_listings_equal_the_linux_tools(tool, packed):
    linux_json = kestrum("list", "--json", packed).stdout
    code, stdout, _ = tool("list", "--json", win(packed))
    assert code == 0 and stdout == linux_json
    listing = json.loads(stdout)
    assert listing["description"] == "[* Пример] 示例\n"
    assert listing["has_icon"] is True
    assert "Годовой отчёт.txt" in stdout
    code, stdout, _ = tool("list", win(packed))
    assert code == 0 and stdout == kestrum("list", packed).stdout
    assert "文档\\说明.txt" in stdout
    # The 32-bit tool too.
    assert tool("list", "--json", win(packed), bits=32)[1] == linux_json


def test_extract_and_test(tool, packed, out):
    code, stdout, stderr = tool("extract", win(packed), "-o", win(out / "извлечено"))
    assert code == 0 and stdout.startswith("extracted 8 files"), stdout + stderr
    assert same_tree(REPO / "sample", out / "извлечено")
    code, stdout, _ = tool("test", win(packed))
    assert code == 0 and "all 8 files are intact" in stdout


def test_a_split_archive_from_kestrum_exe_reads_on_both(tool, out):
    # Volumes a little larger than the built-in stub, so the sample spills into some.
    split = stub("win32").stat().st_size + 256 * 1024
    code, stdout, stderr = tool("pack", win(REPO / "sample"), "-o", win(out / "split.exe"),
                                "--split", split)
    assert code == 0 and "volume files" in stdout, stdout + stderr
    assert (out / "split.001").exists()
    assert kestrum("test", out / "split.exe").returncode == 0
    assert kestrum("extract", out / "split.exe", "-o", out / "split-linux").returncode == 0
    assert same_tree(REPO / "sample", out / "split-linux")
    code, stdout, _ = tool("test", win(out / "split.exe"))
    assert code == 0 and "all 8 files are intact" in stdout


def test_an_archive_from_the_linux_tool_lists_and_extracts_in_kestrum_exe(tool, out):
    archive = out / "linux.exe"
    assert kestrum("pack", REPO / "sample", "-o", archive, "--stub", stub("win32")).returncode == 0
    code, stdout, _ = tool("list", "--json", win(archive))
    assert code == 0 and stdout == kestrum("list", "--json", archive).stdout
    assert tool("extract", win(archive), "-o", win(out / "from-linux"))[0] == 0
    assert same_tree(REPO / "sample", out / "from-linux")


def test_names_on_a_console(wine, packed, out):
    """A pseudo-terminal, which Wine turns into a console: names go out as UTF-16."""
    env = {k: v for k, v in wine.env.items() if k != "DISPLAY"}
    env["LC_ALL"] = "C.UTF-8"
    command = f"'{env['WINE64']}' '{TOOL64}' list '{win(packed)}'"
    shown = subprocess.run(["script", "-qec", command, "/dev/null"], env=env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, timeout=120).stdout.decode(errors="replace")
    assert "Годовой отчёт.txt" in shown and "文档\\说明.txt" in shown, shown[-300:]


def test_version_error_texts_and_exit_codes_as_on_linux(tool, out):
    assert tool("extract", "--overwrite", "sometimes")[0] == 2
    code, stdout, _ = tool("--version")
    linux = subprocess.run([str(KESTRUM), "--version"], text=True,
                           stdout=subprocess.PIPE).stdout
    assert code == 0 and stdout == linux
    missing = win(out / "нет.exe")
    code, _, stderr = tool("list", missing)
    assert code != 0 and stderr == f"kestrum: cannot open {missing}: no such file or directory\n"
    notes = win(REPO / "README.md")
    code, _, stderr = tool("test", notes)
    assert code != 0 and stderr == f"kestrum: {notes}: not a self-extracting archive\n"


def test_its_archive_opens_the_window_of_the_32_bit_stub_it_carries(wine, packed, out):
    pe = packed.read_bytes()
    at = int.from_bytes(pe[60:64], "little")
    assert pe[at + 4 : at + 6] == b"\x4c\x01", "the archive's stub is not the 32-bit one"
    wine.start(packed)
    wine.window("Kestrum")
    wine.screenshot(out / "window.png")
    wine.stop()
