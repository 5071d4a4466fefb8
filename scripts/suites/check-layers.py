#!/usr/bin/env python3
"""Checks that the layers of the source tree run one way.

Each folder may include only itself and the folders listed below it; the
portable folders include no Windows header. Prints every include that breaks
a rule and exits non-zero if there is one."""
import pathlib
import re
import sys

CORE = {"archive", "i18n"}
# folder -> the folders its files may include besides itself
ALLOWED = {
    "i18n": set(),
    "archive": {"i18n"},
    "images": {"i18n"},
    "platform": CORE,
    "view": CORE | {"images"},
    "ui": CORE | {"images", "platform", "view"},
    "app": CORE | {"images", "platform", "view", "ui"},
    "tool": CORE | {"images", "platform", "view"},
}
PORTABLE = {"i18n", "archive", "images", "view"}
WINDOWS_HEADERS = re.compile(r"#include\s*<(windows|winbase|winuser|commctrl|shlobj|shellapi|richedit|wincodec|objbase)\.h>", re.I)
INCLUDE = re.compile(r'#include\s*"([A-Za-z0-9_]+)/')

root = pathlib.Path(__file__).resolve().parents[2]
problems = []
for folder, allowed in ALLOWED.items():
    for path in sorted((root / folder).rglob("*")):
        if path.suffix not in {".h", ".cpp", ".c"}:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            where = f"{path.relative_to(root)}:{number}"
            m = INCLUDE.search(line)
            if m and m.group(1) != folder and m.group(1) not in allowed:
                problems.append(f"{where}: {folder}/ includes {m.group(1)}/")
            if folder in PORTABLE and WINDOWS_HEADERS.search(line):
                problems.append(f"{where}: portable {folder}/ includes a Windows header")

for p in problems:
    print(p)
print(f"layers: {len(problems)} include(s) against the layering")
sys.exit(1 if problems else 0)
