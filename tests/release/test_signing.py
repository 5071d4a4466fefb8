"""Archives signed after packing, as the README shows: the signature
verifies, the tool reads past it, and the 32-bit stub opens its window."""

import filecmp
import subprocess

import pytest

from conftest import REPO, kestrum, stub


@pytest.fixture(scope="module")
def certificate(out):
    """A self-signed code-signing certificate, as a publisher's test one."""
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Kestrum test publisher", "-addext",
                    "extendedKeyUsage=codeSigning", "-keyout", str(out / "key.pem"), "-out",
                    str(out / "cert.pem")], check=True, capture_output=True)
    return out / "cert.pem", out / "key.pem"


def sign_and_verify(archive, certificate):
    cert, key = certificate
    signed = archive.with_suffix(".signed")
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-n",
                    "Kestrum sample", "-in", str(archive), "-out", str(signed)], check=True,
                   capture_output=True)
    signed.replace(archive)
    subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(archive)],
                   check=True, capture_output=True)


def assert_reads_back(archive, out):
    listing = kestrum("list", archive)
    assert listing.returncode == 0 and "README.txt" in listing.stdout, listing.stdout
    assert kestrum("test", archive).returncode == 0
    dest = out / ("extract-" + archive.stem)
    assert kestrum("extract", archive, "-o", dest).returncode == 0
    compared = filecmp.dircmp(REPO / "sample", dest)
    assert not (compared.left_only or compared.right_only or compared.diff_files)


@pytest.fixture(scope="module")
def signed_sample(out, certificate):
    archive = out / "sample.exe"
    assert kestrum("pack", REPO / "sample", "-o", archive, "--stub", stub("win32"), "--name",
                   "Kestrum sample").returncode == 0
    sign_and_verify(archive, certificate)
    return archive


def test_a_signed_archive_verifies_and_reads_back(out, signed_sample):
    assert_reads_back(signed_sample, out)


def test_a_split_archives_executable_signs_the_same_way(out, certificate):
    archive = out / "split.exe"
    # Volumes a little larger than the stub: the rest goes to volume files.
    split = stub("win32").stat().st_size + 256 * 1024
    assert kestrum("pack", REPO / "sample", "-o", archive, "--stub", stub("win32"), "--split",
                   split).returncode == 0
    assert list(out.glob("split.[0-9][0-9][0-9]"))
    sign_and_verify(archive, certificate)
    assert_reads_back(archive, out)


def test_the_32_bit_stub_opens_its_window_on_a_signed_archive(out, wine, signed_sample):
    wine.start(signed_sample)
    wine.window("Kestrum")
    wine.screenshot(out / "signed-window.png")
    wine.stop()
