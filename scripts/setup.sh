#!/bin/sh
# setup.sh - installs the Debian packages ZOR needs, when any is missing.
#
# Usage: scripts/setup.sh [run|test]
#   run   what building and running zor and zor-cli need
#   test  that and what the tests, fuzzers, benchmarks and package checks need (the default)
# One dpkg-query asks for every package by the name dpkg records; when all are
# installed, apt-get is not called at all (no network, no root needed).
set -eu

RUN_PACKAGES="build-essential cmake ninja-build pkg-config libcli11-dev \
qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libarchive-dev libcurl4-openssl-dev"
TEST_PACKAGES="clang libclang-rt-14-dev llvm libgtest-dev libgmock-dev \
bzip2 lbzip2 pbzip2 time xvfb xauth imagemagick \
shared-mime-info desktop-file-utils appstream man-db dpkg-dev file \
zip p7zip-full xorriso zstd xz-utils"

case "${1:-test}" in
    run) packages="$RUN_PACKAGES" ;;
    test) packages="$RUN_PACKAGES $TEST_PACKAGES" ;;
    *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "setup: no dpkg here; install the equivalents of: $packages" >&2
    exit 0
fi

# dpkg-query fails when it knows a name not at all; the names it lists as installed are what counts.
installed=" $(dpkg-query -W -f='${db:Status-Status} ${Package}\n' $packages 2>/dev/null |
    while read -r status name; do [ "$status" = installed ] && printf '%s ' "$name"; done) " || true
missing=""
for p in $packages; do
    case "$installed" in
        *" $p "*) ;;
        *) missing="$missing $p" ;;
    esac
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "setup: missing packages:$missing" >&2
    echo "setup: install them as root: apt-get install$missing" >&2
    exit 1
fi
echo "setup: installing$missing"
# Without the network the package lists already here may still do.
$as_root apt-get update || echo "setup: apt-get update failed; using the package lists already here" >&2
# env, because sudo resets the environment.
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
