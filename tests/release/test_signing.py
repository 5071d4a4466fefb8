"""Archives signed after packing, as the README shows: the signature
verifies, the tool reads past it, the 32-bit stub opens its window, and a
volume changed behind the signature's back is caught by the manifest."""

import filecmp
import struct
import subprocess
import zlib

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


def chunks_in_volumes(archive, volume_paths, entry_name):
    """Where each chunk of an entry lies: (volume index, offset in it, body length).
    The joined stream is the executable up to the directory, then each volume
    after its 12-byte header; the record stream starts at table_offset."""
    exe = archive.read_bytes()
    table_offset, = struct.unpack_from("<I", exe, 32)
    directory_offset, = struct.unpack_from("<Q", exe, 52)
    pieces = [(None, 0, directory_offset)] + [(i, 12, p.stat().st_size - 12)
                                              for i, p in enumerate(volume_paths)]
    joined = exe[:directory_offset] + b"".join(p.read_bytes()[12:] for p in volume_paths)

    def where(at):
        start = 0
        for volume, skip, length in pieces:
            if at < start + length:
                return volume, skip + at - start
            start += length
        raise AssertionError(at)

    at = table_offset
    n, = struct.unpack_from("<I", joined, at)
    at += 4 + n
    count, = struct.unpack_from("<I", joined, at)
    at += 4
    for _ in range(count):
        size, stored, n = struct.unpack_from("<QQI", joined, at)
        name = joined[at + 20:at + 20 + n].split(b"\0")[0].decode()
        at += 20 + n
        end = at + stored
        found = []
        while at < end:
            body, = struct.unpack_from("<I", joined, at)
            found.append((*where(at + 4), body))
            at += 4 + body
        if name == entry_name:
            return found
    raise AssertionError(entry_name)


# The format's own checks cannot see this: the member is swapped for another
# whose CRC-32 holds, by XOR into the keystream's output (no key needed).
def test_a_changed_volume_fails_a_signed_split_archive(out, certificate):
    source = out / "tamper-source"
    source.mkdir()
    payload = bytes((i * 7 + i // 5) % 251 for i in range(300_000))
    (source / "payload.bin").write_bytes(payload)
    archive = out / "tamper.exe"
    assert kestrum("pack", source, "-o", archive, "--stub", stub("win32"), "--level", "0",
                   "--chunk-size", "16K", "--split", stub("win32").stat().st_size + 100_000
                   ).returncode == 0
    volumes = sorted(out.glob("tamper.[0-9][0-9][0-9]"))
    sign_and_verify(archive, certificate)
    chunk = 16 * 1024
    index, (volume, offset, body) = [(k, c) for k, c in enumerate(
        chunks_in_volumes(archive, volumes, "payload.bin")) if c[0] is not None][-1]
    old = payload[index * chunk:(index + 1) * chunk]
    new = bytes(b ^ 0x55 for b in old)
    # A stored member: header, one stored block of the content, CRC-32, length.
    delta = bytes(a ^ b for a, b in zip(old + struct.pack("<I", zlib.crc32(old)),
                                        new + struct.pack("<I", zlib.crc32(new))))
    content_at = offset + body - 8 - len(old)
    data = bytearray(volumes[volume].read_bytes())
    for i, d in enumerate(delta):
        data[content_at + i] ^= d
    volumes[volume].write_bytes(bytes(data))
    subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate[0]), "-in",
                    str(archive)], check=True, capture_output=True)
    run = kestrum("extract", archive, "-o", out / "tamper-out")
    assert run.returncode == 1
    assert "payload.bin: damaged data: the content differs from the archive's manifest" \
        in run.stdout, run.stdout
    assert not (out / "tamper-out" / "payload.bin").exists()


def test_the_32_bit_stub_opens_its_window_on_a_signed_archive(out, wine, signed_sample):
    wine.start(signed_sample)
    wine.window("Kestrum")
    wine.screenshot(out / "signed-window.png")
    wine.stop()
