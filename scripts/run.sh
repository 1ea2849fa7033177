#!/bin/sh
# run.sh - ZOR's main job: builds, then starts the window; without a display, demonstrates zor-cli on a sample file.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh release run
bin=build/release

if [ -x "$bin/ui/zor" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$bin/ui/zor" "$@"
fi

echo "No display here: demonstrating zor-cli instead."
cli="$bin/cli/zor-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A sample of real text: the system's C headers.
find /usr/include -name '*.h' -type f 2>/dev/null | head -400 | xargs cat > "$work/sample.txt"

now() { date +%s.%N; }
t0=$(now); "$cli" compress "$work/sample.txt" "$work/sample.txt.zs"
t1=$(now); "$cli" decompress "$work/sample.txt.zs" "$work/sample.out"
t2=$(now)
cmp "$work/sample.txt" "$work/sample.out"
awk -v a="$(stat -c %s "$work/sample.txt")" -v b="$(stat -c %s "$work/sample.txt.zs")" \
    -v c="$t1" -v d="$t0" -v e="$t2" 'BEGIN {
    printf "original   %10d bytes\ncompressed %10d bytes (%.1f%%)\n", a, b, 100.0 * b / a;
    printf "compress   %8.3f s\ndecompress %8.3f s\nround trip: identical\n", c - d, e - c }'
