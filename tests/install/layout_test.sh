#!/bin/sh
# layout_test.sh - an install puts each file in its standard place and nothing beside them, the
# launcher and the software-centre entry pass their validators, and a build without the window
# installs none of the window's files and needs no GoogleTest.
#
# Usage: layout_test.sh SOURCE-DIR BUILD-DIR window|no-window
set -u
source_dir=$1 build=$2 window=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 skipped=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
have() { command -v "$1" >/dev/null 2>&1 || { echo "SKIP: no $1 here"; skipped=1; return 1; }; }

prefix="$work/usr"
cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }

metainfo=share/metainfo/io.sourceforge.zor_archiver.zor.metainfo.xml
expected="bin/zor-cli share/man/man1/zor-cli.1.gz share/bash-completion/completions/zor-cli
share/doc/zor/LICENSE share/mime/packages/zor.xml"
window_files="bin/zor share/man/man1/zor.1.gz share/applications/zor.desktop $metainfo
share/icons/hicolor/scalable/apps/zor.svg"
[ "$window" = window ] && expected="$expected $window_files"
for file in $expected; do
    [ -f "$prefix/$file" ] || fail "the install holds no $file"
done
if [ "$window" != window ]; then
    for file in $window_files; do
        [ ! -e "$prefix/$file" ] || fail "a build without the window installs $file"
    done
fi
# Programs and data only: no test programs, libraries or headers.
for entry in "$prefix"/* "$prefix"/bin/*; do
    case "${entry#"$prefix"/}" in
        bin | share | bin/zor | bin/zor-cli) ;;
        *) fail "the install holds ${entry#"$prefix"/}" ;;
    esac
done

if [ "$window" = window ]; then
    if have desktop-file-validate; then
        report=$(desktop-file-validate "$prefix/share/applications/zor.desktop" 2>&1) || fail "desktop-file-validate: $report"
        [ -z "$report" ] || fail "desktop-file-validate: $report"
    fi
    if have appstreamcli; then
        report=$(appstreamcli validate --no-net "$prefix/$metainfo" 2>&1) || fail "appstreamcli validate: $report"
        report=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) || fail "appstreamcli validate-tree: $report"
    fi
fi
if have man; then
    for page in "$prefix"/share/man/man1/*.1.gz; do
        MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^NAME' || fail "man -l ${page#"$prefix"/} renders no NAME section"
    done
fi

# A build folder without the window and the tests, configured only: what its install would copy.
if cmake -S "$source_dir" -B "$work/plain" -G Ninja -DZOR_BUILD_GUI=OFF -DBUILD_TESTING=OFF > "$work/plain.log" 2>&1; then
    rules=$(find "$work/plain" -name cmake_install.cmake -exec cat {} +)
    for file in zor.desktop zor.metainfo.xml man1/zor.1.gz apps/zor.svg; do
        case "$rules" in *"$file"*) fail "a build without the window installs $file" ;; esac
    done
    case "$rules" in *zor-cli.1.gz*) ;; *) fail "a build without the window does not install zor-cli.1.gz" ;; esac
    ! grep -q '^GTest_DIR:' "$work/plain/CMakeCache.txt" || fail "a build without the tests looks for GoogleTest"
else
    cat "$work/plain.log"
    fail "configuring without the window and the tests"
fi

[ "$failures" -eq 0 ] || exit 1
[ "$skipped" -eq 0 ] || exit 77
echo "ok   install layout"
