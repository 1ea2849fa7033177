#!/bin/sh
# build.sh - installs what is missing, then configures and builds one preset (default: release).
#
# Usage: scripts/build.sh [PRESET [run|test]]
# With "test" (the default) the tests are built as well. With "run" only what
# running needs is installed, and a new build folder leaves the tests out; one
# that already builds them keeps doing so. ZOR_WERROR=ON in the environment
# makes every warning an error (CI); otherwise warnings stay warnings.
set -eu
cd "$(dirname "$0")/.."
preset="${1:-release}"
purpose="${2:-test}"
./scripts/setup.sh "$purpose"
testing="-DBUILD_TESTING=ON"
if [ "$purpose" = run ]; then
    testing=""
    [ -f "build/$preset/CMakeCache.txt" ] || testing="-DBUILD_TESTING=OFF"
fi
cmake --preset "$preset" $testing -DZOR_WERROR="${ZOR_WERROR:-OFF}" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
