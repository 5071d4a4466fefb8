#!/usr/bin/env bash
# Runs the Windows kestrum.exe under Wine against the Linux tool:
#   - the 64-bit tool packs sample/ (Cyrillic and Chinese names, an empty file,
#     nested folders) with its own built-in stub, an icon, a banner and a
#     description read from a file with a Unicode name;
#   - its JSON listing equals the Linux tool's, both ways round;
#   - extract gives the sample back byte for byte, test finds every file intact;
#   - a split archive made by kestrum.exe is tested and extracted by Linux's tool;
#   - the 32-bit tool lists the same archive identically;
#   - names show on a console as well;
#   - --version, error texts and exit codes match the Linux tool's;
#   - the archive made by kestrum.exe opens its window in the 32-bit stub.
# Needs the native, win64 and win32 builds. Prints "windows tool: N passed, M failed".
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
build=build
out=$(realpath -m "$build/windows-tool-tests")
rm -rf "$out" && mkdir -p "$out"
linux=$build/native/bin/kestrum
tool64=$build/win64/bin/kestrum.exe
tool32=$build/win32/bin/kestrum.exe
passed=0 failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*" >&2; failed=$((failed + 1)); }

# shellcheck source=wine-gui.sh
source scripts/wine/wine-gui.sh "$build"

# A Unix path as the Windows program sees it (Wine's Z: drive is /).
win() {
  local p
  p=$(realpath -m -- "$1")
  printf 'Z:%s' "${p//\//\\}"
}
# Runs a Windows program; its output goes to $out/stdout and $out/stderr (files:
# a pipe would wait for Wine's service processes). Returns the exit code.
run_with() {
  local loader=$1
  shift
  env -u DISPLAY "$loader" "$@" </dev/null >"$out/stdout" 2>"$out/stderr"
}
run64() { run_with "$WINE64" "$tool64" "$@"; }
# Every file of folder $1 is in $2 with the same bytes, and no more files.
same_tree() {
  local a=$1 b=$2 f
  [ "$(cd "$a" && find . -type f | sort)" = "$(cd "$b" && find . -type f | sort)" ] || return 1
  while IFS= read -r f; do cmp -s "$a/$f" "$b/$f" || return 1; done < <(cd "$a" && find . -type f)
}

wine_session_begin
trap wine_session_end EXIT

# 1. Pack with the built-in stub; the description comes from a file with a Unicode name.
mkdir -p "$out/Описание 说明"
printf '[* Пример] 示例\n' >"$out/Описание 说明/текст.qtf"
if run64 pack "$(win sample)" -o "$(win "$out/sample.exe")" --name "Образец 样本" \
  --description "@$(win "$out/Описание 说明/текст.qtf")" \
  --icon "$(win images/png/KX_logo.png)" --banner "$(win images/png/Kestrum_text.png)" &&
  grep -q '^packed 8 files' "$out/stdout"; then
  pass "kestrum.exe packs sample/ with its built-in stub"
else
  fail "pack: $(cat "$out/stdout" "$out/stderr")"
fi

# 2. The listings agree: Windows and Linux tools, JSON and text, the Unicode names as UTF-8.
"$linux" list --json "$out/sample.exe" >"$out/linux.json" 2>&1
if run64 list --json "$(win "$out/sample.exe")" && cmp -s "$out/stdout" "$out/linux.json" &&
  grep -q '"description": "\[\* Пример\] 示例\\n"' "$out/stdout" &&
  grep -q '"has_icon": true' "$out/stdout" && grep -q 'Годовой отчёт.txt' "$out/stdout"; then
  pass "kestrum.exe list --json equals the Linux tool's"
else
  fail "list --json differs: $(diff "$out/stdout" "$out/linux.json" | head -5)"
fi
"$linux" list "$out/sample.exe" >"$out/linux.txt" 2>&1
if run64 list "$(win "$out/sample.exe")" && cmp -s "$out/stdout" "$out/linux.txt" &&
  grep -q '文档\\说明.txt' "$out/stdout"; then
  pass "kestrum.exe list equals the Linux tool's"
else
  fail "list differs: $(diff "$out/stdout" "$out/linux.txt" | head -5)"
fi

# 3. Extract and test.
if run64 extract "$(win "$out/sample.exe")" -o "$(win "$out/извлечено")" &&
  grep -q '^extracted 8 files' "$out/stdout" && same_tree sample "$out/извлечено"; then
  pass "kestrum.exe extracts sample/ byte for byte"
else
  fail "extract: $(cat "$out/stdout" "$out/stderr")"
fi
if run64 test "$(win "$out/sample.exe")" && grep -q 'all 8 files are intact' "$out/stdout"; then
  pass "kestrum.exe test"
else
  fail "test: $(cat "$out/stdout" "$out/stderr")"
fi

# 4. A split archive from kestrum.exe, read by the Linux tool.
#    Volumes a little larger than the built-in stub, so the sample spills into some.
split_size=$(($(stat -c %s "$build/win32/bin/kestrum-sfx.exe") + 256 * 1024))
if run64 pack "$(win sample)" -o "$(win "$out/split.exe")" --split "$split_size" &&
  grep -q 'volume files' "$out/stdout" && [ -f "$out/split.001" ] &&
  "$linux" test "$out/split.exe" >/dev/null &&
  "$linux" extract "$out/split.exe" -o "$out/split-linux" >/dev/null &&
  same_tree sample "$out/split-linux" && run64 test "$(win "$out/split.exe")" &&
  grep -q 'all 8 files are intact' "$out/stdout"; then
  pass "a split archive from kestrum.exe ($(ls "$out"/split.0* | wc -l) volumes) reads on both"
else
  fail "split: $(cat "$out/stdout" "$out/stderr")"
fi

# 5. The reverse: the Linux tool packs, kestrum.exe lists and extracts.
"$linux" pack sample -o "$out/linux.exe" --stub "$build/win32/bin/kestrum-sfx.exe" >/dev/null &&
  "$linux" list --json "$out/linux.exe" >"$out/linux2.json"
if run64 list --json "$(win "$out/linux.exe")" && cmp -s "$out/stdout" "$out/linux2.json" &&
  run64 extract "$(win "$out/linux.exe")" -o "$(win "$out/from-linux")" &&
  same_tree sample "$out/from-linux"; then
  pass "an archive from the Linux tool lists identically and extracts in kestrum.exe"
else
  fail "reverse: $(cat "$out/stdout" "$out/stderr")"
fi

# 6. On a console (a pseudo-terminal, which Wine turns into one) the names are
#    written as UTF-16 and come out right.
LC_ALL=C.UTF-8 script -qec "env -u DISPLAY '$WINE64' '$tool64' list '$(win "$out/sample.exe")'" \
  /dev/null </dev/null >"$out/console.txt" 2>&1
if grep -q 'Годовой отчёт.txt' "$out/console.txt" && grep -q '文档\\说明.txt' "$out/console.txt"; then
  pass "Cyrillic and Chinese names on the console"
else
  fail "console: $(tail -3 "$out/console.txt")"
fi

# 7. The 32-bit tool.
if run_with "$WINE32" "$tool32" list --json "$(win "$out/sample.exe")" &&
  cmp -s "$out/stdout" "$out/linux.json"; then
  pass "the 32-bit kestrum.exe lists identically"
else
  fail "32-bit list: $(cat "$out/stderr")"
fi

# 8. Manners: the version (the stub's too), a missing file with the system's reason, a file that is
#    no archive, a usage error's exit code.
missing=$(win "$out/нет.exe") notes=$(win README.md)
run64 extract --overwrite sometimes
usage=$?
# The release stub's version resource carries the number --version prints.
stub_version=$(strings -el "$build/win32/bin/kestrum-sfx.exe" | grep -A1 -x FileVersion | tail -1)
if [ $usage = 2 ] && run64 --version && [ "$(cat "$out/stdout")" = "$("$linux" --version)" ] &&
  [ "kestrum $stub_version" = "$(cat "$out/stdout")" ] &&
  ! run64 list "$missing" &&
  [ "$(cat "$out/stderr")" = "kestrum: cannot open $missing: no such file or directory" ] &&
  ! run64 test "$notes" &&
  [ "$(cat "$out/stderr")" = "kestrum: $notes: not a self-extracting archive" ]; then
  pass "--version, error texts and exit codes as on Linux"
else
  fail "manners (usage exit code $usage, stub version $stub_version): $(cat "$out/stdout" "$out/stderr")"
fi

# 9. The archive made by kestrum.exe opens its window in the 32-bit stub it carries.
if file "$out/sample.exe" | grep -q 'PE32 executable (GUI) Intel 80386'; then
  wine_gui_start "$out/sample.exe"
  if wine_wait_window "Kestrum" 60 >/dev/null; then
    wine_screenshot "$out/window.png" && pass "the 32-bit stub opens the window ($out/window.png)"
  else
    fail "no window titled Kestrum from the 32-bit stub"
  fi
  wine_gui_stop
else
  fail "the archive's stub is not the 32-bit one: $(file "$out/sample.exe")"
fi

echo "windows tool: $passed passed, $failed failed"
[ "$failed" = 0 ]
