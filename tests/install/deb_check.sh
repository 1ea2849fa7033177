#!/bin/sh
# deb_check.sh - builds the Debian package in a build folder, checks that its Depends names the
# package of every library the programs link and the SVG plugins the window draws its icons with,
# then installs it with apt-get and runs the installed zor-cli.
#
# Usage: tests/install/deb_check.sh BUILD-DIR   (as root or with sudo; removes the package again
# unless it was installed before)
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "deb_check: FAIL $*"; failures=$((failures + 1)); }
as_root=""
[ "$(id -u)" -eq 0 ] || as_root=sudo

rm -f "$build"/zor_*.deb
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$build"/zor_*.deb)
echo "deb_check: $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "deb_check: Depends: $depends"
# Package names alone: "libc6 (>= 2.36), libqt6svg6" -> " libc6 libqt6svg6 "
names=" $(printf '%s\n' "$depends" | tr ',' '\n' | sed 's/(.*)//; s/|.*//; s/ //g' | tr '\n' ' ') "

dpkg-deb -x "$deb" "$work/root"
owners=""
for program in "$work"/root/usr/bin/*; do
    ldd "$program" > "$work/ldd" 2>&1 || true
    ! grep -q 'not found' "$work/ldd" || fail "$(basename "$program"): $(grep 'not found' "$work/ldd")"
    # The libraries the program names itself, found where ldd finds them.
    for library in $(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        # "libz.so.1 => /lib/.../libz.so.1 (...)", or the loader's "/lib64/ld-linux-x86-64.so.2 (...)"
        path=$(awk -v lib="$library" '($1 == lib && $2 == "=>") { print $3 } (substr($1, length($1) - length(lib)) == "/" lib) { print $1 }' "$work/ldd")
        [ -n "$path" ] || { fail "$(basename "$program"): ldd does not find $library"; continue; }
        owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | sed 's/:.*//' | head -1) || true
        [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | sed 's/:.*//' | head -1) || true
        [ -n "$owner" ] || { fail "$(basename "$program"): no package holds $path"; continue; }
        owners="$owners $owner"
        case "$names" in *" $owner "*) ;; *) fail "$(basename "$program") links $library of $owner, not in Depends" ;; esac
    done
done
echo "deb_check: ldd finds the packages $(printf '%s\n' $owners | sort -u | tr '\n' ' ')"

if [ -x "$work/root/usr/bin/zor" ]; then
    plugin=$(dpkg -L libqt6svg6 2>/dev/null | grep '/imageformats/libqsvg.so$' || true)
    [ -n "$plugin" ] || fail "no libqt6svg6 holding the SVG image plugin here"
    case "$names" in *" libqt6svg6 "*) ;; *) fail "Depends lacks libqt6svg6, the SVG plugins the window's icons need" ;; esac
fi
# Nothing in Depends that no program needs (the SVG plugins aside).
for name in $names; do
    case " $owners libqt6svg6 " in *" $name "*) ;; *) fail "Depends names $name, which no program links" ;; esac
done

installed_before=no
dpkg-query -W -f='${db:Status-Status}' zor 2>/dev/null | grep -qx installed && installed_before=yes
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" > "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get install $(basename "$deb")"; }
if [ -x /usr/bin/zor-cli ]; then
    version=$(/usr/bin/zor-cli --version) || fail "/usr/bin/zor-cli --version"
    echo "deb_check: /usr/bin/zor-cli --version: $version"
    printf 'installed\n' | /usr/bin/zor-cli compress | /usr/bin/zor-cli decompress | grep -qx installed ||
        fail "the installed zor-cli does not round-trip a line"
else
    fail "the package installs no /usr/bin/zor-cli"
fi
[ "$installed_before" = yes ] || $as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y zor > "$work/remove.log" 2>&1 ||
    fail "apt-get remove zor"

[ "$failures" -eq 0 ] && echo "deb_check: ok"
[ "$failures" -eq 0 ]
