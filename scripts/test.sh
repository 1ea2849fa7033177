#!/bin/sh
# test.sh - installs what is missing, builds one preset (default: release) and runs the whole test suite in it.
set -eu
cd "$(dirname "$0")/.."
preset="${1:-release}"
./scripts/build.sh "$preset"
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
ctest --preset "$preset" --no-tests=error
