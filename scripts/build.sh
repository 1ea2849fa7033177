#!/bin/sh
# build.sh - installs what is missing, then configures and builds one preset (default: release).
set -eu
cd "$(dirname "$0")/.."
preset="${1:-release}"
./scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
