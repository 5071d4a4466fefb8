"""Fixtures of the window tests: the target's programs, one Wine session on
a virtual display for the whole run, and the packer.

    pytest-3 tests/gui --target win32        (default win64)
"""

import pathlib
import subprocess

import pytest

from harness import BUILD, REPO, Wine


def pytest_addoption(parser):
    parser.addoption("--target", default="win64", choices=("win64", "win32"))


@pytest.fixture(scope="session")
def target(request):
    return request.config.getoption("--target")


@pytest.fixture(scope="session")
def out(target):
    """Where the archives and screenshots of this run go."""
    path = BUILD / ("gui-tests-" + target)
    subprocess.run(["rm", "-rf", str(path)], check=True)
    path.mkdir(parents=True)
    return path


@pytest.fixture(scope="session")
def wine(target):
    session = Wine()
    session.winctl_exe = BUILD / target / "bin" / "winctl.exe"
    yield session
    session.close()


@pytest.fixture(autouse=True)
def stop_program(wine):
    """Every test starts with no program of ours running and leaves none."""
    wine.stop()
    yield
    wine.stop()


@pytest.fixture(scope="session")
def pack(target):
    """pack(folder, archive, *options): the packer onto this target's stub."""
    stub = BUILD / target / "bin" / "kestrum-sfx.exe"

    def run(folder, archive, *options):
        subprocess.run([str(BUILD / "native" / "bin" / "kestrum"), "pack", str(folder), "-o",
                        str(archive), "--stub", str(stub), *options], check=True,
                       stdout=subprocess.DEVNULL)
        return pathlib.Path(archive)

    return run


@pytest.fixture(scope="session")
def sample_exe(pack, out):
    return pack(REPO / "sample", out / "sample.exe", "--name", "Kestrum sample")
