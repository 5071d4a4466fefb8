#!/usr/bin/env bash
# Whether this machine starts 32-bit Windows programs; without it the 32-bit
# suites cannot run, and one line says why.
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
# shellcheck source=scripts/wine/wine-env.sh
source "$repo/scripts/wine/wine-env.sh" "$repo/build" && wine_check_i386
