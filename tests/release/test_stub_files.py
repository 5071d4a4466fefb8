"""What the stubs carry: imports a download folder cannot hijack, the version
`kestrum --version` prints, and a manifest naming Windows 7 to 11."""

import re
import struct
import subprocess

import pytest

from conftest import REPO, stub

# DLLs that Windows always takes from System32 (KnownDLLs), and comctl32,
# which the common-controls 6 manifest resolves from the side-by-side store.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "ole32.dll", "oleaut32.dll", "comdlg32.dll", "shlwapi.dll", "msvcrt.dll",
               "comctl32.dll"}
OBJDUMP = {"win32": "i686-w64-mingw32-objdump", "win64": "x86_64-w64-mingw32-objdump"}
# supportedOS ids: Windows 7, 8, 8.1, 10/11.
SUPPORTED_OS = ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")


@pytest.mark.parametrize("target", ["win32", "win64"])
def test_the_stub_imports_only_system_dlls(target):
    dump = subprocess.run([OBJDUMP[target], "-p", str(stub(target))], check=True, text=True,
                          stdout=subprocess.PIPE).stdout
    # "DLL Name:" lines list both the import and the delay-import tables.
    dlls = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    assert dlls, "no import table read"
    assert dlls <= SYSTEM_DLLS, dlls - SYSTEM_DLLS
    if "comctl32.dll" in dlls:
        assert b'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' in \
            stub(target).read_bytes()


def test_no_plain_loadlibrary_in_the_stubs_sources():
    """Run-time loads go through LoadSystemLibrary (System32 only)."""
    plain = []
    for folder in ("app", "ui", "archive", "i18n", "images", "platform"):
        for path in (REPO / folder).rglob("*"):
            if path.suffix in (".cpp", ".h") and re.search(r"\bLoadLibrary(A|W)?\s*\(",
                                                           path.read_text(errors="replace")):
                plain.append(str(path.relative_to(REPO)))
    assert plain == []


def version_strings(data):
    """The fixed file version and the string table of a VERSIONINFO resource.
    Strings: UTF-16 "Key\\0", padding to 4 bytes, then the value; the fixed
    part starts with 0xFEEF04BD, then u32 struct version, u32 MS (major.minor)
    and u32 LS (patch.0)."""
    def value(key):
        k = (key + "\0").encode("utf-16-le")
        at = data.find(k)
        if at < 0:
            return ""
        at += len(k)
        while data[at:at + 2] == b"\0\0":
            at += 2
        end = at
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[at:end].decode("utf-16-le")
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", data, fixed + 8) if fixed >= 0 else (0, 0)
    keys = ("ProductName", "FileDescription", "ProductVersion", "FileVersion", "LegalCopyright")
    return f"{ms >> 16}.{ms & 0xffff}.{ls >> 16}", {key: value(key) for key in keys}


@pytest.mark.parametrize("target", ["win32", "win64"])
def test_the_stub_carries_the_tools_version_and_names_windows_7_to_11(target, version):
    assert re.fullmatch(r"\d+\.\d+\.\d+", version)
    data = stub(target).read_bytes()
    fixed, strings = version_strings(data)
    assert fixed == version
    assert strings["ProductVersion"] == strings["FileVersion"] == version
    assert strings["ProductName"] == "Kestrum"
    assert strings["FileDescription"]
    assert strings["LegalCopyright"].startswith("Copyright")
    for os_id in SUPPORTED_OS:
        assert f'supportedOS Id="{{{os_id}}}"'.encode() in data, os_id
    assert f'name="Kestrum.SelfExtractor" version="{version}.0"'.encode() in data
