#!/bin/sh
# archive_vs_tar.sh - times zor-cli pack/unpack against zor-cli compress/decompress on one 20 MB file, and against tar | bzip2 -9 on a tree of 10,000 small files.
#
# The first table shows what the archive layer adds around the codec (the
# target is at most 1.03 x); the second shows per-file overhead against
# tar piped into bzip2 -9 (target at most 1.3 x, bzip2 in one thread). The
# peers are run only as black boxes. Each figure is the best of REPEAT runs,
# in CPU seconds (user + system, children included) so that other load on a
# shared machine does not decide the ratios. The third table is wall-clock
# time and peak memory: packing the tree at 1 and 2 threads against
# tar piped into lbzip2 -9 -n2 (target at most 1.00 x at 2 threads); the
# archives of both thread counts must be the same bytes.
# Usage: bench/archive_vs_tar.sh [ZOR_CLI] [REPEAT]
set -eu
command -v lbzip2 >/dev/null || { echo "missing lbzip2 (apt-get install lbzip2)" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
cli="${1:-$here/../build/release/cli/zor-cli}"
cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
repeat="${2:-3}"
work="${BENCH_DIR:-/tmp/zor-bench}"
"$here/make_corpus.sh" "$work/corpus" >/dev/null
file="$work/corpus/text"

# 100 folders of 100 files of 200-4000 bytes (about 21 MB), cut from the text corpus.
tree="$work/tree"
if [ ! -d "$tree" ]; then
    awk -v out="$tree" -v corpus="$file" 'BEGIN {
        RS = "^$"; getline text < corpus; n = length(text); seed = 12345; at = 1
        for (d = 0; d < 100; d++) {
            folder = sprintf("%s/folder%03d", out, d); system("mkdir -p " folder)
            for (f = 0; f < 100; f++) {
                seed = (seed * 1103515245 + 12345) % 2147483648
                size = 200 + seed % 3801
                if (at + size > n) at = 1
                printf "%s", substr(text, at, size) > (folder sprintf("/file%03d.txt", f))
                close(folder sprintf("/file%03d.txt", f)); at += size
            }
        }
    }'
fi

# best CMD: the best time of REPEAT runs of CMD, each into a fresh, empty output folder.
best() {
    b=""
    i=0
    while [ "$i" -lt "$repeat" ]; do
        rm -rf "$work/out" && mkdir -p "$work/out"
        /usr/bin/time -f "%U %S" -o "$work/time.txt" sh -c "$1"
        t=$(awk '{ print $1 + $2 }' "$work/time.txt")
        if [ -z "$b" ] || awk -v a="$t" -v c="$b" 'BEGIN{exit !(a<c)}'; then b="$t"; fi
        i=$((i + 1))
    done
    echo "$b"
}

cd "$work"
cp "$file" "$work/big.txt"
pack=$(best "\"$cli\" pack -q \"$work/big.zor\" big.txt")
compress=$(best "\"$cli\" compress --force big.txt \"$work/big.zs\"")
unpack=$(best "\"$cli\" unpack -q \"$work/big.zor\" -d \"$work/out\" --overwrite all")
cmp -s big.txt "$work/out/big.txt" || echo "MISMATCH after unpack"
decompress=$(best "\"$cli\" decompress --force \"$work/big.zs\" \"$work/big.out\"")

cd "$tree"
tpack=$(best "\"$cli\" pack -q \"$work/tree.zor\" \$(ls)")
tbz=$(best "tar cf - \$(ls) | bzip2 -9 > \"$work/tree.tar.bz2\"")
tunpack=$(best "\"$cli\" unpack -q \"$work/tree.zor\" -d \"$work/out\" --overwrite all")
diff -r "$tree" "$work/out" >/dev/null || echo "MISMATCH after unpacking the tree"
tbunz=$(best "bzip2 -dc \"$work/tree.tar.bz2\" | tar xf - -C \"$work/out\"")

# bestWall CMD: "elapsed_seconds peak_kb" of the fastest of REPEAT runs of CMD.
bestWall() {
    b=""
    i=0
    while [ "$i" -lt "$repeat" ]; do
        /usr/bin/time -f "%e %M" -o "$work/time.txt" sh -c "$1"
        t=$(cat "$work/time.txt")
        if [ -z "$b" ] || awk -v a="${t% *}" -v c="${b% *}" 'BEGIN{exit !(a<c)}'; then b="$t"; fi
        i=$((i + 1))
    done
    echo "$b"
}
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)
wpack1=$(bestWall "\"$cli\" pack -q --threads 1 \"$work/tree1.zor\" \$(ls)")
wpack2=$(bestWall "\"$cli\" pack -q --threads 2 \"$work/tree2.zor\" \$(ls)")
cmp -s "$work/tree1.zor" "$work/tree2.zor" || echo "MISMATCH between the tree archives of 1 and 2 threads"
wlbz=$(bestWall "tar cf - \$(ls) | lbzip2 -9 -n2 > \"$work/tree.tar.lbz2\"")

printf '%-34s %9s %9s %7s\n' case zor_cpu_s peer_cpu_s ratio
row() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%-34s %9.2f %9.2f %7.3f\n", n, a, b, a / b }'; }
row "pack 20 MB / compress" "$pack" "$compress"
row "unpack 20 MB / decompress" "$unpack" "$decompress"
row "pack tree / tar | bzip2 -9" "$tpack" "$tbz"
row "unpack tree / bzip2 -d | tar x" "$tunpack" "$tbunz"
echo "sizes: big.zor $(stat -c %s "$work/big.zor"), big.zs $(stat -c %s "$work/big.zs"), tree.zor $(stat -c %s "$work/tree.zor"), tree.tar.bz2 $(stat -c %s "$work/tree.tar.bz2")"

printf '\n%-44s %9s %9s %7s %9s %9s\n' "case (load before: $loadBefore)" zor_wall_s peer_wall_s ratio zor_kb peer_kb
wrow() {
    awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { split(a, x, " "); split(b, y, " ");
        printf "%-44s %9.2f %9.2f %7.3f %9d %9d\n", n, x[1], y[1], x[1] / y[1], x[2], y[2] }'
}
wrow "pack tree --threads 1 / tar | lbzip2 -9 -n2" "$wpack1" "$wlbz"
wrow "pack tree --threads 2 / tar | lbzip2 -9 -n2" "$wpack2" "$wlbz"
wrow "pack tree --threads 2 / --threads 1" "$wpack2" "$wpack1"
