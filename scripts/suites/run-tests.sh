#!/usr/bin/env bash
# Runs the native test binaries of one build (native or asan) through ctest.
set -euo pipefail
repo=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd -P)
ctest --test-dir "$repo/build/${1:-native}" --output-on-failure
