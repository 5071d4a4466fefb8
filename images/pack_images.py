#!/usr/bin/env python3
"""Packs the program's image list into a C++ source file.

    pack_images.py PNG_DIR OUTPUT.cpp

Reads images/png/NAME.png for each of the 36 images of the list, turns them
into 32-bit pixels (B, G, R, A with colour premultiplied by alpha), groups
them into blocks, compresses each block with zlib and writes the blocks as
byte arrays together with a table of the images (name, block, place in the
block, width, height) that images/image_list.cpp reads.

A block is its images one after another, each a 13-byte header (byte kind 0;
u16 width, height, hot x, hot y, second x, second y; little-endian, hot spots
0) followed by width * height * 4 pixel bytes.

Runs in every build, so it uses the standard library only and decodes just the
PNGs our drawing script writes: 8-bit RGB or RGBA, not interlaced.
"""

import os
import struct
import sys
import zlib

LANGUAGES = ["en", "ru", "es", "it", "kz", "cn", "de", "ua", "fr"]
BUTTON_WIDTHS = {"en": 138, "ru": 140, "es": 148, "it": 138, "kz": 107,
                 "cn": 107, "de": 170, "ua": 138, "fr": 178}

# The list in its order, as blocks of (name, width, height). Each picture that
# belongs to one language has a block of its own, so only the languages shown
# are ever decompressed; the two narrow buttons share one.
BLOCKS = (
    [[("unpack_" + l, 500, 59)] for l in LANGUAGES]
    + [[("title_" + l, 453, 59)] for l in LANGUAGES]
    + [[("button_" + l, BUTTON_WIDTHS[l], 36)] for l in LANGUAGES[:4]]
    + [[("button_kz", 107, 36), ("button_cn", 107, 36)]]
    + [[("button_" + l, BUTTON_WIDTHS[l], 36)] for l in LANGUAGES[6:]]
    + [[("folder_opened", 16, 18), ("folder_closed", 16, 18),
        ("Kestrum_original", 394, 217)],
       [("Kestrum_text", 244, 71)],
       [("empty", 500, 60)],
       [("KX_logo", 329, 293)],
       [("MinIcon", 16, 16), ("MaxIcon", 32, 32), ("banner", 600, 60)]]
)

IMAGES = [image for block in BLOCKS for image in block]

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class PackError(Exception):
    pass


def read_chunks(data, path):
    if not data.startswith(PNG_SIGNATURE):
        raise PackError(f"{path}: not a PNG file")
    pos = len(PNG_SIGNATURE)
    while pos < len(data):
        if pos + 8 > len(data):
            raise PackError(f"{path}: truncated chunk header")
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc_at = pos + 8 + length
        if crc_at + 4 > len(data):
            raise PackError(f"{path}: truncated {kind!r} chunk")
        (crc,) = struct.unpack(">I", data[crc_at:crc_at + 4])
        if zlib.crc32(kind + body) != crc:
            raise PackError(f"{path}: bad checksum in {kind!r} chunk")
        yield kind, body
        if kind == b"IEND":
            return
        pos = crc_at + 4
    raise PackError(f"{path}: no IEND chunk")


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, channels, path):
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise PackError(f"{path}: pixel data has {len(raw)} bytes, "
                        f"expected {height * (stride + 1)}")
    out = bytearray(height * stride)
    prev = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        row = bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                row[i] = (row[i] + row[i - channels]) & 0xFF
        elif kind == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, prev))
        elif kind == 3:
            for i in range(stride):
                left = row[i - channels] if i >= channels else 0
                row[i] = (row[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                left = row[i - channels] if i >= channels else 0
                up_left = prev[i - channels] if i >= channels else 0
                row[i] = (row[i] + paeth(left, prev[i], up_left)) & 0xFF
        elif kind != 0:
            raise PackError(f"{path}: unknown row filter {kind} in row {y}")
        out[y * stride:(y + 1) * stride] = row
        prev = row
    return out


def read_png(path):
    """Returns (width, height, RGBA bytes) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    header = None
    idat = []
    for kind, body in read_chunks(data, path):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
    if header is None:
        raise PackError(f"{path}: no IHDR chunk")
    width, height, depth, colour, compression, filtering, interlace = header
    if depth != 8 or colour not in (2, 6):
        raise PackError(f"{path}: only 8-bit RGB or RGBA pictures can be packed "
                        f"(bit depth {depth}, colour type {colour})")
    if compression != 0 or filtering != 0 or interlace != 0:
        raise PackError(f"{path}: interlaced or non-standard PNGs cannot be packed")
    channels = 4 if colour == 6 else 3
    try:
        raw = zlib.decompress(b"".join(idat))
    except zlib.error as e:
        raise PackError(f"{path}: damaged pixel data ({e})") from None
    pixels = unfilter(raw, width, height, channels, path)
    if channels == 3:
        rgba = bytearray(width * height * 4)
        for c in range(3):
            rgba[c::4] = pixels[c::3]
        rgba[3::4] = b"\xff" * (width * height)
        pixels = rgba
    return width, height, pixels


# PREMULTIPLY[a * 256 + c]: colour c scaled by alpha a, rounded.
PREMULTIPLY = bytes((c * a + 127) // 255 for a in range(256) for c in range(256))


def to_bgra_premultiplied(rgba):
    out = bytearray(len(rgba))
    alpha = rgba[3::4]
    out[3::4] = alpha
    for src, dst in ((2, 0), (1, 1), (0, 2)):
        out[dst::4] = rgba[src::4]
    if alpha.count(0xFF) != len(alpha):
        for i in range(0, len(out), 4):
            row = out[i + 3] * 256
            out[i] = PREMULTIPLY[row + out[i]]
            out[i + 1] = PREMULTIPLY[row + out[i + 1]]
            out[i + 2] = PREMULTIPLY[row + out[i + 2]]
    return out


def image_record(width, height, bgra):
    return struct.pack("<BHHHHHH", 0, width, height, 0, 0, 0, 0) + bgra


def load_images(png_dir):
    wanted = {name for name, _, _ in IMAGES}
    extra = sorted(f for f in os.listdir(png_dir)
                   if f.endswith(".png") and f[:-4] not in wanted)
    if extra:
        raise PackError(f"{png_dir}: pictures not in the image list: {', '.join(extra)}")
    pictures = {}
    for name, width, height in IMAGES:
        path = os.path.join(png_dir, name + ".png")
        if not os.path.exists(path):
            raise PackError(f"{path}: missing (every image of the list needs a picture)")
        w, h, rgba = read_png(path)
        if (w, h) != (width, height):
            raise PackError(f"{path}: {w} x {h}, the list wants {width} x {height}")
        pictures[name] = to_bgra_premultiplied(rgba)
    return pictures


def byte_lines(data, per_line=24):
    for i in range(0, len(data), per_line):
        yield "    " + ",".join(str(b) for b in data[i:i + per_line]) + ","


def generate(pictures):
    out = ["// Generated by images/pack_images.py from images/png; do not edit.",
           '#include "images/image_list.h"', "",
           "namespace kestrum::image_data {", "namespace {", ""]
    blocks = []
    for number, block in enumerate(BLOCKS):
        raw = b"".join(image_record(w, h, pictures[name]) for name, w, h in block)
        packed = zlib.compress(raw, 9)
        blocks.append((len(packed), len(raw)))
        names = ", ".join(name for name, _, _ in block)
        out.append(f"// {names}: {len(raw)} bytes")
        out.append(f"const uint8_t kBlock{number}[{len(packed)}] = {{")
        out.extend(byte_lines(packed))
        out.append("};")
        out.append("")
    out.append("}  // namespace")
    out.append("")
    out.append("const ImageBlockData kImageBlocks[] = {")
    for number, (size, raw_size) in enumerate(blocks):
        out.append(f"    {{kBlock{number}, {size}, {raw_size}}},")
    out.append("};")
    out.append(f"const size_t kImageBlockCount = {len(blocks)};")
    out.append("")
    out.append("const ImageEntry kImageEntries[] = {")
    for number, block in enumerate(BLOCKS):
        for index, (name, w, h) in enumerate(block):
            out.append(f'    {{"{name}", {number}, {index}, {w}, {h}}},')
    out.append("};")
    out.append(f"const size_t kImageEntryCount = {len(IMAGES)};")
    out.append("")
    out.append("}  // namespace kestrum::image_data")
    out.append("")
    return "\n".join(out), blocks


def main(argv):
    if len(argv) != 3:
        print(f"usage: {argv[0]} PNG_DIR OUTPUT.cpp", file=sys.stderr)
        return 2
    png_dir, output = argv[1], argv[2]
    try:
        text, _ = generate(load_images(png_dir))
    except (PackError, OSError) as e:
        print(f"pack_images: {e}", file=sys.stderr)
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    temporary = output + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
