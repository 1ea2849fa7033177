#!/bin/sh
# setup.sh - installs the Debian packages ZOR needs to build, test and benchmark, when any is missing.
set -eu

PACKAGES="build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev llvm \
libgtest-dev libgmock-dev libcli11-dev \
qt6-base-dev qt6-base-dev-tools libqt6svg6-dev libgl-dev \
libarchive-dev libcurl4-openssl-dev \
bzip2 lbzip2 pbzip2 time xvfb xauth imagemagick shared-mime-info desktop-file-utils"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
