#!/usr/bin/env bash
# The first suite: every shell script passes shellcheck (warnings and errors)
# and every C++ source is as clang-format writes it (make format mends that).
set -uo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
cd "$repo" || exit 1
rc=0
mapfile -t shells < <(git ls-files '*.sh' .ci/run packaging/kestrum.bash-completion)
shellcheck -x -S warning "${shells[@]}" && echo "shellcheck: ${#shells[@]} scripts clean" || rc=1
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}" && echo "clang-format: ${#sources[@]} files clean" ||
  rc=1
exit "$rc"
