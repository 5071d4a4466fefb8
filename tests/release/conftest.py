"""Fixtures of the release checks: the built programs, and the Wine harness
of the window tests for the checks that start a stub."""

import pathlib
import subprocess
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "gui"))
from harness import BUILD, REPO, Wine  # noqa: E402

KESTRUM = BUILD / "native" / "bin" / "kestrum"


def stub(target):
    return BUILD / target / "bin" / "kestrum-sfx.exe"


@pytest.fixture(scope="session")
def out():
    path = BUILD / "release-tests"
    subprocess.run(["rm", "-rf", str(path)], check=True)
    path.mkdir(parents=True)
    return path


@pytest.fixture(scope="session")
def wine():
    session = Wine()
    session.winctl_exe = BUILD / "win32" / "bin" / "winctl.exe"
    yield session
    session.close()


@pytest.fixture(scope="session")
def version():
    line = subprocess.run([str(KESTRUM), "--version"], check=True, text=True,
                          stdout=subprocess.PIPE).stdout.strip()
    assert line.startswith("kestrum ")
    return line.split(" ", 1)[1]


def kestrum(*args, **kwargs):
    return subprocess.run([str(KESTRUM), *map(str, args)], text=True, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, **kwargs)


__all__ = ["REPO", "kestrum", "stub"]
