#!/usr/bin/env python3
"""Where the stub's bytes go (make size): its size, its sections, and the
largest contributors read from the linker's map, by library and by object.

usage: stub-size.py EXE MAP [--top N]
"""
import argparse
import collections
import os
import re
import struct
import sys


def sections(exe):
    """(name, raw size on disk, size in memory) of each PE section."""
    with open(exe, "rb") as f:
        data = f.read(4096)
    # MS-DOS header: u32 at 0x3C = offset of "PE\0\0"; then the COFF header:
    # u16 machine, u16 section count, 12 bytes, u16 optional-header size, u16 flags.
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional
    out = []
    # Section header, 40 bytes: name[8], u32 virtual size, u32 address, u32 raw size, ...
    for i in range(count):
        name, vsize, _, raw = struct.unpack_from("<8sIII", data, table + 40 * i)
        out.append((name.rstrip(b"\0").decode(), raw, vsize))
    return out


# An input section in the map: " .text  0xADDR  0xSIZE  FILE", the name on a line
# of its own when it is long.
ONE_LINE = re.compile(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
NAME_ONLY = re.compile(r"^ (\.\S+)$")
REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def contributions(map_path):
    """Bytes per input file ("lib.a(member.o)" or "file.obj") kept in the image."""
    with open(map_path, errors="replace") as f:
        lines = f.read().split("\n")
    start = next(i for i, line in enumerate(lines) if line.startswith("Linker script and memory map"))
    sizes = collections.Counter()
    i = start
    while i < len(lines):
        m = ONE_LINE.match(lines[i])
        if m:
            name, addr, size, source = m.groups()
        else:
            m = NAME_ONLY.match(lines[i])
            r = REST.match(lines[i + 1]) if m and i + 1 < len(lines) else None
            if not r:
                i += 1
                continue
            name = m.group(1)
            addr, size, source = r.groups()
            i += 1
        i += 1
        if int(addr, 16) == 0 or name.startswith(".debug"):
            continue
        sizes[source.strip()] += int(size, 16)
    return sizes


def library_of(source):
    return os.path.basename(re.sub(r"\(.*\)$", "", source))


def member_of(source):
    m = re.search(r"\(([^()]*)\)$", source)
    return library_of(source) + ("(" + m.group(1) + ")" if m else "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=20)
    args = parser.parse_args()
    kib = lambda n: f"{n / 1024:9.1f} KiB"

    total = os.path.getsize(args.exe)
    print(f"{args.exe}: {total} bytes ({total / 1024:.1f} KiB)")
    print("\nsections (on disk):")
    for name, raw, vsize in sections(args.exe):
        print(f"  {name:10} {kib(raw)}" + ("" if raw else f"  (memory only: {vsize} bytes)"))

    sizes = contributions(args.map)
    libraries = collections.Counter()
    for source, n in sizes.items():
        libraries[library_of(source)] += n
    print(f"\nlargest libraries (code and data before stripping, {kib(sum(sizes.values())).strip()} in all):")
    for name, n in libraries.most_common(args.top // 2):
        print(f"  {kib(n)}  {name}")
    objects = collections.Counter()
    for source, n in sizes.items():
        objects[member_of(source)] += n
    print("\nlargest objects:")
    for name, n in objects.most_common(args.top):
        print(f"  {kib(n)}  {name}")


if __name__ == "__main__":
    sys.exit(main())
