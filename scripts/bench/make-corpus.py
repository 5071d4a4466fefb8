#!/usr/bin/env python3
"""Writes the deterministic benchmark corpus: word-like text, structured binaries
and incompressible data in nested folders, plus a few large files.

The same version, seed and size always give the same bytes, names and times.
Bump VERSION whenever the output changes, so cached copies are regenerated.

usage: make-corpus.py OUTDIR [--seed N] [--size-mib N] [--files N] [--no-large | --few]
       make-corpus.py --version
"""
import argparse
import array
import itertools
import math
import os
import random
import sys

VERSION = 1

MIB = 1 << 20
CHUNK = 4 * MIB  # large files are written in pieces of this size
MAX_DEPTH = 5  # folders below the corpus root, at most
MTIME = 1_700_000_000  # fixed time stamp for every file and folder

# Large files: (relative path, kind, size in MiB).
LARGE = [
    ("logs/server/archive/2023/server-full.log", "log", 64),
    ("media/footage/raw/capture-full.bin", "random", 96),
    ("data/warehouse/tables/sales-ledger.dat", "table", 64),
]

# The corpus of a few large files alone (--few): one incompressible, one of
# text, one of machine code, so that a gain on one cannot hide a loss on another.
FEW = [
    ("media/capture.bin", "random", 96),
    ("docs/handbook.txt", "prose", 80),
    ("lib/libraries.so", "code", 64),
]

# Kinds of the ordinary files: (kind, share of the file count, extensions).
KINDS = [
    ("prose", 0.30, ["txt", "md", "html", "rst"]),
    ("log", 0.08, ["log"]),
    ("csv", 0.10, ["csv", "tsv"]),
    ("table", 0.14, ["dat", "idx", "db"]),
    ("code", 0.18, ["dll", "so", "obj", "exe"]),
    ("random", 0.20, ["jpg", "zip", "mp4", "gz"]),
]

# A few names outside ASCII, as real folders have them.
UNICODE_DIRS = ["données", "отчёты"]
UNICODE_FILES = ["résumé-équipe.txt", "годовой-отчёт.txt", "説明書き.md"]

CONSONANTS = "bcdfghjklmnprstvwz"
VOWELS = "aeiou"
MOD16 = bytes(i % 16 for i in range(256))
MOD8 = bytes(i % 8 for i in range(256))


def make_word(rng, syllables):
    return "".join(rng.choice(CONSONANTS) + rng.choice(VOWELS) for _ in range(syllables))


class TextPool:
    """Sentences and paragraphs drawn once from a Zipf-weighted vocabulary.

    Files are built by picking from a pool far larger than gzip's 32 KiB window,
    so they compress like real prose instead of like one repeated paragraph."""

    def __init__(self, rng):
        words = set()
        while len(words) < 6000:
            words.add(make_word(rng, rng.choice((1, 2, 2, 3, 3, 4))))
        self.words = sorted(words)
        rng.shuffle(self.words)
        weights = [1.0 / (rank + 1) for rank in range(len(self.words))]
        self.cum = list(itertools.accumulate(weights))
        self.sentences = [self._sentence(rng) for _ in range(40000)]
        self.paragraphs = []
        for _ in range(8000):
            n = rng.randint(2, 7)
            self.paragraphs.append((" ".join(rng.choices(self.sentences, k=n)) + "\n\n").encode())
        self.modules = [make_word(rng, 3) for _ in range(40)]

    def _sentence(self, rng):
        n = rng.randint(5, 18)
        words = rng.choices(self.words, cum_weights=self.cum, k=n)
        words[0] = words[0].capitalize()
        if n > 9 and rng.random() < 0.4:
            words[n // 2] += ","
        return " ".join(words) + rng.choice(".....?!")


class CodePool:
    """Instruction-like basic blocks: common opcodes, register bytes from a small
    set and operands that are partly random, so they compress partly."""

    OPCODES = [
        (b"\x48\x89", "modrm", 12), (b"\x48\x8b", "modrm", 12), (b"\x89", "modrm", 6),
        (b"\x8b", "modrm", 6), (b"\x48\x83\xec", "imm8", 3), (b"\x48\x83\xc4", "imm8", 3),
        (b"\xe8", "rel32", 8), (b"\xe9", "rel32", 2), (b"\x74", "imm8", 4),
        (b"\x75", "imm8", 4), (b"\x0f\x84", "rel32", 2), (b"\x48\x8d", "modrm_disp32", 5),
        (b"\x48\x8b", "modrm_disp8", 6), (b"\x31", "modrm", 3), (b"\x85", "modrm", 4),
        (b"\x48\x39", "modrm", 3), (b"\xb8", "imm32", 3), (b"\x50", "", 2), (b"\x53", "", 2),
        (b"\x5b", "", 2), (b"\x58", "", 2), (b"\x41\x54", "", 1), (b"\x41\x5c", "", 1),
        (b"\xf3\x0f\x10", "modrm", 1), (b"\x66\x0f\xef", "modrm", 1), (b"\x90", "", 1),
    ]
    MODRM = bytes([0xC0, 0xC1, 0xC3, 0xC8, 0xD8, 0x45, 0x44, 0x4D, 0x55, 0x5D, 0x7D, 0x05,
                   0x0D, 0x15, 0x24, 0x87])

    def __init__(self, rng):
        weights = [w for _, _, w in self.OPCODES]
        self.blocks = []
        for _ in range(20000):
            parts = []
            for op, operand, _ in rng.choices(self.OPCODES, weights=weights, k=rng.randint(6, 20)):
                parts.append(op)
                if operand.startswith("modrm"):
                    parts.append(bytes([rng.choice(self.MODRM)]))
                if operand in ("imm8", "modrm_disp8"):
                    parts.append(bytes([rng.choice((8, 16, 24, 32, 40, 48, rng.randrange(256)))]))
                elif operand in ("rel32", "modrm_disp32"):
                    near = rng.randrange(-(1 << 20), 1 << 20)
                    parts.append((near & 0xFFFFFFFF).to_bytes(4, "little"))
                elif operand == "imm32":
                    parts.append(rng.randrange(1 << 12).to_bytes(4, "little"))
            parts.append(b"\xc3" if rng.random() < 0.6 else b"\xeb" + bytes([rng.randrange(128)]))
            self.blocks.append(b"".join(parts))


class Corpus:
    def __init__(self, seed):
        rng = random.Random(f"pools:{seed}")
        self.seed = seed
        self.text = TextPool(rng)
        self.code = CodePool(rng)

    # Each generator yields pieces; write_file trims the stream to the exact size.

    def gen_prose(self, rng, size):
        while True:
            yield b"".join(rng.choices(self.text.paragraphs, k=max(1, min(size, CHUNK) // 500)))

    def gen_log(self, rng, size):
        ms = rng.randrange(86_400_000)
        day = rng.randrange(1, 29)
        levels = ["INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"]
        mods, sentences = self.text.modules, self.text.sentences
        while True:
            lines = []
            for _ in range(min(8192, size // 80 + 1)):
                ms += rng.randrange(1, 400)
                if ms >= 86_400_000:
                    ms -= 86_400_000
                    day = day % 28 + 1
                s, milli = divmod(ms, 1000)
                m, s = divmod(s, 60)
                h, m = divmod(m, 60)
                lines.append(f"2023-11-{day:02d}T{h:02d}:{m:02d}:{s:02d}.{milli:03d}Z "
                             f"{rng.choice(levels)} [{rng.choice(mods)}] {rng.choice(sentences)}\n")
            yield "".join(lines).encode()

    def gen_csv(self, rng, size):
        cols = [make_word(rng, 2) for _ in range(6)]
        yield (",".join(["id"] + cols) + "\n").encode()
        row = rng.randrange(1000)
        words = self.text.words[:300]
        while True:
            lines = []
            for _ in range(min(4096, size // 40 + 1)):
                row += 1
                lines.append(f"{row},{rng.randrange(100000)},{rng.random() * 1000:.2f},"
                             f"{rng.choice(words)},{rng.randrange(8)},{rng.randrange(1 << 16)},"
                             f"{rng.choice(words)}\n")
            yield "".join(lines).encode()

    def gen_table(self, rng, size):
        """Column-wise blocks of records: increasing ids, small categories,
        amounts with zero high bytes and timestamps with jittered low bytes."""
        yield b"TBL1" + rng.randbytes(60)
        base = rng.randrange(1 << 24)
        stamp = 1_600_000_000_000 + rng.randrange(1 << 32)
        n = 4096
        while True:
            ids = array.array("I", range(base, base + n)).tobytes()
            categories = rng.randbytes(n).translate(MOD16)
            amounts = bytearray(4 * n)
            amounts[0::4] = rng.randbytes(n)
            amounts[1::4] = rng.randbytes(n).translate(MOD8)
            stamps = bytearray(array.array("Q", range(stamp, stamp + n * 977, 977)).tobytes())
            stamps[0::8] = rng.randbytes(n)
            base += n
            stamp += n * 977
            yield b"".join((ids, categories, bytes(amounts), bytes(stamps)))

    def gen_code(self, rng, size):
        """Function bodies separated by padding, then a string table."""
        yield b"MZ" + bytes(58) + b"\x80\x00\x00\x00" + bytes(64)
        blocks = self.code.blocks
        while True:
            parts = []
            for block in rng.choices(blocks, k=2048):
                parts.append(block)
                if rng.random() < 0.15:
                    parts.append(b"\xcc" * rng.randrange(1, 16))
            parts.append(b"\0".join(s.encode() for s in rng.choices(self.text.words, k=256)))
            yield b"".join(parts)

    def gen_random(self, rng, size):
        while True:
            yield rng.randbytes(min(size, CHUNK))

    def write_file(self, path, kind, size, file_seed):
        rng = random.Random(f"file:{self.seed}:{file_seed}")
        left = size
        with open(path, "wb") as f:
            if left:
                for piece in getattr(self, "gen_" + kind)(rng, size):
                    piece = piece[:left]
                    f.write(piece)
                    left -= len(piece)
                    if not left:
                        break
        os.utime(path, (MTIME, MTIME))


def plan(seed, total_bytes, file_count, large=LARGE):
    """Chooses folders, names, kinds and sizes. Returns (folders, files) where
    files are (relative path, kind, size)."""
    rng = random.Random(f"plan:{seed}")
    top = ["docs", "src", "data", "media", "logs", "assets", "build-output", "reference"]
    folders = [(name,) for name in top]
    used = {f.lower() for f in top}

    def fresh_name(parent, make):
        while True:
            name = make()
            key = "/".join(parent + (name,)).lower()  # Windows compares names case-blind
            if key not in used:
                used.add(key)
                return name

    for name in UNICODE_DIRS:
        folders.append(("data", name))
        used.add(f"data/{name}".lower())
    while len(folders) < 220:
        parent = rng.choice(folders)
        if len(parent) >= MAX_DEPTH:
            continue
        folders.append(parent + (fresh_name(parent, lambda: make_word(rng, rng.randint(3, 5))),))

    files = []
    large_bytes = 0
    for path, kind, mib in large:
        parts = tuple(path.split("/"))
        for depth in range(1, len(parts)):
            if parts[:depth] not in folders:
                folders.append(parts[:depth])
                used.add("/".join(parts[:depth]).lower())
        used.add(path.lower())
        files.append((path, kind, mib * MIB))
        large_bytes += mib * MIB

    # Sizes: mostly small, some medium, a few of several MiB; then scaled to the budget.
    sizes = []
    for _ in range(file_count - len(large)):
        r = rng.random()
        lo, hi = (200, 32 << 10) if r < 0.70 else (32 << 10, 1 << 20) if r < 0.95 else (1 << 20, 6 << 20)
        sizes.append(math.exp(rng.uniform(math.log(lo), math.log(hi))))
    budget = total_bytes - large_bytes
    scale = budget / sum(sizes)
    sizes = [max(1, int(s * scale)) for s in sizes]
    sizes[sizes.index(max(sizes))] += budget - sum(sizes)
    largest = sizes.index(max(sizes))
    for i in rng.sample([i for i in range(len(sizes)) if i != largest], 12):  # a few empty files
        sizes[largest] += sizes[i]
        sizes[i] = 0

    kinds = [k for k, _, _ in KINDS]
    shares = [s for _, s, _ in KINDS]
    exts = {k: e for k, _, e in KINDS}
    # Every folder gets a file first (the archive keeps no empty folders), then at random.
    homes = list(folders) + [() for _ in range(6)]
    homes += rng.choices(folders, k=len(sizes) - len(homes))
    unicode_names = list(UNICODE_FILES)
    for i, (size, home) in enumerate(zip(sizes, homes)):
        kind = rng.choices(kinds, weights=shares)[0]
        if unicode_names and home and home[0] == "docs":
            name = unicode_names.pop()
            kind = "prose"
            used.add("/".join(home + (name,)).lower())
        else:
            stem = lambda: make_word(rng, rng.randint(3, 5)) + rng.choice(("", "", f"-{i}", "_v2"))
            name = fresh_name(home, lambda: f"{stem()}.{rng.choice(exts[kind])}")
        files.append(("/".join(home + (name,)), kind, size))
    return folders, files


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("outdir", nargs="?")
    parser.add_argument("--seed", type=int, default=20231115)
    parser.add_argument("--size-mib", type=int, default=500)
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--no-large", action="store_true",
                        help="leave out the few large files: a corpus of many small ones")
    parser.add_argument("--few", action="store_true",
                        help="only three large files (random, text, code) of %d MiB together"
                        % sum(m for _, _, m in FEW))
    parser.add_argument("--version", action="store_true", help="print the generator's version")
    args = parser.parse_args()
    if args.version:
        print(VERSION)
        return 0
    if not args.outdir:
        parser.error("OUTDIR is required")
    if os.path.exists(args.outdir) and os.listdir(args.outdir):
        parser.error(f"{args.outdir}: exists and is not empty")

    if args.few:
        files = [(path, kind, mib * MIB) for path, kind, mib in FEW]
        folders = sorted({tuple(path.split("/")[:-1]) for path, _, _ in FEW})
    else:
        large = [] if args.no_large else LARGE
        if args.size_mib * MIB <= sum(mib * MIB for _, _, mib in large):
            parser.error(f"--size-mib must exceed the {sum(m for _, _, m in large)} MiB of large files")
        folders, files = plan(args.seed, args.size_mib * MIB, args.files, large)
    corpus = Corpus(args.seed)
    for folder in folders:
        os.makedirs(os.path.join(args.outdir, *folder), exist_ok=True)
    by_kind = {}
    for index, (path, kind, size) in enumerate(files):
        corpus.write_file(os.path.join(args.outdir, *path.split("/")), kind, size, index)
        count, total = by_kind.get(kind, (0, 0))
        by_kind[kind] = (count + 1, total + size)
    for folder in sorted(folders, key=len, reverse=True):  # deepest first: writing a child touches its parent
        os.utime(os.path.join(args.outdir, *folder), (MTIME, MTIME))
    os.utime(args.outdir, (MTIME, MTIME))

    total = sum(size for _, _, size in files)
    print(f"corpus: {len(files)} files in {len(folders)} folders, {total / MIB:.1f} MiB")
    for kind, (count, size) in sorted(by_kind.items()):
        print(f"  {kind:<7} {count:5d} files {size / MIB:8.1f} MiB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
